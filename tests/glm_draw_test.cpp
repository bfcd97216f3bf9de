// Drawing with a real OpenGL context: mode corrections, the state each mode leaves, the pixels
// of the named groups, and display lists.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "tests/glm_test_files.h"
#include "tests/support/test_window.h"

using namespace glmtest;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

namespace {

// Two triangles in normalised device coordinates: " left" red, " right" green, with texture
// coordinates, explicit normals pointing up and a textured material on the left.
const char* kScene =
    "mtllib scene.mtl\n"
    "v -0.9 -0.9 0\nv -0.1 -0.9 0\nv -0.5 0.9 0\nv 0.1 -0.9 0\nv 0.9 -0.9 0\nv 0.5 0.9 0\n"
    "vt 0 0\nvt 1 0\nvt 0.5 1\nvn 0 1 0\n"
    "g left\nusemtl red\nf 1/1/1 2/2/1 3/3/1\n"
    "g right\nusemtl green\nf 4/1/1 5/2/1 6/3/1\n";
const char* kSceneMtl =
    "newmtl red\nKa 0.3 0 0\nKd 1 0 0\nKs 0.5 0.25 0\nNs 500\nmap_Kd white.tga\n"
    "newmtl green\nKd 0 1 0\n";

class GlmDraw : public testing::Test {
protected:
    void SetUp() override {
        testWindow();
        glViewport(0, 0, 1280, 720);
        glMatrixMode(GL_PROJECTION);
        glLoadIdentity();
        glMatrixMode(GL_MODELVIEW);
        glLoadIdentity();
        for (GLenum cap : {GL_LIGHTING, GL_DEPTH_TEST, GL_TEXTURE_2D, GL_FOG, GL_CULL_FACE,
                           GL_COLOR_MATERIAL, GL_BLEND}) {
            glDisable(cap);
        }
        glClearColor(0, 0, 0, 1);
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        writeFile(dir_ / "scene.mtl", kSceneMtl);
        writeTga(dir_ / "white.tga", 4, 4, 255, 255, 255);
        model_ = readText(dir_, kScene);
    }

    static std::vector<float> get(GLenum what) {
        GLfloat v[4] = {};
        glGetFloatv(what, v);
        return {v[0], v[1], v[2], v[3]};
    }
    static std::vector<float> material(GLenum what) {
        GLfloat v[4] = {};
        glGetMaterialfv(GL_FRONT, what, v);
        return {v[0], v[1], v[2], v[3]};
    }
    // Which of the two triangles show: red at the left one's middle, green at the right one's.
    static std::pair<bool, bool> shown() {
        const Rgba left = backBufferPixel(320, 400);
        const Rgba right = backBufferPixel(960, 400);
        return {left.r == 255 && left.g == 0, right.g == 255 && right.r == 0};
    }

    TempDir dir_;
    ModelPtr model_;
};

}  // namespace

TEST_F(GlmDraw, UnmetModesWarnOnEveryCallAndLeaveTheCallersColourAlone) {
    TempDir dir;
    auto bare = readText(dir, "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    const GLfloat grey[4] = {0.4f, 0.5f, 0.6f, 1.0f};
    glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE, grey);
    testing::internal::CaptureStdout();
    glmDraw(bare.get(), OBJ_FLAT | OBJ_COLOR);
    glmDraw(bare.get(), OBJ_FLAT | OBJ_COLOR);
    const std::string once =
        "glmDraw() warning: flat render mode requested with no facet normals defined.\n"
        "glmDraw() warning: color render mode requested with no materials defined.\n";
    EXPECT_EQ(testing::internal::GetCapturedStdout(), once + once);
    EXPECT_FALSE(glIsEnabled(GL_COLOR_MATERIAL));
    EXPECT_THAT(material(GL_DIFFUSE), ElementsAre(0.4f, 0.5f, 0.6f, 1.0f));
}

TEST_F(GlmDraw, ColourModeTracksEachGroupsDiffuseAndStaysOn) {
    glmDraw(model_.get(), OBJ_SMOOTH | OBJ_COLOR, " left");
    EXPECT_TRUE(glIsEnabled(GL_COLOR_MATERIAL));
    EXPECT_THAT(get(GL_CURRENT_COLOR), ElementsAre(1, 0, 0, 1));
    EXPECT_THAT(material(GL_AMBIENT), ElementsAre(1, 0, 0, 1));  // tracked, not Ka
    EXPECT_THAT(get(GL_CURRENT_NORMAL), ElementsAre(0, 1, 0, 0));
    EXPECT_EQ(shown(), std::make_pair(true, false));
}

TEST_F(GlmDraw, MaterialWinsOverColourAndIsAppliedWhole) {
    glEnable(GL_COLOR_MATERIAL);
    testing::internal::CaptureStdout();
    glmDraw(model_.get(), OBJ_COLOR | OBJ_MATERIAL, " left");
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "glmDraw() warning: color and material render mode requested using only material "
              "mode.\n");
    EXPECT_FALSE(glIsEnabled(GL_COLOR_MATERIAL));
    EXPECT_THAT(material(GL_AMBIENT), ElementsAre(0.3f, 0, 0, 1));
    EXPECT_THAT(material(GL_DIFFUSE), ElementsAre(1, 0, 0, 1));
    EXPECT_THAT(material(GL_SPECULAR), ElementsAre(0.5f, 0.25f, 0, 1));
    EXPECT_FLOAT_EQ(material(GL_SHININESS)[0], 64.0f);
}

TEST_F(GlmDraw, FlatAndSmoothTogetherDrawSmooth) {
    glmComputeFacetNormals(model_.get());
    testing::internal::CaptureStdout();
    glmDraw(model_.get(), OBJ_FLAT | OBJ_SMOOTH);
    EXPECT_THAT(testing::internal::GetCapturedStdout(),
                HasSubstr("flat render mode requested and smooth render mode requested (using "
                          "smooth)"));
    EXPECT_THAT(get(GL_CURRENT_NORMAL), ElementsAre(0, 1, 0, 0));  // the file's, not the facet's
    glmDraw(model_.get(), OBJ_FLAT);
    EXPECT_THAT(get(GL_CURRENT_NORMAL), ElementsAre(0, 0, 1, 0));
}

TEST_F(GlmDraw, TexturedGroupsBindTheirTextureOrNone) {
    glmDraw(model_.get(), OBJ_TEXTURE, " right");
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
    GLint bound = -1, env = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(bound, 0);
    glGetTexEnviv(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, &env);
    EXPECT_EQ(env, GL_MODULATE);
    glmDraw(model_.get(), OBJ_TEXTURE | OBJ_COLOR, " left");
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &bound);
    EXPECT_EQ(static_cast<GLuint>(bound), model_->textures[0].id);
    EXPECT_EQ(shown().first, true);  // white texture modulating red
}

// Read with no current context (a converter, a server), a texture keeps its picture's size and
// object 0 and draws untextured later; read inside one, the same picture is uploaded.
TEST_F(GlmDraw, TexturesReadWithoutAContextAreSizedButNotUploaded) {
    writeTga(dir_ / "white.tga", 4, 2, 0, 0, 255);  // blue: modulating red, it shows black
    writeFile(dir_ / "scene.mtl", std::string(kSceneMtl) + "map_Kd gone.tga\n");
    testWindow().setActive(false);
    ASSERT_EQ(glGetString(GL_VERSION), nullptr);
    testing::internal::CaptureStderr();
    ModelPtr outside = readText(dir_, kScene);
    const std::string err = testing::internal::GetCapturedStderr();
    testWindow().setActive(true);
    EXPECT_THAT(err, HasSubstr("Nu am putut incarca o textura " + dir_ / "gone.tga!"));
    ASSERT_EQ(outside->texturecount, 2u);
    EXPECT_EQ(outside->textures[0].id, 0u);
    EXPECT_EQ(outside->textures[0].width, 4.0f);
    EXPECT_EQ(outside->textures[0].height, 2.0f);
    EXPECT_EQ(outside->textures[1].id + outside->textures[1].width, 0.0f);
    glmDraw(outside.get(), OBJ_TEXTURE | OBJ_COLOR, " left");
    EXPECT_EQ(shown().first, true);

    ModelPtr inside = readText(dir_, kScene);
    EXPECT_NE(inside->textures[0].id, 0u);
    glmDraw(inside.get(), OBJ_TEXTURE | OBJ_COLOR, " left");
    EXPECT_EQ(backBufferPixel(320, 400).r, 0);
}

TEST_F(GlmDraw, OnlyGroupsNamedByteForByteAreDrawn) {
    glmDraw(model_.get(), OBJ_COLOR, "left");
    EXPECT_EQ(shown(), std::make_pair(false, false));
    glmDraw(model_.get(), OBJ_COLOR, " right");
    EXPECT_EQ(shown(), std::make_pair(false, true));
    glmDraw(model_.get(), OBJ_COLOR);
    EXPECT_EQ(shown(), std::make_pair(true, true));
}

TEST_F(GlmDraw, ADisplayListReplaysTheDrawing) {
    const GLuint list = glmBuildList(model_.get(), OBJ_COLOR);
    ASSERT_TRUE(glIsList(list));
    EXPECT_EQ(shown(), std::make_pair(false, false));  // compiled, not drawn
    glCallList(list);
    EXPECT_EQ(shown(), std::make_pair(true, true));
    glDeleteLists(list, 1);
}
