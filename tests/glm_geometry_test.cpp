// Geometry operations: fitting and extents, facet and crease-angle vertex normals, winding,
// generated texture coordinates and vertex merging.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "tests/glm_test_files.h"

using namespace glmtest;

namespace {

const float kPi = 3.14159265f;

// Two triangles sharing the edge 1-2, the second hinged about it by `degrees` out of the plane.
std::string hinge(float degrees) {
    const float a = degrees * kPi / 180.0f;
    char text[256];
    std::snprintf(text, sizeof text, "v 0 0 0\nv 1 0 0\nv 0 1 0\nv %f %f %f\nf 1 2 3\nf 2 4 3\n",
                  0.5f + 0.5f * std::cos(a), 0.5f + 0.5f * std::cos(a), 0.7071f * std::sin(a));
    return text;
}

std::vector<float> normalAt(const ObjModel* m, const ObjTriangle& t, int corner) {
    const GLfloat* n = m->normals + 3 * t.normalindex[corner];
    return {n[0], n[1], n[2]};
}

}  // namespace

TEST(GlmFit, CentresAndScalesByTheLargestSumOfAbsoluteBounds) {
    TempDir dir;
    auto cube = readText(dir, "v -5 -5 -5\nv 5 5 5\nv 5 -5 0\n");
    EXPECT_FLOAT_EQ(glmFitToUnitCube(cube.get()), 0.2f);
    EXPECT_FLOAT_EQ(cube->vertices[3], -1.0f);
    EXPECT_FLOAT_EQ(cube->vertices[6 + 2], 1.0f);

    auto box = readText(dir, "v 2 2 2\nv 4 4 4\n");
    GLfloat dimensions[3];
    glmExtents(box.get(), dimensions);
    EXPECT_THAT(dimensions, testing::ElementsAre(6.0f, 6.0f, 6.0f));
    EXPECT_FLOAT_EQ(glmFitToUnitCube(box.get()), 1.0f / 3.0f);
    EXPECT_FLOAT_EQ(box->vertices[3], -1.0f / 3.0f);
    EXPECT_FLOAT_EQ(box->vertices[6], 1.0f / 3.0f);

    auto slab = readText(dir, "v -1 -2 -3\nv 1 2 3\n");
    glmExtents(slab.get(), dimensions);
    EXPECT_THAT(dimensions, testing::ElementsAre(2.0f, 4.0f, 6.0f));
    glmScaleModel(slab.get(), 2.0f);
    EXPECT_FLOAT_EQ(slab->vertices[6 + 2], 6.0f);
}

TEST(GlmFit, ModelsWithoutSizeStayFinite) {
    TempDir dir;
    auto empty = readText(dir, "");
    EXPECT_FLOAT_EQ(glmFitToUnitCube(empty.get()), 1.0f);
    GLfloat dimensions[3] = {7, 7, 7};
    glmExtents(empty.get(), dimensions);
    EXPECT_THAT(dimensions, testing::ElementsAre(0.0f, 0.0f, 0.0f));

    auto point = readText(dir, "v 0 0 0\nv 0 0 0\n");
    EXPECT_FLOAT_EQ(glmFitToUnitCube(point.get()), 1.0f);
    EXPECT_FLOAT_EQ(point->vertices[3], 0.0f);
}

TEST(GlmNormals, FacetNormalsFaceTheViewerForCounterClockwiseCornersAndZeroForNoArea) {
    TempDir dir;
    auto model = readText(dir, "v 0 0 0\nv 2 0 0\nv 0 2 0\nv 4 0 0\nf 1 2 3\nf 1 2 4\n");
    glmComputeFacetNormals(model.get());
    ASSERT_EQ(model->facetnormcount, 2u);
    EXPECT_EQ(model->triangles[1].facetnormindex, 2);
    EXPECT_THAT(std::vector<float>(model->facetnorms + 3, model->facetnorms + 9),
                testing::ElementsAre(0, 0, 1, 0, 0, 0));
}

TEST(GlmNormals, TheCreaseAngleDecidesWhichFacetsShareANormal) {
    TempDir dir;
    auto bent = readText(dir, hinge(60.0f));
    glmComputeFacetNormals(bent.get());
    glmVertexNormals(bent.get(), 90.0f);
    // Vertices 2 and 3 are shared: one averaged normal each, used by both triangles.
    EXPECT_EQ(bent->triangles[0].normalindex[1], bent->triangles[1].normalindex[0]);
    EXPECT_EQ(bent->triangles[0].normalindex[2], bent->triangles[1].normalindex[2]);
    EXPECT_EQ(bent->normalcount, 4u);

    glmVertexNormals(bent.get(), 30.0f);
    EXPECT_EQ(bent->normalcount, 6u);  // vertex 1 and 4 averaged alone, 2 and 3 keep facets
    EXPECT_NE(bent->triangles[0].normalindex[1], bent->triangles[1].normalindex[0]);
    EXPECT_EQ(normalAt(bent.get(), bent->triangles[0], 1), std::vector<float>({0, 0, 1}));

    // Perpendicular facets are still averaged at 90 degrees; facets further apart are not.
    auto square = readText(dir, hinge(90.0f));
    glmComputeFacetNormals(square.get());
    glmVertexNormals(square.get(), 90.0f);
    EXPECT_EQ(square->normalcount, 4u);
    auto folded = readText(dir, hinge(120.0f));
    glmComputeFacetNormals(folded.get());
    glmVertexNormals(folded.get(), 90.0f);
    EXPECT_EQ(folded->normalcount, 6u);

    auto flat = readText(dir, "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nf 1 2 3 4\n");
    glmComputeFacetNormals(flat.get());
    glmVertexNormals(flat.get(), 90.0f);
    EXPECT_EQ(flat->normalcount, 4u);
}

TEST(GlmNormals, EveryCornerGetsAFiniteNormalEvenOnBrokenTriangles) {
    TempDir dir;
    // A triangle with a repeated vertex (no area) beside a good one, and an unused vertex.
    auto model = readText(dir, "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 7 7 7\nf 1 2 3\nf 1 2 1\n");
    glmComputeFacetNormals(model.get());
    testing::internal::CaptureStderr();
    glmVertexNormals(model.get(), 90.0f);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "glmVertexNormals(): vertex w/o a triangle\n");
    for (GLuint t = 0; t < model->trianglecount; ++t) {
        for (int k = 0; k < 3; ++k) {
            const GLint n = model->triangles[t].normalindex[k];
            ASSERT_GE(n, 1);
            ASSERT_LE(static_cast<GLuint>(n), model->normalcount);
            for (float c : normalAt(model.get(), model->triangles[t], k)) {
                EXPECT_TRUE(std::isfinite(c));
            }
        }
    }
    // The broken triangle neither spoils nor joins the good one's smooth normal.
    EXPECT_EQ(normalAt(model.get(), model->triangles[0], 0), std::vector<float>({0, 0, 1}));
    EXPECT_EQ(normalAt(model.get(), model->triangles[1], 2), std::vector<float>({0, 0, 1}));
}

TEST(GlmNormals, FlippingWindingTwiceRestoresEverything) {
    TempDir dir;
    auto model = readText(dir,
                          "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvt 1 0\nvt 0 1\n"
                          "f 1/1 2/2 3/3\n");
    glmComputeFacetNormals(model.get());
    glmVertexNormals(model.get(), 90.0f);
    glmFlipWinding(model.get());
    EXPECT_EQ(vertexIndices(model.get()), (std::vector<int>{3, 2, 1}));
    EXPECT_EQ(model->triangles[0].texcoordindex[0], 3);
    EXPECT_FLOAT_EQ(model->facetnorms[5], -1.0f);
    EXPECT_FLOAT_EQ(model->normals[5], -1.0f);
    glmFlipWinding(model.get());
    EXPECT_EQ(vertexIndices(model.get()), (std::vector<int>{1, 2, 3}));
    EXPECT_EQ(model->triangles[0].texcoordindex[0], 1);
    EXPECT_FLOAT_EQ(model->facetnorms[5], 1.0f);
    EXPECT_FLOAT_EQ(model->normals[5], 1.0f);
}

TEST(GlmTexCoords, SphereAndPlanarCoordinatesFollowTheirFormulas) {
    TempDir dir;
    auto model = readText(dir,
                          "v -2 0 -2\nv 2 1 2\nv 0 0 0\nvn 0 0 1\nvn 1 0 0\nvn 0 1 0\n"
                          "f 1//1 2//2 3//3\n");
    glmSphereTexCoords(model.get());
    ASSERT_EQ(model->texcoordcount, 3u);
    EXPECT_NEAR(model->texcoords[2], 0.5f, 1e-6);
    EXPECT_NEAR(model->texcoords[3], 0.5f, 1e-6);
    EXPECT_FLOAT_EQ(model->texcoords[4], 0.0f);  // (1, 0, 0): r = 0
    EXPECT_FLOAT_EQ(model->texcoords[5], 0.0f);
    EXPECT_NEAR(model->texcoords[6], 1.0f, 1e-6);  // straight up: phi = pi
    EXPECT_EQ(model->triangles[0].texcoordindex[1], 2);

    glmPlanarTexCoords(model.get());
    ASSERT_EQ(model->texcoordcount, 3u);
    // Largest extent 4: x and z map from -2..2 onto 0..1.
    EXPECT_THAT(std::vector<float>(model->texcoords + 2, model->texcoords + 8),
                testing::ElementsAre(0.0f, 0.0f, 1.0f, 1.0f, 0.5f, 0.5f));
    EXPECT_EQ(model->triangles[0].texcoordindex[2], 3);
}

TEST(GlmMerge, VerticesStrictlyWithinEpsilonShareTheFirstSlot) {
    TempDir dir;
    auto model = readText(dir, "v 0 0 0\nv 0.0005 0 0\nv 1 0 0\nv 1.002 0 0\nf 2 3 4\n");
    glmMergeVertices(model.get(), 0.001f);
    EXPECT_EQ(model->vertexcount, 3u);
    EXPECT_EQ(vertexIndices(model.get()), (std::vector<int>{1, 2, 3}));
    EXPECT_FLOAT_EQ(model->vertices[3], 0.0f);
}

TEST(GlmMerge, MatchesAPlainScanOfTheUniqueList) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> grid(0, 40);
    const GLuint n = 3000;
    std::vector<GLfloat> vectors(3 * (n + 1), 0.0f);
    for (GLuint i = 3; i < vectors.size(); ++i) {
        vectors[i] = grid(random) * 0.01f + (i % 7 == 0 ? 0.004f : 0.0f);
    }
    vectors[30] = NAN;
    for (const float epsilon : {0.0f, 0.005f, 0.011f, 0.05f, INFINITY}) {
        std::vector<GLfloat> expected(3);
        std::vector<GLuint> expectedSlots(n + 1);
        for (GLuint i = 1; i <= n; ++i) {
            GLuint slot = 0;
            for (GLuint s = 1; s < expected.size() / 3 && !slot; ++s) {
                if (glmWithinEpsilon(&expected[3 * s], &vectors[3 * i], epsilon)) {
                    slot = s;
                }
            }
            if (!slot) {
                expected.insert(expected.end(), &vectors[3 * i], &vectors[3 * i] + 3);
                slot = static_cast<GLuint>(expected.size() / 3 - 1);
            }
            expectedSlots[i] = slot;
        }
        GLuint count = n;
        std::vector<GLuint> slots(n + 1);
        GLfloat* unique = glmMergeVectors(vectors.data(), &count, epsilon, slots.data());
        EXPECT_EQ(count, expected.size() / 3 - 1) << epsilon;
        EXPECT_EQ(std::vector<GLuint>(slots.begin() + 1, slots.end()),
                  std::vector<GLuint>(expectedSlots.begin() + 1, expectedSlots.end()))
            << epsilon;
        std::free(unique);
    }
}
