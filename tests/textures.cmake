# Texture images: TGA and PPM readers, texture loading (real OpenGL context under Xvfb).
zandar_test(tga_test SOURCES tga_test.cpp LIBS zandar_glm LABELS textures)
zandar_test(ppm_test SOURCES ppm_test.cpp LIBS zandar_glm LABELS textures)
zandar_test(texture_test SOURCES texture_test.cpp LIBS zandar_glm zandar_test_support
            LABELS textures gl)
