// A small triangle-mesh builder for the generated models: named groups, one material each, and a
// Wavefront OBJ + MTL writer whose output the demo's model library reads.
//
// Conventions: triangles are counter-clockwise seen from outside (their facet normals point
// out). Surfaces that should look smooth share vertices; hard edges get vertices of their own,
// because the reader rebuilds vertex normals from shared vertex indices.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace modelgen {

struct Vec3 {
    float x = 0, y = 0, z = 0;
};

inline Vec3 operator+(Vec3 a, Vec3 b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline Vec3 operator-(Vec3 a, Vec3 b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline Vec3 operator*(Vec3 a, float s) {
    return {a.x * s, a.y * s, a.z * s};
}
inline Vec3 operator*(float s, Vec3 a) {
    return a * s;
}
float dot(Vec3 a, Vec3 b);
Vec3 cross(Vec3 a, Vec3 b);
float length(Vec3 a);
Vec3 normalized(Vec3 a);  // zero stays zero
Vec3 lerp(Vec3 a, Vec3 b, float t);

// A colour as 0..1 floats, from #RRGGBB.
struct Rgb {
    float r = 0.8f, g = 0.8f, b = 0.8f;
};
Rgb hexColor(std::uint32_t rgb);
Rgb mix(Rgb a, Rgb b, float t);

struct Material {
    std::string name;
    Rgb diffuse;  // Kd: the colour the demo's draw modes use
    Rgb ambient{0.2f, 0.2f, 0.2f};
    Rgb specular{0, 0, 0};
    float shininess = 0;  // Ns, 0..1000
    std::string texture;  // map_Kd file name beside the MTL, or empty
};

// An affine transform: 3x3 linear part (rows) and a translation.
struct Transform {
    std::array<float, 9> m{1, 0, 0, 0, 1, 0, 0, 0, 1};
    Vec3 t;

    Vec3 apply(Vec3 p) const;
    Vec3 applyLinear(Vec3 v) const;
    float determinant() const;
    // this after other: (a * b)(p) == a(b(p))
    Transform operator*(const Transform& other) const;

    static Transform translate(Vec3 d);
    static Transform scale(float sx, float sy, float sz);
    static Transform scale(float s) { return scale(s, s, s); }
    static Transform rotateX(float degrees);
    static Transform rotateY(float degrees);
    static Transform rotateZ(float degrees);
    // A frame whose y axis points along `axis` (from `origin`), for cylinders and struts.
    static Transform alongY(Vec3 origin, Vec3 axis);
};

class Mesh {
public:
    struct Group {
        std::string name;
        std::string material;
        std::vector<std::array<int, 3>> triangles;  // 0-based vertex indices
    };

    void addMaterial(const Material& material);
    const std::vector<Material>& materials() const { return materials_; }

    // Selects (creating on first use) the group that later triangles go into.
    void group(const std::string& name, const std::string& material);

    int vertex(Vec3 p);
    // Degenerate triangles (repeated corners or no area) are dropped: they have no normal.
    void triangle(int a, int b, int c);
    // a, b, c, d counter-clockwise: two triangles split along a-c.
    void quad(int a, int b, int c, int d);

    // Appends another mesh's groups (by name) and vertices, transformed. A mirroring transform
    // reverses the winding so faces keep pointing outwards.
    void append(const Mesh& other, const Transform& transform = Transform());
    void transform(const Transform& transform);

    const std::vector<Vec3>& vertices() const { return vertices_; }
    const std::vector<Group>& groups() const { return groups_; }
    std::size_t triangleCount() const;
    void bounds(Vec3& lo, Vec3& hi) const;
    // Moves the bounding box's centre to the origin (the demo fits models about that centre).
    void centre();

    // Writes dir/name.obj and, when the mesh has materials, dir/name.mtl. Vertices no triangle
    // uses are left out. Exits with a message when a file cannot be written.
    void write(const std::string& dir, const std::string& name, const std::string& comment) const;

private:
    std::vector<Vec3> vertices_;
    std::vector<Group> groups_;
    std::vector<Material> materials_;
    int current_ = -1;
};

}  // namespace modelgen
