# The generated pictures as the demo loads them (SFML), the generator's determinism, and the
# drawing canvas the pictures are painted with.
zandar_test(assetgen_test
    SOURCES assetgen_test.cpp
        ${PROJECT_SOURCE_DIR}/tools/assetgen/canvas.cpp
        ${PROJECT_SOURCE_DIR}/tools/assetgen/img_common.cpp
        ${PROJECT_SOURCE_DIR}/tools/assetgen/text.cpp
        ${PROJECT_SOURCE_DIR}/tools/assetgen/fonts.cpp
    LIBS sfml-graphics PkgConfig::FREETYPE stb
    LABELS assets)
target_include_directories(assetgen_test PRIVATE ${PROJECT_SOURCE_DIR} /usr/include/stb)
target_compile_definitions(assetgen_test PRIVATE
    ZANDAR_ASSETGEN="$<TARGET_FILE:zandar-assetgen>")
add_dependencies(assetgen_test assets)
