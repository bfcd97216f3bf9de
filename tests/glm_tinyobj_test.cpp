// The reader against tinyobjloader on hand-written and generated files, and on the reading
// benchmark's shapes: wherever the two must agree (counts after triangulation, positions, the
// corners of files made of triangles), they do.
#include <gtest/gtest.h>
#include <tiny_obj_loader.h>

#include <algorithm>
#include <array>
#include <random>

#include "bench/glm_shapes.h"
#include "tests/glm_test_files.h"

using namespace glmtest;

namespace {

using Corners = std::array<int, 9>;  // vertex, texture coordinate, normal per corner (1-based)

struct Reading {
    size_t vertices = 0, normals = 0, texcoords = 0, triangles = 0;
    std::vector<float> positions;
    std::vector<Corners> corners;  // sorted
};

Reading withGlm(const std::string& path) {
    ModelPtr model(glmReadOBJ(path.c_str()));
    Reading r{
        model->vertexcount,
        model->normalcount,
        model->texcoordcount,
        model->trianglecount,
        std::vector<float>(model->vertices + 3, model->vertices + 3 * (model->vertexcount + 1)),
        {}};
    for (GLuint i = 0; i < model->trianglecount; ++i) {
        const ObjTriangle& t = model->triangles[i];
        Corners c{};
        for (int k = 0; k < 3; ++k) {
            c[3 * k] = t.vertexindex[k];
            c[3 * k + 1] = t.texcoordindex[k];
            c[3 * k + 2] = t.normalindex[k];
        }
        r.corners.push_back(c);
    }
    std::sort(r.corners.begin(), r.corners.end());
    return r;
}

// tinyobjloader's faces as they stand (its own triangulation splits quads another way and gives
// up on some polygons), counted as the fans they make.
Reading withTinyObj(const std::string& path) {
    tinyobj::attrib_t attrib;
    std::vector<tinyobj::shape_t> shapes;
    std::vector<tinyobj::material_t> materials;
    std::string warn, err;
    const std::string base = std::filesystem::path(path).parent_path().string() + "/";
    EXPECT_TRUE(tinyobj::LoadObj(&attrib, &shapes, &materials, &warn, &err, path.c_str(),
                                 base.c_str(), false))
        << err;
    Reading r{attrib.vertices.size() / 3,
              attrib.normals.size() / 3,
              attrib.texcoords.size() / 2,
              0,
              attrib.vertices,
              {}};
    for (const auto& shape : shapes) {
        size_t first = 0;
        for (const unsigned corners : shape.mesh.num_face_vertices) {
            r.triangles += std::max(corners, 3u) - 2;
            for (size_t i = first; corners == 3 && i < first + 3; i += 3) {
                Corners c{};
                for (size_t k = 0; k < 3; ++k) {
                    const tinyobj::index_t& index = shape.mesh.indices[i + k];
                    c[3 * k] = index.vertex_index + 1;
                    c[3 * k + 1] = index.texcoord_index + 1;  // -1 (none) becomes 0, as ours
                    c[3 * k + 2] = index.normal_index + 1;
                }
                r.corners.push_back(c);
            }
            first += corners;
        }
    }
    std::sort(r.corners.begin(), r.corners.end());
    return r;
}

void expectAgreement(const std::string& path, bool trianglesOnly) {
    SCOPED_TRACE(path);
    const Reading ours = withGlm(path);
    const Reading theirs = withTinyObj(path);
    EXPECT_EQ(ours.vertices, theirs.vertices);
    EXPECT_EQ(ours.normals, theirs.normals);
    EXPECT_EQ(ours.texcoords, theirs.texcoords);
    EXPECT_EQ(ours.triangles, theirs.triangles);
    ASSERT_EQ(ours.positions.size(), theirs.positions.size());
    for (size_t i = 0; i < ours.positions.size(); ++i) {
        ASSERT_NEAR(ours.positions[i], theirs.positions[i],
                    1e-6f * std::max(1.0f, std::abs(theirs.positions[i])))
            << "coordinate " << i;
    }
    if (trianglesOnly) {
        EXPECT_EQ(ours.corners, theirs.corners);
    }
}

// A random mesh: a grid of quads split into triangles, in several groups and corner formats.
std::string generatedMesh(unsigned seed, int size) {
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> height(-50.0f, 50.0f);
    std::string text = "# generated\n";
    char line[128];
    for (int y = 0; y <= size; ++y) {
        for (int x = 0; x <= size; ++x) {
            std::snprintf(line, sizeof line, "v %d %.6f %d\nvt %.4f %.4f\nvn 0 1 0.%d\n", x,
                          height(random), y, x / float(size), y / float(size), x % 10);
            text += line;
        }
    }
    const int row = size + 1;
    for (int y = 0; y < size; ++y) {
        if (y % 3 == 0) {
            text += "g band" + std::to_string(y) + "\n";
        }
        for (int x = 0; x < size; ++x) {
            const int a = y * row + x + 1, b = a + 1, c = a + row, d = c + 1;
            if ((x + y) % 3 == 0) {
                std::snprintf(line, sizeof line, "f %d/%d/%d %d/%d/%d %d/%d/%d\n", a, a, a, b, b, b,
                              d, d, d);
            } else if ((x + y) % 3 == 1) {
                std::snprintf(line, sizeof line, "f %d//%d %d//%d %d//%d\n", a, a, b, b, d, d);
            } else {
                std::snprintf(line, sizeof line, "f %d %d %d\n", a, b, d);
            }
            text += line;
            std::snprintf(line, sizeof line, "f %d/%d %d/%d %d/%d\n", a, a, d, d, c, c);
            text += line;
        }
    }
    return text;
}

std::string dataPath(const char* name) {
    return std::string(ZANDAR_SOURCE_DIR) + "/tests/data/models/" + name;
}

}  // namespace

TEST(GlmAgainstTinyObj, HandWrittenFilesAgree) {
    expectAgreement(dataPath("cube.obj"), false);
    expectAgreement(dataPath("fan.obj"), false);
    expectAgreement(dataPath("relative.obj"), true);
    expectAgreement(dataPath("crlf.obj"), true);
}

TEST(GlmAgainstTinyObj, GeneratedMeshesAgreeCornerForCorner) {
    TempDir dir;
    for (unsigned seed = 1; seed <= 3; ++seed) {
        const std::string path = dir / ("mesh" + std::to_string(seed) + ".obj");
        writeFile(path, generatedMesh(seed, 10 * static_cast<int>(seed)));
        expectAgreement(path, true);
    }
}

TEST(GlmAgainstTinyObj, TheBenchmarkShapesAgree) {
    TempDir dir;
    writeFile(dir / "export.mtl", glmshapes::exportMaterials());
    for (const glmshapes::Shape& shape : glmshapes::shapes()) {
        writeFile(dir / shape.file, shape.make({30, 10}));
        expectAgreement(dir / shape.file, shape.triangles);
    }
}
