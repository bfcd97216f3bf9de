// Texture loading in a real OpenGL context: alignment, filters and wrapping, uploaded content,
// reported sizes and what a missing texture leaves behind.
#include "textures/texture.h"

#include <GL/gl.h>
#include <gtest/gtest.h>

#include <string>

#include "tests/support/test_window.h"
#include "tests/texture_files.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStderr;
using testing::internal::GetCapturedStdout;

struct Loaded {
    GLuint name = 0;
    GLfloat width = -1.0f;
    GLfloat height = -1.0f;
    GLint alignment = 0;
    std::string out;
    std::string err;
};

Loaded load(const std::string& file, bool repeat = true, bool filtering = true,
            bool mipmaps = true) {
    testWindow();
    glPixelStorei(GL_UNPACK_ALIGNMENT, 8);  // neither of the values the loader chooses
    Loaded l;
    CaptureStdout();
    CaptureStderr();
    l.name = glmLoadTexture(file.c_str(), GL_TRUE, repeat, filtering, mipmaps, &l.width, &l.height);
    l.err = GetCapturedStderr();
    l.out = GetCapturedStdout();
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &l.alignment);
    return l;
}

GLint parameter(GLenum which) {
    GLint value = 0;
    glGetTexParameteriv(GL_TEXTURE_2D, which, &value);
    return value;
}

GLint levelWidth(int level) {
    GLint value = -1;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &value);
    return value;
}

Bytes uploaded(GLenum format, std::size_t size) {
    Bytes out(size);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTexImage(GL_TEXTURE_2D, 0, format, GL_UNSIGNED_BYTE, out.data());
    return out;
}

Bytes swapRedBlue(Bytes b, int bpp) {
    for (std::size_t i = 0; i + bpp <= b.size(); i += bpp) {
        std::swap(b[i], b[i + 2]);
    }
    return b;
}

class TextureTest : public testing::Test {
protected:
    ScratchDir dir;
};

TEST_F(TextureTest, AlignmentFollowsTheRowLength) {
    EXPECT_EQ(load(dir.write("a.tga", tgaHeader(2, 4, 2, 24) + noise(24, 1))).alignment, 4);
    EXPECT_EQ(load(dir.write("b.tga", tgaHeader(2, 5, 2, 24) + noise(30, 1))).alignment, 1);
    EXPECT_EQ(load(dir.write("c.tga", tgaHeader(2, 5, 3, 32) + noise(60, 1))).alignment, 4);
    EXPECT_EQ(load(dir.write("d.tga", tgaHeader(2, 1, 1, 32) + noise(4, 1))).alignment, 4);
}

TEST_F(TextureTest, SwitchesSetFiltersAndWrapping) {
    const std::string file = dir.write("t.tga", tgaHeader(2, 4, 4, 32) + noise(64, 2));
    struct Case {
        bool filtering, mipmaps;
        GLint min, mag;
    } cases[] = {
        {true, true, GL_LINEAR_MIPMAP_LINEAR, GL_LINEAR},
        {true, false, GL_LINEAR, GL_LINEAR},
        {false, true, GL_NEAREST_MIPMAP_NEAREST, GL_NEAREST},
        {false, false, GL_NEAREST, GL_NEAREST},
    };
    for (const auto& c : cases) {
        for (bool repeat : {true, false}) {
            const Loaded l = load(file, repeat, c.filtering, c.mipmaps);
            ASSERT_NE(l.name, 0u);
            GLint bound = 0;
            glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
            EXPECT_EQ(GLuint(bound), l.name);
            EXPECT_EQ(parameter(GL_TEXTURE_MIN_FILTER), c.min) << c.filtering << c.mipmaps;
            EXPECT_EQ(parameter(GL_TEXTURE_MAG_FILTER), c.mag) << c.filtering << c.mipmaps;
            const GLint wrap = repeat ? GL_REPEAT : GL_CLAMP;
            EXPECT_EQ(parameter(GL_TEXTURE_WRAP_S), wrap);
            EXPECT_EQ(parameter(GL_TEXTURE_WRAP_T), wrap);
            // A mipmap chain only when asked for.
            EXPECT_EQ(levelWidth(1), c.mipmaps ? 2 : 0);
            EXPECT_EQ(l.err, "");
            EXPECT_EQ(l.out, "");
        }
    }
}

TEST_F(TextureTest, UploadsThePixelsInFileOrderAndReportsTheSize) {
    // 24 bits, width 5: rows of 15 bytes, uploaded with alignment 1.
    const Bytes stored = noise(5 * 3 * 3, 3);
    Loaded l = load(dir.write("a.tga", tgaHeader(2, 5, 3, 24) + stored), true, true, false);
    EXPECT_EQ(l.width, 5.0f);
    EXPECT_EQ(l.height, 3.0f);
    EXPECT_EQ(levelWidth(0), 5);
    EXPECT_EQ(uploaded(GL_RGB, stored.size()), swapRedBlue(stored, 3));

    // 32 bits, run-length, mipmapped: level 0 holds the image exactly.
    const Bytes four = noise(8 * 4 * 4, 4);
    Bytes packets;
    for (int i = 0; i < 32; i += 8) {
        packets.push_back(7);
        packets.insert(packets.end(), four.begin() + i * 4, four.begin() + (i + 8) * 4);
    }
    l = load(dir.write("b.tga", tgaHeader(10, 8, 4, 32, 0x28) + packets));
    EXPECT_EQ(l.width, 8.0f);
    EXPECT_EQ(l.height, 4.0f);
    EXPECT_EQ(uploaded(GL_RGBA, four.size()), swapRedBlue(four, 4));
}

TEST_F(TextureTest, LeadingBlanksAreSkipped) {
    const std::string file = dir.write("blank.tga", tgaHeader(2, 2, 2, 24) + noise(12, 5));
    const Loaded l = load("   " + file);
    EXPECT_EQ(l.err, "");
    EXPECT_EQ(l.width, 2.0f);

    const std::string missing = dir.path("nothing.tga");
    EXPECT_EQ(load("  " + missing).err, missing + ": Could not open texture file\nERROR: " +
                                            "Nu am putut incarca o textura " + missing + "!\n");
}

TEST_F(TextureTest, MissingTextureGivesAConfiguredEmptyTexture) {
    const std::string missing = dir.path("missing.tga");
    const Loaded l = load(missing);
    EXPECT_EQ(l.err, missing +
                         ": Could not open texture file\nERROR: Nu am putut incarca o textura " +
                         missing + "!\n");
    // The record never got a format: the loader says so, on standard output, without a line end.
    EXPECT_EQ(l.out, "glmLoadTexture(): unknown type 0x0");
    EXPECT_NE(l.name, 0u);
    EXPECT_EQ(l.width, 0.0f);
    EXPECT_EQ(l.height, 0.0f);
    GLint bound = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(GLuint(bound), l.name);
    EXPECT_EQ(parameter(GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
    EXPECT_EQ(parameter(GL_TEXTURE_WRAP_S), GL_REPEAT);
    EXPECT_EQ(levelWidth(0), 0);  // nothing uploaded
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));

    // A file whose pixels are cut short: its format is known, its pixels are not.
    const std::string cut = dir.write("cut.tga", tgaHeader(2, 4, 4, 24) + noise(40, 6));
    const Loaded c = load(cut);
    EXPECT_EQ(c.err, "ERROR: Could not read image data\nERROR: Nu am putut incarca o textura " +
                         cut + "!\n");
    EXPECT_EQ(c.out, "");
    EXPECT_EQ(c.width, 0.0f);
    EXPECT_EQ(levelWidth(0), 0);
}

TEST_F(TextureTest, LongFileNamesAreCutToFitTheMessage) {
    const std::string name = "/nonexistent/" + std::string(300, 'x') + ".tga";
    const Loaded l = load(name);
    const std::string text = ("Nu am putut incarca o textura " + name + "!").substr(0, 79);
    EXPECT_EQ(l.err, name + ": Could not open texture file\nERROR: " + text + "\n");
}

}  // namespace
