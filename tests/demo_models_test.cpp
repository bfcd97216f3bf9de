// The demo's model helpers: loadModel's preparation, the drawing modes and the lighting helpers,
// against a real OpenGL context.
#include "glm/demo_models.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/glm_test_files.h"
#include "tests/support/test_window.h"

using namespace glmtest;
using ::testing::ElementsAre;

namespace {

std::string cubePath() {
    return std::string(ZANDAR_SOURCE_DIR) + "/tests/data/models/cube.obj";
}

std::vector<float> material(GLenum face, GLenum what) {
    GLfloat v[4] = {};
    glGetMaterialfv(face, what, v);
    return {v[0], v[1], v[2], v[3]};
}

// A unit box from x0 as OBJ lines, vertices numbered from `first`; its faces wound
// counter-clockwise seen from outside (or inside), each on corners of its own or all sharing
// eight, the last `missing` faces left out.
std::string box(float x0, int first, bool inward = false, bool ownCorners = false,
                int missing = 0) {
    static const int faces[6][4] = {{1, 3, 7, 5}, {0, 4, 6, 2}, {2, 6, 7, 3},
                                    {0, 1, 5, 4}, {4, 5, 7, 6}, {0, 2, 3, 1}};
    std::ostringstream obj;
    auto corner = [&](int c) {
        obj << "v " << x0 + (c & 1) << " " << ((c >> 1) & 1) << " " << ((c >> 2) & 1) << "\n";
    };
    for (int c = 0; c < 8 && !ownCorners; ++c) corner(c);
    for (int f = 0; f < 6 - missing; ++f) {
        int v[4];
        for (int k = 0; k < 4; ++k) {
            if (ownCorners) corner(faces[f][k]);
            v[k] = first + (ownCorners ? 4 * f + k : faces[f][k]);
        }
        obj << (inward ? "f " + std::to_string(v[3]) + " " + std::to_string(v[2]) + " " +
                             std::to_string(v[1]) + " " + std::to_string(v[0]) + "\n"
                       : "f " + std::to_string(v[0]) + " " + std::to_string(v[1]) + " " +
                             std::to_string(v[2]) + " " + std::to_string(v[3]) + "\n");
    }
    return obj.str();
}

}  // namespace

TEST(LoadModel, AMissingFileEndsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(loadModel("models/none.obj"), testing::ExitedWithCode(1),
                "glmReadOBJ\\(\\) failed: can't open data file \"models/none.obj\"\\.");
}

TEST(LoadModel, ReturnsAFittedModelWithFacetAndVertexNormals) {
    testWindow();
    TempDir dir;
    // An off-centre box, textured, so every step of the preparation shows.
    writeTga(dir / "t.tga", 2, 2, 255, 255, 255);
    const std::string data = std::string(ZANDAR_SOURCE_DIR) + "/tests/data/models/";
    writeFile(dir / "cube.mtl", readFile(data + "cube.mtl") + "map_Kd t.tga\n");
    writeFile(dir / "box.obj", readFile(cubePath()) + "v 9 3 3\nf 1 2 9\n");
    ModelPtr model(loadModel((dir / "box.obj").c_str()));
    EXPECT_EQ(model->facetnormcount, model->trianglecount);
    EXPECT_EQ(model->trianglecount, 13u);
    for (GLuint i = 1; i <= 3 * model->vertexcount; ++i) {
        ASSERT_GE(model->vertices[3 + i - 1], -1.0f);
        ASSERT_LE(model->vertices[3 + i - 1], 1.0f);
    }
    ASSERT_GT(model->normalcount, 0u);
    for (GLuint t = 0; t < model->trianglecount; ++t) {
        for (int k = 0; k < 3; ++k) {
            ASSERT_GE(model->triangles[t].normalindex[k], 1);
            ASSERT_LE(model->triangles[t].normalindex[k], static_cast<GLint>(model->normalcount));
        }
    }
    ASSERT_EQ(model->texturecount, 1u);
    EXPECT_TRUE(glIsTexture(model->textures[0].id));
}

TEST(DemoModels, DrawHelpersUseTheirModes) {
    testWindow();
    ModelPtr model(loadModel(cubePath().c_str()));
    testing::internal::CaptureStdout();
    drawModelFlatColor(model.get());
    EXPECT_TRUE(glIsEnabled(GL_COLOR_MATERIAL));
    drawModelSmoothMaterial(model.get());
    EXPECT_FALSE(glIsEnabled(GL_COLOR_MATERIAL));
    // The last group drawn is "default", which has the default material.
    EXPECT_THAT(material(GL_FRONT, GL_DIFFUSE), ElementsAre(0.8f, 0.8f, 0.8f, 1.0f));
    drawModelSmoothColor(model.get());
    EXPECT_TRUE(glIsEnabled(GL_COLOR_MATERIAL));
    drawModelSmooth(model.get());
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "");  // every mode was met
}

TEST(DemoModels, LightingHelpersSetTheMaterialAndAPositionalLight) {
    testWindow();
    glDisable(GL_COLOR_MATERIAL);
    setMaterialColor(0.1f, 0.2f, 0.3f);
    EXPECT_THAT(material(GL_FRONT, GL_AMBIENT), ElementsAre(0.1f, 0.2f, 0.3f, 1.0f));
    EXPECT_THAT(material(GL_BACK, GL_DIFFUSE), ElementsAre(0.1f, 0.2f, 0.3f, 1.0f));

    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, -5.0f);
    setLightPosition(1.0f, 2.0f, 3.0f);
    glLoadIdentity();
    GLfloat position[4] = {};
    glGetLightfv(GL_LIGHT0, GL_POSITION, position);
    EXPECT_THAT(position, ElementsAre(1.0f, 2.0f, -2.0f, 1.0f));  // eye coordinates, w = 1
}

TEST(DemoModels, ClosedSurfacesRunEveryEdgeOnceEachWayAndFaceOut) {
    TempDir dir;
    auto closedOf = [&](const std::string& text) {
        ModelPtr model = readText(dir, text);
        return closedTriangles(model.get());
    };
    const std::vector<bool> all(12, true), none(12, false);
    EXPECT_EQ(closedOf(box(0, 1)), all);
    EXPECT_EQ(closedOf(box(0, 1, false, true)), all);  // corners matched by place
    EXPECT_EQ(closedOf(box(0, 1, true)), none);        // inside out
    EXPECT_EQ(closedOf(box(0, 1, false, false, 1)), std::vector<bool>(10, false));
    // Two boxes face to face, the faces between them hidden inside: one solid.
    EXPECT_EQ(closedOf(box(0, 1) + box(1, 9, false, true)), std::vector<bool>(24, true));
    // A stray sheet beside a box is open; the box stays closed.
    std::vector<bool> withSheet = all;
    withSheet.push_back(false);
    EXPECT_EQ(closedOf(box(0, 1) + "v 5 0 0\nv 6 0 0\nv 5 1 0\nf 9 10 11\n"), withSheet);
}
