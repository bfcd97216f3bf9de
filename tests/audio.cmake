# The audio layer: its entry points in process on OpenAL's null driver, and in child processes
# (audio_child) where a test needs its own OpenAL configuration or must watch the process exit.
add_executable(audio_child audio_child.cpp)
target_link_libraries(audio_child PRIVATE zandar_audio)

zandar_test(bass_test SOURCES bass_test.cpp LIBS zandar_audio PkgConfig::OPENMPT LABELS audio)
target_compile_definitions(bass_test PRIVATE AUDIO_CHILD="$<TARGET_FILE:audio_child>")
add_dependencies(bass_test assets audio_child)

zandar_test(audio_module_test SOURCES audio_module_test.cpp
    LIBS zandar_audio PkgConfig::OPENMPT LABELS audio)
add_dependencies(audio_module_test assets)
