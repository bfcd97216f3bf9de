# The capture tool: its command line and state log columns in process; the real program on the
# whole demo and on short runs (each on the suite's X server, one on a server of its own).
zandar_test(capture_options_test SOURCES capture_options_test.cpp LIBS zandar_capture)

zandar_test(capture_test SOURCES capture_test.cpp
    LIBS zandar_process_support sfml-graphics PkgConfig::OPENMPT LABELS long)
target_compile_definitions(capture_test PRIVATE ZANDAR_CAPTURE_EXE="$<TARGET_FILE:zandar-capture>")
add_dependencies(capture_test zandar-capture assets)
