# Painting the demo's pictures: the whole set (kept to about 15 s here) and the canvas's parts.
file(GLOB images_bench_sources ${PROJECT_SOURCE_DIR}/tools/assetgen/img_*.cpp)
add_executable(images_bench ${CMAKE_CURRENT_LIST_DIR}/images_bench.cpp
    ${images_bench_sources}
    ${PROJECT_SOURCE_DIR}/tools/assetgen/images.cpp
    ${PROJECT_SOURCE_DIR}/tools/assetgen/canvas.cpp
    ${PROJECT_SOURCE_DIR}/tools/assetgen/text.cpp
    ${PROJECT_SOURCE_DIR}/tools/assetgen/fonts.cpp)
target_include_directories(images_bench PRIVATE ${PROJECT_SOURCE_DIR} /usr/include/stb)
target_link_libraries(images_bench PRIVATE PkgConfig::FREETYPE stb benchmark::benchmark)
