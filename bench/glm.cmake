# Model library benchmarks: normals at growing sizes.
add_executable(glm_bench ${CMAKE_CURRENT_SOURCE_DIR}/glm_bench.cpp)
target_link_libraries(glm_bench PRIVATE zandar_glm benchmark::benchmark)
# The reading matrix: glm against tinyobjloader on eight shapes of OBJ file, whole processes.
find_package(tinyobjloader REQUIRED)
add_executable(glm_matrix ${CMAKE_CURRENT_SOURCE_DIR}/glm_matrix.cpp)
target_link_libraries(glm_matrix PRIVATE zandar_glm tinyobjloader::tinyobjloader)
