// TGA reader: decoded bytes, every refusal with its exact message, and clean failures.
#include "textures/tga.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "tests/texture_files.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

struct Decoded {
    bool ok = false;
    TgaImage image = {nullptr, 0, 0, 0, 0};
    std::string messages;
    Bytes pixels;
};

Decoded decode(const std::string& file) {
    Decoded d;
    CaptureStderr();
    d.ok = readTGA(&d.image, file.c_str());
    d.messages = GetCapturedStderr();
    if (d.image.pixels) {
        const std::size_t n =
            std::size_t{d.image.width} * d.image.height * (d.image.bitsPerPixel / 8);
        d.pixels.assign(d.image.pixels, d.image.pixels + n);
        std::free(d.image.pixels);
    }
    return d;
}

// What the reader must deliver for stored BGR(A) pixels: red and blue swapped.
Bytes expectedFrom(const Bytes& stored, int bpp) {
    Bytes out = stored;
    for (std::size_t i = 0; i + bpp <= out.size(); i += bpp) {
        std::swap(out[i], out[i + 2]);
    }
    return out;
}

// A straightforward run-length encoder: runs of 2+ equal pixels become run packets, the rest raw
// packets, neither longer than maxPacket pixels. Packets run across row ends.
Bytes encodeRunLength(const Bytes& stored, int bpp, int maxPacket = 128) {
    const std::size_t count = stored.size() / bpp;
    auto same = [&](std::size_t a, std::size_t b) {
        return std::equal(stored.begin() + a * bpp, stored.begin() + (a + 1) * bpp,
                          stored.begin() + b * bpp);
    };
    Bytes out;
    std::size_t i = 0;
    while (i < count) {
        std::size_t run = 1;
        while (i + run < count && run < std::size_t(maxPacket) && same(i, i + run)) {
            ++run;
        }
        if (run >= 2) {
            out.push_back(static_cast<std::uint8_t>(127 + run));
            out.insert(out.end(), stored.begin() + i * bpp, stored.begin() + (i + 1) * bpp);
            i += run;
            continue;
        }
        std::size_t raw = 1;
        while (i + raw < count && raw < std::size_t(maxPacket) &&
               !(i + raw + 1 < count && same(i + raw, i + raw + 1))) {
            ++raw;
        }
        out.push_back(static_cast<std::uint8_t>(raw - 1));
        out.insert(out.end(), stored.begin() + i * bpp, stored.begin() + (i + raw) * bpp);
        i += raw;
    }
    return out;
}

// Stored pixels with runs of random length between stretches of noise.
Bytes patchyPixels(std::size_t count, int bpp, std::uint32_t seed) {
    const Bytes dice = noise(count * 2, seed);
    const Bytes colours = noise(count * bpp, seed + 1);
    Bytes out;
    std::size_t i = 0;
    while (out.size() < count * bpp) {
        const std::size_t run =
            dice[i % dice.size()] % 4 == 0 ? 1 + dice[(i + 1) % dice.size()] : 1;
        for (std::size_t k = 0; k < run && out.size() < count * bpp; ++k) {
            out.insert(out.end(), colours.begin() + (i % count) * bpp,
                       colours.begin() + (i % count + 1) * bpp);
        }
        ++i;
    }
    return out;
}

class TgaTest : public testing::Test {
protected:
    ScratchDir dir;
};

TEST_F(TgaTest, UncompressedPixelsComeOutRgbInFileOrder) {
    auto d = decode(dir.write("a.tga", tgaHeader(2, 2, 1, 24) + Bytes{1, 2, 3, 4, 5, 6}));
    EXPECT_TRUE(d.ok);
    EXPECT_EQ(d.messages, "");
    EXPECT_EQ(d.pixels, (Bytes{3, 2, 1, 6, 5, 4}));
    EXPECT_EQ(d.image.format, GLuint{GL_RGB});
    EXPECT_EQ(d.image.bitsPerPixel, 24u);
    EXPECT_EQ(d.image.width, 2u);
    EXPECT_EQ(d.image.height, 1u);

    d = decode(dir.write("b.tga", tgaHeader(2, 1, 1, 32) + Bytes{10, 20, 30, 40}));
    EXPECT_EQ(d.pixels, (Bytes{30, 20, 10, 40}));
    EXPECT_EQ(d.image.format, GLuint{GL_RGBA});

    // Larger images: odd sizes, sizes above 255, images read in several slices and big enough
    // for the huge-page buffer; bytes after the image are ignored.
    struct Size {
        int width, height;
    };
    for (const Size size : {Size{301, 7}, Size{1000, 700}, Size{1024, 1024}}) {
        for (int bpp : {3, 4}) {
            const Bytes stored = noise(std::size_t(size.width) * size.height * bpp, 42 + bpp);
            d = decode(dir.write(
                "c.tga", tgaHeader(2, size.width, size.height, bpp * 8) + stored + Bytes{9, 9, 9}));
            EXPECT_EQ(d.image.width, unsigned(size.width));
            EXPECT_EQ(d.image.height, unsigned(size.height));
            EXPECT_TRUE(d.pixels == expectedFrom(stored, bpp)) << size.width << " " << bpp;
        }
    }
}

TEST_F(TgaTest, RunLengthPacketsDecodeExactly) {
    auto d = decode(dir.write("a.tga", tgaHeader(10, 3, 1, 24) + Bytes{0x82, 10, 20, 30}));
    EXPECT_TRUE(d.ok);
    EXPECT_EQ(d.messages, "");
    EXPECT_EQ(d.pixels, (Bytes{30, 20, 10, 30, 20, 10, 30, 20, 10}));

    // Header 127: a raw packet of 128 pixels; header 255: a run of 128.
    const Bytes raw = noise(128 * 4, 7);
    d = decode(
        dir.write("b.tga", tgaHeader(10, 16, 16, 32) + Bytes{127} + raw + Bytes{255, 1, 2, 3, 4}));
    Bytes expected = expectedFrom(raw, 4);
    for (int i = 0; i < 128; ++i) {
        expected.insert(expected.end(), {3, 2, 1, 4});
    }
    EXPECT_EQ(d.pixels, expected);

    // Packets that cross row ends: a 5 x 3 image as a run of 7 and a raw packet of 8.
    const Bytes eight = noise(8 * 3, 8);
    d = decode(dir.write("c.tga", tgaHeader(10, 5, 3, 24) + Bytes{0x86, 5, 6, 7, 7} + eight));
    expected.clear();
    for (int i = 0; i < 7; ++i) {
        expected.insert(expected.end(), {7, 6, 5});
    }
    expected = expected + expectedFrom(eight, 3);
    EXPECT_EQ(d.pixels, expected);
}

TEST_F(TgaTest, RunLengthMatchesUncompressedForWholeImages) {
    // Big enough that packets straddle the reader's internal buffer boundaries many times.
    for (int bpp : {3, 4}) {
        for (int maxPacket : {1, 3, 128}) {
            const Bytes stored = patchyPixels(523 * 301, bpp, 1000 + maxPacket);
            const Bytes file =
                tgaHeader(10, 523, 301, bpp * 8) + encodeRunLength(stored, bpp, maxPacket);
            auto d = decode(dir.write("r.tga", file));
            EXPECT_EQ(d.messages, "");
            ASSERT_EQ(d.pixels.size(), stored.size());
            EXPECT_TRUE(d.pixels == expectedFrom(stored, bpp)) << bpp << " " << maxPacket;
        }
    }
}

TEST_F(TgaTest, DescriptorByteHasNoEffect) {
    const Bytes stored = noise(4 * 3 * 3, 3);
    const Bytes reference = decode(dir.write("0.tga", tgaHeader(2, 4, 3, 24) + stored)).pixels;
    EXPECT_EQ(reference, expectedFrom(stored, 3));
    for (int descriptor : {0x08, 0x10, 0x20, 0x30, 0xFF}) {
        EXPECT_EQ(decode(dir.write("d.tga", tgaHeader(2, 4, 3, 24, descriptor) + stored)).pixels,
                  reference)
            << descriptor;
        EXPECT_EQ(decode(dir.write("e.tga", tgaHeader(10, 4, 3, 24, descriptor) +
                                                encodeRunLength(stored, 3)))
                      .pixels,
                  reference)
            << descriptor;
    }
}

struct Refusal {
    const char* what;
    Bytes content;
    bool returns;         // readTGA's result
    const char* message;  // "%s" stands for the file name; "" for none
};

TEST_F(TgaTest, EveryRefusalHasItsMessageAndLeavesNothingBehind) {
    const Bytes raw2 = tgaHeader(2, 2, 2, 24);
    const Bytes rle2 = tgaHeader(10, 2, 2, 24);
    const Bytes huge32 = tgaHeader(2, 65535, 65535, 32);
    const Bytes hugeRle = tgaHeader(10, 65535, 65535, 32);
    Bytes idLength = raw2, colourMap = raw2, origin = raw2, type3 = raw2;
    idLength[0] = 4;
    colourMap[1] = 1;
    origin[9] = 1;
    type3[2] = 3;
    const Refusal cases[] = {
        {"short header", Bytes{0, 0, 2, 0, 0}, false, "%s: Could not read file header\n"},
        {"empty file", Bytes{}, false, "%s: Could not read file header\n"},
        {"image ID", idLength, false, "%s: TGA file be type 2 or type 10 \n"},
        {"colour map", colourMap, false, "%s: TGA file be type 2 or type 10 \n"},
        {"origin", origin, false, "%s: TGA file be type 2 or type 10 \n"},
        {"grey type", type3, false, "%s: TGA file be type 2 or type 10 \n"},
        {"raw, short info", Bytes(raw2.begin(), raw2.begin() + 15), true,
         "ERROR: Could not read info header\n"},
        {"rle, short info", Bytes(rle2.begin(), rle2.begin() + 15), true, ""},
        {"raw, 16 bits", tgaHeader(2, 2, 2, 16) + Bytes(8), true,
         "%s: Invalid texture information\n"},
        {"rle, 16 bits", tgaHeader(10, 2, 2, 16) + Bytes(8), true, ""},
        {"raw, width 0", tgaHeader(2, 0, 2, 24) + Bytes(12), true,
         "%s: Invalid texture information\n"},
        {"raw, height 0", tgaHeader(2, 2, 0, 32) + Bytes(12), true,
         "%s: Invalid texture information\n"},
        {"raw, short data", raw2 + Bytes(11), true, "ERROR: Could not read image data\n"},
        {"raw, huge", huge32 + Bytes(64), true, "ERROR: Could not read image data\n"},
        {"rle, no packets", rle2, true, "%s: Could not read RLE header\n"},
        {"rle, ends after packets", rle2 + Bytes{0x81, 1, 2, 3}, true,
         "%s: Could not read RLE header\n"},
        {"rle, raw pixel cut", rle2 + Bytes{0x03, 1, 2, 3, 4, 5, 6, 7, 8}, true,
         "%s: Could not read image data\n"},
        {"rle, run pixel cut", rle2 + Bytes{0x80, 1, 2}, true, "%s: Could not read from file\n"},
        {"rle, run too long", rle2 + Bytes{0x81, 1, 2, 3, 0x82, 4, 5, 6}, true,
         "%s: Too many pixels read\n"},
        {"rle, raw too long", rle2 + Bytes{0x04} + noise(15, 1), true,
         "%s: Too many pixels read\n"},
        // The image is full before the surplus pixel would have been read: the file ends first.
        {"rle, raw too long, cut", rle2 + Bytes{0x04} + noise(12, 1), true,
         "%s: Could not read image data\n"},
        {"rle, huge, no packets", hugeRle, true, "%s: Could not read RLE header\n"},
        {"rle, huge, run cut", hugeRle + Bytes{0xFF, 1, 2, 3, 4, 0xFF, 1}, true,
         "%s: Could not read from file\n"},
        {"rle, huge, raw cut", hugeRle + Bytes{0x7F, 1, 2, 3, 4, 5}, true,
         "%s: Could not read image data\n"},
    };
    const int filesBefore = openFileCount();
    for (const auto& c : cases) {
        const std::string file = dir.write("bad.tga", c.content);
        std::string expected = c.message;
        if (const auto at = expected.find("%s"); at != std::string::npos) {
            expected.replace(at, 2, file);
        }
        auto d = decode(file);
        EXPECT_EQ(d.ok, c.returns) << c.what;
        EXPECT_EQ(d.messages, expected) << c.what;
        EXPECT_EQ(d.image.pixels, nullptr) << c.what;
        EXPECT_EQ(openFileCount(), filesBefore) << c.what;
    }

    const std::string missing = dir.path("missing.tga");
    auto d = decode(missing);
    EXPECT_FALSE(d.ok);
    EXPECT_EQ(d.messages, missing + ": Could not open texture file\n");
    EXPECT_EQ(openFileCount(), filesBefore);
}

TEST_F(TgaTest, ReadersCloseTheFileAndFailOnBadArguments) {
    const std::string file = dir.write("ok.tga", tgaHeader(2, 1, 1, 24) + Bytes{1, 2, 3});
    const int filesBefore = openFileCount();
    TgaImage image = {nullptr, 0, 0, 0, 0};
    EXPECT_FALSE(readTGA(nullptr, file.c_str()));
    EXPECT_FALSE(readTGAUncompressed(nullptr, "x", std::fopen(file.c_str(), "rb")));
    EXPECT_FALSE(readTGARunLength(&image, "x", nullptr));
    EXPECT_EQ(openFileCount(), filesBefore);

    // The readers can be driven directly from a file positioned after the 12-byte header.
    FILE* f = std::fopen(file.c_str(), "rb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(std::fseek(f, 12, SEEK_SET), 0);
    EXPECT_TRUE(readTGAUncompressed(&image, "x", f));
    ASSERT_NE(image.pixels, nullptr);
    EXPECT_EQ(Bytes(image.pixels, image.pixels + 3), (Bytes{3, 2, 1}));
    std::free(image.pixels);
    EXPECT_EQ(openFileCount(), filesBefore);
}

// Reads the file with the address space limited to 1 GB; exits 0 when the reader refused it
// cleanly (true, no pixels).
[[noreturn]] void readWithLittleMemory(const std::string& file) {
    const rlimit limit = {std::size_t{1} << 30, std::size_t{1} << 30};
    setrlimit(RLIMIT_AS, &limit);
    TgaImage image = {nullptr, 0, 0, 0, 0};
    const bool ok = readTGA(&image, file.c_str());
    std::exit(ok && image.pixels == nullptr ? 0 : 1);
}

// A 65535 x 65535 x 4 image needs about 17 GB: where that cannot be had, the reader says so.
// The files are sparse, so they hold enough bytes to get as far as the allocation. A truncated
// file announcing such an image is refused for what it lacks, without asking for the memory.
TEST_F(TgaTest, ImageTooLargeForMemoryIsRefused) {
    for (int type : {2, 10}) {
        const std::string file = dir.write("huge.tga", tgaHeader(type, 65535, 65535, 32));
        EXPECT_EXIT(
            readWithLittleMemory(file), testing::ExitedWithCode(0),
            type == 2 ? "ERROR: Could not read image data" : file + ": Could not read RLE header");
        ASSERT_EQ(truncate(file.c_str(), 18 + 65535LL * 65535 * 4), 0);
        EXPECT_EXIT(readWithLittleMemory(file), testing::ExitedWithCode(0),
                    file + ": Could not allocate memory for image");
    }
}

}  // namespace
