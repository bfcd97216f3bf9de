// libFuzzer target: readTGA on arbitrary bytes. The reader opens its input by name.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fuzz/memory_file.h"
#include "textures/tga.h"

namespace {

volatile unsigned sink;  // keeps the reads of every pixel byte
MemoryFile input("fuzz-tga-input");

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const char* inputPath = input.hold(data, size);
    TgaImage image = {nullptr, 0, 0, 0, 0};
    readTGA(&image, inputPath);
    if (image.pixels) {
        // Touch every byte the record claims, so a buffer shorter than the image shows up.
        const std::size_t bytes =
            std::size_t{image.width} * image.height * (image.bitsPerPixel / 8);
        unsigned sum = 0;
        for (std::size_t i = 0; i < bytes; ++i) {
            sum += image.pixels[i];
        }
        if (image.format != GL_RGB && image.format != GL_RGBA) {
            std::abort();
        }
        std::free(image.pixels);
        sink = sum;
    }
    return 0;
}
