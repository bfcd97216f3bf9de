// libFuzzer target: readPPM on arbitrary bytes. The reader opens its input by name.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fuzz/memory_file.h"
#include "textures/texture.h"

namespace {

volatile unsigned sink;  // keeps the reads of every pixel byte
MemoryFile input("fuzz-ppm-input");

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const char* inputPath = input.hold(data, size);
    int width = -1;
    int height = -1;
    unsigned char* pixels = readPPM(inputPath, &width, &height);
    if (pixels) {
        // Touch every byte the sizes claim, so a buffer shorter than the image shows up.
        if (width < 1 || height < 1) {
            std::abort();
        }
        const std::size_t bytes = std::size_t(width) * std::size_t(height) * 3;
        unsigned sum = 0;
        for (std::size_t i = 0; i < bytes; ++i) {
            sum += pixels[i];
        }
        std::free(pixels);
        sink = sum;
    }
    return 0;
}
