# The model library's tests, one executable per operation group. The drawing, texture and demo
# helper tests use a real window and OpenGL context (Xvfb + Mesa).
find_package(tinyobjloader REQUIRED)

set(glm_test_libs zandar_glm GTest::gmock)
zandar_test(glm_read_test SOURCES glm_read_test.cpp LIBS ${glm_test_libs} LABELS glm)
zandar_test(glm_geometry_test SOURCES glm_geometry_test.cpp LIBS ${glm_test_libs} LABELS glm)
zandar_test(glm_write_test SOURCES glm_write_test.cpp LIBS ${glm_test_libs} LABELS glm)
zandar_test(glm_tinyobj_test SOURCES glm_tinyobj_test.cpp
    LIBS ${glm_test_libs} tinyobjloader::tinyobjloader LABELS glm)
zandar_test(glm_mtl_test SOURCES glm_mtl_test.cpp
    LIBS ${glm_test_libs} zandar_test_support LABELS glm gl)
zandar_test(glm_draw_test SOURCES glm_draw_test.cpp
    LIBS ${glm_test_libs} zandar_test_support LABELS glm gl)
zandar_test(demo_models_test SOURCES demo_models_test.cpp
    LIBS ${glm_test_libs} zandar_test_support LABELS glm gl)
