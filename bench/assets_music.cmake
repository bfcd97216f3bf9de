# Making the music: the module, the stream's synthesis and its MP3 encoding (the music part of
# the generator is kept to about 15 s here).
add_executable(music_bench ${CMAKE_CURRENT_LIST_DIR}/music_bench.cpp
    ${PROJECT_SOURCE_DIR}/tools/assetgen/music.cpp
    ${PROJECT_SOURCE_DIR}/tools/assetgen/music_stream.cpp
    ${PROJECT_SOURCE_DIR}/tools/assetgen/synth.cpp
    ${PROJECT_SOURCE_DIR}/tools/assetgen/xm_writer.cpp
    ${PROJECT_SOURCE_DIR}/tools/assetgen/mp3_writer.cpp)
target_include_directories(music_bench PRIVATE ${PROJECT_SOURCE_DIR})
target_link_libraries(music_bench PRIVATE mp3lame benchmark::benchmark_main)
