// libFuzzer target: readPPM on arbitrary bytes. The reader takes a file name, so each input
// is written to an in-memory file first (a file on disk would make every run wait for the disk).
#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "textures/texture.h"

namespace {

volatile unsigned sink;  // keeps the reads of every pixel byte

// The input file: an in-memory file reopened by path, as the reader opens it by name.
int inputFd = -1;
char inputPath[64];

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    inputFd = memfd_create("fuzz-ppm-input", 0);
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
