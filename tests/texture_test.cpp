// The texture readers and loading: TGA decoding, every refusal with its exact message and clean
// failures; and in a real OpenGL context, alignment, filters and wrapping, uploaded content,
// reported sizes and what a missing texture leaves behind.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <tuple>

#include "tests/support/test_window.h"
#include "tests/texture_files.h"
#include "textures/texture.h"
#include "textures/tga.h"

namespace {

struct Decoded {
    bool ok;
    TgaImage image;
    std::string messages;
    Bytes pixels;
};

Decoded decode(const std::string& file) {
    Decoded d = {false, {nullptr, 0, 0, 0, 0}, "", {}};
    testing::internal::CaptureStderr();
    d.ok = readTGA(&d.image, file.c_str());
    d.messages = testing::internal::GetCapturedStderr();
    const std::size_t size = std::size_t{d.image.width} * d.image.height * d.image.bitsPerPixel / 8;
    d.pixels.assign(d.image.pixels, d.image.pixels + (d.image.pixels ? size : 0));
    std::free(d.image.pixels);
    return d;
}

Bytes swapRedBlue(Bytes b, int bpp) {
    for (std::size_t i = 0; i + bpp <= b.size(); i += bpp) std::swap(b[i], b[i + 2]);
    return b;
}

// Random raw and run packets of every length for `pixels` pixels, and what they decode to.
std::pair<Bytes, Bytes> randomPackets(std::size_t pixels, int bpp, std::uint32_t seed) {
    Bytes file, expected;
    for (std::size_t made = 0; made < pixels; ++seed) {
        const std::uint8_t dice = noise(1, seed)[0];
        const std::size_t count = std::min<std::size_t>((dice & 127) + 1, pixels - made);
        const bool run = dice & 128;
        const Bytes stored = noise(bpp * (run ? 1 : count), seed);
        file.push_back(std::uint8_t((dice & 128) | (count - 1)));
        file += stored;
        for (std::size_t k = 0; k < (run ? count : 1); ++k) expected += swapRedBlue(stored, bpp);
        made += count;
    }
    return {file, expected};
}

TEST(Tga, DecodesToRgbInFileOrderWhateverTheDescriptor) {
    ScratchDir dir;
    auto d = decode(dir.write("a.tga", tgaHeader(2, 2, 1, 24) + Bytes{1, 2, 3, 4, 5, 6}));
    EXPECT_TRUE(d.ok);
    EXPECT_EQ(d.messages, "");
    EXPECT_EQ(d.pixels, (Bytes{3, 2, 1, 6, 5, 4}));
    EXPECT_EQ(d.image.format, GLuint{GL_RGB});
    d = decode(dir.write("b.tga", tgaHeader(2, 1, 1, 32) + Bytes{10, 20, 30, 40}));
    EXPECT_EQ(d.pixels, (Bytes{30, 20, 10, 40}));
    EXPECT_EQ(d.image.format, GLuint{GL_RGBA});
    // Odd sizes, sizes above 255, images read in slices or into huge pages, packets of every
    // length across rows and the reader's buffer; origin bits and trailing bytes ignored.
    const std::pair<int, int> sizes[] = {{5, 3}, {301, 7}, {523, 301}, {1024, 1024}};
    for (const auto& [w, h] : sizes) {
        for (int bpp : {3, 4}) {
            const Bytes stored = noise(std::size_t(w) * h * bpp, w + bpp);
            d = decode(
                dir.write("r.tga", tgaHeader(2, w, h, bpp * 8, w & 0x3F) + stored + Bytes(3)));
            EXPECT_TRUE(d.image.width == GLuint(w) && d.image.height == GLuint(h)) << w << bpp;
            EXPECT_TRUE(d.pixels == swapRedBlue(stored, bpp)) << w << " " << bpp;
            const auto [packets, expected] = randomPackets(std::size_t(w) * h, bpp, w + bpp);
            d = decode(dir.write("p.tga", tgaHeader(10, w, h, bpp * 8, 0x20) + packets));
            EXPECT_EQ(d.messages, "");
            EXPECT_TRUE(d.pixels == expected) << w << " " << bpp;
        }
    }
}

TEST(Tga, EveryRefusalHasItsMessageAndLeavesNothingBehind) {
    ScratchDir dir;
    const Bytes raw = tgaHeader(2, 2, 2, 24), rle = tgaHeader(10, 2, 2, 24);
    const Bytes huge = tgaHeader(2, 65535, 65535, 32), hugeRle = tgaHeader(10, 65535, 65535, 32);
    const std::string typeMessage = "%: TGA file be type 2 or type 10 \n";
    const struct {
        Bytes content;
        bool returns;
        std::string message;  // % stands for the file name
    } cases[] = {
        {{0, 0, 2, 0, 0}, false, "%: Could not read file header\n"},
        {Bytes{4} + Bytes(raw.begin() + 1, raw.end()), false, typeMessage},          // image ID
        {Bytes{0, 1} + Bytes(raw.begin() + 2, raw.end()), false, typeMessage},       // colour map
        {Bytes(raw.begin(), raw.begin() + 9) + Bytes{1, 0, 0}, false, typeMessage},  // origin
        {Bytes{0, 0, 3} + Bytes(raw.begin() + 3, raw.end()), false, typeMessage},    // grey
        {Bytes(raw.begin(), raw.begin() + 15), true, "ERROR: Could not read info header\n"},
        {Bytes(rle.begin(), rle.begin() + 15), true, ""},
        {tgaHeader(2, 2, 2, 16) + Bytes(8), true, "%: Invalid texture information\n"},
        {tgaHeader(10, 2, 2, 16) + Bytes(8), true, ""},
        {tgaHeader(2, 0, 2, 24) + Bytes(12), true, "%: Invalid texture information\n"},
        {tgaHeader(2, 2, 0, 32) + Bytes(12), true, "%: Invalid texture information\n"},
        {raw + Bytes(11), true, "ERROR: Could not read image data\n"},
        {huge + Bytes(64), true, "ERROR: Could not read image data\n"},
        {rle, true, "%: Could not read RLE header\n"},
        {rle + Bytes{0x81, 1, 2, 3}, true, "%: Could not read RLE header\n"},
        {rle + Bytes{3, 1, 2, 3, 4, 5, 6, 7, 8}, true, "%: Could not read image data\n"},
        {rle + Bytes{0x80, 1, 2}, true, "%: Could not read from file\n"},
        {rle + Bytes{0x81, 1, 2, 3, 0x82, 4, 5, 6}, true, "%: Too many pixels read\n"},
        {rle + Bytes{4} + noise(15, 1), true, "%: Too many pixels read\n"},
        // The image is full before the surplus pixel is read, and the file ends there.
        {rle + Bytes{4} + noise(12, 1), true, "%: Could not read image data\n"},
        {hugeRle, true, "%: Could not read RLE header\n"},
        {hugeRle + Bytes{0xFF, 1, 2, 3, 4, 0xFF, 1}, true, "%: Could not read from file\n"},
        {hugeRle + Bytes{0x7F, 1, 2, 3, 4, 5}, true, "%: Could not read image data\n"},
    };
    const int filesBefore = openFileCount();
    for (const auto& c : cases) {
        const std::string file = dir.write("bad.tga", c.content);
        std::string expected = c.message;
        if (const auto at = expected.find('%'); at != std::string::npos) {
            expected.replace(at, 1, file);
        }
        const auto d = decode(file);
        EXPECT_EQ(d.ok, c.returns) << expected;
        EXPECT_EQ(d.messages, expected);
        EXPECT_EQ(d.image.pixels, nullptr) << expected;
        EXPECT_EQ(openFileCount(), filesBefore) << expected;
    }
    const std::string missing = dir.path("missing.tga");
    EXPECT_EQ(decode(missing).messages, missing + ": Could not open texture file\n");
    EXPECT_EQ(openFileCount(), filesBefore);
}

[[noreturn]] void readWithin1GB(const std::string& file) {
    const rlimit limit = {std::size_t{1} << 30, std::size_t{1} << 30};
    setrlimit(RLIMIT_AS, &limit);
    TgaImage image = {nullptr, 0, 0, 0, 0};
    const bool ok = readTGA(&image, file.c_str());
    std::exit(ok && image.pixels == nullptr ? 0 : 1);
}

// A 65535 x 65535 x 4 image needs about 17 GB: where that cannot be had, the reader says so (the
// sparse file holds enough bytes to get that far). A truncated file announcing such an image is
// refused for what it lacks, without asking for the memory.
TEST(Tga, ImageTooLargeForMemoryIsRefused) {
    ScratchDir dir;
    for (int type : {2, 10}) {
        const std::string file = dir.write("huge.tga", tgaHeader(type, 65535, 65535, 32));
        EXPECT_EXIT(readWithin1GB(file), testing::ExitedWithCode(0),
                    type == 2 ? "ERROR: Could not read image data" : ": Could not read RLE header");
        ASSERT_EQ(truncate(file.c_str(), 18 + 65535LL * 65535 * 4), 0);
        EXPECT_EXIT(readWithin1GB(file), testing::ExitedWithCode(0),
                    ": Could not allocate memory for image");
    }
}


struct Loaded {
    GLuint name;
    GLfloat width, height;
    GLint alignment, bound;
    std::string out, err;
};

Loaded load(const std::string& file, bool repeat = true, bool filtering = true,
            bool mipmaps = true) {
    testWindow();
    glPixelStorei(GL_UNPACK_ALIGNMENT, 8);  // neither of the values the loader chooses
    Loaded l = {0, -1, -1, 0, 0, "", ""};
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    l.name = glmLoadTexture(file.c_str(), 1, repeat, filtering, mipmaps, &l.width, &l.height);
    l.err = testing::internal::GetCapturedStderr();
    l.out = testing::internal::GetCapturedStdout();
    glGetIntegerv(GL_UNPACK_ALIGNMENT, &l.alignment);
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &l.bound);
    EXPECT_EQ(GLuint(l.bound), l.name);
    return l;
}

GLint get(GLenum parameter, int level = -1) {
    GLint value = -1;
    level < 0 ? glGetTexParameteriv(GL_TEXTURE_2D, parameter, &value)
              : glGetTexLevelParameteriv(GL_TEXTURE_2D, level, parameter, &value);
    return value;
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
            EXPECT_EQ(l.err + l.out, "");
            const GLint wrap = repeat ? GL_REPEAT : GL_CLAMP;
            EXPECT_EQ(std::make_tuple(get(GL_TEXTURE_MIN_FILTER), get(GL_TEXTURE_MAG_FILTER),
                                      get(GL_TEXTURE_WRAP_S), get(GL_TEXTURE_WRAP_T),
                                      get(GL_TEXTURE_WIDTH, 1)),
                      std::make_tuple(c.min, c.mag, wrap, wrap, c.mipmaps ? 2 : 0));
        }
    }
}

TEST(Texture, UploadsThePixelsInFileOrderWithTheRightAlignment) {
    ScratchDir dir;
    for (bool mipmaps : {false, true}) {
        for (int bpp : {3, 4}) {
            const int width = mipmaps ? 8 : 5, height = mipmaps ? 4 : 3;  // rows of 15, 20, 24, 32
            const Bytes stored = noise(std::size_t(width) * height * bpp, bpp);
            const Bytes tga = tgaHeader(2, width, height, bpp * 8) + stored;
            const Loaded l = load("  " + dir.write("u.tga", tga), true, true, mipmaps);  // blanks
            EXPECT_EQ(l.alignment, width * bpp % 4 == 0 ? 4 : 1);
            EXPECT_TRUE(l.width == width && l.height == height) << l.width << " x " << l.height;
            Bytes texels(stored.size());
            glPixelStorei(GL_PACK_ALIGNMENT, 1);
            glGetTexImage(GL_TEXTURE_2D, 0, bpp == 3 ? GL_RGB : GL_RGBA, GL_UNSIGNED_BYTE,
                          texels.data());
            for (std::size_t i = 0; i < texels.size(); i += bpp) std::swap(texels[i], texels[i+2]);
            EXPECT_TRUE(texels == stored) << mipmaps << bpp;
        }
    }
}

// A texture that cannot be read still yields a configured, bound texture object, empty, 0 x 0.
TEST(Texture, MissingTextureIsReportedAndLeavesAnEmptyTexture) {
    ScratchDir dir;
    const std::string missing = dir.path("missing.tga");
    const Loaded l = load("   " + missing);
    const std::string box = "ERROR: Nu am putut incarca o textura ";  // the message box's line
    EXPECT_EQ(l.err, missing + ": Could not open texture file\n" + box + missing + "!\n");
    EXPECT_EQ(l.out, "glmLoadTexture(): unknown type 0x0\n");  // the record never got a format
    EXPECT_NE(l.name, 0u);
    EXPECT_EQ(l.width + l.height, 0.0f);
    EXPECT_EQ(get(GL_TEXTURE_MIN_FILTER), GL_LINEAR_MIPMAP_LINEAR);
    EXPECT_EQ(get(GL_TEXTURE_WRAP_T), GL_REPEAT);
    EXPECT_EQ(get(GL_TEXTURE_WIDTH, 0), 0);
    EXPECT_EQ(glGetError(), GLenum(GL_NO_ERROR));


    // The message box's text is cut to its 79 characters.
    const std::string longName = "/nonexistent/" + std::string(300, 'x') + ".tga";
    const std::string text = ("Nu am putut incarca o textura " + longName + "!").substr(0, 79);
    const std::string expected = longName + ": Could not open texture file\nERROR: " + text;
    EXPECT_EQ(load(longName).err, expected + "\n");
}

}  // namespace
