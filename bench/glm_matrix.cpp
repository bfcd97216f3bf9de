// Model reading against tinyobjloader on the shapes of OBJ file people have, about one million
// triangles each: whole processes (this program re-run with --read READER FILE), wall time,
// processor time and peak resident memory of each, median of three runs with the readers' order
// rotating, the ratio per shape and the worst shape last.
//
//   build/bench/glm_matrix [--runs N] [--dir DIR] [--only SUBSTRING]
//
// The files are generated once, deterministically, into DIR (default /tmp/zandar_glm_matrix).
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <tiny_obj_loader.h>
#include <unistd.h>

#include <fcntl.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "glm/glm.h"

extern char** environ;

namespace {

constexpr int kColumns = 1000;  // a grid of 1000 x 500 quads: one million triangles
constexpr int kRows = 500;

// The text of one file, built line by line.
struct Text {
    std::string data;
    const char* eol = "\n";
    void line(const char* format, ...) __attribute__((format(printf, 2, 3))) {
        char buffer[512];
        va_list args;
        va_start(args, format);
        const int n = std::vsnprintf(buffer, sizeof buffer, format, args);
        va_end(args);
        data.append(buffer, static_cast<size_t>(n));
        data += eol;
    }
};

// Heights and offsets from integer hashing, so that every machine writes the same bytes.
double hashed(int a, int b) {
    uint32_t h = static_cast<uint32_t>(a) * 2654435761u ^ static_cast<uint32_t>(b) * 40503u;
    h ^= h >> 15;
    h *= 2246822519u;
    h ^= h >> 13;
    return static_cast<double>(h % 20001) / 10000.0 - 1.0;  // -1 .. 1
}

// Grid point (x, z): position, texture coordinate and normal lines.
void gridVertex(Text& t, int x, int z, bool texcoords, bool normals, const char* number = "%.6f") {
    const std::string v = std::string("v ") + number + " " + number + " " + number;
    t.line(v.c_str(), x * 0.1, hashed(x, z) * 0.5, z * 0.1);
    if (texcoords) {
        const std::string vt = std::string("vt ") + number + " " + number;
        t.line(vt.c_str(), x / double(kColumns), z / double(kRows));
    }
    if (normals) {
        const double nx = hashed(z, x) * 0.2, nz = hashed(x + 7, z) * 0.2;
        const double l = std::sqrt(nx * nx + 1.0 + nz * nz);
        const std::string vn = std::string("vn ") + number + " " + number + " " + number;
        t.line(vn.c_str(), nx / l, 1.0 / l, nz / l);
    }
}

void grid(Text& t, bool texcoords, bool normals, const char* number = "%.6f") {
    for (int z = 0; z <= kRows; ++z) {
        for (int x = 0; x <= kColumns; ++x) {
            gridVertex(t, x, z, texcoords, normals, number);
        }
    }
}

// One corner in a given form: "v", "v/t", "v//n" or "v/t/n" with the same index in each field.
std::string corner(const char* form, long index) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, form, index, index, index);
    return buffer;
}

void gridFaces(Text& t, const char* form, bool quads) {
    const int row = kColumns + 1;
    for (int z = 0; z < kRows; ++z) {
        for (int x = 0; x < kColumns; ++x) {
            const long a = long(z) * row + x + 1, b = a + 1, c = a + row, d = c + 1;
            if (quads) {
                t.line("f %s %s %s %s", corner(form, a).c_str(), corner(form, b).c_str(),
                       corner(form, d).c_str(), corner(form, c).c_str());
            } else {
                t.line("f %s %s %s", corner(form, a).c_str(), corner(form, b).c_str(),
                       corner(form, d).c_str());
                t.line("f %s %s %s", corner(form, a).c_str(), corner(form, d).c_str(),
                       corner(form, c).c_str());
            }
        }
    }
}

std::string trianglesFull() {
    Text t;
    grid(t, true, true);
    gridFaces(t, "%ld/%ld/%ld", false);
    return t.data;
}

std::string trianglesVertexNormal() {
    Text t;
    grid(t, false, true);
    gridFaces(t, "%ld//%ld", false);
    return t.data;
}

std::string quadsFull() {
    Text t;
    grid(t, true, true);
    gridFaces(t, "%ld/%ld/%ld", true);
    return t.data;
}

std::string quadsPlain() {
    Text t;
    grid(t, false, false);
    gridFaces(t, "%ld", true);
    return t.data;
}

// Faces of 3 to 6 corners that tile each band between two grid rows: a face takes the next
// points of the upper and the lower row, as many as its size allows. Points are moved off the
// grid a little so that no three corners of a face lie on one line.
std::string mixedFaces() {
    Text t;
    const int columns = 2 * kColumns / 2;  // each band holds 2 * columns triangles
    const int rows = kRows;
    for (int z = 0; z <= rows; ++z) {
        for (int x = 0; x <= columns; ++x) {
            t.line("v %.6f %.6f %.6f", x * 0.1 + hashed(x, z) * 0.02, hashed(z, x) * 0.05,
                   z * 0.1 + hashed(x + 3, z) * 0.02);
            t.line("vt %.6f %.6f", x / double(columns), z / double(rows));
            t.line("vn %.6f %.6f %.6f", 0.0, 1.0, 0.0);
        }
    }
    const int row = columns + 1;
    uint32_t state = 12345;
    for (int z = 0; z < rows; ++z) {
        int top = 0, bottom = 0;  // points used so far in the upper and lower row
        while (top < columns || bottom < columns) {
            state = state * 1664525u + 1013904223u;
            int advance = 1 + static_cast<int>((state >> 16) % 4);  // 3 to 6 corners
            int up = std::min(advance / 2 + (top < bottom ? advance % 2 : 0), columns - top);
            int down = std::min(advance - up, columns - bottom);
            up = std::min(advance - down, columns - top);
            std::string line = "f";
            for (int i = 0; i <= up; ++i) {
                line += " " + corner("%ld/%ld/%ld", long(z + 1) * row + top + i + 1);
            }
            for (int i = down; i >= 0; --i) {
                line += " " + corner("%ld/%ld/%ld", long(z) * row + bottom + i + 1);
            }
            t.line("%s", line.c_str());
            top += up;
            bottom += down;
        }
    }
    return t.data;
}

// Each row's points written just before the quads that join it to the row before, addressed
// back from the end (-1 is the last point written).
std::string quadsNegative() {
    Text t;
    const long row = kColumns + 1;
    for (int z = 0; z <= kRows; ++z) {
        for (int x = 0; x <= kColumns; ++x) {
            gridVertex(t, x, z, true, true);
        }
        if (z == 0) {
            continue;
        }
        for (int x = 0; x < kColumns; ++x) {
            const long c = -row + x, a = c - row, b = a + 1, d = c + 1;
            t.line("f %s %s %s %s", corner("%ld/%ld/%ld", a).c_str(),
                   corner("%ld/%ld/%ld", b).c_str(), corner("%ld/%ld/%ld", d).c_str(),
                   corner("%ld/%ld/%ld", c).c_str());
        }
    }
    return t.data;
}

// What modelling tools write: objects (o) each with its own points, smoothing groups (s),
// materials (usemtl) from a library, quads with one normal per face, CR LF line ends.
std::string exportLike() {
    Text t;
    t.eol = "\r\n";
    t.line("# exported scene");
    t.line("mtllib export.mtl");
    const int objects = 100, columns = 100, rows = 50;  // 100 x 10 000 triangles
    long base = 0, normalBase = 0;
    for (int o = 0; o < objects; ++o) {
        t.line("o Part.%03d", o);
        for (int z = 0; z <= rows; ++z) {
            for (int x = 0; x <= columns; ++x) {
                t.line("v %.6f %.6f %.6f", (o % 10) * 10.0 + x * 0.1, hashed(x + o, z) * 0.5,
                       (o / 10) * 10.0 + z * 0.1);
            }
        }
        for (int z = 0; z <= rows; ++z) {
            for (int x = 0; x <= columns; ++x) {
                t.line("vt %.6f %.6f", x / double(columns), z / double(rows));
            }
        }
        for (int n = 0; n < 6; ++n) {
            t.line("vn %.4f %.4f %.4f", hashed(n, o) * 0.1, 0.99, hashed(o, n) * 0.1);
        }
        t.line(o % 2 ? "s 1" : "s off");
        const int row = columns + 1;
        for (int z = 0; z < rows; ++z) {
            if (z % 25 == 0) {
                t.line("usemtl Material.%03d", (o + z / 25) % 4);
            }
            for (int x = 0; x < columns; ++x) {
                const long a = base + long(z) * row + x + 1, b = a + 1, c = a + row, d = c + 1;
                const long n = normalBase + 1 + (x + z) % 6;
                t.line("f %ld/%ld/%ld %ld/%ld/%ld %ld/%ld/%ld %ld/%ld/%ld", a, a, n, b, b, n, d,
                       d, n, c, c, n);
            }
        }
        base += long(row) * (rows + 1);
        normalBase += 6;
    }
    return t.data;
}

// The same quads written the ways other tools write numbers: exponents, integers without a
// decimal point, many digits, tabs, trailing blanks, comments and blank lines between.
std::string quadsUnusual() {
    Text t;
    const char* formats[] = {"%.6e", "%.0f", "%.17g", "%.9f"};
    for (int z = 0; z <= kRows; ++z) {
        const char* number = formats[z % 4];
        if (z % 50 == 0) {
            t.line("# row %d", z);
            t.line("%s", "");
        }
        for (int x = 0; x <= kColumns; ++x) {
            char line[256];
            const std::string v = std::string("v\t") + number + "\t" + number + " " + number + " ";
            std::snprintf(line, sizeof line, v.c_str(), x * 0.1, hashed(x, z) * 0.5, z * 0.1);
            t.line("%s", line);
            const std::string vt = std::string("vt ") + number + " " + number;
            t.line(vt.c_str(), x / double(kColumns), z / double(kRows));
            const std::string vn = std::string("vn ") + number + " " + number + " " + number;
            t.line(vn.c_str(), hashed(z, x) * 0.2, 0.98, hashed(x + 7, z) * 0.2);
        }
    }
    const int row = kColumns + 1;
    for (int z = 0; z < kRows; ++z) {
        if (z % 50 == 0) {
            t.line("# band %d", z);
            t.line("%s", "");
        }
        for (int x = 0; x < kColumns; ++x) {
            const long a = long(z) * row + x + 1, b = a + 1, c = a + row, d = c + 1;
            t.line("f\t%ld/%ld/%ld %ld/%ld/%ld\t%ld/%ld/%ld %ld/%ld/%ld  ", a, a, a, b, b, b, d, d,
                   d, c, c, c);
        }
    }
    return t.data;
}

const char* kMaterials =
    "newmtl Material.000\nKd 0.8 0.2 0.2\nNs 250\n\nnewmtl Material.001\nKd 0.2 0.8 0.2\n\n"
    "newmtl Material.002\nKd 0.2 0.2 0.8\n\nnewmtl Material.003\nKd 0.5 0.5 0.5\nKs 1 1 1\n";

struct Shape {
    const char* name;
    const char* file;
    std::function<std::string()> make;
};

const std::vector<Shape>& shapes() {
    static const std::vector<Shape> all = {
        {"triangles, v/vt/vn", "triangles_full.obj", trianglesFull},
        {"triangles, v//vn", "triangles_vn.obj", trianglesVertexNormal},
        {"quads, v/vt/vn", "quads_full.obj", quadsFull},
        {"3- to 6-corner faces, v/vt/vn", "mixed_faces.obj", mixedFaces},
        {"quads, plain v", "quads_plain.obj", quadsPlain},
        {"quads, negative indices", "quads_negative.obj", quadsNegative},
        {"export-like: o, s, usemtl, quads, CR LF", "export_like.obj", exportLike},
        {"quads, unusual numbers and blanks", "quads_unusual.obj", quadsUnusual},
    };
    return all;
}

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
        writeAtomically(dir + "/export.mtl", kMaterials);
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
            writeAtomically(path, shape.make());
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
    std::printf("| faces in the file | MB | triangles | glm s (cpu) | tinyobj s (cpu) | ratio "
                "(cpu) | peak MiB glm / tinyobj |\n|---|---|---|---|---|---|---|\n");
    for (const Row& r : rows) {
        std::printf("| %s | %.0f | %lu | %.3f (%.3f) | %.3f (%.3f) | %.1fx (%.1fx) | %.0f / %.0f%s |\n",
                    r.shape->name, r.size, r.triangles, r.glmWall, r.glmCpu, r.tinyWall,
                    r.tinyCpu, r.tinyWall / r.glmWall, r.tinyCpu / r.glmCpu, r.glmPeak,
                    r.tinyPeak, r.glmPeak > r.tinyPeak ? " (more)" : "");
    }
    if (!rows.empty()) {
        const Row& worst = rows.back();
        std::printf("worst shape: %s, %.1fx (cpu %.1fx)\n", worst.shape->name,
                    worst.tinyWall / worst.glmWall, worst.tinyCpu / worst.glmCpu);
    }
    return 0;
}
