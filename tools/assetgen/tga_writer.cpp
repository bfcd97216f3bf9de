#include "tools/assetgen/tga_writer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace modelgen {

namespace {

// Appends one pixel in the file's byte order: blue, green, red (, alpha).
void putPixel(std::vector<std::uint8_t>& out, const std::uint8_t* p, int channels) {
    out.push_back(p[2]);
    out.push_back(p[1]);
    out.push_back(p[0]);
    if (channels == 4)
        out.push_back(p[3]);
}

// Packets never cross the end of a row: some readers expect that, and it costs little.
void encodeRow(std::vector<std::uint8_t>& out, const std::uint8_t* row, int width, int channels) {
    auto same = [&](int a, int b) {
        return std::memcmp(row + a * channels, row + b * channels, channels) == 0;
    };
    int x = 0;
    while (x < width) {
        int run = 1;
        while (x + run < width && run < 128 && same(x, x + run)) ++run;
        if (run >= 2) {
            out.push_back(std::uint8_t(127 + run));
            putPixel(out, row + x * channels, channels);
            x += run;
            continue;
        }
        // A raw packet lasts until the next pair of equal pixels.
        int raw = 1;
        while (x + raw < width && raw < 128 && !(x + raw + 1 < width && same(x + raw, x + raw + 1)))
            ++raw;
        out.push_back(std::uint8_t(raw - 1));
        for (int i = 0; i < raw; ++i) putPixel(out, row + (x + i) * channels, channels);
        x += raw;
    }
}

}  // namespace

std::vector<std::uint8_t> encodeTga(const TgaPicture& picture, bool runLength) {
    const int w = picture.width, h = picture.height, ch = picture.channels;
    if (w < 1 || h < 1 || w > 65535 || h > 65535 || (ch != 3 && ch != 4) ||
        picture.pixels.size() != std::size_t(w) * std::size_t(h) * std::size_t(ch)) {
        std::fprintf(stderr, "zandar-assetgen: bad TGA picture %dx%dx%d\n", w, h, ch);
        std::exit(1);
    }
    std::vector<std::uint8_t> out(18, 0);
    out[2] = runLength ? 10 : 2;
    out[12] = std::uint8_t(w & 0xff);
    out[13] = std::uint8_t(w >> 8);
    out[14] = std::uint8_t(h & 0xff);
    out[15] = std::uint8_t(h >> 8);
    out[16] = std::uint8_t(ch * 8);
    out[17] = ch == 4 ? 8 : 0;  // alpha bits; origin bottom-left
    const std::size_t stride = std::size_t(w) * ch;
    for (int y = 0; y < h; ++y) {
        const std::uint8_t* row = picture.pixels.data() + stride * y;
        if (runLength) {
            encodeRow(out, row, w, ch);
        } else {
            for (int x = 0; x < w; ++x) putPixel(out, row + x * ch, ch);
        }
    }
    return out;
}

void writeTga(const std::string& path, const TgaPicture& picture, bool runLength) {
    const std::vector<std::uint8_t> bytes = encodeTga(picture, runLength);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) {
        std::fprintf(stderr, "zandar-assetgen: cannot write %s\n", path.c_str());
        std::exit(1);
    }
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    if (std::fclose(f) != 0 || !ok) {
        std::fprintf(stderr, "zandar-assetgen: error while writing %s\n", path.c_str());
        std::exit(1);
    }
}

}  // namespace modelgen
