// Raw PPM reader: header layouts that must read alike, and files that must be refused cleanly.
#include <gtest/gtest.h>

#include "tests/texture_files.h"
#include "textures/texture.h"

namespace {

struct Read {
    int width, height;
    Bytes pixels;
    std::string messages;
    bool ok;
};

Read read(const std::string& file) {
    Read r = {-1, -1, {}, "", false};
    testing::internal::CaptureStderr();
    unsigned char* p = readPPM(file.c_str(), &r.width, &r.height);
    r.messages = testing::internal::GetCapturedStderr();
    if ((r.ok = p != nullptr)) {
        r.pixels.assign(p, p + std::size_t(r.width) * r.height * 3);
        std::free(p);
    }
    return r;
}

Bytes text(const std::string& s) {
    return Bytes(s.begin(), s.end());
}

TEST(Ppm, HeaderLayoutsReadAlike) {
    ScratchDir dir;
    const Bytes data = noise(64 * 32 * 3, 1);
    for (const char* header : {
             "P6\n# made by hand\n64 32\n255\n",
             "P6\n64 32 255\n",
             "P6\n64\n32\n255\n",
             "P6 rest of the magic line ignored 1 2 3\n#c\n64\n#c 1 2 3\n32 255\n",
             "P6\n\n  \t+64   32\t255 and a tail\n",
             "P6\r\n64 32 255\r\n",
             "P6\n                                                            64 32 255\n",
         }) {
        const Read r = read(dir.write("p.ppm", text(header) + data + Bytes{1, 2}));
        EXPECT_EQ(r.messages, "") << header;
        EXPECT_EQ(r.width * 100 + r.height, 6432) << header;
        EXPECT_TRUE(r.pixels == data) << header;  // 6144 bytes, trailing bytes ignored
    }
    // Values on the magic line (where Netpbm writes them) come first, then the lines after; pixels
    // start right after the last header line, however they look; long comment lines and junk
    // after the magic are skipped whole, their tails never taken as values.
    const Bytes tricky = text("#\n7 8\n");
    for (const std::string& header :
         std::vector<std::string>{"P6 2 1 255\n", "P6\t2 # w\n1\n255\n",
                                  "P6 magic line junk " + std::string(80, 'j') + " 9 9\n#" +
                                      std::string(200, 'c') + " 7\n2 1\n255\n"}) {
        const Read r = read(dir.write("t.ppm", text(header) + tricky));
        EXPECT_EQ(r.width * 100 + r.height, 201) << header;
        EXPECT_EQ(r.pixels, tricky) << header;
    }
    const Read oneLine = read(dir.write("o.ppm", text("P6 4 1 255\n1 1\n9\nABCDEF")));
    EXPECT_EQ(oneLine.width * 100 + oneLine.height, 401);
    EXPECT_EQ(oneLine.pixels, text("1 1\n9\nABCDEF"));
}

TEST(Ppm, BadFilesAreRefusedWithAMessage) {
    ScratchDir dir;
    const struct {
        std::string header;
        std::size_t dataBytes;
        const char* message;
    } cases[] = {
        {"P5\n2 2\n255\n", 4, "Not a raw PPM file"},
        {"P3\n2 2\n255\n", 12, "Not a raw PPM file"},
        {"", 0, "Not a raw PPM file"},
        {"P6\n2 2\n# no maximum\n", 0, "Incomplete PPM header"},
        {"P6\n2 2\n255\n", 11, "Could not read image data"},
        {"P6\n20000 20000\n255\n", 12, "Could not read image data"},
        {"P6\n0 2\n255\n", 12, "Unsupported PPM image size"},
        {"P6\n2 -2\n255\n", 12, "Unsupported PPM image size"},
        {"P6\n30000 30000\n255\n", 12, "Unsupported PPM image size"},
        {"P6\n99999999999999999999 1\n255\n", 12, "Unsupported PPM image size"},
        {"P6\n2 2\n0\n", 12, "Unsupported PPM maximum sample value"},
        {"P6\n2 2\n65535\n", 24, "Unsupported PPM maximum sample value"},
        // Cut at the line buffer's end, these would read as width 2 and height 2.
        {"P6\n" + std::string(66, ' ') + "2 23\n255\n", 12, "PPM header line too long"},
        {"P6" + std::string(64, ' ') + "2 23 255\n", 12, "PPM header line too long"},
    };
    const int filesBefore = openFileCount();
    for (const auto& c : cases) {
        const std::string file = dir.write("p.ppm", text(c.header) + noise(c.dataBytes, 2));
        const Read r = read(file);
        EXPECT_FALSE(r.ok) << c.header;
        EXPECT_EQ(r.messages, file + ": " + c.message + "\n");
        EXPECT_EQ(openFileCount(), filesBefore) << c.header;
    }
    const std::string missing = dir.path("missing.ppm");
    EXPECT_EQ(read(missing).messages, missing + ": No such file or directory\n");
}

}  // namespace
