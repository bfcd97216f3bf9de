// readTGA against stb_image's stbi_load on the same 4096 x 4096 files, uncompressed and
// run-length, 24 and 32 bits. The files are written once into a temporary folder (and so sit in
// the page cache for both readers); the figures are decoded megabytes per second.
#include <benchmark/benchmark.h>
#include <stb/stb_image.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "textures/tga.h"

namespace {

constexpr int kSize = 4096;

enum Kind { kRaw24, kRaw32, kRunLength24, kRunLength32, kKinds };

// Stored pixels resembling a texture: stretches of flat colour between stretches of noise, so a
// run-length file mixes run packets with raw packets of every length.
std::vector<std::uint8_t> texturePixels(int bpp) {
    std::vector<std::uint8_t> out(std::size_t{kSize} * kSize * bpp);
    std::uint32_t seed = 12345;
    auto next = [&seed] {
        seed = seed * 1664525u + 1013904223u;
        return seed >> 8;
    };
    std::size_t i = 0;
    while (i < out.size()) {
        const std::uint32_t r = next();
        const bool flat = r % 3 != 0;
        const std::size_t pixels = 1 + (r >> 4) % (flat ? 300 : 60);
        const std::uint32_t colour = next();
        for (std::size_t k = 0; k < pixels && i < out.size(); ++k) {
            const std::uint32_t c = flat ? colour : next();
            for (int b = 0; b < bpp; ++b) {
                out[i++] = static_cast<std::uint8_t>(c >> (8 * b));
            }
        }
    }
    return out;
}

std::vector<std::uint8_t> runLengthEncode(const std::vector<std::uint8_t>& stored, int bpp) {
    const std::size_t count = stored.size() / bpp;
    auto same = [&](std::size_t a, std::size_t b) {
        for (int k = 0; k < bpp; ++k) {
            if (stored[a * bpp + k] != stored[b * bpp + k]) {
                return false;
            }
        }
        return true;
    };
    std::vector<std::uint8_t> out;
    out.reserve(stored.size() + stored.size() / 64);
    std::size_t i = 0;
    while (i < count) {
        std::size_t run = 1;
        while (i + run < count && run < 128 && same(i, i + run)) {
            ++run;
        }
        std::size_t n = run;
        if (run >= 2) {
            out.push_back(static_cast<std::uint8_t>(127 + run));
            n = 1;
        } else {
            while (i + n < count && n < 128 && !(i + n + 1 < count && same(i + n, i + n + 1))) {
                ++n;
            }
            out.push_back(static_cast<std::uint8_t>(n - 1));
            run = n;
        }
        out.insert(out.end(), stored.begin() + i * bpp, stored.begin() + (i + n) * bpp);
        i += run;
    }
    return out;
}

// A race between readers that disagree would mean nothing.
void checkBothReadersAgree(const std::string& path) {
    TgaImage image = {nullptr, 0, 0, 0, 0};
    readTGA(&image, path.c_str());
    int w = 0, h = 0, comp = 0;
    stbi_uc* reference = stbi_load(path.c_str(), &w, &h, &comp, 0);
    const std::size_t size = std::size_t{kSize} * kSize * image.bitsPerPixel / 8;
    if (!image.pixels || !reference || w != kSize || h != kSize ||
        comp * 8 != int(image.bitsPerPixel) || std::memcmp(image.pixels, reference, size) != 0) {
        std::fprintf(stderr, "readTGA and stbi_load disagree on %s\n", path.c_str());
        std::exit(1);
    }
    std::free(image.pixels);
    stbi_image_free(reference);
}

class BenchFiles {
public:
    BenchFiles() {
        char pattern[] = "/tmp/zandar-tga-bench-XXXXXX";
        dir_ = mkdtemp(pattern) ? pattern : "/tmp";
        const char* names[kKinds] = {"raw24.tga", "raw32.tga", "rle24.tga", "rle32.tga"};
        for (int kind = 0; kind < kKinds; ++kind) {
            const int bpp = kind == kRaw24 || kind == kRunLength24 ? 3 : 4;
            const bool runLength = kind >= kRunLength24;
            // Top-left origin, so that stb_image does not spend time flipping the rows.
            const std::uint8_t header[18] = {0,
                                             0,
                                             std::uint8_t(runLength ? 10 : 2),
                                             0,
                                             0,
                                             0,
                                             0,
                                             0,
                                             0,
                                             0,
                                             0,
                                             0,
                                             0,
                                             kSize >> 8,
                                             0,
                                             kSize >> 8,
                                             std::uint8_t(bpp * 8),
                                             0x20};
            const auto stored = texturePixels(bpp);
            const auto data = runLength ? runLengthEncode(stored, bpp) : stored;
            paths_[kind] = dir_ + "/" + names[kind];
            FILE* f = std::fopen(paths_[kind].c_str(), "wb");
            if (!f || std::fwrite(header, 1, 18, f) != 18 ||
                std::fwrite(data.data(), 1, data.size(), f) != data.size()) {
                std::fprintf(stderr, "cannot write %s\n", paths_[kind].c_str());
                std::exit(1);
            }
            std::fclose(f);
            fileBytes_[kind] = 18 + data.size();
            checkBothReadersAgree(paths_[kind]);
        }
    }
    ~BenchFiles() {
        for (const auto& p : paths_) {
            std::remove(p.c_str());
        }
        rmdir(dir_.c_str());
    }
    const char* path(int kind) const { return paths_[kind].c_str(); }
    std::size_t fileBytes(int kind) const { return fileBytes_[kind]; }

private:
    std::string dir_;
    std::string paths_[kKinds];
    std::size_t fileBytes_[kKinds] = {};
};

const BenchFiles& files() {
    static const BenchFiles f;
    return f;
}

std::int64_t decodedBytes(int kind) {
    return std::int64_t{kSize} * kSize * (kind == kRaw24 || kind == kRunLength24 ? 3 : 4);
}

void BM_readTGA(benchmark::State& state, int kind) {
    const char* path = files().path(kind);
    for (auto _ : state) {
        TgaImage image = {nullptr, 0, 0, 0, 0};
        readTGA(&image, path);
        if (!image.pixels) {
            state.SkipWithError("readTGA failed");
            break;
        }
        benchmark::DoNotOptimize(image.pixels);
        std::free(image.pixels);
    }
    state.SetBytesProcessed(state.iterations() * decodedBytes(kind));
    state.counters["file_MB"] = double(files().fileBytes(kind)) / 1e6;
}

void BM_stbi_load(benchmark::State& state, int kind) {
    const char* path = files().path(kind);
    for (auto _ : state) {
        int w = 0, h = 0, comp = 0;
        stbi_uc* pixels = stbi_load(path, &w, &h, &comp, 0);
        if (!pixels) {
            state.SkipWithError(stbi_failure_reason());
            break;
        }
        benchmark::DoNotOptimize(pixels);
        stbi_image_free(pixels);
    }
    state.SetBytesProcessed(state.iterations() * decodedBytes(kind));
}

BENCHMARK_CAPTURE(BM_readTGA, raw24, kRaw24)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_stbi_load, raw24, kRaw24)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_readTGA, raw32, kRaw32)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_stbi_load, raw32, kRaw32)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_readTGA, rle24, kRunLength24)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_stbi_load, rle24, kRunLength24)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_readTGA, rle32, kRunLength32)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_stbi_load, rle32, kRunLength32)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
