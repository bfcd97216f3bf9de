// How long the pictures take to paint: every picture written to a temporary folder, and the
// canvas operations they spend their time in.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "tools/assetgen/assetgen.h"
#include "tools/assetgen/canvas.h"
#include "tools/assetgen/img_common.h"

namespace {

void BM_GenerateAllImages(benchmark::State& state) {
    auto dir =
        std::filesystem::temp_directory_path() / ("images_bench_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    for (auto _ : state) generateImages(dir.string());
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_GenerateAllImages)->Unit(benchmark::kSecond)->Iterations(1);

void BM_PaintSand(benchmark::State& state) {
    for (auto _ : state) benchmark::DoNotOptimize(paintSand());
}
BENCHMARK(BM_PaintSand)->Unit(benchmark::kMillisecond)->Iterations(2);

// A filled disc of the given radius: the rasteriser's cost grows with the outline and the area.
void BM_RasterizeDisc(benchmark::State& state) {
    float r = static_cast<float>(state.range(0));
    Path p;
    p.addCircle(r + 2, r + 2, r);
    int size = static_cast<int>(2 * r + 4);
    for (auto _ : state) benchmark::DoNotOptimize(rasterize(p, size, size));
    state.SetItemsProcessed(state.iterations() * size * size);
}
BENCHMARK(BM_RasterizeDisc)->Arg(16)->Arg(128)->Arg(512);

void BM_BlurMask(benchmark::State& state) {
    Path p;
    p.addRect(50, 50, 300, 300);
    Mask m = rasterize(p, 400, 400);
    for (auto _ : state) benchmark::DoNotOptimize(m.blurred(static_cast<float>(state.range(0))));
}
BENCHMARK(BM_BlurMask)->Arg(2)->Arg(12);

}  // namespace

BENCHMARK_MAIN();
