// Material libraries and the texture registry; textures load into a real OpenGL context.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

#include "tests/glm_test_files.h"
#include "tests/support/test_window.h"

using namespace glmtest;
using ::testing::ElementsAre;

namespace {

std::vector<float> rgba(const GLfloat* c) {
    return {c[0], c[1], c[2], c[3]};
}

}  // namespace

TEST(GlmMtl, MaterialsFillInFileOrderOverTheirDefaults) {
    TempDir dir;
    writeFile(dir / "m.mtl",
              "# library\nKd 1 0 0\n"
              "newmtl a\nnorm bump.png\nNs 1000\n"  // only newmtl starts a material
              "newmtl b\nNs 0\nNi 1.5\nKe 0 0 0\nillum 2\nd 0.5\nTf 1 1 1\n"
              "newmtl c\nNs abc\nKa 0.1 0.2\nKs 0.3 0.3 0.3 junk\n");
    auto model = readText(dir, "mtllib m.mtl\nv 0 0 0\nusemtl b\nf 1 1 1\ng x\nusemtl c\n");
    ASSERT_EQ(model->materialcount, 4u);
    const ObjMaterial* m = model->materials;
    EXPECT_STREQ(m[0].name, "default");
    EXPECT_STREQ(m[3].name, "c");
    EXPECT_THAT(rgba(m[0].diffuse), ElementsAre(1, 0, 0, 1));
    EXPECT_FLOAT_EQ(m[1].shininess, 128.0f);
    EXPECT_FLOAT_EQ(m[2].shininess, 0.0f);
    EXPECT_FLOAT_EQ(m[3].shininess, 65.0f);  // a value that does not convert keeps the default
    EXPECT_THAT(rgba(m[2].diffuse), ElementsAre(0.8f, 0.8f, 0.8f, 1.0f));
    EXPECT_THAT(rgba(m[2].ambient), ElementsAre(0.2f, 0.2f, 0.2f, 1.0f));
    EXPECT_THAT(rgba(m[2].specular), ElementsAre(0, 0, 0, 1));
    EXPECT_EQ(m[2].textureindex, -1);
    EXPECT_THAT(rgba(m[3].ambient), ElementsAre(0.1f, 0.2f, 0.2f, 1.0f));
    EXPECT_THAT(rgba(m[3].specular), ElementsAre(0.3f, 0.3f, 0.3f, 1.0f));
    EXPECT_EQ(glmFindGroup(model.get(), "default")->material, 2);
    EXPECT_EQ(glmFindGroup(model.get(), " x")->material, 3);

    testing::internal::CaptureStdout();
    EXPECT_EQ(glmFindMaterial(model.get(), "nothere"), 0);
    EXPECT_EQ(testing::internal::GetCapturedStdout(),
              "glmFindMaterial():  can't find material \"nothere\".\n");
}

// A material in no library is reported once, after the libraries' own messages, and its faces
// take the default; a library named after the uses still serves them.
TEST(GlmMtl, AMaterialInNoLibraryIsReportedOnceAndTheLibraryNamedLastServesEveryUse) {
    TempDir dir;
    writeFile(dir / "lib.mtl", "newmtl red\nKd 1 0 0\n");
    const std::string faces = "v 0 0 0\nv 1 0 0\nv 0 1 0\nusemtl gone\nf 1 2 3\ng b\nusemtl red\nf 1 2 3\n";
    for (const std::string& text : {"mtllib lib.mtl\n" + faces, faces + "mtllib lib.mtl\n"}) {
        testing::internal::CaptureStdout();
        auto model = readText(dir, text);
        EXPECT_EQ(testing::internal::GetCapturedStdout(),
                  "glmFindMaterial():  can't find material \"gone\".\n");
        EXPECT_EQ(glmFindGroup(model.get(), "default")->material, 0);
        EXPECT_EQ(glmFindGroup(model.get(), " b")->material, 1);
    }
}

TEST(GlmMtl, TheLastLibraryNamedReplacesTheTable) {
    TempDir dir;
    writeFile(dir / "one.mtl", "newmtl a\nnewmtl b\n");
    writeFile(dir / "two.mtl", "newmtl z\n");
    auto model = readText(dir, "mtllib one.mtl\nmtllib two.mtl extra.mtl\n");
    EXPECT_STREQ(model->mtlfilename, "two.mtl");
    ASSERT_EQ(model->materialcount, 2u);
    EXPECT_STREQ(model->materials[1].name, "z");
}

TEST(GlmMtl, PathsAreFoundBesideTheModelWithSlashesOnly) {
    auto directory = [](const char* path) {
        char* d = glmDirectoryOf(path);
        std::string copy(d);
        std::free(d);
        return copy;
    };
    EXPECT_EQ(directory("models/asd.obj"), "models/");
    EXPECT_EQ(directory("asd.obj"), "");
    EXPECT_EQ(directory("models\\oasis.obj"), "");
    EXPECT_EQ(directory("/a/b/"), "/a/b/");

    TempDir dir;
    writeFile(dir / "sub/lib.mtl", "newmtl here\n");
    writeFile(dir / "sub/m.obj", "mtllib lib.mtl\nmtllib " + dir / "far/lib.mtl\n");
    writeFile(dir / "far/lib.mtl", "newmtl far\nmap_Kd " + dir / "far/t.tga\n");  // absolute
    writeTga(dir / "far/t.tga", 4, 2, 1, 2, 3);
    ModelPtr model(glmReadOBJ((dir / "sub/m.obj").c_str()));
    EXPECT_STREQ(model->materials[1].name, "far");
    EXPECT_FLOAT_EQ(model->textures[0].width, 4.0f);
}

TEST(GlmMtl, AMissingLibraryEndsTheProcess) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TempDir dir;
    writeFile(dir / "m.obj", "mtllib gone.mtl\n");
    EXPECT_EXIT(glmReadOBJ((dir / "m.obj").c_str()), testing::ExitedWithCode(1),
                "glmReadMTL\\(\\) failed: can't open material file \".*/gone.mtl\"\\.");
}

TEST(GlmTextures, EachDistinctNameLoadsOnceAndFreeingDeletesThem) {
    testWindow();
    TempDir dir;
    writeTga(dir / "wood.tga", 8, 4, 200, 100, 50);
    writeTga(dir / "stone.tga", 2, 2, 10, 10, 10);
    writeFile(dir / "t.mtl",
              "newmtl a\nmap_Kd wood.tga\nmap_Ka stone.tga\nmap_Bump stone.tga\n"
              "newmtl b\nmap_Kd   wood.tga\r\n"
              "newmtl c\nmap_Kd stone.tga");
    static std::vector<std::pair<int, std::string>> reports;
    reports.clear();
    ObjProgress progress{[](GLint v, const char* text) { reports.emplace_back(v, text); }, 0, 100,
                         "x"};
    writeFile(dir / "t.obj", "mtllib t.mtl\n");
    ObjModel* model = glmReadOBJ((dir / "t.obj").c_str(), &progress);

    // a and b share "wood.tga\n" (CR LF reads as LF); c's name has no line end.
    ASSERT_EQ(model->texturecount, 2u);
    EXPECT_STREQ(model->textures[0].name, "wood.tga\n");
    EXPECT_STREQ(model->textures[1].name, "stone.tga");
    EXPECT_EQ(model->materials[1].textureindex, 0);
    EXPECT_EQ(model->materials[2].textureindex, 0);
    EXPECT_EQ(model->materials[3].textureindex, 1);
    EXPECT_FLOAT_EQ(model->textures[0].width, 8.0f);
    EXPECT_FLOAT_EQ(model->textures[0].height, 4.0f);
    EXPECT_EQ(reports,
              (std::vector<std::pair<int, std::string>>{{0, "Loading Textures ( wood.tga\n )..."},
                                                        {6, "Loading Textures ( stone.tga )..."}}));

    const GLuint id = model->textures[0].id;
    ASSERT_TRUE(glIsTexture(id));
    glBindTexture(GL_TEXTURE_2D, id);
    GLint width = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_WIDTH, &width);
    EXPECT_EQ(width, 8);
    glBindTexture(GL_TEXTURE_2D, 0);
    glmFreeModel(model);
    EXPECT_FALSE(glIsTexture(id));
}
