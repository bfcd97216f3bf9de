#include "tools/assetgen/model_parts.h"

#include <cmath>
#include <vector>

namespace modelgen {

namespace {
constexpr float kTau = 6.28318530717959f;
}

void addBox(Mesh& mesh, Vec3 c, Vec3 s, const Transform& place) {
    const Vec3 h = s * 0.5f;
    auto corner = [&](int i) {
        return place.apply({c.x + ((i & 1) ? h.x : -h.x), c.y + ((i & 2) ? h.y : -h.y),
                            c.z + ((i & 4) ? h.z : -h.z)});
    };
    // Each face's corners, counter-clockwise seen from outside.
    static const int faces[6][4] = {{1, 3, 7, 5}, {0, 4, 6, 2}, {2, 6, 7, 3},
                                    {0, 1, 5, 4}, {4, 5, 7, 6}, {0, 2, 3, 1}};
    const bool mirrored = place.determinant() < 0;
    for (const auto& f : faces) {
        int v[4];
        for (int k = 0; k < 4; ++k) v[k] = mesh.vertex(corner(f[k]));
        if (mirrored) {
            mesh.quad(v[0], v[3], v[2], v[1]);
        } else {
            mesh.quad(v[0], v[1], v[2], v[3]);
        }
    }
}

void addStrut(Mesh& mesh, Vec3 a, Vec3 b, float width) {
    const Transform frame = Transform::alongY(a, b - a);
    addBox(mesh, {0, 0.5f, 0}, {width, 1, width}, frame);
}

void addFrustum(Mesh& mesh, const Transform& place, float r0, float r1, int sides, bool caps) {
    const bool flip = place.determinant() < 0;
    auto tri = [&](int a, int b, int c) { flip ? mesh.triangle(a, c, b) : mesh.triangle(a, b, c); };
    std::vector<int> lo(sides), hi(sides);
    for (int i = 0; i < sides; ++i) {
        const float a = kTau * float(i) / float(sides);
        const float cs = std::cos(a), sn = std::sin(a);
        lo[i] = mesh.vertex(place.apply({r0 * cs, 0, -r0 * sn}));
        hi[i] = mesh.vertex(place.apply({r1 * cs, 1, -r1 * sn}));
    }
    // Angle increases counter-clockwise seen from +y (x towards -z).
    for (int i = 0; i < sides; ++i) {
        const int j = (i + 1) % sides;
        if (r1 > 0)
            tri(lo[i], lo[j], hi[j]);
        if (r1 > 0)
            tri(lo[i], hi[j], hi[i]);
        if (r1 <= 0)
            tri(lo[i], lo[j], hi[i]);
    }
    if (!caps)
        return;
    if (r0 > 0) {
        const int centre = mesh.vertex(place.apply({0, 0, 0}));
        std::vector<int> ring(sides);
        for (int i = 0; i < sides; ++i) {
            const float a = kTau * float(i) / float(sides);
            ring[i] = mesh.vertex(place.apply({r0 * std::cos(a), 0, -r0 * std::sin(a)}));
        }
        for (int i = 0; i < sides; ++i) tri(centre, ring[(i + 1) % sides], ring[i]);
    }
    if (r1 > 0) {
        const int centre = mesh.vertex(place.apply({0, 1, 0}));
        std::vector<int> ring(sides);
        for (int i = 0; i < sides; ++i) {
            const float a = kTau * float(i) / float(sides);
            ring[i] = mesh.vertex(place.apply({r1 * std::cos(a), 1, -r1 * std::sin(a)}));
        }
        for (int i = 0; i < sides; ++i) tri(centre, ring[i], ring[(i + 1) % sides]);
    }
}

void addPipe(Mesh& mesh, Vec3 a, Vec3 b, float r, int sides) {
    addFrustum(mesh, Transform::alongY(a, b - a), r, r, sides, true);
}

void addEllipsoid(Mesh& mesh, Vec3 c, Vec3 radii, int slices, int stacks, bool upperOnly) {
    // Rings from the top pole down; the poles are single vertices.
    const float lowest = upperOnly ? 0.5f : 1.0f;
    const int top = mesh.vertex({c.x, c.y + radii.y, c.z});
    std::vector<std::vector<int>> rings;
    for (int s = 1; s <= stacks; ++s) {
        const float phi = 0.5f * kTau * lowest * float(s) / float(stacks);
        if (!upperOnly && s == stacks)
            break;
        std::vector<int> ring(slices);
        for (int i = 0; i < slices; ++i) {
            const float a = kTau * float(i) / float(slices);
            ring[i] = mesh.vertex({c.x + radii.x * std::sin(phi) * std::cos(a),
                                   c.y + radii.y * std::cos(phi),
                                   c.z - radii.z * std::sin(phi) * std::sin(a)});
        }
        rings.push_back(ring);
    }
    for (int i = 0; i < slices; ++i) mesh.triangle(top, rings[0][i], rings[0][(i + 1) % slices]);
    for (std::size_t r = 0; r + 1 < rings.size(); ++r) {
        for (int i = 0; i < slices; ++i) {
            const int j = (i + 1) % slices;
            mesh.quad(rings[r][i], rings[r + 1][i], rings[r + 1][j], rings[r][j]);
        }
    }
    const auto& last = rings.back();
    if (upperOnly) {
        // Flat base with its own vertices, so the rim stays a hard edge.
        const int centre = mesh.vertex(c);
        std::vector<int> base(slices);
        for (int i = 0; i < slices; ++i) base[i] = mesh.vertex(mesh.vertices()[last[i]]);
        for (int i = 0; i < slices; ++i) mesh.triangle(centre, base[(i + 1) % slices], base[i]);
    } else {
        const int bottom = mesh.vertex({c.x, c.y - radii.y, c.z});
        for (int i = 0; i < slices; ++i) mesh.triangle(bottom, last[(i + 1) % slices], last[i]);
    }
}

unsigned long long Rng::next() {
    unsigned long long z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

float Rng::uniform() {
    return float(next() >> 40) / float(1ull << 24);
}

void addLand(Mesh& mesh, HeightField height, const std::vector<float>& radii, int segments,
             float skirtBottom, const std::string& skirtGroup, const std::string& skirtMaterial) {
    auto at = [&](float r, int s) {
        const float a = kTau * float(s) / float(segments);
        const float x = r * std::cos(a), z = -r * std::sin(a);
        return Vec3{x, height(x, z), z};
    };
    const int centre = mesh.vertex({0, height(0, 0), 0});
    std::vector<std::vector<int>> rings;
    for (float r : radii) {
        std::vector<int> ring(segments);
        for (int s = 0; s < segments; ++s) ring[s] = mesh.vertex(at(r, s));
        rings.push_back(ring);
    }
    // Angles grow counter-clockwise seen from above, so these face up.
    for (int s = 0; s < segments; ++s) {
        mesh.triangle(centre, rings[0][s], rings[0][(s + 1) % segments]);
    }
    for (std::size_t i = 0; i + 1 < rings.size(); ++i) {
        for (int s = 0; s < segments; ++s) {
            const int t = (s + 1) % segments;
            mesh.quad(rings[i][s], rings[i + 1][s], rings[i + 1][t], rings[i][t]);
        }
    }
    mesh.group(skirtGroup, skirtMaterial);
    const float r = radii.back();
    std::vector<int> top(segments), bottom(segments);
    for (int s = 0; s < segments; ++s) {
        const Vec3 p = at(r, s);
        top[s] = mesh.vertex(p);
        bottom[s] = mesh.vertex({p.x, skirtBottom, p.z});
    }
    for (int s = 0; s < segments; ++s) {
        const int t = (s + 1) % segments;
        mesh.quad(bottom[s], bottom[t], top[t], top[s]);
    }
    // A floor under it all, facing down, on corners of its own so that the skirt's shading
    // stays as it is.
    const int middle = mesh.vertex({0, skirtBottom, 0});
    std::vector<int> floor(segments);
    for (int s = 0; s < segments; ++s) floor[s] = mesh.vertex(mesh.vertices()[bottom[s]]);
    for (int s = 0; s < segments; ++s) mesh.triangle(middle, floor[(s + 1) % segments], floor[s]);
}

void addPatch(Mesh& mesh, HeightField height, float cx, float cz, float radius, float lift,
              Rng& rng, int sides) {
    const int centre = mesh.vertex({cx, height(cx, cz) + lift, cz});
    std::vector<int> ring(sides);
    for (int i = 0; i < sides; ++i) {
        const float a = kTau * float(i) / float(sides);
        const float r = radius * rng.range(0.7f, 1.1f);
        const float x = cx + r * std::cos(a), z = cz - r * std::sin(a);
        ring[i] = mesh.vertex({x, height(x, z) + lift, z});
    }
    for (int i = 0; i < sides; ++i) mesh.triangle(centre, ring[i], ring[(i + 1) % sides]);
}

}  // namespace modelgen
