# The generated models, read by the real model library in a real GL context (Xvfb + Mesa), and
# the generator's OBJ and TGA writers.
zandar_test(assets_models_test
    SOURCES assets_models_test.cpp
        ${PROJECT_SOURCE_DIR}/tools/assetgen/mesh.cpp
        ${PROJECT_SOURCE_DIR}/tools/assetgen/tga_writer.cpp
    LIBS zandar_glm zandar_test_support
    LABELS assets gl)
add_dependencies(assets_models_test assets)
