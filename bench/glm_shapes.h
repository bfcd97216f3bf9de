// The shapes of OBJ file the reading benchmark measures (and the differential test reads in
// small): each about 2 x columns x rows triangles, written the way one kind of file is written.
// Made from integers alone, so every machine writes the same bytes.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace glmshapes {

struct Grid {
    int columns, rows;  // quads
};

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

// A value in -1 .. 1 from integer hashing.
inline double hashed(int a, int b) {
    uint32_t h = static_cast<uint32_t>(a) * 2654435761u ^ static_cast<uint32_t>(b) * 40503u;
    h ^= h >> 15;
    h *= 2246822519u;
    h ^= h >> 13;
    return static_cast<double>(h % 20001) / 10000.0 - 1.0;
}

// Grid point (x, z): its position, texture coordinate and normal lines, numbers in `number`.
inline void gridPoint(Text& t, Grid g, int x, int z, bool texcoords, bool normals,
                      const std::string& number = "%.6f") {
    t.line(("v " + number + " " + number + " " + number).c_str(), x * 0.1, hashed(x, z) * 0.5,
           z * 0.1);
    if (texcoords) {
        t.line(("vt " + number + " " + number).c_str(), x / double(g.columns), z / double(g.rows));
    }
    if (normals) {
        const double nx = hashed(z, x) * 0.2, nz = hashed(x + 7, z) * 0.2;
        const double l = std::sqrt(nx * nx + 1.0 + nz * nz);
        t.line(("vn " + number + " " + number + " " + number).c_str(), nx / l, 1.0 / l, nz / l);
    }
}

// One corner: "v", "v/t", "v//n" or "v/t/n" with the same index in each field.
inline std::string corner(const char* form, long index) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, form, index, index, index);
    return buffer;
}

// Every grid point, then the quads (or each split in two triangles) with corners in `form`.
inline std::string gridFile(Grid g, bool texcoords, bool normals, const char* form, bool quads) {
    Text t;
    for (int z = 0; z <= g.rows; ++z) {
        for (int x = 0; x <= g.columns; ++x) {
            gridPoint(t, g, x, z, texcoords, normals);
        }
    }
    const int row = g.columns + 1;
    for (int z = 0; z < g.rows; ++z) {
        for (int x = 0; x < g.columns; ++x) {
            const std::string a = corner(form, long(z) * row + x + 1),
                              b = corner(form, long(z) * row + x + 2),
                              c = corner(form, long(z + 1) * row + x + 1),
                              d = corner(form, long(z + 1) * row + x + 2);
            if (quads) {
                t.line("f %s %s %s %s", a.c_str(), b.c_str(), d.c_str(), c.c_str());
            } else {
                t.line("f %s %s %s", a.c_str(), b.c_str(), d.c_str());
                t.line("f %s %s %s", a.c_str(), d.c_str(), c.c_str());
            }
        }
    }
    return t.data;
}

inline std::string trianglesFull(Grid g) {
    return gridFile(g, true, true, "%ld/%ld/%ld", false);
}

inline std::string trianglesVertexNormal(Grid g) {
    return gridFile(g, false, true, "%ld//%ld", false);
}

inline std::string quadsFull(Grid g) {
    return gridFile(g, true, true, "%ld/%ld/%ld", true);
}

inline std::string quadsPlain(Grid g) {
    return gridFile(g, false, false, "%ld", true);
}

// Faces of 3 to 6 corners tiling each band between two grid rows: a face takes the next points
// of the upper and the lower row, as many as its size allows. Points are moved off the grid a
// little, so that no three corners of a face lie on one line.
inline std::string mixedFaces(Grid g) {
    Text t;
    for (int z = 0; z <= g.rows; ++z) {
        for (int x = 0; x <= g.columns; ++x) {
            t.line("v %.6f %.6f %.6f", x * 0.1 + hashed(x, z) * 0.02, hashed(z, x) * 0.05,
                   z * 0.1 + hashed(x + 3, z) * 0.02);
            t.line("vt %.6f %.6f", x / double(g.columns), z / double(g.rows));
            t.line("vn %.6f %.6f %.6f", 0.0, 1.0, 0.0);
        }
    }
    const int row = g.columns + 1;
    uint32_t state = 12345;
    for (int z = 0; z < g.rows; ++z) {
        int top = 0, bottom = 0;  // points used so far in the upper and the lower row
        while (top < g.columns || bottom < g.columns) {
            state = state * 1664525u + 1013904223u;
            const int advance = 1 + static_cast<int>((state >> 16) % 4);  // 3 to 6 corners
            int up = std::min(advance / 2 + (top < bottom ? advance % 2 : 0), g.columns - top);
            const int down = std::min(advance - up, g.columns - bottom);
            up = std::min(advance - down, g.columns - top);
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
inline std::string quadsNegative(Grid g) {
    Text t;
    const long row = g.columns + 1;
    for (int z = 0; z <= g.rows; ++z) {
        for (int x = 0; x <= g.columns; ++x) {
            gridPoint(t, g, x, z, true, true);
        }
        for (int x = 0; z > 0 && x < g.columns; ++x) {
            const long c = -row + x, a = c - row;
            t.line("f %s %s %s %s", corner("%ld/%ld/%ld", a).c_str(),
                   corner("%ld/%ld/%ld", a + 1).c_str(), corner("%ld/%ld/%ld", c + 1).c_str(),
                   corner("%ld/%ld/%ld", c).c_str());
        }
    }
    return t.data;
}

// What modelling tools write: objects (o) each with its own points, smoothing groups (s),
// materials (usemtl) from a library, quads with one normal per face, CR LF line ends.
inline std::string exportLike(Grid g) {
    Text t;
    t.eol = "\r\n";
    t.line("# exported scene");
    t.line("mtllib export.mtl");
    const int objects = std::max(1, g.rows / 5), columns = std::max(1, g.columns / 10), rows = 50;
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
                t.line("f %ld/%ld/%ld %ld/%ld/%ld %ld/%ld/%ld %ld/%ld/%ld", a, a, n, b, b, n, d, d,
                       n, c, c, n);
            }
        }
        base += long(row) * (rows + 1);
        normalBase += 6;
    }
    return t.data;
}

// The library exportLike names.
inline const char* exportMaterials() {
    return "newmtl Material.000\nKd 0.8 0.2 0.2\nNs 250\n\nnewmtl Material.001\nKd 0.2 0.8 0.2\n\n"
           "newmtl Material.002\nKd 0.2 0.2 0.8\n\nnewmtl Material.003\nKd 0.5 0.5 0.5\nKs 1 1 1\n";
}

// The quads written the ways other tools write numbers: exponents, integers without a point,
// many digits, tabs, trailing blanks, comments and blank lines between.
inline std::string quadsUnusual(Grid g) {
    Text t;
    const char* formats[] = {"%.6e", "%.0f", "%.17g", "%.9f"};
    for (int z = 0; z <= g.rows; ++z) {
        const std::string number = formats[z % 4];
        if (z % 50 == 0) {
            t.line("# row %d", z);
            t.line("%s", "");
        }
        for (int x = 0; x <= g.columns; ++x) {
            char line[256];
            std::snprintf(line, sizeof line,
                          ("v\t" + number + "\t" + number + " " + number + " ").c_str(), x * 0.1,
                          hashed(x, z) * 0.5, z * 0.1);
            t.line("%s", line);
            t.line(("vt " + number + " " + number).c_str(), x / double(g.columns),
                   z / double(g.rows));
            t.line(("vn " + number + " " + number + " " + number).c_str(), hashed(z, x) * 0.2, 0.98,
                   hashed(x + 7, z) * 0.2);
        }
    }
    const int row = g.columns + 1;
    for (int z = 0; z < g.rows; ++z) {
        if (z % 50 == 0) {
            t.line("# band %d", z);
            t.line("%s", "");
        }
        for (int x = 0; x < g.columns; ++x) {
            const long a = long(z) * row + x + 1, b = a + 1, c = a + row, d = c + 1;
            t.line("f\t%ld/%ld/%ld %ld/%ld/%ld\t%ld/%ld/%ld %ld/%ld/%ld  ", a, a, a, b, b, b, d, d,
                   d, c, c, c);
        }
    }
    return t.data;
}

struct Shape {
    const char* name;
    const char* file;
    std::string (*make)(Grid);
    bool triangles;  // every face a triangle (so both readers give the same corners)
};

inline const std::vector<Shape>& shapes() {
    static const std::vector<Shape> all = {
        {"triangles, v/vt/vn", "triangles_full.obj", trianglesFull, true},
        {"triangles, v//vn", "triangles_vn.obj", trianglesVertexNormal, true},
        {"quads, v/vt/vn", "quads_full.obj", quadsFull, false},
        {"3- to 6-corner faces, v/vt/vn", "mixed_faces.obj", mixedFaces, false},
        {"quads, plain v", "quads_plain.obj", quadsPlain, false},
        {"quads, negative indices", "quads_negative.obj", quadsNegative, false},
        {"export-like: o, s, usemtl, quads, CR LF", "export_like.obj", exportLike, false},
        {"quads, unusual numbers and blanks", "quads_unusual.obj", quadsUnusual, false},
    };
    return all;
}

}  // namespace glmshapes
