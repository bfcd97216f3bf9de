// Texture loading in a real OpenGL context: alignment, filters and wrapping, uploaded content,
// reported sizes and what a missing texture leaves behind.
#include "textures/texture.h"

#include <gtest/gtest.h>

#include "tests/support/test_window.h"
#include "tests/texture_files.h"

namespace {

struct Loaded {
    GLuint name;
    GLfloat width, height;
    GLint alignment;
    std::string out, err;
};

Loaded load(const std::string& file, bool repeat = true, bool filtering = true,
            bool mipmaps = true) {
    testWindow();
    glPixelStorei(GL_UNPACK_ALIGNMENT, 8);  // neither of the values the loader chooses
    Loaded l = {0, -1, -1, 0, "", ""};
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    l.name = glmLoadTexture(file.c_str(), 1, repeat, filtering, mipmaps, &l.width, &l.height);
    l.err = testing::internal::GetCapturedStderr();
    l.out = testing::internal::GetCapturedStdout();
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &l.alignment);
    return l;
}

GLint get(GLenum parameter, int level = -1) {
    GLint value = -1;
    if (level < 0) {
        glGetTexParameteriv(GL_TEXTURE_2D, parameter, &value);
    } else {
        glGetTexLevelParameteriv(GL_TEXTURE_2D, level, parameter, &value);
    }
    return value;
}

GLuint bound() {
    GLint name = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &name);
    return GLuint(name);
}

TEST(Texture, SwitchesSetFiltersWrappingAndMipmaps) {
    ScratchDir dir;
    const std::string file = dir.write("t.tga", tgaHeader(2, 4, 4, 32) + noise(64, 2));
    const struct {
        bool filtering, mipmaps;
        GLint min, mag;
    } cases[] = {{true, true, GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR},
                 {true, false, GL_LINEAR, GL_LINEAR},
                 {false, true, GL_NEAREST_MIPMAP_NEAREST, GL_NEAREST},
                 {false, false, GL_NEAREST, GL_NEAREST}};
    for (const auto& c : cases) {
        for (bool repeat : {true, false}) {
            const Loaded l = load(file, repeat, c.filtering, c.mipmaps);
            EXPECT_NE(l.name, 0u);
            EXPECT_EQ(bound(), l.name);
            EXPECT_EQ(get(GL_TEXTURE_MIN_FILTER), c.min);
            EXPECT_EQ(get(GL_TEXTURE_MAG_FILTER), c.mag);
            EXPECT_EQ(get(GL_TEXTURE_WRAP_S), repeat ? GL_REPEAT : GL_CLAMP);
            EXPECT_EQ(get(GL_TEXTURE_WRAP_T), repeat ? GL_REPEAT : GL_CLAMP);
            EXPECT_EQ(get(GL_TEXTURE_WIDTH, 1), c.mipmaps ? 2 : 0);
            EXPECT_EQ(l.err + l.out, "");
        }
    }
}

TEST(Texture, UploadsThePixelsInFileOrderWithTheRightAlignment) {
    ScratchDir dir;
    for (bool mipmaps : {false, true}) {
        for (int bpp : {3, 4}) {
            const int width = mipmaps ? 8 : 5, height = mipmaps ? 4 : 3;  // rows of 15, 20, 24, 32
            const Bytes stored = noise(std::size_t(width) * height * bpp, bpp);
            const Loaded l =
                load("  " + dir.write("u.tga", tgaHeader(2, width, height, bpp * 8) + stored), true,
                     true, mipmaps);
            EXPECT_EQ(l.alignment, width * bpp % 4 == 0 ? 4 : 1);
            EXPECT_EQ(l.width, GLfloat(width));
            EXPECT_EQ(l.height, GLfloat(height));
            Bytes texels(stored.size());
            glPixelStorei(GL_PACK_ALIGNMENT, 1);
            glGetTexImage(GL_TEXTURE_2D, 0, bpp == 3 ? GL_RGB : GL_RGBA, GL_UNSIGNED_BYTE,
                          texels.data());
            for (std::size_t i = 0; i < stored.size(); i += bpp) {
                std::swap(texels[i], texels[i + 2]);
            }
            EXPECT_TRUE(texels == stored) << mipmaps << bpp;
        }
    }
}

// A texture that cannot be read still yields a configured, bound texture object, empty, 0 x 0.
TEST(Texture, MissingTextureIsReportedAndLeavesAnEmptyTexture) {
    ScratchDir dir;
    const std::string missing = dir.path("missing.tga");
    const Loaded l = load("   " + missing);
    EXPECT_EQ(l.err, missing +
                         ": Could not open texture file\nERROR: Nu am putut incarca o textura " +
                         missing + "!\n");
    EXPECT_EQ(l.out, "glmLoadTexture(): unknown type 0x0\n");  // the record never got a format
    EXPECT_NE(l.name, 0u);
    EXPECT_EQ(bound(), l.name);
    EXPECT_EQ(l.width + l.height, 0.0f);
    EXPECT_EQ(get(GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
    EXPECT_EQ(get(GL_TEXTURE_WRAP_T), GL_REPEAT);
    EXPECT_EQ(get(GL_TEXTURE_WIDTH, 0), 0);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));

    const std::string cut = dir.write("cut.tga", tgaHeader(2, 4, 4, 24) + Bytes(40));
    EXPECT_EQ(
        load(cut).err,
        "ERROR: Could not read image data\nERROR: Nu am putut incarca o textura " + cut + "!\n");
    EXPECT_EQ(get(GL_TEXTURE_WIDTH, 0), 0);

    const std::string longName = "/nonexistent/" + std::string(300, 'x') + ".tga";
    const std::string text = ("Nu am putut incarca o textura " + longName + "!").substr(0, 79);
    EXPECT_EQ(load(longName).err,
              longName + ": Could not open texture file\nERROR: " + text + "\n");
}

}  // namespace
