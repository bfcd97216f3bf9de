# Frame, start-up and sync benchmarks of the demo itself (bench/frame_bench.sh and
# docs/PERFORMANCE.md run them). They open a window: run them under a display (xvfb-run).
add_executable(frame_bench ${CMAKE_CURRENT_LIST_DIR}/frame_bench.cpp)
target_link_libraries(frame_bench PRIVATE zandar_demo benchmark::benchmark)
target_compile_definitions(frame_bench PRIVATE ZANDAR_ASSET_DIR="${ZANDAR_ASSET_DIR}")
add_dependencies(frame_bench assets)

add_executable(startup_bench ${CMAKE_CURRENT_LIST_DIR}/startup_bench.cpp)
target_link_libraries(startup_bench PRIVATE zandar_demo ${CMAKE_DL_LIBS})
target_compile_definitions(startup_bench PRIVATE ZANDAR_ASSET_DIR="${ZANDAR_ASSET_DIR}")
# Its own glXSwapBuffers must be the one the window library calls.
set_target_properties(startup_bench PROPERTIES ENABLE_EXPORTS ON)
add_dependencies(startup_bench assets)

add_executable(sync_bench ${CMAKE_CURRENT_LIST_DIR}/sync_bench.cpp)
target_link_libraries(sync_bench PRIVATE zandar_demo)
target_compile_definitions(sync_bench PRIVATE ZANDAR_ASSET_DIR="${ZANDAR_ASSET_DIR}")
add_dependencies(sync_bench assets)

# The picture of every frame's time that frame_bench.sh draws from the capture's timings.
add_executable(frame_plot ${CMAKE_CURRENT_LIST_DIR}/frame_plot.cpp)
target_link_libraries(frame_plot PRIVATE sfml-graphics sfml-window sfml-system)
