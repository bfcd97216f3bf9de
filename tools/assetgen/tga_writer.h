// Truevision TGA writing for model textures: true-colour images of 24 or 32 bits, stored
// uncompressed (type 2) or run-length encoded (type 10), bottom-left origin, no image ID and
// no colour map, the kinds the demo's texture reader accepts.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace modelgen {

struct TgaPicture {
    int width = 0;
    int height = 0;
    int channels = 3;                  // 3 (RGB, written as 24 bits) or 4 (RGBA, 32 bits)
    std::vector<std::uint8_t> pixels;  // rows in file order, R G B (A) per pixel
};

// The complete file contents.
std::vector<std::uint8_t> encodeTga(const TgaPicture& picture, bool runLength);

// Writes the file; exits with a message when it cannot.
void writeTga(const std::string& path, const TgaPicture& picture, bool runLength);

}  // namespace modelgen
