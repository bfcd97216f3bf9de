// How long the generator's music part takes, piece by piece.
#include <benchmark/benchmark.h>

#include "tools/assetgen/mp3_writer.h"
#include "tools/assetgen/music_module.h"
#include "tools/assetgen/music_stream.h"

namespace {

// Synthesising every instrument and writing the XM file.
void BM_Module(benchmark::State& state) {
    for (auto _ : state) {
        std::vector<uint8_t> bytes = xm::write(arabishModule());
        benchmark::DoNotOptimize(bytes.data());
        state.counters["bytes"] = static_cast<double>(bytes.size());
    }
}
BENCHMARK(BM_Module)->Unit(benchmark::kMillisecond)->Iterations(3);

// The 125 s stream's sound, before encoding.
void BM_StreamSynthesis(benchmark::State& state) {
    for (auto _ : state) {
        std::vector<float> pcm = desert::stream();
        benchmark::DoNotOptimize(pcm.data());
    }
}
BENCHMARK(BM_StreamSynthesis)->Unit(benchmark::kMillisecond)->Iterations(2);

// LAME at the generator's settings on that sound.
void BM_StreamEncoding(benchmark::State& state) {
    const std::vector<float> pcm = desert::stream();
    for (auto _ : state) {
        std::vector<uint8_t> mp3 = mp3::encodeStereo(pcm, {});
        benchmark::DoNotOptimize(mp3.data());
        state.counters["bytes"] = static_cast<double>(mp3.size());
    }
}
BENCHMARK(BM_StreamEncoding)->Unit(benchmark::kMillisecond)->Iterations(2);

}  // namespace
