# The music assets and the writers and synthesis that make them.
pkg_check_modules(XMP REQUIRED IMPORTED_TARGET libxmp)
zandar_test(assets_music_test
    SOURCES assets_music_test.cpp
        ${PROJECT_SOURCE_DIR}/tools/assetgen/xm_writer.cpp
        ${PROJECT_SOURCE_DIR}/tools/assetgen/mp3_writer.cpp
        ${PROJECT_SOURCE_DIR}/tools/assetgen/synth.cpp
        ${PROJECT_SOURCE_DIR}/tools/assetgen/music.cpp
        ${PROJECT_SOURCE_DIR}/tools/assetgen/music_stream.cpp
    LIBS PkgConfig::OPENMPT PkgConfig::MPG123 PkgConfig::XMP mp3lame
    LABELS assets)
target_include_directories(assets_music_test PRIVATE ${PROJECT_SOURCE_DIR})
add_dependencies(assets_music_test assets)
