// The demo's model helpers: reading a model ready to draw, the fixed drawing modes, and two
// lighting helpers for the scenes.
#include "glm/demo_models.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <map>
#include <unordered_map>

#include "glm/glm_internal.h"

using glm_detail::vec3At;

ObjModel* loadModel(const char* path) {
    ObjModel* model = glmReadOBJ(path);
    glmFitToUnitCube(model);
    glmComputeFacetNormals(model);
    glmVertexNormals(model, 90.0f);
    return model;
}

void drawModelFlatColor(ObjModel* model) {
    glmDraw(model, OBJ_FLAT | OBJ_COLOR);
}

void drawModelSmoothColor(ObjModel* model) {
    glmDraw(model, OBJ_SMOOTH | OBJ_COLOR);
}

void drawModelSmoothMaterial(ObjModel* model) {
    glmDraw(model, OBJ_SMOOTH | OBJ_MATERIAL);
}

void drawModelSmooth(ObjModel* model) {
    glmDraw(model, OBJ_SMOOTH);
}

void setMaterialColor(float r, float g, float b) {
    const GLfloat colour[4] = {r, g, b, 1.0f};
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, colour);
}

void setLightPosition(float x, float y, float z) {
    const GLfloat position[4] = {x, y, z, 1.0f};  // w = 1: a positional light
    glLightfv(GL_LIGHT0, GL_POSITION, position);
}

namespace {

// Corners written separately (for hard edges) still meet where their positions are equal.
struct PositionHash {
    std::size_t operator()(const std::array<float, 3>& p) const {
        std::uint32_t bits[3];
        std::memcpy(bits, p.data(), sizeof bits);
        return (bits[0] * 73856093u) ^ (bits[1] * 19349663u) ^ (bits[2] * 83492791u);
    }
};

std::uint64_t edgeKey(std::uint32_t from, std::uint32_t to) {
    return (static_cast<std::uint64_t>(from) << 32) | to;
}

std::uint32_t findRoot(std::vector<std::uint32_t>& parent, std::uint32_t i) {
    while (parent[i] != i) {
        parent[i] = parent[parent[i]];
        i = parent[i];
    }
    return i;
}

const ObjMaterial* materialOf(const ObjModel* model, const ObjGroup* group) {
    const GLint i = group->material;
    return &model->materials[i >= 0 && static_cast<GLuint>(i) < model->materialcount ? i : 0];
}

}  // namespace

std::vector<bool> closedTriangles(const ObjModel* model) {
    const GLuint count = model->trianglecount;
    // Corners by place; 0 and -0 are the same place.
    std::unordered_map<std::array<float, 3>, std::uint32_t, PositionHash> places;
    std::vector<std::uint32_t> place(model->vertexcount + 1, 0);
    for (GLuint v = 1; v <= model->vertexcount; ++v) {
        const std::array<float, 3> p = {model->vertices[3 * v] + 0.0f,
                                        model->vertices[3 * v + 1] + 0.0f,
                                        model->vertices[3 * v + 2] + 0.0f};
        place[v] = places.emplace(p, static_cast<std::uint32_t>(places.size())).first->second;
    }
    std::vector<std::array<std::uint32_t, 3>> corners(count);
    std::vector<bool> usable(count, false);
    // Where two solids meet face to face, their two triangles over the same corners face
    // opposite ways and hide each other inside the solids; they take no part in the surfaces.
    std::vector<bool> faceToFace(count, false);
    std::map<std::array<std::uint32_t, 3>, GLuint> byCorners;  // lowest corner first
    for (GLuint t = 0; t < count; ++t) {
        bool ok = true;
        for (int k = 0; k < 3; ++k) {
            const GLint v = model->triangles[t].vertexindex[k];
            ok = ok && v >= 1 && static_cast<GLuint>(v) <= model->vertexcount;
            corners[t][k] = ok ? place[static_cast<std::size_t>(v)] : 0;
        }
        auto c = corners[t];
        usable[t] = ok && c[0] != c[1] && c[1] != c[2] && c[0] != c[2];
        if (!usable[t]) {
            continue;
        }
        std::rotate(c.begin(), std::min_element(c.begin(), c.end()), c.end());
        const auto other = byCorners.find({c[0], c[2], c[1]});
        if (other != byCorners.end() && !faceToFace[other->second]) {
            faceToFace[t] = faceToFace[other->second] = true;
        } else {
            byCorners.emplace(c, t);
        }
    }
    std::unordered_map<std::uint64_t, std::uint32_t> directed;  // how often each edge runs so
    for (GLuint t = 0; t < count; ++t) {
        for (int k = 0; usable[t] && !faceToFace[t] && k < 3; ++k) {
            ++directed[edgeKey(corners[t][k], corners[t][(k + 1) % 3])];
        }
    }
    auto runs = [&directed](std::uint32_t from, std::uint32_t to) {
        const auto found = directed.find(edgeKey(from, to));
        return found == directed.end() ? 0u : found->second;
    };

    // Triangles joined by an edge that runs once each way belong to one surface. Where solids
    // touch along an edge it runs more often, and the solids stay apart.
    std::vector<std::uint32_t> parent(count);
    std::unordered_map<std::uint64_t, std::uint32_t> firstOnEdge;
    for (GLuint t = 0; t < count; ++t) {
        parent[t] = t;
        for (int k = 0; usable[t] && !faceToFace[t] && k < 3; ++k) {
            const std::uint32_t a = corners[t][k], b = corners[t][(k + 1) % 3];
            if (runs(a, b) != 1 || runs(b, a) != 1) {
                continue;
            }
            const auto seen = firstOnEdge.emplace(edgeKey(std::min(a, b), std::max(a, b)), t);
            if (!seen.second) {
                parent[findRoot(parent, t)] = findRoot(parent, seen.first->second);
            }
        }
    }

    // A surface is closed when within it every edge runs as often one way as the other, and
    // faces outwards when it encloses a positive volume.
    std::vector<bool> open(count, false);
    std::vector<double> volume(count, 0.0);
    struct Crossing {
        std::uint32_t surface;
        std::uint64_t edge;  // lower corner first
        int way;             // +1 from the lower corner, -1 towards it
        bool operator<(const Crossing& o) const {
            return surface != o.surface ? surface < o.surface : edge < o.edge;
        }
    };
    std::vector<Crossing> crossings;
    crossings.reserve(3 * static_cast<std::size_t>(count));
    for (GLuint t = 0; t < count; ++t) {
        const std::uint32_t root = findRoot(parent, t);
        if (!usable[t]) {
            open[root] = true;
            continue;
        }
        if (faceToFace[t]) {
            continue;
        }
        const GLfloat* p[3];
        for (int k = 0; k < 3; ++k) {
            const std::uint32_t a = corners[t][k], b = corners[t][(k + 1) % 3];
            crossings.push_back({root, edgeKey(std::min(a, b), std::max(a, b)), a < b ? 1 : -1});
            p[k] = vec3At(model->vertices, model->vertexcount, model->triangles[t].vertexindex[k]);
        }
        volume[root] += double(p[0][0]) * (double(p[1][1]) * p[2][2] - double(p[1][2]) * p[2][1]) -
                        double(p[0][1]) * (double(p[1][0]) * p[2][2] - double(p[1][2]) * p[2][0]) +
                        double(p[0][2]) * (double(p[1][0]) * p[2][1] - double(p[1][1]) * p[2][0]);
    }
    std::sort(crossings.begin(), crossings.end());
    for (std::size_t i = 0; i < crossings.size();) {
        int sum = 0;
        std::size_t j = i;
        for (; j < crossings.size() && !(crossings[i] < crossings[j]); ++j) {
            sum += crossings[j].way;
        }
        if (sum != 0) {
            open[crossings[i].surface] = true;
        }
        i = j;
    }

    std::vector<bool> closed(count, false);
    for (GLuint t = 0; t < count; ++t) {
        const std::uint32_t root = findRoot(parent, t);
        closed[t] = usable[t] && !faceToFace[t] && !open[root] && volume[root] > 0.0;
    }
    // A face-to-face pair is as closed as the surfaces round its edges (an edge between two
    // such pairs, a diagonal across the faces, has none).
    for (GLuint t = 0; t < count; ++t) {
        if (!faceToFace[t]) {
            continue;
        }
        bool enclosed = true, rim = false;
        for (int k = 0; k < 3; ++k) {
            const std::uint32_t a = corners[t][k], b = corners[t][(k + 1) % 3];
            if (runs(a, b) == 0 && runs(b, a) == 0) {
                continue;
            }
            const auto edge = firstOnEdge.find(edgeKey(std::min(a, b), std::max(a, b)));
            enclosed = enclosed && edge != firstOnEdge.end() && closed[edge->second];
            rim = true;
        }
        closed[t] = enclosed && rim;
    }
    return closed;
}

GLuint compileModelSmoothColor(ObjModel* model) {
    const GLuint list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    if (!model->normals || !model->materials || model->materialcount == 0) {
        drawModelSmoothColor(model);  // with the warnings it prints, once
        glEndList();
        return list;
    }
    const std::vector<bool> closed = closedTriangles(model);
    glEnable(GL_COLOR_MATERIAL);
    for (const ObjGroup* group = model->groups; group; group = group->next) {
        glColor3fv(materialOf(model, group)->diffuse);
        // Runs of triangles in their own order, culled or not: the same triangles in the same
        // order draw the same pixels wherever a front face is the nearest.
        bool culling = false;
        bool begun = false;
        for (GLuint i = 0; i < group->trianglecount; ++i) {
            const GLuint t = group->triangleindices[i];
            if (t >= model->trianglecount) {
                continue;
            }
            if (!begun || closed[t] != culling) {
                if (begun) {
                    glEnd();
                }
                culling = closed[t];
                culling ? glEnable(GL_CULL_FACE) : glDisable(GL_CULL_FACE);
                glBegin(GL_TRIANGLES);
                begun = true;
            }
            const ObjTriangle& triangle = model->triangles[t];
            for (int k = 0; k < 3; ++k) {
                glNormal3fv(vec3At(model->normals, model->normalcount, triangle.normalindex[k]));
                glVertex3fv(vec3At(model->vertices, model->vertexcount, triangle.vertexindex[k]));
            }
        }
        if (begun) {
            glEnd();
        }
    }
    glDisable(GL_CULL_FACE);
    glEndList();
    return list;
}
