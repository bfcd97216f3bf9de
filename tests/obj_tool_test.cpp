// zandar-obj as users run it: info against the library's reading of every demo and test model,
// convert then info (counts kept, bounds as the operations say), thumbnails on its own X server,
// and one-line errors that leave no output behind.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <SFML/Graphics/Image.hpp>
#include <algorithm>
#include <cmath>
#include <map>
#include <regex>

#include "tests/glm_test_files.h"
#include "tests/support/process.h"

using namespace glmtest;
using ::testing::HasSubstr;
using ::testing::StartsWith;
namespace fs = std::filesystem;

namespace {

ProcessResult obj(std::vector<std::string> args, std::vector<std::string> environment = {}) {
    args.insert(args.begin(), ZANDAR_OBJ_EXE);
    return runProcess(args, 120.0, environment);
}

// The numbers of each field of `info --json`; for the lists, only their named numbers (a group's
// triangles, a texture's width and height), not digits in names.
std::map<std::string, std::vector<double>> info(const std::string& file) {
    const ProcessResult r = obj({"info", "--json", file});
    EXPECT_EQ(r.exitStatus, 0) << file << ": " << r.err;
    static const std::regex field("^ *\"(\\w+)\": (.*)$");
    static const std::regex number("(\": )?(-?[0-9][0-9.e+-]*)");
    std::map<std::string, std::vector<double>> fields;
    for (const std::string& line : splitLines(r.out)) {
        std::smatch m;
        if (std::regex_match(line, m, field)) {
            const std::string key = m[1], rest = m[2];
            for (std::sregex_iterator it(rest.begin(), rest.end(), number), end; it != end; ++it) {
                if (key.find("_list") == std::string::npos || (*it)[1].matched) {
                    fields[key].push_back(std::stod((*it)[2]));
                }
            }
        }
    }
    return fields;
}

std::vector<std::string> everyModel() {
    std::vector<std::string> files;
    for (const fs::path& dir : {fs::path(ZANDAR_ASSET_DIR) / "models",
                                fs::path(ZANDAR_SOURCE_DIR) / "tests/data/models"}) {
        for (const auto& entry : fs::directory_iterator(dir)) {
            if (entry.path().extension() == ".obj") {
                files.push_back(entry.path().string());
            }
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<double> nonEmpty(std::vector<double> counts) {
    counts.erase(std::remove(counts.begin(), counts.end(), 0.0), counts.end());
    std::sort(counts.begin(), counts.end());
    return counts;
}

}  // namespace

// This process has no OpenGL context: the library reads the textured models without one too.
TEST(ObjTool, InfoGivesTheLibrarysCountsForEveryDemoAndTestModel) {
    const std::vector<std::string> files = everyModel();
    ASSERT_GT(files.size(), 9u);
    for (const std::string& file : files) {
        auto fields = info(file);
        ModelPtr m(glmReadOBJ(file.c_str()));
        std::vector<double> groups;
        for (const ObjGroup* g = m->groups; g; g = g->next) {
            groups.insert(groups.begin(), g->trianglecount);
        }
        EXPECT_EQ(fields["vertices"], std::vector<double>{double(m->vertexcount)}) << file;
        EXPECT_EQ(fields["normals"], std::vector<double>{double(m->normalcount)}) << file;
        EXPECT_EQ(fields["texcoords"], std::vector<double>{double(m->texcoordcount)}) << file;
        EXPECT_EQ(fields["triangles"], std::vector<double>{double(m->trianglecount)}) << file;
        EXPECT_EQ(fields["materials"], std::vector<double>{double(m->materialcount)}) << file;
        EXPECT_EQ(fields["textures"], std::vector<double>{double(m->texturecount)}) << file;
        EXPECT_EQ(fields["group_list"], groups) << file;
    }
    const ProcessResult two = obj({"info", files[0], files[1]});
    EXPECT_EQ(std::count(two.out.begin(), two.out.end(), '\n') > 20, true);
    EXPECT_THAT(two.out, HasSubstr("\n\n" + files[1] + "\n  vertices "));
}

// What the writer and reader add by design: the reader's own empty "default" group, and the
// written "default" material beside the reader's own.
TEST(ObjTool, ConvertThenInfoKeepsTheCountsAndMovesTheBoundsAsAsked) {
    TempDir dir;
    for (const std::string& file : everyModel()) {
        auto in = info(file);
        const std::string out = dir / "out.obj";
        const ProcessResult r = obj({"convert", file, out, "--unitize", "--scale", "0.5",
                                     "--reverse", "--smooth", "70", "--sphere-texcoords"});
        ASSERT_EQ(r.exitStatus, 0) << file << ": " << r.err;
        auto back = info(out);
        EXPECT_EQ(back["vertices"], in["vertices"]) << file;
        EXPECT_EQ(back["triangles"], in["triangles"]) << file;
        EXPECT_EQ(back["texture_list"], in["texture_list"]) << file;  // maps written, found
        EXPECT_EQ(back["texcoords"], back["normals"]) << file;
        EXPECT_EQ(back["groups"][0], in["groups"][0] + 1) << file;
        EXPECT_EQ(back["materials"][0], in["materials"][0] + (in["materials"][0] > 0)) << file;
        EXPECT_EQ(nonEmpty(back["group_list"]), nonEmpty(in["group_list"])) << file;
        const std::vector<double>& b = back["bounds"];
        ASSERT_EQ(b.size(), 6u) << file;
        EXPECT_NEAR(std::max({b[3] - b[0], b[4] - b[1], b[5] - b[2]}), 1.0, 1e-5) << file;
        for (double c : back["centre"]) {
            EXPECT_NEAR(c, 0.0, 1e-5) << file;
        }
    }
    // Only what is asked is written: welded into one point, flat normals, nothing else.
    const std::string cube = ZANDAR_SOURCE_DIR "/tests/data/models/cube.obj";
    ASSERT_EQ(obj({"convert", cube, dir / "w.obj", "--weld", "3", "--normals", "flat"}).exitStatus,
              0);
    auto welded = info(dir / "w.obj");
    EXPECT_EQ(welded["vertices"][0] + welded["normals"][0] + welded["texcoords"][0], 1 + 12);
    EXPECT_EQ(welded["materials"][0], 0);
}

TEST(ObjTool, ThumbnailsDrawTheModelTexturedOnTheirOwnDisplay) {
    TempDir dir;
    writeTga(dir / "green.tga", 4, 4, 0, 255, 0);
    writeFile(dir / "q.mtl", "newmtl w\nKd 1 1 1\nmap_Kd green.tga\n");
    writeFile(dir / "q.obj",
              "mtllib q.mtl\nv -1 -1 0\nv 1 -1 0\nv 1 1 0\nv -1 1 0\nvt 0 0\nvt 1 0\nvt 1 1\n"
              "vt 0 1\nusemtl w\nf 1/1 2/2 3/3 4/4\n");
    const std::string oasis = ZANDAR_ASSET_DIR "/models/oasis.obj";
    for (const auto& [model, size] : {std::pair{dir / "q.obj", "64"}, {oasis, "96x48"}}) {
        const ProcessResult r =
            obj({"thumbnail", model, dir / "t.png", "--size", size, "--angle", "10"}, {"DISPLAY="});
        ASSERT_EQ(r.exitStatus, 0) << r.err;
        sf::Image picture;
        ASSERT_TRUE(picture.loadFromFile(dir / "t.png"));
        const sf::Vector2u s = picture.getSize();
        EXPECT_EQ(std::to_string(s.x) + (s.x == s.y ? "" : "x" + std::to_string(s.y)), size);
        const sf::Color centre = picture.getPixel(s.x / 2, s.y / 2);
        EXPECT_NE(centre, picture.getPixel(0, 0)) << model;  // something drawn over the ground
        if (model == dir / "q.obj") {
            EXPECT_GT(centre.g, 100);
            EXPECT_LT(centre.r + centre.b, 20);
        }
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 4);  // no partial files
}

TEST(ObjTool, ErrorsAreOneLineNamingTheFileOrOptionAndLeaveNoOutput) {
    TempDir dir;
    writeFile(dir / "m.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
    writeFile(dir / "vp.obj", "vp 0 0\n");
    writeFile(dir / "nolib.obj", "mtllib gone.mtl\n");
    const std::string m = dir / "m.obj", out = dir / "out.obj", png = dir / "out.png";
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{}, "no command given"},
        {{"explode", m}, "unknown command 'explode'"},
        {{"info", dir / "missing.obj"}, dir / "missing.obj: No such file or directory"},
        {{"info", dir / "."}, "Is a directory"},
        {{"info", "--yaml", m}, "unknown option --yaml"},
        {{"convert", m, out, "--scale", "2x"}, "--scale: '2x' is not a number"},
        {{"convert", m, out, "--smooth", "1e999"}, "--smooth: 1e999 is out of range"},
        {{"convert", m, out, "--weld"}, "--weld needs a value"},
        {{"convert", m, out, "--twist"}, "unknown option --twist"},
        {{"convert", m, out, "--normals", "round"}, "--normals: 'round' is neither"},
        {{"convert", m, out, "--sphere-texcoords"}, "--sphere-texcoords needs normals"},
        {{"convert", m, out, "--texcoords"}, "--texcoords: the model has no texture"},
        {{"convert", m}, "give an input and an output file (1 given)"},
        {{"convert", m, "/nonexistent/out.obj"}, "/nonexistent/out.obj: No such file"},
        {{"convert", m, m + "/out.obj"}, m + "/out.obj: Not a directory"},
        {{"convert", dir / "vp.obj", out}, "glmFirstPass(): Unknown token \"vp\"."},
        {{"convert", dir / "nolib.obj", out}, "can't open material file \"" + dir / "gone.mtl"},
        {{"thumbnail", m, png, "--size", "0x10"}, "--size: '0x10' is not W or WxH"},
        {{"thumbnail", m, png, "--angle", "north"}, "--angle: 'north' is not a number"},
        {{"thumbnail", m, m + "/t.png"}, m + "/t.png: Not a directory"},
    };
    for (const auto& [args, message] : cases) {
        const ProcessResult r = obj(args);
        EXPECT_EQ(r.exitStatus, 1) << message;
        EXPECT_EQ(r.out, "") << message;
        const std::vector<std::string> lines = splitLines(r.err);
        ASSERT_EQ(lines.size(), 1u) << r.err;
        EXPECT_THAT(lines[0], StartsWith("zandar-obj: "));
        EXPECT_THAT(lines[0], HasSubstr(message));
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), {}), 3);
}
