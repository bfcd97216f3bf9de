// Solid letters and plates: outlines (from a font's glyphs or built by hand) filled with GLU's
// tessellator and extruded along z, with a chamfer round the front edge.
#pragma once

#include <ft2build.h>
#include FT_FREETYPE_H

#include <array>
#include <string>
#include <vector>

#include "tools/assetgen/mesh.h"

namespace modelgen {

struct Point2 {
    float x = 0, y = 0;
};

// Closed polygons without a repeated end point. Normalised by `normaliseOutline` so that outer
// contours run counter-clockwise and holes clockwise (the solid lies left of each edge).
using Contour = std::vector<Point2>;
using Outline = std::vector<Contour>;

float signedArea(const Contour& contour);

// Drops repeated points and makes outer contours counter-clockwise, holes clockwise, judging
// by the sign of the largest contour: a font may use either convention, but within one glyph
// the outer contours and the holes run opposite ways.
void normaliseOutline(Outline& outline, bool outerClockwise);

// The outline of a line of text in em units (baseline at y 0, pen starting at x 0), curves
// flattened; `advance` receives the pen's end position.
Outline textOutline(FT_Face face, const std::string& text, float* advance = nullptr);

// Fills the region that the outline encloses (non-zero winding) with triangles, each
// counter-clockwise.
std::vector<std::array<Point2, 3>> fillOutline(const Outline& outline);

struct ExtrudeStyle {
    float front = 0.1f;    // z of the front face
    float back = -0.1f;    // z of the back face
    float chamfer = 0.0f;  // width (and depth) of the front edge's chamfer; 0 for none
    std::string faceGroup = "face", faceMaterial = "face";
    std::string edgeGroup = "edge", edgeMaterial = "edge";  // chamfer
    std::string sideGroup = "side", sideMaterial = "side";  // walls and back
    bool closeBack = true;
};

// Adds the solid to `mesh`: front face towards +z, walls, back face.
void extrudeOutline(Mesh& mesh, const Outline& outline, const ExtrudeStyle& style);

}  // namespace modelgen
