// libFuzzer target: readTGA on arbitrary bytes. The reader takes a file name, so each input
// is written to an in-memory file first (a file on disk would make every run wait for the disk).
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "textures/tga.h"

namespace {

volatile unsigned sink;  // keeps the reads of every pixel byte

// The input file: an in-memory file reopened by path, as the reader opens it by name.
int inputFd = -1;
char inputPath[64];

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    inputFd = memfd_create("fuzz-tga-input", 0);
    if (inputFd < 0) {
        std::abort();
    }
    std::snprintf(inputPath, sizeof inputPath, "/proc/self/fd/%d", inputFd);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (ftruncate(inputFd, 0) != 0 ||
        (size > 0 && pwrite(inputFd, data, size, 0) != static_cast<ssize_t>(size))) {
        std::abort();
    }

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
