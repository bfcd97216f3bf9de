// Model library benchmarks: reading a one-million-triangle OBJ file against tinyobjloader (time
// and peak memory), and the normal computations at 250k, 500k and 1M triangles.
//
//   build/bench/glm_bench                       all of them
//   build/bench/glm_bench --benchmark_filter=Read
//   build/bench/glm_bench --benchmark_filter=Vs   both readers in turn, and the speedup
//
// Peak memory is measured in a fresh child process per reader (this program re-run with
// --peak READER FILE), from the kernel's high-water mark of resident memory (VmHWM).
#include <benchmark/benchmark.h>
#include <sys/stat.h>
#include <tiny_obj_loader.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <ctime>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "glm/glm.h"

namespace {

constexpr int kColumns = 1000;  // quads per row
constexpr int kRows = 500;      // 1000 x 500 quads = one million triangles
const char* kObjPath = "/tmp/zandar_glm_bench_1m.obj";
const char* kMtlName = "zandar_glm_bench_1m.mtl";

// A terrain grid with positions, texture coordinates and normals, ten groups, four materials.
void writeBenchFile() {
    struct stat info;
    if (stat(kObjPath, &info) == 0 && info.st_size > 0) {
        return;
    }
    FILE* mtl = std::fopen((std::string("/tmp/") + kMtlName).c_str(), "w");
    const char* names[4] = {"sand", "rock", "grass", "water"};
    for (int m = 0; m < 4; ++m) {
        std::fprintf(mtl, "newmtl %s\nKd %.2f %.2f 0.3\nKs 0.1 0.1 0.1\nNs 200\n\n", names[m],
                     0.2 * m, 1.0 - 0.2 * m);
    }
    std::fclose(mtl);

    const std::string partial = std::string(kObjPath) + ".partial";
    FILE* f = std::fopen(partial.c_str(), "w");
    std::fprintf(f, "# generated terrain\nmtllib %s\n", kMtlName);
    for (int z = 0; z <= kRows; ++z) {
        for (int x = 0; x <= kColumns; ++x) {
            const double h = std::sin(x * 0.05) * std::cos(z * 0.07) * 3.0;
            std::fprintf(f, "v %.6f %.6f %.6f\n", x * 0.1, h, z * 0.1);
        }
    }
    for (int z = 0; z <= kRows; ++z) {
        for (int x = 0; x <= kColumns; ++x) {
            std::fprintf(f, "vt %.6f %.6f\n", x / double(kColumns), z / double(kRows));
        }
    }
    for (int z = 0; z <= kRows; ++z) {
        for (int x = 0; x <= kColumns; ++x) {
            const double nx = -std::cos(x * 0.05) * 0.15, nz = std::sin(z * 0.07) * 0.21;
            const double l = std::sqrt(nx * nx + 1.0 + nz * nz);
            std::fprintf(f, "vn %.6f %.6f %.6f\n", nx / l, 1.0 / l, nz / l);
        }
    }
    const int row = kColumns + 1;
    for (int z = 0; z < kRows; ++z) {
        if (z % (kRows / 10) == 0) {
            std::fprintf(f, "g band%d\nusemtl %s\n", z / (kRows / 10), names[(z / 50) % 4]);
        }
        for (int x = 0; x < kColumns; ++x) {
            const int a = z * row + x + 1, b = a + 1, c = a + row, d = c + 1;
            std::fprintf(f, "f %d/%d/%d %d/%d/%d %d/%d/%d\n", a, a, a, c, c, c, d, d, d);
            std::fprintf(f, "f %d/%d/%d %d/%d/%d %d/%d/%d\n", a, a, a, d, d, d, b, b, b);
        }
    }
    std::fclose(f);
    std::rename(partial.c_str(), kObjPath);
}

bool readWithTinyObj(const char* path) {
    tinyobj::attrib_t attrib;
    std::vector<tinyobj::shape_t> shapes;
    std::vector<tinyobj::material_t> materials;
    std::string warn, err;
    return tinyobj::LoadObj(&attrib, &shapes, &materials, &warn, &err, path, "/tmp/", true);
}

void BM_ReadGlm(benchmark::State& state) {
    writeBenchFile();
    GLuint triangles = 0;
    for (auto _ : state) {
        ObjModel* model = glmReadOBJ(kObjPath);
        triangles = model->trianglecount;
        glmFreeModel(model);
    }
    state.counters["triangles"] = triangles;
}
BENCHMARK(BM_ReadGlm)->Unit(benchmark::kMillisecond)->MinTime(2.0);

void BM_ReadTinyObj(benchmark::State& state) {
    writeBenchFile();
    for (auto _ : state) {
        benchmark::DoNotOptimize(readWithTinyObj(kObjPath));
    }
}
BENCHMARK(BM_ReadTinyObj)->Unit(benchmark::kMillisecond)->MinTime(2.0);

double threadCpuSeconds() {
    timespec now;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Both readers in turn within each iteration, so that a machine whose load changes during the
// run weighs on both alike: CPU milliseconds per read of each and how many times faster glm is.
void BM_ReadGlmVsTinyObj(benchmark::State& state) {
    writeBenchFile();
    double glm = 0.0, tinyobj = 0.0;
    for (auto _ : state) {
        double start = threadCpuSeconds();
        glmFreeModel(glmReadOBJ(kObjPath));
        glm += threadCpuSeconds() - start;
        start = threadCpuSeconds();
        benchmark::DoNotOptimize(readWithTinyObj(kObjPath));
        tinyobj += threadCpuSeconds() - start;
    }
    const auto reads = static_cast<double>(state.iterations());
    state.counters["glm_ms"] = glm / reads * 1e3;
    state.counters["tinyobj_ms"] = tinyobj / reads * 1e3;
    state.counters["speedup"] = tinyobj / glm;
}
BENCHMARK(BM_ReadGlmVsTinyObj)->Unit(benchmark::kMillisecond)->MinTime(4.0);

long vmHwmKiB() {
    FILE* status = std::fopen("/proc/self/status", "r");
    char line[256];
    long kib = -1;
    while (status && std::fgets(line, sizeof line, status)) {
        if (std::strncmp(line, "VmHWM:", 6) == 0) {
            kib = std::strtol(line + 6, nullptr, 10);
        }
    }
    if (status) {
        std::fclose(status);
    }
    return kib;
}

// Child side of the memory measurement: one read, then the peak before and after.
int peakChild(const char* reader, const char* path) {
    const long before = vmHwmKiB();
    if (std::strcmp(reader, "glm") == 0) {
        glmFreeModel(glmReadOBJ(path));
    } else if (!readWithTinyObj(path)) {
        return 1;
    }
    std::printf("%ld %ld\n", before, vmHwmKiB());
    return 0;
}

void BM_PeakMemory(benchmark::State& state, const char* reader) {
    writeBenchFile();
    long before = 0, after = 0;
    for (auto _ : state) {
        char exe[4096] = {};
        if (readlink("/proc/self/exe", exe, sizeof exe - 1) < 0) {
            state.SkipWithError("no /proc/self/exe");
            return;
        }
        const std::string command = std::string(exe) + " --peak " + reader + " " + kObjPath;
        FILE* child = popen(command.c_str(), "r");
        if (!child || std::fscanf(child, "%ld %ld", &before, &after) != 2) {
            state.SkipWithError("measuring child failed");
        }
        if (child) {
            pclose(child);
        }
    }
    state.counters["peak_MiB"] = after / 1024.0;
    state.counters["read_MiB"] = (after - before) / 1024.0;
}
BENCHMARK_CAPTURE(BM_PeakMemory, glm, "glm")->Iterations(1)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_PeakMemory, tinyobj, "tinyobj")->Iterations(1)->Unit(benchmark::kMillisecond);

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
    if (argc == 4 && std::strcmp(argv[1], "--peak") == 0) {
        return peakChild(argv[2], argv[3]);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
