# Texture images: TGA and PPM reading, texture loading. Part of the zandar_glm library.
target_sources(zandar_glm PRIVATE
    ${PROJECT_SOURCE_DIR}/textures/tga.cpp
    ${PROJECT_SOURCE_DIR}/textures/texture.cpp)
