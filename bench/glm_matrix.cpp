// Model reading against tinyobjloader on the shapes of OBJ file people have, about one million
// triangles each: whole processes (this program re-run with --read READER FILE), wall time,
// processor time and peak resident memory of each, median of three runs with the readers' order
// rotating, the ratio per shape and the worst shape last.
//
//   build/bench/glm_matrix [--runs N] [--dir DIR] [--only SUBSTRING]
//
// The files are generated once, deterministically, into DIR (default /tmp/zandar_glm_matrix).
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <tiny_obj_loader.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <string>
#include <vector>

#include "bench/glm_shapes.h"
#include "glm/glm.h"

extern char** environ;

namespace {

using glmshapes::Shape;
using glmshapes::shapes;

constexpr glmshapes::Grid kGrid{1000, 500};  // one million triangles

void writeAtomically(const std::string& path, const std::string& text) {
    const std::string partial = path + ".partial";
    FILE* f = std::fopen(partial.c_str(), "wb");
    if (!f || std::fwrite(text.data(), 1, text.size(), f) != text.size() || std::fclose(f) != 0) {
        std::fprintf(stderr, "glm_matrix: cannot write %s\n", partial.c_str());
        std::exit(1);
    }
    std::rename(partial.c_str(), path.c_str());
}

// ---- The measuring children ------------------------------------------------------------------

int readChild(const char* reader, const char* path) {
    unsigned long triangles = 0;
    if (std::strcmp(reader, "glm") == 0) {
        ObjModel* model = glmReadOBJ(path);
        triangles = model->trianglecount;
        glmFreeModel(model);
    } else {
        tinyobj::attrib_t attrib;
        std::vector<tinyobj::shape_t> shapes;
        std::vector<tinyobj::material_t> materials;
        std::string warn, err;
        const std::string base = std::filesystem::path(path).parent_path().string() + "/";
        if (!tinyobj::LoadObj(&attrib, &shapes, &materials, &warn, &err, path, base.c_str(),
                              true)) {
            std::fprintf(stderr, "tinyobjloader: %s\n", err.c_str());
            return 1;
        }
        for (const auto& shape : shapes) {
            triangles += shape.mesh.indices.size() / 3;
        }
    }
    // The peak of this process's own memory (ru_maxrss would count the parent's before exec).
    long peakKiB = -1;
    char line[256];
    FILE* status = std::fopen("/proc/self/status", "r");
    while (status && std::fgets(line, sizeof line, status)) {
        if (std::strncmp(line, "VmHWM:", 6) == 0) {
            peakKiB = std::strtol(line + 6, nullptr, 10);
        }
    }
    if (status) {
        std::fclose(status);
    }
    std::fprintf(stderr, "%lu %ld\n", triangles, peakKiB);
    return 0;
}

struct Run {
    double wall = 0, cpu = 0, peakMiB = 0;
    unsigned long triangles = 0;
};

double now() {
    timespec t;
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// One child reading `path`; its standard error (the triangle count and its peak memory) comes
// back through a pipe.
Run measure(const char* reader, const std::string& path) {
    char exe[4096] = {};
    if (readlink("/proc/self/exe", exe, sizeof exe - 1) < 0) {
        std::perror("readlink");
        std::exit(1);
    }
    int fds[2];
    if (pipe(fds) != 0) {
        std::perror("pipe");
        std::exit(1);
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 2);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addclose(&actions, fds[0]);
    char* argv[] = {exe, const_cast<char*>("--read"), const_cast<char*>(reader),
                    const_cast<char*>(path.c_str()), nullptr};
    Run run;
    const double start = now();
    pid_t pid;
    if (posix_spawn(&pid, exe, &actions, nullptr, argv, environ) != 0) {
        std::perror("posix_spawn");
        std::exit(1);
    }
    close(fds[1]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    run.wall = now() - start;
    posix_spawn_file_actions_destroy(&actions);
    char text[256] = {};
    const ssize_t got = read(fds[0], text, sizeof text - 1);
    close(fds[0]);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || got <= 0) {
        std::fprintf(stderr, "glm_matrix: %s failed on %s: %s\n", reader, path.c_str(), text);
        std::exit(1);
    }
    char* rest = nullptr;
    run.triangles = std::strtoul(text, &rest, 10);
    run.peakMiB = static_cast<double>(std::strtol(rest, nullptr, 10)) / 1024.0;
    run.cpu = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
              static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
    return run;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::string loadAverage() {
    double load[3] = {0, 0, 0};
    if (getloadavg(load, 3) != 3) {
        return "unknown";
    }
    char text[64];
    std::snprintf(text, sizeof text, "%.2f %.2f %.2f", load[0], load[1], load[2]);
    return text;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 4 && std::strcmp(argv[1], "--read") == 0) {
        return readChild(argv[2], argv[3]);
    }
    std::string dir = "/tmp/zandar_glm_matrix";
    std::string only;
    int runs = 3;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--dir") == 0) {
            dir = argv[i + 1];
        } else if (std::strcmp(argv[i], "--runs") == 0) {
            runs = std::max(1, std::atoi(argv[i + 1]));
        } else if (std::strcmp(argv[i], "--only") == 0) {
            only = argv[i + 1];
        }
    }
    std::filesystem::create_directories(dir);
    if (!std::filesystem::exists(dir + "/export.mtl")) {
        writeAtomically(dir + "/export.mtl", glmshapes::exportMaterials());
    }

    struct Row {
        const Shape* shape;
        double size, glmWall, glmCpu, glmPeak, tinyWall, tinyCpu, tinyPeak;
        unsigned long triangles;
    };
    std::vector<Row> rows;
    const std::string loadBefore = loadAverage();
    for (size_t s = 0; s < shapes().size(); ++s) {
        const Shape& shape = shapes()[s];
        if (!only.empty() && std::string(shape.name).find(only) == std::string::npos) {
            continue;
        }
        const std::string path = dir + "/" + shape.file;
        if (!std::filesystem::exists(path)) {
            std::fprintf(stderr, "generating %s\n", path.c_str());
            writeAtomically(path, shape.make(kGrid));
        }
        std::vector<double> gw, gc, gp, tw, tc, tp;
        unsigned long triangles = 0;
        for (int r = 0; r < runs; ++r) {
            const bool glmFirst = (r + s) % 2 == 0;  // the order rotates from run to run
            Run glm, tiny;
            if (glmFirst) {
                glm = measure("glm", path);
                tiny = measure("tinyobj", path);
            } else {
                tiny = measure("tinyobj", path);
                glm = measure("glm", path);
            }
            if (glm.triangles != tiny.triangles) {
                std::fprintf(stderr, "glm_matrix: %s: glm read %lu triangles, tinyobjloader %lu\n",
                             shape.name, glm.triangles, tiny.triangles);
            }
            triangles = glm.triangles;
            gw.push_back(glm.wall), gc.push_back(glm.cpu), gp.push_back(glm.peakMiB);
            tw.push_back(tiny.wall), tc.push_back(tiny.cpu), tp.push_back(tiny.peakMiB);
        }
        rows.push_back({&shape, static_cast<double>(std::filesystem::file_size(path)) / 1e6,
                        median(gw), median(gc), median(gp), median(tw), median(tc), median(tp),
                        triangles});
    }
    // Best first, the worst shape (the figure that counts) last.
    std::sort(rows.begin(), rows.end(), [](const Row& a, const Row& b) {
        return a.tinyWall / a.glmWall > b.tinyWall / b.glmWall;
    });
    std::printf("glm against tinyobjloader: whole processes, median of %d, order rotating\n", runs);
    std::printf("load average before %s, after %s\n", loadBefore.c_str(), loadAverage().c_str());
    std::printf(
        "| faces in the file | MB | triangles | glm s (cpu) | tinyobj s (cpu) | ratio "
        "(cpu) | peak MiB glm / tinyobj |\n|---|---|---|---|---|---|---|\n");
    for (const Row& r : rows) {
        std::printf(
            "| %s | %.0f | %lu | %.3f (%.3f) | %.3f (%.3f) | %.1fx (%.1fx) | %.0f / %.0f%s |\n",
            r.shape->name, r.size, r.triangles, r.glmWall, r.glmCpu, r.tinyWall, r.tinyCpu,
            r.tinyWall / r.glmWall, r.tinyCpu / r.glmCpu, r.glmPeak, r.tinyPeak,
            r.glmPeak > r.tinyPeak ? " (more)" : "");
    }
    if (!rows.empty()) {
        const Row& worst = rows.back();
        std::printf("worst shape: %s, %.1fx (cpu %.1fx)\n", worst.shape->name,
                    worst.tinyWall / worst.glmWall, worst.tinyCpu / worst.glmCpu);
    }
    return 0;
}
