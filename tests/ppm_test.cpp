// Raw PPM reader: header layouts that must read alike, and files that must be refused cleanly.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "tests/texture_files.h"
#include "textures/texture.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

struct Read {
    bool ok = false;
    int width = -1;
    int height = -1;
    Bytes pixels;
    std::string messages;
};

Read read(const std::string& file) {
    Read r;
    CaptureStderr();
    unsigned char* p = readPPM(file.c_str(), &r.width, &r.height);
    r.messages = GetCapturedStderr();
    r.ok = p != nullptr;
    if (p) {
        r.pixels.assign(p, p + std::size_t(r.width) * r.height * 3);
        std::free(p);
    }
    return r;
}

class PpmTest : public testing::Test {
protected:
    ScratchDir dir;
    std::string file(const std::string& header, const Bytes& data) {
        return dir.write("p.ppm", Bytes(header.begin(), header.end()) + data);
    }
};

TEST_F(PpmTest, HeaderLayoutsReadAlike) {
    const Bytes data = noise(64 * 32 * 3, 1);
    Read r = read(file("P6\n# made by hand\n64 32\n255\n", data));
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.messages, "");
    EXPECT_EQ(r.width, 64);
    EXPECT_EQ(r.height, 32);
    EXPECT_EQ(r.pixels.size(), 6144u);
    EXPECT_TRUE(r.pixels == data);

    for (const char* header : {
             "P6\n64 32 255\n",
             "P6\n64\n32\n255\n",
             "P6 this rest of the magic line is ignored, 1 2 3\n#c\n64\n#c 1 2 3\n32 255\n",
             "P6\n\n  \t64   32\t255 and a tail\n",
             "P6\r\n64 32 255\r\n",
             "P6\n+64 32\n255\n",
             "P6\n                                                            64 32 255\n",
         }) {
        r = read(file(header, data));
        EXPECT_EQ(r.width, 64) << header;
        EXPECT_EQ(r.height, 32) << header;
        EXPECT_TRUE(r.pixels == data) << header;
    }

    // The pixels start right after the last header line, whatever their first bytes look like;
    // bytes after them are ignored.
    const Bytes tricky = {'#', '\n', '7', ' ', '8', '\n'};
    r = read(file("P6\n2 1\n255\n", tricky + Bytes{1, 2, 3}));
    EXPECT_EQ(r.pixels, tricky);

    // Long magic and comment lines are ignored whole: their tails are not taken as values.
    r = read(file(
        "P6" + std::string(100, ' ') + "9 9 9\n#" + std::string(200, 'c') + " 7 7 7\n2 1\n255\n",
        tricky));
    EXPECT_EQ(r.width, 2);
    EXPECT_EQ(r.pixels, tricky);
}

TEST_F(PpmTest, BadFilesAreRefusedWithAMessage) {
    const std::string name = dir.path("p.ppm");
    struct Case {
        const char* header;
        std::size_t dataBytes;
        const char* message;
    } cases[] = {
        {"P5\n2 2\n255\n", 4, "Not a raw PPM file"},
        {"P3\n2 2\n255\n", 12, "Not a raw PPM file"},
        {"", 0, "Not a raw PPM file"},
        {"P", 0, "Not a raw PPM file"},
        {"P6\n", 0, "Incomplete PPM header"},
        {"P6\n2 2\n# no maximum\n", 0, "Incomplete PPM header"},
        {"P6\n2 2\n255\n", 11, "Could not read image data"},
        {"P6\n2 2\n255\n", 0, "Could not read image data"},
        {"P6\n0 2\n255\n", 12, "Unsupported PPM image size"},
        {"P6\n2 0\n255\n", 12, "Unsupported PPM image size"},
        {"P6\n-2 -2\n255\n", 12, "Unsupported PPM image size"},
        {"P6\n65536 65536\n255\n", 12, "Unsupported PPM image size"},
        {"P6\n99999999999999999999 1\n255\n", 12, "Unsupported PPM image size"},
        {"P6\n30000 30000\n255\n", 12, "Unsupported PPM image size"},
        {"P6\n20000 20000\n255\n", 12, "Could not read image data"},
        {"P6\n2 2\n0\n", 12, "Unsupported PPM maximum sample value"},
        {"P6\n2 2\n256\n", 12, "Unsupported PPM maximum sample value"},
        {"P6\n2 2\n65535\n", 24, "Unsupported PPM maximum sample value"},
    };
    const int filesBefore = openFileCount();
    for (const auto& c : cases) {
        const std::string f = file(c.header, noise(c.dataBytes, 2));
        const Read r = read(f);
        EXPECT_FALSE(r.ok) << c.header;
        EXPECT_EQ(r.messages, f + ": " + c.message + "\n") << c.header;
        EXPECT_EQ(openFileCount(), filesBefore) << c.header;
    }

    // A value line longer than the header buffer would be cut mid-number: refused.
    const std::string f = file("P6\n" + std::string(68, ' ') + "2 2\n255\n", noise(12, 3));
    EXPECT_EQ(read(f).messages, f + ": PPM header line too long\n");

    const std::string missing = dir.path("missing.ppm");
    const Read r = read(missing);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.messages, missing + ": No such file or directory\n");
    EXPECT_EQ(openFileCount(), filesBefore);
}

}  // namespace
