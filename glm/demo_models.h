// The demo's model helpers, on top of the model library: how the demo reads its models, the four
// fixed drawing modes, and two small lighting helpers.
#pragma once

#include <vector>

#include "glm/glm.h"

// Reads an OBJ file and prepares it for drawing: fitted into the cube -1..1, with facet normals
// and vertex normals smoothed up to a 90 degree crease. A missing file ends the process.
ObjModel* loadModel(const char* path);

void drawModelFlatColor(ObjModel* model);       // flat normals, group colours
void drawModelSmoothColor(ObjModel* model);     // smooth normals, group colours
void drawModelSmoothMaterial(ObjModel* model);  // smooth normals, full group materials
void drawModelSmooth(ObjModel* model);          // smooth normals only

// Which triangles lie on closed surfaces that face outwards: surfaces (triangles joined by shared
// edges, corners matched by position) in which every edge runs once each way and which enclose a
// positive volume. Seen from outside such a surface, each back face lies behind a front face.
std::vector<bool> closedTriangles(const ObjModel* model);

// drawModelSmoothColor compiled once into a display list, for a model that no longer changes:
// the same groups, colours, triangles and normals in the same order, with the back faces of
// closed surfaces culled. Like drawModelSmoothColor it leaves colour-material tracking on and
// the last group's colour current; culling is off afterwards. The caller owns the list.
GLuint compileModelSmoothColor(ObjModel* model);

// Ambient and diffuse reflectance of front and back faces, opaque.
void setMaterialColor(float r, float g, float b);
// Light 0 as a positional light, placed through the current modelview matrix.
void setLightPosition(float x, float y, float z);
