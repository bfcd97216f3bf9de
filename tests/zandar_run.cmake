# The real program end to end, each run on its own X server.
add_library(zandar_process_support STATIC support/process.cpp support/xvfb.cpp)
target_include_directories(zandar_process_support PUBLIC ${PROJECT_SOURCE_DIR})
target_compile_definitions(zandar_process_support PRIVATE ZANDAR_ASSET_DIR="${ZANDAR_ASSET_DIR}")
find_package(X11 REQUIRED)
target_link_libraries(zandar_process_support PUBLIC X11::X11)

zandar_test(zandar_run_test SOURCES zandar_run_test.cpp LIBS zandar_process_support
    LABELS long)
target_compile_definitions(zandar_run_test PRIVATE ZANDAR_EXE="$<TARGET_FILE:zandar>")
add_dependencies(zandar_run_test zandar assets)

# Started as users start it, under plain xvfb-run (a server that resets with its last client):
# every start reaches the first frame of scene 1.
add_test(NAME zandar_xvfb_run_starts COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/first_frame_starts.sh
    $<TARGET_FILE:zandar> ${ZANDAR_ASSET_DIR} 3)
set_tests_properties(zandar_xvfb_run_starts PROPERTIES LABELS long TIMEOUT 300)
