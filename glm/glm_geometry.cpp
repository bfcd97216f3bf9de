// Geometry operations on a read model: fitting, extents, scaling, winding, facet and vertex
// normals, generated texture coordinates and vertex merging.
#undef NDEBUG  // preconditions are checked in every build
#include <cassert>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "glm/glm_internal.h"

using namespace glm_detail;

// ---- Vector helpers --------------------------------------------------------------------------

GLfloat glmDotProduct(const GLfloat* u, const GLfloat* v) {
    assert(u);
    assert(v);
    return u[0] * v[0] + u[1] * v[1] + u[2] * v[2];
}

void glmCrossProduct(const GLfloat* u, const GLfloat* v, GLfloat* n) {
    assert(u);
    assert(v);
    assert(n);
    const GLfloat x = u[1] * v[2] - u[2] * v[1];
    const GLfloat y = u[2] * v[0] - u[0] * v[2];
    const GLfloat z = u[0] * v[1] - u[1] * v[0];
    n[0] = x;
    n[1] = y;
    n[2] = z;
}

void glmNormalizeVector(GLfloat* v) {
    assert(v);
    const GLfloat length = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    // A zero-length vector has no direction: it stays zero instead of becoming NaN.
    if (!(length > 0.0f) || std::isinf(length)) {
        v[0] = v[1] = v[2] = 0.0f;
        return;
    }
    v[0] /= length;
    v[1] /= length;
    v[2] /= length;
}

GLfloat glmAbsolute(GLfloat f) {
    return f < 0 ? -f : f;
}

GLfloat glmLarger(GLfloat a, GLfloat b) {
    return a < b ? b : a;
}

GLboolean glmWithinEpsilon(const GLfloat* u, const GLfloat* v, GLfloat epsilon) {
    return glmAbsolute(u[0] - v[0]) < epsilon && glmAbsolute(u[1] - v[1]) < epsilon &&
                   glmAbsolute(u[2] - v[2]) < epsilon
               ? GL_TRUE
               : GL_FALSE;
}

namespace {

bool boundingBox(const ObjModel* model, GLfloat* min, GLfloat* max) {
    if (model->vertexcount == 0 || !model->vertices) {
        return false;
    }
    for (int axis = 0; axis < 3; ++axis) {
        min[axis] = max[axis] = model->vertices[3 + axis];
    }
    for (GLuint i = 1; i <= model->vertexcount; ++i) {
        const GLfloat* v = model->vertices + 3 * size_t{i};
        for (int axis = 0; axis < 3; ++axis) {
            if (max[axis] < v[axis]) {
                max[axis] = v[axis];
            }
            if (min[axis] > v[axis]) {
                min[axis] = v[axis];
            }
        }
    }
    return true;
}

// The extent of an axis is |max| + |min|, so an off-centre model counts as larger than it is.
void extents(const GLfloat* min, const GLfloat* max, GLfloat* dimensions) {
    for (int axis = 0; axis < 3; ++axis) {
        dimensions[axis] = glmAbsolute(max[axis]) + glmAbsolute(min[axis]);
    }
}

GLfloat largest(const GLfloat* dimensions) {
    return glmLarger(glmLarger(dimensions[0], dimensions[1]), dimensions[2]);
}

bool usableExtent(double extent) {
    return extent > 0.0 && std::isfinite(2.0 / extent);
}

GLfloat* allocateItems(size_t count, int components) {
    return static_cast<GLfloat*>(checkedCalloc(count + 1, components * sizeof(GLfloat)));
}

}  // namespace

// ---- Fitting and scaling ---------------------------------------------------------------------

GLfloat glmFitToUnitCube(ObjModel* model) {
    assert(model);
    assert(model->vertices);
    GLfloat min[3], max[3], dimensions[3];
    if (!boundingBox(model, min, max)) {
        return 1.0f;  // nothing to fit
    }
    extents(min, max, dimensions);
    GLfloat centre[3];
    for (int axis = 0; axis < 3; ++axis) {
        centre[axis] = (max[axis] + min[axis]) / 2.0f;
    }
    const GLfloat extent = largest(dimensions);
    // A model of one point (or of non-finite numbers) has no size to scale by: centre it only.
    const GLfloat scale = usableExtent(extent) ? static_cast<GLfloat>(2.0 / extent) : 1.0f;
    for (GLuint i = 1; i <= model->vertexcount; ++i) {
        GLfloat* v = model->vertices + 3 * size_t{i};
        for (int axis = 0; axis < 3; ++axis) {
            v[axis] = (v[axis] - centre[axis]) * scale;
        }
    }
    return scale;
}

void glmExtents(ObjModel* model, GLfloat* dimensions) {
    assert(model);
    assert(model->vertices);
    assert(dimensions);
    GLfloat min[3], max[3];
    if (!boundingBox(model, min, max)) {
        dimensions[0] = dimensions[1] = dimensions[2] = 0.0f;
        return;
    }
    extents(min, max, dimensions);
}

void glmScaleModel(ObjModel* model, GLfloat scale) {
    if (!model->vertices) {
        return;
    }
    for (GLuint i = 1; i <= model->vertexcount; ++i) {
        GLfloat* v = model->vertices + 3 * size_t{i};
        v[0] *= scale;
        v[1] *= scale;
        v[2] *= scale;
    }
}

// ---- Winding and normals ---------------------------------------------------------------------

void glmFlipWinding(ObjModel* model) {
    assert(model);
    for (GLuint i = 0; i < model->trianglecount; ++i) {
        ObjTriangle& t = model->triangles[i];
        std::swap(t.vertexindex[0], t.vertexindex[2]);
        if (model->normalcount) {
            std::swap(t.normalindex[0], t.normalindex[2]);
        }
        if (model->texcoordcount) {
            std::swap(t.texcoordindex[0], t.texcoordindex[2]);
        }
    }
    if (model->facetnorms) {
        for (size_t i = 3; i < 3 * (size_t{model->facetnormcount} + 1); ++i) {
            model->facetnorms[i] = -model->facetnorms[i];
        }
    }
    if (model->normals) {
        for (size_t i = 3; i < 3 * (size_t{model->normalcount} + 1); ++i) {
            model->normals[i] = -model->normals[i];
        }
    }
}

void glmComputeFacetNormals(ObjModel* model) {
    assert(model);
    assert(model->vertices);
    std::free(model->facetnorms);
    model->facetnormcount = model->trianglecount;
    model->facetnorms = allocateItems(model->facetnormcount, 3);
    for (GLuint i = 0; i < model->trianglecount; ++i) {
        ObjTriangle& t = model->triangles[i];
        t.facetnormindex = static_cast<GLint>(i + 1);
        const GLfloat* a = vec3At(model->vertices, model->vertexcount, t.vertexindex[0]);
        const GLfloat* b = vec3At(model->vertices, model->vertexcount, t.vertexindex[1]);
        const GLfloat* c = vec3At(model->vertices, model->vertexcount, t.vertexindex[2]);
        const GLfloat u[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
        const GLfloat w[3] = {c[0] - a[0], c[1] - a[1], c[2] - a[2]};
        GLfloat* n = model->facetnorms + 3 * (size_t{i} + 1);
        glmCrossProduct(u, w, n);
        glmNormalizeVector(n);  // a triangle of no area gets the zero vector
    }
}

namespace {

// A facet normal that is zero (no area) or not a number takes no part in smoothing.
bool degenerate(const GLfloat* n) {
    return !(n[0] * n[0] + n[1] * n[1] + n[2] * n[2] > 0.0f);
}

}  // namespace

void glmVertexNormals(ObjModel* model, GLfloat angle) {
    assert(model);
    assert(model->facetnorms);
    const auto cosAngle = static_cast<GLfloat>(std::cos(angle * 3.1415927410125732 / 180.0));

    std::free(model->normals);
    model->normals = nullptr;
    model->normalcount = 0;

    const size_t corners = 3 * size_t{model->trianglecount};
    if (corners >= 0xffffffffu) {
        fail(stderr, "glmVertexNormals() failed: too many triangles.\n");
    }
    const GLuint vertexcount = model->vertices ? model->vertexcount : 0;

    // Each vertex's list of (triangle, corner) nodes, highest triangle first, in one pool.
    std::vector<uint32_t> start(size_t{vertexcount} + 2, 0);
    for (GLuint t = 0; t < model->trianglecount; ++t) {
        for (int k = 0; k < 3; ++k) {
            const GLint v = model->triangles[t].vertexindex[k];
            if (v >= 1 && static_cast<GLuint>(v) <= vertexcount) {
                ++start[static_cast<size_t>(v) + 1];
            }
        }
    }
    for (size_t v = 1; v < start.size(); ++v) {
        start[v] += start[v - 1];
    }
    std::vector<uint32_t> nodes(start.back());
    {
        std::vector<uint32_t> cursor(start.begin(), start.end() - 1);
        for (GLuint t = model->trianglecount; t-- > 0;) {
            for (int k = 2; k >= 0; --k) {
                const GLint v = model->triangles[t].vertexindex[k];
                if (v >= 1 && static_cast<GLuint>(v) <= vertexcount) {
                    nodes[cursor[static_cast<size_t>(v)]++] = 3 * t + static_cast<uint32_t>(k);
                }
            }
        }
    }

    GLfloat* normals = allocateItems(corners, 3);
    GLuint next = 1;
    auto facetOf = [model](uint32_t node) {
        return vec3At(model->facetnorms, model->facetnormcount,
                      model->triangles[node / 3].facetnormindex);
    };
    for (GLuint v = 1; v <= vertexcount; ++v) {
        const uint32_t* first = nodes.data() + start[v];
        const uint32_t* last = nodes.data() + start[v + 1];
        if (first == last) {
            std::fprintf(stderr, "glmVertexNormals(): vertex w/o a triangle\n");
            continue;
        }
        // Every facet is compared with one reference facet: the list's first with an area.
        const GLfloat* reference = nullptr;
        for (const uint32_t* node = first; node != last && !reference; ++node) {
            if (!degenerate(facetOf(*node))) {
                reference = facetOf(*node);
            }
        }
        auto averaged = [&](const GLfloat* facet) {
            return reference && !degenerate(facet) && glmDotProduct(facet, reference) > cosAngle;
        };

        GLfloat sum[3] = {0.0f, 0.0f, 0.0f};
        bool any = false;
        for (const uint32_t* node = first; node != last; ++node) {
            const GLfloat* facet = facetOf(*node);
            if (averaged(facet)) {
                any = true;
                sum[0] += facet[0];
                sum[1] += facet[1];
                sum[2] += facet[2];
            }
        }
        GLint average = 0;
        if (any) {
            glmNormalizeVector(sum);
            std::memcpy(normals + 3 * size_t{next}, sum, sizeof sum);
            average = static_cast<GLint>(next++);
        }
        // Each node knows its own corner, so a triangle that uses this vertex at two corners
        // gets a normal at both.
        for (const uint32_t* node = first; node != last; ++node) {
            const GLfloat* facet = facetOf(*node);
            GLint& index = model->triangles[*node / 3].normalindex[*node % 3];
            if (averaged(facet) || (average && degenerate(facet))) {
                index = average;
            } else {
                std::memcpy(normals + 3 * size_t{next}, facet, 3 * sizeof(GLfloat));
                index = static_cast<GLint>(next++);
            }
        }
    }
    model->normalcount = next - 1;
    model->normals = static_cast<GLfloat*>(
        checkedRealloc(normals, 3 * sizeof(GLfloat) * (size_t{model->normalcount} + 1)));
}

// ---- Texture coordinates ---------------------------------------------------------------------

namespace {

// texcoordindex = the given corner index array, for every triangle reached through a group.
template <typename Source>
void indexGroupedTriangles(ObjModel* model, Source source) {
    for (ObjGroup* group = model->groups; group; group = group->next) {
        for (GLuint i = 0; i < group->trianglecount; ++i) {
            const GLuint t = group->triangleindices[i];
            if (t < model->trianglecount) {
                ObjTriangle& triangle = model->triangles[t];
                const GLint* from = source(triangle);
                for (int k = 0; k < 3; ++k) {
                    triangle.texcoordindex[k] = from[k];
                }
            }
        }
    }
}

}  // namespace

void glmPlanarTexCoords(ObjModel* model) {
    assert(model);
    std::free(model->texcoords);
    const GLuint count = model->vertices ? model->vertexcount : 0;
    model->texcoordcount = count;
    model->texcoords = allocateItems(count, 2);

    GLfloat dimensions[3] = {0.0f, 0.0f, 0.0f};
    if (model->vertices) {
        glmExtents(model, dimensions);
    }
    const double extent = glmAbsolute(largest(dimensions));
    const double scale = usableExtent(extent) ? 2.0 / extent : 1.0;
    for (GLuint i = 1; i <= count; ++i) {
        const GLfloat* v = model->vertices + 3 * size_t{i};
        model->texcoords[2 * size_t{i}] = static_cast<GLfloat>((v[0] * scale + 1.0) / 2.0);
        model->texcoords[2 * size_t{i} + 1] = static_cast<GLfloat>((v[2] * scale + 1.0) / 2.0);
    }
    indexGroupedTriangles(model, [](const ObjTriangle& t) { return t.vertexindex; });
}

void glmSphereTexCoords(ObjModel* model) {
    assert(model);
    assert(model->normals);
    std::free(model->texcoords);
    const GLuint count = model->normalcount;
    model->texcoordcount = count;
    model->texcoords = allocateItems(count, 2);
    for (GLuint i = 1; i <= count; ++i) {
        const GLfloat* n = model->normals + 3 * size_t{i};
        const GLfloat x = n[0], y = n[1], z = n[2];
        const GLfloat r = std::sqrt(z * z + y * y);
        const GLfloat rho = std::sqrt(r * r + x * x);
        GLfloat theta = 0.0f, phi = 0.0f;
        if (r != 0.0f) {
            theta = x == 0.0f ? 1.5707963705062866f : static_cast<GLfloat>(std::acos(x / rho));
            phi = y == 0.0f ? 1.5707961320877075f
                            : static_cast<GLfloat>(std::asin(double{y / r}) + 1.570796325);
        }
        model->texcoords[2 * size_t{i}] = static_cast<GLfloat>(phi / 3.14159265);
        model->texcoords[2 * size_t{i} + 1] = static_cast<GLfloat>(theta / 3.14159265);
    }
    indexGroupedTriangles(model, [](const ObjTriangle& t) { return t.normalindex; });
}

// ---- Merging ---------------------------------------------------------------------------------

namespace {

struct Cell {
    int64_t x, y, z;
    bool operator==(const Cell& o) const { return x == o.x && y == o.y && z == o.z; }
};

struct CellHash {
    size_t operator()(const Cell& c) const {
        uint64_t h = static_cast<uint64_t>(c.x) * 0x9E3779B97F4A7C15ull;
        h ^= static_cast<uint64_t>(c.y) + 0x7F4A7C159E3779B9ull + (h << 6) + (h >> 2);
        h ^= static_cast<uint64_t>(c.z) * 0xC2B2AE3D27D4EB4Full + (h << 6) + (h >> 2);
        return static_cast<size_t>(h);
    }
};

int64_t cellOf(GLfloat coordinate, double size) {
    double c = std::floor(coordinate / size);
    constexpr double kLimit = 4611686018427387904.0;  // 2^62; clamping keeps neighbours adjacent
    c = c < -kLimit ? -kLimit : (c > kLimit ? kLimit : c);
    return static_cast<int64_t>(c);
}

bool finite3(const GLfloat* v) {
    return std::isfinite(v[0]) && std::isfinite(v[1]) && std::isfinite(v[2]);
}

}  // namespace

// The result is the one a scan of the unique list in order gives (the first unique vector
// within epsilon), found through a grid of cells a little larger than epsilon: a vector within
// epsilon of another lies in the same or a neighbouring cell, and the lowest matching slot wins.
GLfloat* glmMergeVectors(const GLfloat* vectors, GLuint* count, GLfloat epsilon, GLuint* slots) {
    const GLuint n = *count;
    GLfloat* unique = allocateItems(n, 3);
    GLuint kept = 0;
    auto keep = [&](const GLfloat* v) {
        ++kept;
        std::memcpy(unique + 3 * size_t{kept}, v, 3 * sizeof(GLfloat));
        return kept;
    };

    const double cellSize = static_cast<double>(epsilon) * (1.0 + 1e-6);
    if (!(epsilon > 0.0f)) {
        // Nothing is strictly closer than a zero or negative epsilon.
        for (GLuint i = 1; i <= n; ++i) {
            slots[i] = keep(vectors + 3 * size_t{i});
        }
    } else {
        std::unordered_map<Cell, GLuint, CellHash> cells;  // cell -> newest slot in it
        std::vector<GLuint> older(size_t{n} + 1, 0);       // slot -> previous slot in its cell
        for (GLuint i = 1; i <= n; ++i) {
            const GLfloat* v = vectors + 3 * size_t{i};
            if (!finite3(v)) {
                slots[i] = keep(v);  // never within epsilon of anything
                continue;
            }
            const Cell home{cellOf(v[0], cellSize), cellOf(v[1], cellSize), cellOf(v[2], cellSize)};
            GLuint best = 0;
            for (int dx = -1; dx <= 1; ++dx) {
                for (int dy = -1; dy <= 1; ++dy) {
                    for (int dz = -1; dz <= 1; ++dz) {
                        const auto found = cells.find(Cell{home.x + dx, home.y + dy, home.z + dz});
                        if (found == cells.end()) {
                            continue;
                        }
                        for (GLuint s = found->second; s; s = older[s]) {
                            if ((best == 0 || s < best) &&
                                glmWithinEpsilon(unique + 3 * size_t{s}, v, epsilon)) {
                                best = s;
                            }
                        }
                    }
                }
            }
            if (best == 0) {
                best = keep(v);
                GLuint& newest = cells[home];
                older[best] = newest;
                newest = best;
            }
            slots[i] = best;
        }
    }
    *count = kept;
    return static_cast<GLfloat*>(checkedRealloc(unique, 3 * sizeof(GLfloat) * (size_t{kept} + 1)));
}

void glmMergeVertices(ObjModel* model, GLfloat epsilon) {
    if (!model->vertices) {
        return;
    }
    GLuint count = model->vertexcount;
    std::vector<GLuint> slots(size_t{count} + 1, 0);
    GLfloat* unique = glmMergeVectors(model->vertices, &count, epsilon, slots.data());
    for (GLuint i = 0; i < model->trianglecount; ++i) {
        for (GLint& v : model->triangles[i].vertexindex) {
            if (v >= 1 && static_cast<GLuint>(v) <= model->vertexcount) {
                v = static_cast<GLint>(slots[static_cast<size_t>(v)]);
            }
        }
    }
    std::free(model->vertices);
    model->vertices = unique;
    model->vertexcount = count;
}
