// What the audio layer costs the main loop once per frame.
//   build-audio/bench/audio_bench
#include <benchmark/benchmark.h>

#include <fstream>
#include <iterator>
#include <random>

#include "platform/audio_module.h"
#include "platform/bass.h"

namespace {

AudioBytes moduleBytes() {
    std::ifstream in(ZANDAR_ASSET_DIR "/arabish.xm", std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Looking up the row at a frame somewhere in a full record, as the main loop does each frame.
void BM_PositionLookup(benchmark::State& state) {
    auto renderer = ModuleRenderer::load(moduleBytes(), true, 44100, 2);
    std::vector<std::int16_t> chunk(2 * 4096);
    while (renderer->renderedFrames() < 10 * 44100) {
        renderer->render(chunk.data(), 4096);
    }
    std::uint64_t newest = renderer->renderedFrames();
    std::mt19937 random(1);
    std::uniform_int_distribution<std::uint64_t> frames(newest - 44100, newest - 1);
    for (auto _ : state) {
        benchmark::DoNotOptimize(renderer->positionAt(frames(random)));
    }
}
BENCHMARK(BM_PositionLookup);

// The silent clock's work per picture frame at 60 frames a second: 735 frames rendered unheard.
void BM_SilentClockFrame(benchmark::State& state) {
    auto renderer = ModuleRenderer::load(moduleBytes(), true, 44100, 1, true);
    std::vector<std::int16_t> scratch(735);
    for (auto _ : state) {
        renderer->render(scratch.data(), scratch.size());
    }
    state.SetItemsProcessed(state.iterations() * 735);
}
BENCHMARK(BM_SilentClockFrame);

// The same 735 frames as the stream renders them for the speakers, for comparison.
void BM_HeardRenderFrame(benchmark::State& state) {
    auto renderer = ModuleRenderer::load(moduleBytes(), true, 44100, 2);
    std::vector<std::int16_t> chunk(2 * 735);
    for (auto _ : state) {
        renderer->render(chunk.data(), 735);
    }
    state.SetItemsProcessed(state.iterations() * 735);
}
BENCHMARK(BM_HeardRenderFrame);

// The whole entry point on the silent clock (output disabled), called back to back.
void BM_GetPositionSilent(benchmark::State& state) {
    bassDisableOutput();
    BASS_Init(-1, 44100, 0, nullptr, nullptr);
    HMUSIC music = BASS_MusicLoad(0, ZANDAR_ASSET_DIR "/arabish.xm", 0, 0, BASS_MUSIC_LOOP, 0);
    BASS_ChannelPlay(music, 0);
    for (auto _ : state) {
        benchmark::DoNotOptimize(BASS_ChannelGetPosition(music, BASS_POS_MUSIC_ORDER));
    }
}
BENCHMARK(BM_GetPositionSilent);

}  // namespace
