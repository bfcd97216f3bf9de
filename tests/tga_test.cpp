// TGA reader: decoded bytes, every refusal with its exact message, and clean failures.
#include "textures/tga.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include "tests/texture_files.h"

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
    if (d.image.pixels) {
        d.pixels.assign(d.image.pixels, d.image.pixels + std::size_t{d.image.width} *
                                                             d.image.height * d.image.bitsPerPixel /
                                                             8);
        std::free(d.image.pixels);
    }
    return d;
}

Bytes swapRedBlue(Bytes b, int bpp) {
    for (std::size_t i = 0; i + bpp <= b.size(); i += bpp) {
        std::swap(b[i], b[i + 2]);
    }
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
        for (std::size_t k = 0; k < (run ? count : 1); ++k) {
            expected += swapRedBlue(stored, bpp);
        }
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
    d = decode(dir.write("c.tga", tgaHeader(10, 3, 1, 24) + Bytes{0x82, 10, 20, 30}));
    EXPECT_EQ(d.pixels, (Bytes{30, 20, 10, 30, 20, 10, 30, 20, 10}));
    const Bytes longest = Bytes{127} + noise(128 * 4, 7) + Bytes{255, 1, 2, 3, 4};  // 128 each
    Bytes expected = swapRedBlue(Bytes(longest.begin() + 1, longest.end() - 5), 4);
    for (int i = 0; i < 128; ++i) {
        expected += Bytes{3, 2, 1, 4};
    }
    EXPECT_TRUE(decode(dir.write("l.tga", tgaHeader(10, 16, 16, 32) + longest)).pixels == expected);

    // Odd sizes, sizes above 255, images read in several slices or into huge pages, run-length
    // packets across rows and across the reader's buffer; origin bits and trailing bytes ignored.
    const std::pair<int, int> sizes[] = {{5, 3}, {301, 7}, {523, 301}, {1024, 1024}};
    for (const auto& [w, h] : sizes) {
        for (int bpp : {3, 4}) {
            const Bytes stored = noise(std::size_t(w) * h * bpp, w + bpp);
            d = decode(
                dir.write("r.tga", tgaHeader(2, w, h, bpp * 8, w & 0x3F) + stored + Bytes(3)));
            EXPECT_EQ(d.image.width * 1000 + d.image.height, unsigned(w * 1000 + h));
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

}  // namespace
