// Solid building blocks for the generated models, added to the mesh's current group. Each is
// closed and wound counter-clockwise seen from outside. Flat faces get their own vertices (hard
// edges under smoothing); round surfaces share vertices around and along them.
#pragma once

#include "tools/assetgen/mesh.h"

namespace modelgen {

// Axis-aligned box of the given size centred on `centre`, then placed by `place`.
void addBox(Mesh& mesh, Vec3 centre, Vec3 size, const Transform& place = Transform());

// Square beam of width `width` from a to b (a lattice strut, a pipe support).
void addStrut(Mesh& mesh, Vec3 a, Vec3 b, float width);

// Frustum along local y from 0 to 1 (radius r0 at the bottom, r1 at the top), placed by `place`;
// `caps` closes the ends. A radius of 0 makes a cone tip.
void addFrustum(Mesh& mesh, const Transform& place, float r0, float r1, int sides,
                bool caps = true);

// Round bar from a to b of radius r.
void addPipe(Mesh& mesh, Vec3 a, Vec3 b, float r, int sides);

// Ellipsoid with radii (rx, ry, rz) around `centre`; `upperOnly` makes a dome closed at its base.
void addEllipsoid(Mesh& mesh, Vec3 centre, Vec3 radii, int slices, int stacks,
                  bool upperOnly = false);

// A small deterministic random source (splitmix64): the same models on every run and machine.
class Rng {
public:
    explicit Rng(unsigned long long seed) : state_(seed) {}
    unsigned long long next();
    float uniform();  // 0 <= u < 1
    float range(float lo, float hi) { return lo + (hi - lo) * uniform(); }

private:
    unsigned long long state_;
};

// Height of the land at (x, z).
using HeightField = float (*)(float x, float z);

// A round piece of land of the given radius around the origin, a polar grid whose rings lie at
// `radii` (increasing, first > 0) with `segments` vertices round each; vertices are shared so
// that the land shades smoothly. A wall hangs from its rim down to `skirtBottom`: hidden under
// the land from above, it sets how low the model's bounding box reaches, and so where the
// demo's fit to the unit cube puts the eye. A floor at `skirtBottom` closes the land into a
// solid, so that the demo may leave out its faces that look away from the eye.
void addLand(Mesh& mesh, HeightField height, const std::vector<float>& radii, int segments,
             float skirtBottom, const std::string& skirtGroup, const std::string& skirtMaterial);

// A flat, irregular patch lying `lift` above the land (a stain, a pool's surface).
void addPatch(Mesh& mesh, HeightField height, float cx, float cz, float radius, float lift,
              Rng& rng, int sides = 14);

}  // namespace modelgen
