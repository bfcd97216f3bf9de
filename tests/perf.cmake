# Drawing shortcuts against the plain draws they stand for, and the capture's frame timing.
zandar_test(sprite_drawing_test SOURCES sprite_drawing_test.cpp
    LIBS zandar_demo zandar_test_support)
add_dependencies(sprite_drawing_test assets)

zandar_test(frame_times_test SOURCES frame_times_test.cpp
    LIBS zandar_capture zandar_process_support)
target_compile_definitions(frame_times_test PRIVATE
    ZANDAR_CAPTURE_EXE="$<TARGET_FILE:zandar-capture>")
add_dependencies(frame_times_test zandar-capture assets)
