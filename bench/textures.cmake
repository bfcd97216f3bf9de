# readTGA against stb_image (Debian's libstb) on the same files.
add_executable(tga_bench ${CMAKE_CURRENT_LIST_DIR}/tga_bench.cpp)
target_link_libraries(tga_bench PRIVATE zandar_glm stb benchmark::benchmark)
