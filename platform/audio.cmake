# The audio layer: the audio library's entry points over OpenAL (SFML streams), libmpg123 and
# libopenmpt.
add_library(zandar_audio STATIC
    ${CMAKE_CURRENT_LIST_DIR}/bass.cpp
    ${CMAKE_CURRENT_LIST_DIR}/audio_device.cpp
    ${CMAKE_CURRENT_LIST_DIR}/audio_module.cpp
    ${CMAKE_CURRENT_LIST_DIR}/audio_mp3.cpp)
target_include_directories(zandar_audio PUBLIC ${PROJECT_SOURCE_DIR})
target_link_libraries(zandar_audio PUBLIC
    sfml-audio sfml-system PkgConfig::OPENMPT PkgConfig::MPG123 PkgConfig::OPENAL)
