// The generated assets as the demo and other programs load them: the generator's determinism;
// the pictures (SFML) at the sizes, with the transparency and the opaque parts the scenes place
// and draw them by; the models (the real model library, a real GL context for their textures)
// clean, fitted, facing the way the scenes show them and clear of the eye where the scenes move
// the eye through them, and their textures; the music through libopenmpt and libmpg123.
#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.h>
#include <mpg123.h>
#include <unistd.h>

#include <SFML/Graphics/Image.hpp>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "glm/demo_models.h"
#include "tests/support/test_window.h"
#include "textures/tga.h"
#include "tools/assetgen/mesh.h"

namespace fs = std::filesystem;
using namespace modelgen;

namespace {

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST(Generator, EveryRunWritesTheSameBytesForEveryFile) {
    const fs::path base = fs::temp_directory_path() / ("assetgen_" + std::to_string(getpid()));
    const std::string run = "'" ZANDAR_ASSETGEN "' '" + base.string();  // two runs side by side
    ASSERT_EQ(std::system((run + "/0' & p=$!; " + run + "/1' && wait $p").c_str()), 0);
    int files = 0;
    for (const auto& e : fs::recursive_directory_iterator(base / "0")) {
        if (!e.is_regular_file()) continue;
        const fs::path twin = base / "1" / fs::relative(e.path(), base / "0");
        ++files;
        EXPECT_TRUE(readFile(e.path()) == readFile(twin)) << twin << " differs between runs";
    }
    EXPECT_GT(files, 40);
    fs::remove_all(base);
}

// ---- Pictures -----------------------------------------------------------------------------------

sf::Image load(const std::string& name) {
    sf::Image image;
    EXPECT_TRUE(image.loadFromFile(ZANDAR_ASSET_DIR "/" + name)) << name;
    return image;
}

// How many pixels of a rectangle pass a test.
template <typename Test>
long count(const sf::Image& img, unsigned x0, unsigned y0, unsigned x1, unsigned y1, Test test) {
    long n = 0;
    for (unsigned y = y0; y < y1; ++y) {
        for (unsigned x = x0; x < x1; ++x) n += test(img.getPixel(x, y));
    }
    return n;
}

bool opaque(sf::Color c) {
    return c.a == 255;
}

TEST(Pictures, SizesCoverageAndTransparencyAreWhatTheScenesDrawThemBy) {
    // Exact where the scenes' positions and centres fix the size, near the intended size where
    // they only suggest it. Sprites drawn over others have clear top corners and a solid shape (the
    // scrolls: lines of text).
    const struct {
        const char* name;
        unsigned minW, maxW, minH, maxH;
        bool sprite;
    } pictures[] = {
        {"palm.png", 558, 558, 614, 614, true},         {"arab.png", 340, 340, 680, 680, true},
        {"sand.png", 2120, 4096, 720, 1024, false},     {"scroll.png", 300, 430, 540, 660, true},
        {"scroll2.png", 600, 1280, 900, 1020, true},    {"ak47.png", 400, 600, 150, 250, true},
        {"bmw.png", 480, 720, 240, 360, true},          {"quistel.png", 560, 720, 400, 560, true},
        {"quistel-bubble.png", 420, 620, 240, 360, true}, {"brumlo.png", 480, 540, 580, 640, true},
        {"brumlo-bubble.png", 340, 500, 200, 320, true}, {"cross.png", 160, 240, 160, 240, true},
        {"cred_1.png", 680, 920, 240, 360, true},       {"cred_2.png", 680, 920, 240, 360, true},
        {"cred_3.png", 680, 920, 240, 360, true},       {"cred_4.png", 680, 920, 240, 360, true},
        {"weed3-1.jpg", 340, 460, 340, 460, false},     {"weed3-2.jpg", 340, 460, 340, 460, false},
        {"weed3-3.jpg", 340, 460, 340, 460, false},     {"weed3-4.jpg", 340, 460, 340, 460, false},
        {"weed3-5.jpg", 340, 460, 340, 460, false},     {"weed3-6.jpg", 340, 460, 340, 460, false},
    };
    for (const auto& p : pictures) {
        const sf::Image img = load(p.name);
        const unsigned w = img.getSize().x, h = img.getSize().y;
        EXPECT_TRUE(w >= p.minW && w <= p.maxW && h >= p.minH && h <= p.maxH)
            << p.name << " is " << w << " x " << h;
        if (!p.sprite) continue;
        for (unsigned at : {0u, w - 1}) {  // the top corners: some stand on the bottom edge
            EXPECT_EQ(img.getPixelsPtr()[at * 4 + 3], 0) << p.name << " corner " << at;
        }
        EXPECT_GT(count(img, 0, 0, w, h, opaque), long(w) * h / (p.name[0] == 's' ? 50 : 8))
            << p.name;
    }
    // Full-window overlays and backgrounds cover the window; the filter keeps the middle clear
    // and darkens the corners.
    auto is = [](int v) { return [v](sf::Color c) { return c == sf::Color(v, v, v, 255); }; };
    EXPECT_EQ(count(load("blackscreen.png"), 0, 0, 1280, 720, is(0)), 1280 * 720);
    EXPECT_EQ(count(load("whitescreen.png"), 0, 0, 1280, 720, is(255)), 1280 * 720);
    for (const char* name : {"loading.png", "bg_blue.png", "bg_night.png", "filter.png"}) {
        const sf::Image img = load(name);
        EXPECT_EQ(img.getSize(), sf::Vector2u(1280, 720)) << name;
        if (name[0] == 'f') {
            auto seen = [](sf::Color c) { return c.a > 150; };
            EXPECT_LT(count(img, 420, 220, 860, 500, seen), 440 * 280 / 20);
            EXPECT_GT(count(img, 0, 0, 40, 40, seen) + count(img, 1240, 680, 1280, 720, seen), 1600)
                << "dark corners";
        } else {
            EXPECT_EQ(count(img, 0, 0, 1280, 720, opaque), 1280 * 720) << name;
        }
    }
}

TEST(Pictures, ScrollsAndSandHoldWhatTheScenesShowOfThem) {
    // The scrolls: light text from top to bottom, so it enters and leaves as the scenes expect,
    // over a background that shows through.
    auto light = [](sf::Color c) { return c.a == 255 && c.r + c.g + c.b > 3 * 170; };
    for (const char* name : {"scroll.png", "scroll2.png"}) {
        const sf::Image img = load(name);
        const unsigned w = img.getSize().x, h = img.getSize().y;
        EXPECT_GT(count(img, 0, 0, w, h, [](sf::Color c) { return c.a == 0; }), long(w) * h / 2);
        EXPECT_GT(count(img, 0, 0, w, h / 10, light), 0) << name;
        EXPECT_GT(count(img, 0, h - h / 10, w, h, light), 0) << name;
    }
    // Scene 3 draws the sand at the window's top over a blue clear, scene 5 at y 300: the sky
    // must show above the dunes, which begin by row 165, and no gap may open below them.
    const sf::Image sand = load("sand.png");
    const unsigned w = sand.getSize().x, h = sand.getSize().y;
    EXPECT_EQ(count(sand, 0, 0, w, 95, [](sf::Color c) { return c.a != 0; }), 0);
    for (unsigned x = 0; x < w; ++x) {
        unsigned y = 95;
        while (y < h && !opaque(sand.getPixel(x, y))) ++y;
        ASSERT_LE(y, 165u) << "column " << x;
        ASSERT_EQ(count(sand, x, y, x + 1, h, opaque), long(h - y)) << "column " << x;
    }
}

// ---- Models -------------------------------------------------------------------------------------

const std::string kModelDir = ZANDAR_ASSET_DIR "/models/";

// A model read and prepared as the demo reads it, with what the library printed meanwhile.
struct Loaded {
    explicit Loaded(const std::string& name) {
        testWindow();
        testing::internal::CaptureStdout();
        testing::internal::CaptureStderr();
        model = loadModel((kModelDir + name + ".obj").c_str());
        out = testing::internal::GetCapturedStdout();
        err = testing::internal::GetCapturedStderr();
    }
    ~Loaded() { glmFreeModel(model); }
    ObjModel* model;
    std::string out, err;
};

Vec3 vertexOf(const ObjModel* m, GLuint i) {
    return {m->vertices[3 * i], m->vertices[3 * i + 1], m->vertices[3 * i + 2]};
}

std::array<Vec3, 3> corners(const ObjModel* m, GLuint triangle) {
    const GLint* v = m->triangles[triangle].vertexindex;
    return {vertexOf(m, v[0]), vertexOf(m, v[1]), vertexOf(m, v[2])};
}

// The summed area normals of the groups whose name ends in `suffix` (all: ""), and six times
// the volume they enclose, positive when their faces point outwards.
Vec3 normalOf(const ObjModel* m, const std::string& suffix, double& volume) {
    Vec3 sum;
    volume = 0;
    for (const ObjGroup* g = m->groups; g; g = g->next) {
        const std::string name = g->name;
        if (name.size() < suffix.size() || name.substr(name.size() - suffix.size()) != suffix) {
            continue;
        }
        for (GLuint k = 0; k < g->trianglecount; ++k) {
            const auto [a, b, c] = corners(m, g->triangleindices[k]);
            sum = sum + cross(b - a, c - a);
            volume += dot(a, cross(b, c));
        }
    }
    return normalized(sum);
}

// Distance from p to the nearest triangle, and the height of the highest surface straight
// below p (or -1e9).
void around(const ObjModel* m, Vec3 p, float& nearest, float& below) {
    nearest = 1e9f, below = -1e9f;
    for (GLuint i = 0; i < m->trianglecount; ++i) {
        const auto [a, b, c] = corners(m, i);
        const Vec3 n = normalized(cross(b - a, c - a));
        const Vec3 q = p - n * dot(p - a, n);  // p on the triangle's plane
        const bool inside = dot(cross(b - a, q - a), n) >= 0 && dot(cross(c - b, q - b), n) >= 0 &&
                            dot(cross(a - c, q - c), n) >= 0;
        auto segment = [&](Vec3 s, Vec3 e) {
            const float t = std::clamp(dot(p - s, e - s) / dot(e - s, e - s), 0.0f, 1.0f);
            return length(p - (s + (e - s) * t));
        };
        const float edge = std::min({segment(a, b), segment(b, c), segment(c, a)});
        nearest = std::min(nearest, inside ? std::fabs(dot(p - a, n)) : edge);
        const float d = (b.x - a.x) * (c.z - a.z) - (c.x - a.x) * (b.z - a.z);
        if (std::fabs(d) < 1e-12f) continue;
        const float u = ((p.x - a.x) * (c.z - a.z) - (c.x - a.x) * (p.z - a.z)) / d;
        const float v = ((b.x - a.x) * (p.z - a.z) - (p.x - a.x) * (b.z - a.z)) / d;
        const float y = a.y + u * (b.y - a.y) + v * (c.y - a.y);
        if (u >= 0 && v >= 0 && u + v <= 1 && y < p.y) below = std::max(below, y);
    }
}

TEST(GeneratedModels, LoadCleanlyFittedAndCentredFacingTheWayTheScenesShowThem) {
    const struct {
        const char* name;
        std::vector<const char*> fronts;  // parts facing the viewer: along +z, or +y for asd
        Vec3 most;                        // largest size along x, y, z (all: fitted into 2)
    } models[] = {{"asd", {"plate_face", "sun_face", "rose_face", "name_face"}, {2, 0.5f, 1.1f}},
                  {"vorn", {"letter_face"}, {2, 1.2f, 0.5f}},
                  {"ekka", {"letter_face"}, {2, 1.2f, 0.5f}},
                  {"trudel", {"letter_face"}, {2, 1.2f, 0.5f}},
                  {"mips", {"letter_face"}, {2, 1.2f, 0.5f}},
                  {"oo", {"letter_face"}, {2, 1.2f, 0.5f}},
                  {"zandar", {"letter_face"}, {2, 1.2f, 0.5f}},
                  {"oljefalt", {}, {2, 2, 2}},
                  {"oasis", {}, {2, 2, 2}}};
    for (const auto& entry : models) {
        SCOPED_TRACE(entry.name);
        const Loaded l(entry.name);
        const ObjModel* m = l.model;
        EXPECT_EQ(l.out.find("glm"), std::string::npos) << l.out;  // no unknown material etc.
        EXPECT_EQ(l.err, "");                                      // no vertex without a face
        EXPECT_TRUE(m->trianglecount > 0 && m->trianglecount < 50000) << m->trianglecount;
        for (const ObjGroup* g = m->groups; g; g = g->next) {
            if (g->trianglecount == 0) continue;  // the reader's own empty "default"
            ASSERT_GT(g->material, 0) << g->name;
            EXPECT_STRNE(m->materials[g->material].name, "default");
        }
        for (GLuint i = 1; i <= m->facetnormcount; ++i) {
            const Vec3 n{m->facetnorms[3 * i], m->facetnorms[3 * i + 1], m->facetnorms[3 * i + 2]};
            ASSERT_NEAR(length(n), 1.0f, 1e-3f) << "degenerate triangle " << i;
        }
        Vec3 lo = vertexOf(m, 1), hi = lo;
        for (GLuint i = 1; i <= m->vertexcount; ++i) {
            const Vec3 p = vertexOf(m, i);
            lo = {std::min(lo.x, p.x), std::min(lo.y, p.y), std::min(lo.z, p.z)};
            hi = {std::max(hi.x, p.x), std::max(hi.y, p.y), std::max(hi.z, p.z)};
        }
        const Vec3 size = hi - lo;
        EXPECT_LT(length(hi + lo), 1e-3f) << "centred";
        EXPECT_NEAR(std::max({size.x, size.y, size.z}), 2.0f, 1e-3f);
        EXPECT_NEAR(size.x, entry.most.x, entry.fronts.empty() ? 2.0f : 1e-3f);
        EXPECT_LE(size.y, entry.most.y);
        EXPECT_LE(size.z, entry.most.z);
        double volume = 0;
        for (const char* front : entry.fronts) {
            const Vec3 n = normalOf(m, front, volume);
            EXPECT_GT(entry.name[0] == 'a' ? n.y : n.z, 0.999f) << front;
        }
        if (!entry.fronts.empty()) {
            normalOf(m, "", volume);
            EXPECT_GT(volume, 0.0) << "a solid facing outwards";
        }
    }
}

TEST(GeneratedModels, TheEyeStaysClearWhereScenesFourAndEightPutIt) {
    // Scene 4 turns the oil field about the eye: ground just below it, nothing through it.
    const Loaded field("oljefalt");
    float nearest = 0, below = 0;
    around(field.model, {0, 0, 0}, nearest, below);
    EXPECT_GT(nearest, 0.03f);
    EXPECT_TRUE(below < -0.03f && below > -0.2f) << below;
    // Scene 8 moves the oasis from 0.75 in front of the eye at 0.05 per second, turning it 5
    // degrees per second about -y: in the model's frame the eye travels along this path.
    const Loaded oasis("oasis");
    for (float t = 0; t <= 20; t += 0.25f) {
        const float d = 0.75f - t / 20, a = 5 * t * 3.14159265f / 180;
        around(oasis.model, {d * std::sin(a), 0, d * std::cos(a)}, nearest, below);
        EXPECT_GT(nearest, 0.02f) << t;
        EXPECT_LT(below, -0.02f) << t;  // ground, if any, below the eye
    }
}

TEST(GeneratedModels, TheFieldAndTheOasisAreClosedSolidsButForTheirThinSheets) {
    // The demo culls the back faces of closed surfaces; these parts are open on purpose: sheets
    // lying on the ground, a band round each tank, fronds and tents seen from both sides.
    const std::map<std::string, std::set<std::string>> sheets = {
        {"oljefalt", {"track", "stain", "tank_band"}},
        {"oasis", {"water", "moonlight", "palm_frond", "tent_cloth", "tent_roof", "tent_door"}}};
    for (const auto& [name, open] : sheets) {
        const Loaded l(name);
        const std::vector<bool> closed = closedTriangles(l.model);
        for (const ObjGroup* g = l.model->groups; g; g = g->next) {
            GLuint count = 0;
            for (GLuint k = 0; k < g->trianglecount; ++k) count += closed[g->triangleindices[k]];
            const std::string group = std::string(g->name).substr(g->name[0] == ' ');  // `g x`
            if (group == "derrick_steel") {
                EXPECT_GT(count, g->trianglecount * 9 / 10);  // a few struts touch along edges
            } else if (!open.count(group)) {
                EXPECT_EQ(count, g->trianglecount) << name << ": " << group;
            }
        }
    }
}

TEST(GeneratedModels, TexturesComeInBothTgaKindsAndDepthsWithWhiteCorners) {
    std::set<std::pair<int, int>> kinds;  // (image type, bits per pixel)
    for (const char* name : {"asd", "vorn", "ekka", "trudel", "mips", "oo", "zandar",
                             "oljefalt", "oasis"}) {
        std::istringstream mtl(readFile(kModelDir + name + ".mtl"));
        for (std::string keyword, file; mtl >> keyword;) {
            if (keyword != "map_Kd" || !(mtl >> file)) continue;
            const std::string header = readFile(kModelDir + file).substr(0, 18);
            ASSERT_EQ(header.size(), 18u) << file;
            kinds.insert({header[2], static_cast<unsigned char>(header[16])});
            TgaImage image{};
            ASSERT_TRUE(readTGA(&image, (kModelDir + file).c_str()) && image.pixels) << file;
            const GLuint bpp = image.bitsPerPixel / 8, w = image.width, h = image.height;
            for (GLuint at : {GLuint{0}, w - 1, (h - 1) * w, h * w - 1}) {
                for (GLuint k = 0; k < bpp; ++k) {
                    EXPECT_EQ(image.pixels[at * bpp + k], 255) << file << " corner " << at;
                }
            }
            std::free(image.pixels);
        }
    }
    EXPECT_EQ(kinds, (std::set<std::pair<int, int>>{{2, 24}, {2, 32}, {10, 24}, {10, 32}}));
}

// ---- Music --------------------------------------------------------------------------------------

const std::string kModulePath = ZANDAR_ASSET_DIR "/arabish.xm";
constexpr double kRowSeconds = 0.12;  // speed 6 at 125 BPM
constexpr int kRate = 44100;

// A module opened in libopenmpt, with everything the library logged while loading it.
struct OpenMpt {
    explicit OpenMpt(const std::string& bytes) {
        int error = 0;
        mod = openmpt_module_create_from_memory2(
            bytes.data(), bytes.size(),
            [](const char* message, void* user) {
                static_cast<std::vector<std::string>*>(user)->push_back(message);
            },
            &log, nullptr, nullptr, &error, nullptr, nullptr);
    }
    ~OpenMpt() { openmpt_module_destroy(mod); }

    // `seconds` of stereo sound, shorter where the song ends.
    std::vector<float> render(double seconds) {
        std::vector<float> out, buffer(2 * 4096);
        const size_t wanted = static_cast<size_t>(seconds * kRate);
        for (size_t n = 1; n > 0 && out.size() / 2 < wanted;) {
            n = openmpt_module_read_interleaved_float_stereo(
                mod, kRate, std::min<size_t>(4096, wanted - out.size() / 2), buffer.data());
            out.insert(out.end(), buffer.begin(), buffer.begin() + static_cast<long>(2 * n));
        }
        return out;
    }

    openmpt_module* mod = nullptr;
    std::vector<std::string> log;
};

double dbfs(const float* begin, const float* end) {
    double sum = 0;
    for (const float* p = begin; p != end; ++p) sum += static_cast<double>(*p) * *p;
    return 20 * std::log10(std::sqrt(sum / std::max<double>(end - begin, 1)) + 1e-12);
}

float peak(const std::vector<float>& sound) {
    float most = 0;
    for (float v : sound) most = std::max(most, std::fabs(v));
    return most;
}

TEST(Music, TheModuleLoadsCleanlyWithTheDemoTempoABeatOnEveryFourthRowAndItsLoop) {
    OpenMpt m(readFile(kModulePath));
    ASSERT_NE(m.mod, nullptr) << "libopenmpt cannot load " << kModulePath;
    for (const std::string& line : m.log) ADD_FAILURE() << "libopenmpt says: " << line;
    EXPECT_EQ(openmpt_module_get_current_speed(m.mod), 6);
    EXPECT_EQ(openmpt_module_get_current_tempo(m.mod), 125);
    EXPECT_GE(openmpt_module_get_num_channels(m.mod), 4);
    ASSERT_EQ(openmpt_module_get_num_orders(m.mod), 16);
    for (int o = 0; o < 16; ++o) {
        const int pattern = openmpt_module_get_order_pattern(m.mod, o);
        ASSERT_EQ(openmpt_module_get_pattern_num_rows(m.mod, pattern), 64) << "order " << o;
        for (int row = 0; row < 64; row += 4) {
            const int note = openmpt_module_get_pattern_row_channel_command(
                m.mod, pattern, row, 0, OPENMPT_MODULE_COMMAND_NOTE);
            EXPECT_TRUE(note >= 1 && note <= 120) << "order " << o << " row " << row;
        }
    }
    // One pass lasts the demo; past the end of the last pattern it plays on from order 2.
    EXPECT_NEAR(openmpt_module_get_duration_seconds(m.mod), 16 * 64 * kRowSeconds, 0.05);
    openmpt_module_set_repeat_count(m.mod, -1);
    openmpt_module_set_position_order_row(m.mod, 15, 0);
    const std::vector<float> sound = m.render(64 * kRowSeconds + 2.0);
    ASSERT_EQ(sound.size(), 2 * static_cast<size_t>((64 * kRowSeconds + 2.0) * kRate));
    EXPECT_EQ(openmpt_module_get_current_order(m.mod), 2);
    const size_t seam = static_cast<size_t>(64 * kRowSeconds * kRate) * 2;
    EXPECT_GT(dbfs(sound.data() + seam, sound.data() + sound.size()), -35.0) << "silent loop";

}

TEST(Music, TheStreamLastsTheDemoAndNeverClipsWithTheModule) {
    const std::string mp3 = readFile(ZANDAR_ASSET_DIR "/desert.mp3");
    mpg123_init();
    int err = 0, channels = 0, encoding = 0;
    long rate = 0;
    mpg123_handle* h = mpg123_new(nullptr, &err);
    mpg123_param(h, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    mpg123_open_feed(h);
    mpg123_feed(h, reinterpret_cast<const unsigned char*>(mp3.data()), mp3.size());
    std::vector<float> stream;
    std::vector<unsigned char> buffer(1 << 16);
    for (int r = MPG123_OK; r == MPG123_OK || r == MPG123_NEW_FORMAT;) {
        size_t done = 0;
        r = mpg123_read(h, buffer.data(), buffer.size(), &done);
        if (r == MPG123_NEW_FORMAT) mpg123_getformat(h, &rate, &channels, &encoding);
        const auto* pcm = reinterpret_cast<const int16_t*>(buffer.data());
        for (size_t i = 0; i < done / 2; ++i) stream.push_back(pcm[i] / 32768.0f);
    }
    mpg123_delete(h);
    EXPECT_EQ(std::make_pair(rate, channels), std::make_pair(long{kRate}, 2));
    EXPECT_EQ(encoding, MPG123_ENC_SIGNED_16);
    EXPECT_NEAR(static_cast<double>(stream.size()) / 2 / kRate, 125.0, 2.0);
    auto windowDb = [&](double from, double to) {
        const size_t a = 2 * static_cast<size_t>(from * kRate);
        return dbfs(stream.data() + a,
                    stream.data() + std::min(stream.size(), 2 * static_cast<size_t>(to * kRate)));
    };
    for (double t = 0; t + 10 <= 120; t += 10) EXPECT_GT(windowDb(t, t + 10), -40.0) << t;
    // The demo starts both at once and the output adds them: a boom landing on a kick must
    // not clip, nor either alone.
    OpenMpt module(readFile(kModulePath));
    ASSERT_NE(module.mod, nullptr);
    openmpt_module_set_repeat_count(module.mod, -1);
    std::vector<float> music = module.render(static_cast<double>(stream.size()) / 2 / kRate);
    ASSERT_EQ(music.size(), stream.size());
    EXPECT_LT(std::max(peak(stream), peak(music)), 0.98f);
    for (size_t i = 0; i < music.size(); ++i) music[i] += stream[i];
    EXPECT_LT(peak(music), 0.95f);
}

}  // namespace
