#include "tools/assetgen/mesh.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <memory>

namespace modelgen {

namespace {

constexpr float kPi = 3.14159265358979f;

// Rounds like the writer does, so degenerate checks see what the reader will see.
Vec3 rounded(Vec3 p) {
    auto r = [](float v) { return std::round(double(v) * 1e6) / 1e6; };
    return {float(r(p.x)), float(r(p.y)), float(r(p.z))};
}

bool hasArea(Vec3 a, Vec3 b, Vec3 c) {
    const Vec3 n = cross(b - a, c - a);
    return dot(n, n) > 1e-20f;
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

File openForWriting(const std::string& path) {
    File file(std::fopen(path.c_str(), "w"));
    if (!file) {
        std::fprintf(stderr, "zandar-assetgen: cannot write %s\n", path.c_str());
        std::exit(1);
    }
    return file;
}

void closeChecked(File file, const std::string& path) {
    const bool failed = std::ferror(file.get()) != 0;
    if (std::fclose(file.release()) != 0 || failed) {
        std::fprintf(stderr, "zandar-assetgen: error while writing %s\n", path.c_str());
        std::exit(1);
    }
}

}  // namespace

float dot(Vec3 a, Vec3 b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
Vec3 cross(Vec3 a, Vec3 b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
float length(Vec3 a) {
    return std::sqrt(dot(a, a));
}
Vec3 normalized(Vec3 a) {
    const float len = length(a);
    return len > 0 ? a * (1.0f / len) : a;
}
Vec3 lerp(Vec3 a, Vec3 b, float t) {
    return a + (b - a) * t;
}

Rgb hexColor(std::uint32_t rgb) {
    return {float((rgb >> 16) & 0xff) / 255.0f, float((rgb >> 8) & 0xff) / 255.0f,
            float(rgb & 0xff) / 255.0f};
}
Rgb mix(Rgb a, Rgb b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

// ---------------------------------------------------------------------------------------------
// Transform

Vec3 Transform::applyLinear(Vec3 v) const {
    return {m[0] * v.x + m[1] * v.y + m[2] * v.z, m[3] * v.x + m[4] * v.y + m[5] * v.z,
            m[6] * v.x + m[7] * v.y + m[8] * v.z};
}
Vec3 Transform::apply(Vec3 p) const {
    return applyLinear(p) + t;
}

float Transform::determinant() const {
    return m[0] * (m[4] * m[8] - m[5] * m[7]) - m[1] * (m[3] * m[8] - m[5] * m[6]) +
           m[2] * (m[3] * m[7] - m[4] * m[6]);
}

Transform Transform::operator*(const Transform& o) const {
    Transform r;
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            r.m[i * 3 + j] =
                m[i * 3] * o.m[j] + m[i * 3 + 1] * o.m[3 + j] + m[i * 3 + 2] * o.m[6 + j];
        }
    }
    r.t = apply(o.t);
    return r;
}

Transform Transform::translate(Vec3 d) {
    Transform r;
    r.t = d;
    return r;
}
Transform Transform::scale(float sx, float sy, float sz) {
    Transform r;
    r.m = {sx, 0, 0, 0, sy, 0, 0, 0, sz};
    return r;
}
Transform Transform::rotateX(float degrees) {
    const float c = std::cos(degrees * kPi / 180), s = std::sin(degrees * kPi / 180);
    Transform r;
    r.m = {1, 0, 0, 0, c, -s, 0, s, c};
    return r;
}
Transform Transform::rotateY(float degrees) {
    const float c = std::cos(degrees * kPi / 180), s = std::sin(degrees * kPi / 180);
    Transform r;
    r.m = {c, 0, s, 0, 1, 0, -s, 0, c};
    return r;
}
Transform Transform::rotateZ(float degrees) {
    const float c = std::cos(degrees * kPi / 180), s = std::sin(degrees * kPi / 180);
    Transform r;
    r.m = {c, -s, 0, s, c, 0, 0, 0, 1};
    return r;
}

Transform Transform::alongY(Vec3 origin, Vec3 axis) {
    const float len = length(axis);
    const Vec3 y = axis * (1.0f / len);
    // Any vector not parallel to y gives the other two axes.
    const Vec3 helper = std::fabs(y.x) < 0.9f ? Vec3{1, 0, 0} : Vec3{0, 0, 1};
    const Vec3 x = normalized(cross(y, helper));
    const Vec3 z = cross(x, y);
    Transform r;
    // Columns are the frame's axes; y is scaled so that a unit-height part spans the axis.
    r.m = {x.x, y.x * len, z.x, x.y, y.y * len, z.y, x.z, y.z * len, z.z};
    r.t = origin;
    return r;
}

// ---------------------------------------------------------------------------------------------
// Mesh

void Mesh::addMaterial(const Material& material) {
    for (auto& m : materials_) {
        if (m.name == material.name) {
            m = material;
            return;
        }
    }
    materials_.push_back(material);
}

void Mesh::group(const std::string& name, const std::string& material) {
    for (std::size_t i = 0; i < groups_.size(); ++i) {
        if (groups_[i].name == name) {
            groups_[i].material = material;
            current_ = int(i);
            return;
        }
    }
    groups_.push_back({name, material, {}});
    current_ = int(groups_.size()) - 1;
}

int Mesh::vertex(Vec3 p) {
    vertices_.push_back(p);
    return int(vertices_.size()) - 1;
}

void Mesh::triangle(int a, int b, int c) {
    if (current_ < 0)
        group("body", "default");
    if (a == b || b == c || a == c)
        return;
    if (!hasArea(vertices_[a], vertices_[b], vertices_[c]))
        return;
    groups_[current_].triangles.push_back({a, b, c});
}

void Mesh::quad(int a, int b, int c, int d) {
    triangle(a, b, c);
    triangle(a, c, d);
}

void Mesh::append(const Mesh& other, const Transform& tr) {
    const int base = int(vertices_.size());
    for (Vec3 p : other.vertices_) vertices_.push_back(tr.apply(p));
    const bool mirrored = tr.determinant() < 0;
    for (const auto& m : other.materials_) addMaterial(m);
    const int saved = current_;
    for (const auto& g : other.groups_) {
        group(g.name, g.material);
        auto& dst = groups_[current_].triangles;
        for (auto t : g.triangles) {
            if (mirrored)
                std::swap(t[1], t[2]);
            dst.push_back({t[0] + base, t[1] + base, t[2] + base});
        }
    }
    current_ = saved;
}

void Mesh::transform(const Transform& tr) {
    for (Vec3& p : vertices_) p = tr.apply(p);
    if (tr.determinant() < 0) {
        for (auto& g : groups_) {
            for (auto& t : g.triangles) std::swap(t[1], t[2]);
        }
    }
}

std::size_t Mesh::triangleCount() const {
    std::size_t n = 0;
    for (const auto& g : groups_) n += g.triangles.size();
    return n;
}

void Mesh::bounds(Vec3& lo, Vec3& hi) const {
    lo = {1e30f, 1e30f, 1e30f};
    hi = {-1e30f, -1e30f, -1e30f};
    for (const auto& g : groups_) {
        for (const auto& t : g.triangles) {
            for (int i : t) {
                const Vec3 p = vertices_[i];
                lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
                hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
            }
        }
    }
}

void Mesh::centre() {
    Vec3 lo, hi;
    bounds(lo, hi);
    transform(Transform::translate((lo + hi) * -0.5f));
}

void Mesh::write(const std::string& dir, const std::string& name,
                 const std::string& comment) const {
    // Number the used vertices in order of first use; drop triangles that rounding flattened.
    std::vector<int> index(vertices_.size(), 0);
    std::vector<Vec3> used;
    std::vector<std::vector<std::array<int, 3>>> faces(groups_.size());
    for (std::size_t g = 0; g < groups_.size(); ++g) {
        for (const auto& t : groups_[g].triangles) {
            const Vec3 a = rounded(vertices_[t[0]]), b = rounded(vertices_[t[1]]),
                       c = rounded(vertices_[t[2]]);
            if (!hasArea(a, b, c))
                continue;
            std::array<int, 3> f{};
            for (int k = 0; k < 3; ++k) {
                int& slot = index[t[k]];
                if (slot == 0) {
                    used.push_back(rounded(vertices_[t[k]]));
                    slot = int(used.size());
                }
                f[k] = slot;
            }
            faces[g].push_back(f);
        }
    }

    const std::string objPath = dir + "/" + name + ".obj";
    File obj = openForWriting(objPath);
    std::FILE* o = obj.get();
    std::fprintf(o, "# %s\n# Tovlek Zere, made by zandar-assetgen\n\n", comment.c_str());
    if (!materials_.empty())
        std::fprintf(o, "mtllib %s.mtl\n\n", name.c_str());
    for (Vec3 p : used) std::fprintf(o, "v %.6f %.6f %.6f\n", p.x, p.y, p.z);
    for (std::size_t g = 0; g < groups_.size(); ++g) {
        if (faces[g].empty())
            continue;
        std::fprintf(o, "\ng %s\nusemtl %s\n", groups_[g].name.c_str(),
                     groups_[g].material.c_str());
        for (const auto& f : faces[g]) std::fprintf(o, "f %d %d %d\n", f[0], f[1], f[2]);
    }
    closeChecked(std::move(obj), objPath);

    if (materials_.empty())
        return;
    const std::string mtlPath = dir + "/" + name + ".mtl";
    File mtl = openForWriting(mtlPath);
    std::FILE* m = mtl.get();
    std::fprintf(m, "# materials of %s.obj\n", name.c_str());
    for (const auto& mat : materials_) {
        std::fprintf(m, "\nnewmtl %s\n", mat.name.c_str());
        std::fprintf(m, "Ka %.4f %.4f %.4f\n", mat.ambient.r, mat.ambient.g, mat.ambient.b);
        std::fprintf(m, "Kd %.4f %.4f %.4f\n", mat.diffuse.r, mat.diffuse.g, mat.diffuse.b);
        std::fprintf(m, "Ks %.4f %.4f %.4f\n", mat.specular.r, mat.specular.g, mat.specular.b);
        std::fprintf(m, "Ns %.1f\n", mat.shininess);
        if (!mat.texture.empty())
            std::fprintf(m, "map_Kd %s\n", mat.texture.c_str());
    }
    closeChecked(std::move(mtl), mtlPath);
}

}  // namespace modelgen
