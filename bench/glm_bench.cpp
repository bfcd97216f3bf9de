// Model library benchmarks: the normal computations at 250k, 500k and 1M triangles. Reading is
// measured by glm_matrix (bench/glm_matrix.cpp).
//
//   build/bench/glm_bench
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <cstring>

#include "glm/glm.h"

namespace {

// A grid model built in memory with `triangles` triangles (rounded to whole quads).
ObjModel* gridModel(int triangles) {
    const int columns = 1000;
    const int rows = triangles / (2 * columns);
    const int row = columns + 1;
    auto* model = static_cast<ObjModel*>(std::calloc(1, sizeof(ObjModel)));
    model->vertexcount = static_cast<GLuint>(row * (rows + 1));
    model->vertices =
        static_cast<GLfloat*>(std::calloc((model->vertexcount + 1) * 3, sizeof(GLfloat)));
    for (GLuint i = 1; i <= model->vertexcount; ++i) {
        const int x = static_cast<int>((i - 1) % row), z = static_cast<int>((i - 1) / row);
        model->vertices[3 * i] = x * 0.1f;
        model->vertices[3 * i + 1] = std::sin(x * 0.05f) * std::cos(z * 0.07f) * 3.0f;
        model->vertices[3 * i + 2] = z * 0.1f;
    }
    model->trianglecount = static_cast<GLuint>(2 * columns * rows);
    model->triangles =
        static_cast<ObjTriangle*>(std::calloc(model->trianglecount, sizeof(ObjTriangle)));
    GLuint t = 0;
    for (int z = 0; z < rows; ++z) {
        for (int x = 0; x < columns; ++x) {
            const int a = z * row + x + 1, b = a + 1, c = a + row, d = c + 1;
            const int corners[2][3] = {{a, c, d}, {a, d, b}};
            for (const auto& corner : corners) {
                std::memcpy(model->triangles[t++].vertexindex, corner, sizeof corner);
            }
        }
    }
    return model;
}

void BM_FacetNormals(benchmark::State& state) {
    ObjModel* model = gridModel(static_cast<int>(state.range(0)));
    for (auto _ : state) {
        glmComputeFacetNormals(model);
    }
    state.SetItemsProcessed(state.iterations() * model->trianglecount);
    glmFreeModel(model);
}
BENCHMARK(BM_FacetNormals)->Arg(250000)->Arg(500000)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_VertexNormals(benchmark::State& state) {
    ObjModel* model = gridModel(static_cast<int>(state.range(0)));
    glmComputeFacetNormals(model);
    for (auto _ : state) {
        glmVertexNormals(model, 90.0f);
    }
    state.SetItemsProcessed(state.iterations() * model->trianglecount);
    glmFreeModel(model);
}
BENCHMARK(BM_VertexNormals)->Arg(250000)->Arg(500000)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
