// Reading OBJ files: groups, fans, corner formats, indices, line ends, failures and progress.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

#include "tests/glm_test_files.h"

using namespace glmtest;
using ::testing::HasSubstr;

namespace {

std::vector<int> groupTriangles(const ObjGroup* group) {
    return std::vector<int>(group->triangleindices, group->triangleindices + group->trianglecount);
}

const char* kSixVertices = "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nv 0 2 0\nv 2 2 0\n";

}  // namespace

TEST(GlmRead, GroupsAreNewestFirstKeepTheirBlankAndCollectFacesInFileOrder) {
    TempDir dir;
    auto model = readText(dir, std::string(kSixVertices) +
                                   "f 1 2 3\n"
                                   "g a\nf 1 3 4\n"
                                   "g b\nf 2 3 4\n"
                                   "g a\nf 1 2 4\n");
    EXPECT_EQ(model->groupcount, 3u);
    EXPECT_EQ(groupNames(model.get()), (std::vector<std::string>{" b", " a", "default"}));
    ObjGroup* a = glmFindGroup(model.get(), " a");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(groupTriangles(a), (std::vector<int>{1, 3}));
    EXPECT_EQ(groupTriangles(glmFindGroup(model.get(), "default")), std::vector<int>{0});
    EXPECT_EQ(glmFindGroup(model.get(), "a"), nullptr);
    EXPECT_EQ(model->trianglecount, 4u);
}

TEST(GlmRead, FacesFanOutAndCopyEveryComponentTheFormatCarries) {
    TempDir dir;
    auto model = readText(dir, std::string(kSixVertices) +
                                   "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\nvt 0 2\nvt 1 2\nvt 2 2\n"
                                   "vn 0 0 1\nvn 0 1 0\nvn 1 0 0\nvn 0 0 -1\nvn 0 -1 0\n"
                                   "vn 1 1 0\nvn 1 1 1\nvn 0 1 1\nvn 1 0 1\n"
                                   "f 1 2 3 4 5\n"
                                   "f 1/4/7 2/5/8 3/6/9 4/7/1\n"
                                   "f 1//2 2//3 3//4\n"
                                   "f 1/1 2/2 3/3\n");
    ASSERT_EQ(model->trianglecount, 7u);
    EXPECT_EQ(vertexIndices(model.get()),
              (std::vector<int>{1, 2, 3, 1, 3, 4, 1, 4, 5, 1, 2, 3, 1, 3, 4, 1, 2, 3, 1, 2, 3}));
    const ObjTriangle& second = model->triangles[4];
    EXPECT_EQ(std::vector<int>(second.texcoordindex, second.texcoordindex + 3),
              (std::vector<int>{4, 6, 7}));
    EXPECT_EQ(std::vector<int>(second.normalindex, second.normalindex + 3),
              (std::vector<int>{7, 9, 1}));
    EXPECT_EQ(model->triangles[5].normalindex[2], 4);
    EXPECT_EQ(model->triangles[5].texcoordindex[0], 0);  // the format carries none
    EXPECT_EQ(model->triangles[6].texcoordindex[1], 2);
    // The first triangle of each face is marked for the facet-normal pass.
    EXPECT_EQ(model->triangles[0].facetnormindex, -1);
    EXPECT_EQ(model->triangles[1].facetnormindex, 0);
    EXPECT_EQ(model->triangles[3].facetnormindex, -1);
}

TEST(GlmRead, ShortFacesRepeatTheirLastCornerAndEmptyTrailingFieldsAreAbsent) {
    TempDir dir;
    auto model = readText(dir, std::string(kSixVertices) + "vt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\n" +
                                   "f 1 2\n"
                                   "f 3 4 5 # a note\n"
                                   "f 1 2 3 junk 4\n"
                                   "f 1/2 x 3\n"
                                   "f 2/2/ 4/4/ 1/1/\n"
                                   "f 1// 2// 3//\n");
    EXPECT_EQ(vertexIndices(model.get()),
              (std::vector<int>{1, 2, 2, 3, 4, 5, 1, 2, 3, 1, 1, 1, 2, 4, 1, 1, 2, 3}));
    const GLint* texcoords = model->triangles[4].texcoordindex;
    EXPECT_EQ(std::vector<int>(texcoords, texcoords + 3), (std::vector<int>{2, 4, 1}));
}

TEST(GlmRead, NegativeIndicesCountBackFromWhatWasReadAndForwardReferencesWork) {
    TempDir dir;
    auto model = readText(dir,
                          "v 0 0 0\nv 1 0 0\nv 0 1 0\nvn 0 0 1\n"
                          "f -3//-1 -2//-1 -1//-1\n"
                          "f 1 2 4\n"
                          "v 5 5 5\nvn 1 0 0\n"
                          "f -3//-1 -2//1 -1//-1\n");
    EXPECT_EQ(vertexIndices(model.get()), (std::vector<int>{1, 2, 3, 1, 2, 4, 2, 3, 4}));
    EXPECT_EQ(model->triangles[0].normalindex[0], 1);
    EXPECT_EQ(model->triangles[2].normalindex[0], 2);
    EXPECT_EQ(model->triangles[2].normalindex[1], 1);
}

TEST(GlmRead, BadIndicesNeverReachTheModelAndEveryCountAgrees) {
    TempDir dir;
    testing::internal::CaptureStdout();
    auto model = readText(dir,
                          "v 0 0 0\nv 1 0 0\nv 0 1 0\nvn 0 0 1\n"
                          "f 1 2 3\n"
                          "g bad\n"
                          "f 1 2 \\\n4 5 6\n"  // beyond the vertices: dropped whole
                          "f 0 1 2\n"          // zero
                          "f -4 1 2\n"         // before the first vertex
                          "f 1 2 99999999999999999999\n"
                          "f 1//7 2//1 3//1\n"  // missing normal: kept without it
                          "f 3 2 1\n"
                          "f 1 2 4\n");  // just past the last vertex
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_THAT(out, HasSubstr("glmFillPass() warning: line 7: face uses vertex 4, but there "
                               "are 3; face dropped.\n"));
    EXPECT_THAT(out, HasSubstr("line 12: face uses normal 7, but there are 1; corner left "
                               "without one"));  // a continued line counts as the lines it is
    ASSERT_EQ(model->trianglecount, 3u);
    EXPECT_EQ(vertexIndices(model.get()), (std::vector<int>{1, 2, 3, 1, 2, 3, 3, 2, 1}));
    EXPECT_EQ(model->triangles[1].normalindex[0], 0);
    EXPECT_EQ(model->triangles[1].normalindex[1], 1);
    EXPECT_EQ(model->triangles[2].facetnormindex, -1);
    const ObjGroup* bad = glmFindGroup(model.get(), " bad");
    ASSERT_NE(bad, nullptr);
    EXPECT_EQ(groupTriangles(bad), (std::vector<int>{1, 2}));
    GLuint total = 0;
    for (const ObjGroup* g = model->groups; g; g = g->next) {
        total += g->trianglecount;
        for (GLuint i = 0; i < g->trianglecount; ++i) {
            EXPECT_LT(g->triangleindices[i], model->trianglecount);
        }
    }
    EXPECT_EQ(total, model->trianglecount);
}

TEST(GlmRead, CrLfAndContinuedLinesReadAsLfFilesDoAndALastGroupKeepsItsName) {
    const std::string lf =
        "mtllib m.mtl\n# comment\nv 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0.5 0.25\n"
        "g first\\\npart\nusemtl red\nf 1/1 \\\n2/1 3/1\ng tail";  // continued lines
    std::string crlf;
    for (char c : lf) {
        crlf += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    TempDir dir;
    writeFile(dir / "m.mtl", "newmtl red\r\nKd 1 0 0\r\n");
    auto a = readText(dir, lf, "lf.obj");
    auto b = readText(dir, crlf, "crlf.obj");
    EXPECT_EQ(groupNames(a.get()), (std::vector<std::string>{" tail", " first part", "default"}));
    EXPECT_EQ(groupNames(b.get()), groupNames(a.get()));
    EXPECT_STREQ(b->mtlfilename, "m.mtl");
    EXPECT_STREQ(b->materials[1].name, "red");
    EXPECT_EQ(glmFindGroup(b.get(), " first part")->material, 1);
    EXPECT_EQ(vertexIndices(b.get()), vertexIndices(a.get()));
    EXPECT_EQ(0, std::memcmp(a->vertices, b->vertices, 4 * 3 * sizeof(GLfloat)));
    EXPECT_FLOAT_EQ(b->texcoords[3], 0.25f);
}

TEST(GlmRead, LongLinesAreOneStatementWhateverTheirLength) {
    const std::string hidden(300, 'x');
    const std::string longName(500, 'n');
    TempDir dir;
    auto model =
        readText(dir, "# " + hidden + " v 1 2 3 f 1 1 1 g oops\n" +
                          "v 1 2 3 f 1 1 1\n"  // nothing after a vertex's numbers counts
                          "v 4 5 6 7\n" +
                          "y" + hidden + " f 1 1 1\n" + "g " + longName + "\n" + "vt 1 2 3\n");
    EXPECT_EQ(model->vertexcount, 2u);
    EXPECT_EQ(model->texcoordcount, 1u);
    EXPECT_EQ(model->trianglecount, 0u);
    EXPECT_FLOAT_EQ(model->vertices[6], 4.0f);
    EXPECT_FLOAT_EQ(model->vertices[8], 6.0f);
    EXPECT_EQ(groupNames(model.get()), (std::vector<std::string>{" " + longName, "default"}));
}

TEST(GlmRead, AnEmptyFileGivesAnEmptyModelWithItsDefaultGroup) {
    TempDir dir;
    auto model = readText(dir, "");
    EXPECT_EQ(model->vertexcount, 0u);
    EXPECT_NE(model->vertices, nullptr);
    EXPECT_EQ(model->normals, nullptr);
    EXPECT_EQ(model->texcoords, nullptr);
    EXPECT_EQ(model->facetnorms, nullptr);
    EXPECT_EQ(model->materials, nullptr);
    EXPECT_EQ(model->trianglecount, 0u);
    EXPECT_EQ(groupNames(model.get()), std::vector<std::string>{"default"});
    EXPECT_STREQ(model->filepath, (dir / "model.obj").c_str());
}

TEST(GlmReadFailure, MissingFilesAndUnknownVertexStatementsEndTheProcess) {
    TempDir dir;
    const std::string missing = dir / "nothere.obj";
    EXPECT_EXIT(glmReadOBJ(missing.c_str()), testing::ExitedWithCode(1),
                "glmReadOBJ\\(\\) failed: can't open data file \".*nothere.obj\"\\.");
    EXPECT_EXIT(glmReadOBJ(dir.path().c_str()), testing::ExitedWithCode(1), "can't open data");
    writeFile(dir / "vp.obj", "v 0 0 0\nvp 0.5\n");
    EXPECT_EXIT(glmReadOBJ((dir / "vp.obj").c_str()), testing::ExitedWithCode(1), "");
}

TEST(GlmReadFailure, AReplacedFailHookLetsABadFileBeTriedInProcess) {
    TempDir dir;
    writeFile(dir / "vp.obj", "v 0 0 0\nmtllib nothere.mtl\n");
    ThrowOnFailure hook;
    try {
        glmReadOBJ((dir / "vp.obj").c_str());
        FAIL() << "no failure";
    } catch (const GlmFailure& failure) {
        EXPECT_THAT(failure.what(), HasSubstr("glmReadMTL() failed: can't open material file"));
    }
    writeFile(dir / "vp.obj", "v 0 0 0\nvp 0.5\n");
    testing::internal::CaptureStdout();
    EXPECT_THROW(glmReadOBJ((dir / "vp.obj").c_str()), GlmFailure);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "glmFirstPass(): Unknown token \"vp\".\n");
}

TEST(GlmRead, ProgressReportsEveryTwoHundredVerticesWithinTheCallersRange) {
    static std::vector<std::pair<int, std::string>> reports;
    reports.clear();
    ObjProgress progress{[](GLint value, const char* text) { reports.emplace_back(value, text); },
                         100, 200, "Loading"};
    std::string text = "g part\n";
    for (int i = 0; i < 400; ++i) {
        text += "v 0 0 0\n";
    }
    TempDir dir;
    writeFile(dir / "p.obj", text);
    ModelPtr model(glmReadOBJ((dir / "p.obj").c_str(), &progress));
    // Vertex 199 stored: next number 200, percent 200 * 70 / 400 + 30 = 65.
    ASSERT_EQ(reports.size(), 2u);
    EXPECT_EQ(reports[0], std::make_pair(165, std::string("Loading ( part )... ")));
    EXPECT_EQ(reports[1].first, 200);
}

TEST(GlmRead, ThePublicPassesNeverWriteBeyondWhatTheFirstPassCounted) {
    TempDir dir;
    writeFile(dir / "a.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\ng a\nf 1 2 3\n");
    FILE* file = std::fopen((dir / "a.obj").c_str(), "r");
    ModelPtr model(static_cast<ObjModel*>(std::calloc(1, sizeof(ObjModel))));
    model->filepath = strdup((dir / "a.obj").c_str());
    glmFirstPass(model.get(), file, nullptr);
    std::fclose(file);
    EXPECT_EQ(model->vertexcount, 3u);
    EXPECT_EQ(model->trianglecount, 1u);
    model->vertices = static_cast<GLfloat*>(std::calloc(4 * 3, sizeof(GLfloat)));
    model->triangles = static_cast<ObjTriangle*>(std::calloc(1, sizeof(ObjTriangle)));

    // The file grew in between: more vertices, faces and a new group.
    writeFile(dir / "a.obj",
              "v 0 0 0\nv 1 0 0\nv 0 1 0\nv 9 9 9\ng a\nf 1 2 3\nf 3 2 1\ng new\nf 1 2 3\n");
    file = std::fopen((dir / "a.obj").c_str(), "r");
    testing::internal::CaptureStdout();
    glmFillPass(model.get(), file, nullptr);
    std::fclose(file);
    EXPECT_THAT(testing::internal::GetCapturedStdout(), HasSubstr("more than the first pass"));
    EXPECT_EQ(model->vertexcount, 3u);
    EXPECT_EQ(model->trianglecount, 1u);
    EXPECT_EQ(vertexIndices(model.get()), (std::vector<int>{1, 2, 3}));
}
