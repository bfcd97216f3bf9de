// Solid building blocks for the generated models, added to the mesh's current group. Each is
// closed and wound counter-clockwise seen from outside. Flat faces get their own vertices (hard
// edges under smoothing); round surfaces share vertices around and along them.
#pragma once

#include "tools/assetgen/mesh.h"

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
