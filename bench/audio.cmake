# The audio layer's per-frame costs: the position lookup and the silent clock.
add_executable(audio_bench audio_bench.cpp)
target_link_libraries(audio_bench PRIVATE zandar_audio benchmark::benchmark_main)
target_compile_definitions(audio_bench PRIVATE ZANDAR_ASSET_DIR="${ZANDAR_ASSET_DIR}")
add_dependencies(audio_bench assets)
