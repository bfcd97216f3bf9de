// The asset generator's pictures as the demo loads them (SFML), its determinism over every part,
// and the canvas the pictures are painted with.
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <SFML/Graphics/Image.hpp>
#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "tools/assetgen/canvas.h"
#include "tools/assetgen/img_common.h"
#include "tools/assetgen/text.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

// ---------------------------------------------------------------------------------------------
// The pictures are checked where the build wrote them for the demo; the determinism check runs
// the generator itself.

pid_t startGenerator(const std::string& outDir) {
    std::string exe = ZANDAR_ASSETGEN;
    char* argv[] = {exe.data(), const_cast<char*>(outDir.c_str()), nullptr};
    pid_t pid = -1;
    if (posix_spawn(&pid, exe.c_str(), nullptr, nullptr, argv, environ) != 0)
        return -1;
    return pid;
}

int waitFor(pid_t pid) {
    int status = 0;
    if (pid < 0 || waitpid(pid, &status, 0) != pid)
        return -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string assetPath(const std::string& name) {
    return std::string(ZANDAR_ASSET_DIR) + "/" + name;
}

sf::Image load(const std::string& name) {
    sf::Image image;
    EXPECT_TRUE(image.loadFromFile(assetPath(name))) << name;
    return image;
}

std::string readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::map<std::string, fs::path> filesBelow(const fs::path& dir) {
    std::map<std::string, fs::path> out;
    for (const auto& e : fs::recursive_directory_iterator(dir)) {
        if (e.is_regular_file())
            out[fs::relative(e.path(), dir).string()] = e.path();
    }
    return out;
}

const char* const kPictures[] = {
    "loading.png",       "blackscreen.png", "whitescreen.png", "bg_blue.png",        "bg_night.png",
    "scroll.png",        "scroll2.png",     "sand.png",        "palm.png",           "arab.png",
    "ak47.png",          "bmw.png",         "quistel.png",     "quistel-bubble.png", "brumlo.png",
    "brumlo-bubble.png", "cred_1.png",      "cred_2.png",      "cred_3.png",         "cred_4.png",
    "cross.png",         "weed3-1.jpg",     "weed3-2.jpg",     "weed3-3.jpg",        "weed3-4.jpg",
    "weed3-5.jpg",       "weed3-6.jpg",     "filter.png"};

int alphaAt(const sf::Image& img, unsigned x, unsigned y) {
    return img.getPixel(x, y).a;
}

// Mean alpha over a rectangle, 0..255.
double meanAlpha(const sf::Image& img, unsigned x0, unsigned y0, unsigned x1, unsigned y1) {
    double sum = 0;
    for (unsigned y = y0; y < y1; ++y) {
        for (unsigned x = x0; x < x1; ++x) sum += img.getPixel(x, y).a;
    }
    return sum / ((x1 - x0) * (y1 - y0));
}

bool cornersClear(const sf::Image& img) {
    sf::Vector2u s = img.getSize();
    return alphaAt(img, 0, 0) == 0 && alphaAt(img, s.x - 1, 0) == 0 &&
           alphaAt(img, 0, s.y - 1) == 0 && alphaAt(img, s.x - 1, s.y - 1) == 0;
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Pictures

TEST(Generator, EveryRunWritesTheSameBytesForEveryPart) {
    // Two full runs side by side into fresh folders.
    struct TempDir {
        fs::path path = fs::temp_directory_path() / ("assetgen_test_" + std::to_string(getpid()));
        TempDir() { fs::remove_all(path); }
        ~TempDir() { fs::remove_all(path); }
    } temp;
    const fs::path& base = temp.path;
    pid_t first = startGenerator((base / "a").string());
    pid_t second = startGenerator((base / "b").string());
    ASSERT_EQ(waitFor(first), 0) << "first generator run failed";
    ASSERT_EQ(waitFor(second), 0) << "second generator run failed";
    auto a = filesBelow(base / "a");
    auto b = filesBelow(base / "b");
    ASSERT_FALSE(a.empty());
    ASSERT_EQ(a.size(), b.size());
    for (const auto& [name, file] : a) {
        if (!b.count(name)) {
            ADD_FAILURE() << name << " missing from the second run";
            continue;
        }
        EXPECT_TRUE(readAll(file) == readAll(b[name])) << name << " differs between runs";
    }
    for (const char* picture : kPictures) EXPECT_TRUE(a.count(picture)) << picture;
}

TEST(Pictures, PicturesLoadAtTheSizesTheScenesPlaceThemAt) {
    struct Expect {
        const char* name;
        unsigned minW, maxW, minH, maxH;
    };
    // Exact where the scenes' positions and centres fix the size, near the intended size where
    // they only suggest it.
    const Expect sizes[] = {
        {"loading.png", 1280, 1280, 720, 720},
        {"blackscreen.png", 1280, 1280, 720, 720},
        {"whitescreen.png", 1280, 1280, 720, 720},
        {"bg_blue.png", 1280, 1280, 720, 720},
        {"bg_night.png", 1280, 1280, 720, 720},
        {"filter.png", 1280, 1280, 720, 720},
        {"palm.png", 558, 558, 614, 614},
        {"arab.png", 340, 340, 680, 680},
        {"sand.png", 2120, 4096, 720, 1024},
        {"scroll.png", 300, 430, 540, 660},
        {"scroll2.png", 600, 1280, 900, 1020},
        {"ak47.png", 400, 600, 150, 250},
        {"bmw.png", 480, 720, 240, 360},
        {"quistel.png", 560, 720, 400, 560},
        {"quistel-bubble.png", 420, 620, 240, 360},
        {"brumlo.png", 480, 540, 580, 640},
        {"brumlo-bubble.png", 340, 500, 200, 320},
        {"cross.png", 160, 240, 160, 240},
    };
    for (const Expect& e : sizes) {
        sf::Vector2u s = load(e.name).getSize();
        EXPECT_GE(s.x, e.minW) << e.name;
        EXPECT_LE(s.x, e.maxW) << e.name;
        EXPECT_GE(s.y, e.minH) << e.name;
        EXPECT_LE(s.y, e.maxH) << e.name;
    }
    for (int i = 1; i <= 4; ++i) {
        sf::Vector2u s = load("cred_" + std::to_string(i) + ".png").getSize();
        EXPECT_NEAR(s.x, 800.0, 120.0);
        EXPECT_NEAR(s.y, 300.0, 60.0);
    }
    for (int i = 1; i <= 6; ++i) {
        sf::Vector2u s = load("weed3-" + std::to_string(i) + ".jpg").getSize();
        EXPECT_NEAR(s.x, 400.0, 60.0);
        EXPECT_NEAR(s.y, 400.0, 60.0);
    }
}

TEST(Pictures, FadeOverlaysAreOpaqueBlackAndWhite) {
    for (auto [name, value] :
         {std::pair<const char*, int>{"blackscreen.png", 0}, {"whitescreen.png", 255}}) {
        sf::Image img = load(name);
        sf::Vector2u s = img.getSize();
        int wrong = 0;
        for (unsigned y = 0; y < s.y; ++y) {
            for (unsigned x = 0; x < s.x; ++x) {
                sf::Color c = img.getPixel(x, y);
                wrong += c.r != value || c.g != value || c.b != value || c.a != 255;
            }
        }
        EXPECT_EQ(wrong, 0) << name;
    }
    // The full-window backgrounds cover the window completely too.
    for (const char* name : {"loading.png", "bg_blue.png", "bg_night.png"}) {
        sf::Image img = load(name);
        EXPECT_EQ(meanAlpha(img, 0, 0, 1280, 720), 255.0) << name;
    }
}

TEST(Pictures, SandIsClearAboveItsDuneLineAndSolidBelow) {
    // Scene 3 draws it at the top of the window over a blue clear, scene 5 at y 300: the sky
    // must show above the dunes in both, and no gap may open in the sand below them.
    sf::Image sand = load("sand.png");
    sf::Vector2u s = sand.getSize();
    int gapsAbove = 0, holesBelow = 0;
    unsigned highest = s.y, lowest = 0;
    for (unsigned x = 0; x < s.x; ++x) {
        unsigned first = s.y;
        for (unsigned y = 0; y < s.y; ++y) {
            if (alphaAt(sand, x, y) == 255) {
                first = y;
                break;
            }
        }
        highest = std::min(highest, first);
        lowest = std::max(lowest, first);
        for (unsigned y = 0; y < 95; ++y) gapsAbove += alphaAt(sand, x, y) != 0;
        for (unsigned y = first; y < s.y; y += 3) holesBelow += alphaAt(sand, x, y) != 255;
    }
    EXPECT_EQ(gapsAbove, 0);
    EXPECT_EQ(holesBelow, 0);
    EXPECT_GE(highest, 95u);
    EXPECT_LE(lowest, 165u);
}

TEST(Pictures, ScrollsAreLightTextOnTransparency) {
    for (const char* name : {"scroll.png", "scroll2.png"}) {
        sf::Image img = load(name);
        sf::Vector2u s = img.getSize();
        EXPECT_TRUE(cornersClear(img)) << name;
        long clear = 0, light = 0, total = static_cast<long>(s.x) * s.y;
        unsigned firstInk = s.y, lastInk = 0;
        for (unsigned y = 0; y < s.y; ++y) {
            for (unsigned x = 0; x < s.x; ++x) {
                sf::Color c = img.getPixel(x, y);
                if (c.a == 0)
                    ++clear;
                if (c.a == 255 && c.r + c.g + c.b > 3 * 170) {
                    ++light;
                    firstInk = std::min(firstInk, y);
                    lastInk = std::max(lastInk, y);
                }
            }
        }
        EXPECT_GT(clear, total / 2) << name << ": the background must show through";
        EXPECT_GT(light, total / 50) << name << ": too little light text";
        // The text runs over the whole height, so it enters and leaves as the scene expects.
        EXPECT_LT(firstInk, s.y / 10) << name;
        EXPECT_GT(lastInk, s.y - s.y / 10) << name;
    }
}

TEST(Pictures, OverlayFilterKeepsTheMiddleClearAndDarkensTheCorners) {
    sf::Image filter = load("filter.png");
    EXPECT_LT(meanAlpha(filter, 420, 220, 860, 500), 20.0);
    EXPECT_GT(meanAlpha(filter, 0, 0, 40, 40), 150.0);
    EXPECT_GT(meanAlpha(filter, 1240, 680, 1280, 720), 150.0);
}

TEST(Pictures, SpritesAreShapesOnTransparency) {
    // Everything drawn over other pictures: clear corners, a solid shape of some size.
    const char* sprites[] = {"palm.png",    "arab.png",           "ak47.png",   "bmw.png",
                             "quistel.png", "quistel-bubble.png", "brumlo.png", "brumlo-bubble.png",
                             "cross.png",   "cred_1.png",         "cred_2.png", "cred_3.png",
                             "cred_4.png"};
    for (const char* name : sprites) {
        sf::Image img = load(name);
        sf::Vector2u s = img.getSize();
        EXPECT_EQ(alphaAt(img, 0, 0), 0) << name;
        EXPECT_EQ(alphaAt(img, s.x - 1, 0), 0) << name;
        long solid = 0;
        for (unsigned y = 0; y < s.y; ++y) {
            for (unsigned x = 0; x < s.x; ++x) solid += alphaAt(img, x, y) == 255;
        }
        EXPECT_GT(solid, static_cast<long>(s.x) * s.y / 8) << name;
    }
}

TEST(Pictures, FlipBookFramesSwingLikeAPendulumOnBlack) {
    std::vector<sf::Image> frames;
    for (int i = 1; i <= 6; ++i) frames.push_back(load("weed3-" + std::to_string(i) + ".jpg"));
    sf::Vector2u s = frames[0].getSize();
    // Black, opaque borders (within JPEG noise): nothing is cut off at the frame's edge, which
    // would show as a hard line in the middle of the black screen.
    for (const sf::Image& f : frames) {
        ASSERT_EQ(f.getSize(), s);
        int bright = 0;
        for (unsigned i = 0; i < s.x; ++i) {
            for (unsigned y : {0u, s.y - 1}) {
                sf::Color c = f.getPixel(i, y);
                bright += c.a != 255 || c.r > 24 || c.g > 24 || c.b > 24;
            }
        }
        EXPECT_EQ(bright, 0);
    }
    // Each frame moves on from the last, fastest in the middle of the swing and slowest at its
    // ends, so the 1-6-1 loop eases into every turn.
    auto difference = [&](const sf::Image& a, const sf::Image& b) {
        double sum = 0;
        for (unsigned y = 0; y < s.y; ++y) {
            for (unsigned x = 0; x < s.x; ++x) {
                sf::Color p = a.getPixel(x, y), q = b.getPixel(x, y);
                sum += std::abs(p.r - q.r) + std::abs(p.g - q.g) + std::abs(p.b - q.b);
            }
        }
        return sum;
    };
    std::vector<double> steps;
    for (int i = 0; i + 1 < 6; ++i) steps.push_back(difference(frames[i], frames[i + 1]));
    for (double d : steps) EXPECT_GT(d, 0.0);
    EXPECT_LT(steps[0], steps[2]);
    EXPECT_LT(steps[4], steps[2]);
}

// ---------------------------------------------------------------------------------------------
// Canvas

namespace {

// Brute-force coverage of a pixel by a polygon set under the non-zero rule, by sampling.
double sampledCover(const Path& path, int px, int py, int n = 24) {
    int inside = 0;
    for (int sy = 0; sy < n; ++sy) {
        for (int sx = 0; sx < n; ++sx) {
            float x = px + (sx + 0.5f) / n, y = py + (sy + 0.5f) / n;
            int winding = 0;
            for (const auto& c : path.contours()) {
                for (size_t i = 0; i < c.size(); ++i) {
                    Vec2 a = c[i], b = c[(i + 1) % c.size()];
                    if ((a.y <= y) != (b.y <= y)) {
                        float t = (y - a.y) / (b.y - a.y);
                        if (a.x + t * (b.x - a.x) > x)
                            winding += a.y < b.y ? 1 : -1;
                    }
                }
            }
            inside += winding != 0;
        }
    }
    return static_cast<double>(inside) / (n * n);
}

// Largest difference between the rasteriser and sampling over a w x h canvas.
double worstCoverError(const Path& path, int w, int h) {
    Mask m = rasterize(path, w, h);
    double worst = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            worst = std::max(worst, std::fabs(m.at(x, y) - sampledCover(path, x, y)));
        }
    }
    return worst;
}

}  // namespace

TEST(Canvas, CoverageMatchesTheAreaInsideEvenWhereShapesLeaveTheCanvas) {
    // A rectangle with fractional edges: exact cover per pixel.
    Path rect;
    rect.addRect(2.25f, 3.5f, 5.5f, 2.0f);
    Mask m = rasterize(rect, 16, 16);
    EXPECT_NEAR(m.at(2, 4), 0.75, 1e-4);
    EXPECT_NEAR(m.at(4, 4), 1.0, 1e-4);
    EXPECT_NEAR(m.at(7, 3), 0.75 * 0.5, 1e-4);
    EXPECT_NEAR(m.at(8, 4), 0.0, 1e-4);

    // Slanted shapes that cross every edge of the canvas, overlapping each other.
    Path across;
    across.addPolygon({{-30, 5}, {20, -12}, {45, 18}, {12, 50}});
    across.addEllipse(30, 30, 9.3f, 5.1f);
    EXPECT_LT(worstCoverError(across, 32, 32), 0.02);
    // Random spiky stars reaching well outside the canvas on all sides.
    Rng rng(7);
    for (int round = 0; round < 6; ++round) {
        Path star;
        std::vector<Vec2> pts;
        Vec2 centre{rng.uniform(0, 32), rng.uniform(0, 32)};
        for (int i = 0; i < 9; ++i) {
            float a = 6.2831853f * (i + rng.uniform(0, 0.8f)) / 9, r = rng.uniform(3, 40);
            pts.push_back({centre.x + r * std::cos(a), centre.y + r * std::sin(a)});
        }
        star.addPolygon(pts);
        EXPECT_LT(worstCoverError(star, 32, 32), 0.02) << "round " << round;
    }
}

TEST(Canvas, HolesStayHolesUnderMirroringAndStrokesMerge) {
    Path ring;
    ring.addRing(16, 16, 12, 6);
    Path mirrored = ring.transformed(Affine::scale(-1, 1) * Affine::translate(-32, 0));
    for (const Path* p : {&ring, &mirrored}) {
        Mask m = rasterize(*p, 32, 32);
        EXPECT_NEAR(m.at(16, 16), 0.0, 1e-4);
        EXPECT_NEAR(m.at(16, 7), 1.0, 1e-4);
        EXPECT_NEAR(m.at(1, 1), 0.0, 1e-4);
    }
    // A stroke's overlapping pieces (discs and quads) count once, not twice.
    Path stroke;
    stroke.addStroke({{4, 16}, {16, 16}, {28, 10}}, 6);
    Mask s = rasterize(stroke, 32, 32);
    EXPECT_NEAR(s.at(16, 16), 1.0, 1e-4);
    EXPECT_NEAR(s.at(16, 24), 0.0, 1e-4);
}

TEST(Canvas, BlurSpreadsWithoutLosingCover) {
    Path dot;
    dot.addRect(10, 10, 4, 4);
    Mask m = rasterize(dot, 24, 24);
    Mask b = m.blurred(3);
    double before = 0, after = 0;
    for (float v : m.a) before += v;
    for (float v : b.a) after += v;
    EXPECT_NEAR(after, before, 1e-3 * before);
    EXPECT_GT(b.at(6, 12), 0.0f);  // reaches past the square's edge
    EXPECT_LT(b.at(12, 12), 1.0f);
}

TEST(Canvas, WrittenPicturesReadBackWithTheirColoursAndAlpha) {
    Canvas c(8, 4);
    Path left;
    left.addRect(0, 0, 4, 4);
    c.fill(left, hexColor(0x336699), 0.5f);  // half-transparent blue
    Path right;
    right.addRect(4, 0, 4, 4);
    c.fill(right, hexColor(0xE8C07A));
    std::string file =
        (fs::temp_directory_path() / ("canvas_" + std::to_string(getpid()) + ".png")).string();
    c.writePNG(file);
    sf::Image img;
    ASSERT_TRUE(img.loadFromFile(file));
    fs::remove(file);
    EXPECT_EQ(img.getPixel(1, 1), sf::Color(0x33, 0x66, 0x99, 128));
    EXPECT_EQ(img.getPixel(6, 2), sf::Color(0xE8, 0xC0, 0x7A, 255));
}

TEST(Canvas, LayersCompositeLikePaintOverPaint) {
    // Half-transparent red over half-transparent blue: alpha 0.75, mostly red.
    Canvas c(2, 1);
    Path all;
    all.addRect(0, 0, 2, 1);
    c.fill(all, Color{0, 0, 1, 0.5f});
    c.fill(all, Color{1, 0, 0, 0.5f});
    Color p = c.pixel(0, 0);
    EXPECT_NEAR(p.a, 0.75, 1e-5);
    EXPECT_NEAR(p.r, 2.0 / 3.0, 1e-5);
    EXPECT_NEAR(p.b, 1.0 / 3.0, 1e-5);

    // A layer drawn at an offset lands where it is put and is clipped at the edges.
    Canvas layer(4, 4, {0, 1, 0, 1});
    Canvas base(6, 6);
    base.draw(layer, 4, -2);
    EXPECT_EQ(base.pixel(4, 0).a, 1.0f);
    EXPECT_EQ(base.pixel(5, 1).g, 1.0f);
    EXPECT_EQ(base.pixel(3, 0).a, 0.0f);
    EXPECT_EQ(base.pixel(4, 2).a, 0.0f);
}

TEST(Canvas, MaskSetOperationsLineUpMasksAtDifferentPlaces) {
    Path a, b;
    a.addRect(0, 0, 10, 10);
    b.addRect(5, 5, 10, 10);
    Mask ma = rasterize(a, 20, 20), mb = rasterize(b, 20, 20);
    Mask both = ma.intersect(mb), either = ma.unite(mb), only = ma.minus(mb);
    EXPECT_EQ(both.at(7, 7), 1.0f);
    EXPECT_EQ(both.at(2, 2), 0.0f);
    EXPECT_EQ(either.at(2, 2), 1.0f);
    EXPECT_EQ(either.at(13, 13), 1.0f);
    EXPECT_EQ(either.at(13, 2), 0.0f);
    EXPECT_EQ(only.at(2, 2), 1.0f);
    EXPECT_EQ(only.at(7, 7), 0.0f);
    // Growing by a radius reaches that far, and no further.
    Mask grown = ma.dilated(3);
    EXPECT_GT(grown.at(12, 5), 0.9f);
    EXPECT_EQ(grown.at(14, 5), 0.0f);
    EXPECT_EQ(ma.shifted(4, 0).at(12, 5), 1.0f);
}

TEST(Canvas, OpaqueFilesAreCompositedOverBlack) {
    Canvas c(4, 4);
    Path half;
    half.addRect(0, 0, 2, 4);
    c.fill(half, hexColor(0xFFFFFF), 0.5f);
    fs::path dir = fs::temp_directory_path();
    std::string png = (dir / ("opaque_" + std::to_string(getpid()) + ".png")).string();
    std::string jpg = (dir / ("opaque_" + std::to_string(getpid()) + ".jpg")).string();
    c.writePNG(png, true);
    c.writeJPEG(jpg, 95);
    for (const std::string& file : {png, jpg}) {
        sf::Image img;
        ASSERT_TRUE(img.loadFromFile(file)) << file;
        fs::remove(file);
        sf::Color grey = img.getPixel(0, 1), black = img.getPixel(3, 1);
        EXPECT_EQ(grey.a, 255) << file;
        EXPECT_NEAR(grey.r, 128, 6) << file;
        EXPECT_EQ(black.a, 255) << file;
        EXPECT_LT(black.r, 8) << file;
    }
}

TEST(Text, KerningAndOutlinesShapeTheLine) {
    const char* font = "DejaVuSans-Bold.ttf";
    // Kerned pairs sit closer than their letters' advances side by side.
    EXPECT_LT(textWidth("AV", font, 100), textWidth("A", font, 100) + textWidth("V", font, 100));
    EXPECT_FLOAT_EQ(textWidth("", font, 100), 0.0f);
    // An outline surrounds the letters in its own colour; the fill stays on top.
    Canvas c(200, 80);
    TextStyle style;
    style.size = 60;
    style.fill = solid({1, 1, 1, 1});
    style.outline = {1, 0, 0, 1};
    style.outlineWidth = 4;
    drawText(c, "I", 100, 65, Align::Centre, style);
    Color middle = c.pixel(100, 40);
    EXPECT_GT(middle.g, 0.95f);
    int red = 0;
    for (int x = 80; x < 120; ++x) {
        Color p = c.pixel(x, 40);
        red += p.a > 0.9f && p.r > 0.9f && p.g < 0.1f;
    }
    EXPECT_GE(red, 6);  // both sides of the stem, about the outline's width each
}

TEST(Text, LinesAreCentredOnTheirAnchorAndWrapToWidth) {
    Canvas c(400, 80);
    TextStyle style;
    style.size = 40;
    drawText(c, "Zandar", 200, 55, Align::Centre, style);
    int minX = 400, maxX = -1;
    for (int y = 0; y < 80; ++y) {
        for (int x = 0; x < 400; ++x) {
            if (c.pixel(x, y).a > 0.5f) {
                minX = std::min(minX, x);
                maxX = std::max(maxX, x);
            }
        }
    }
    ASSERT_GE(maxX, 0) << "no ink";
    EXPECT_NEAR((minX + maxX) / 2.0, 200.0, 4.0);

    auto lines = wrapText("greetings to everyone at the party", style.font, 20, 150);
    ASSERT_GT(lines.size(), 1u);
    std::string joined;
    for (const auto& l : lines) {
        EXPECT_LE(textWidth(l, style.font, 20), 150.0f) << l;
        joined += (joined.empty() ? "" : " ") + l;
    }
    EXPECT_EQ(joined, "greetings to everyone at the party");
}

// ---------------------------------------------------------------------------------------------
// Drawing helpers

TEST(Drawing, GradientsClampAtTheirEndsAndFollowTheirAxis) {
    std::vector<GradientStop> stops = {{0.2f, {0, 0, 0, 1}}, {0.6f, {1, 1, 1, 1}}};
    EXPECT_FLOAT_EQ(sampleStops(stops, -5).r, 0.0f);
    EXPECT_FLOAT_EQ(sampleStops(stops, 5).r, 1.0f);
    EXPECT_NEAR(sampleStops(stops, 0.4f).r, 0.5f, 1e-5);
    // Along a diagonal axis, points on one perpendicular get one colour.
    Paint p = linearGradient(0, 0, 10, 10, {{0, {0, 0, 0, 1}}, {1, {1, 0, 0, 1}}});
    EXPECT_NEAR(p(5, 5).r, 0.5f, 1e-5);
    EXPECT_NEAR(p(0, 10).r, 0.5f, 1e-5);
    EXPECT_NEAR(p(20, 20).r, 1.0f, 1e-5);
}

TEST(Drawing, NoiseAndRandomNumbersAreRepeatableAndBounded) {
    Rng a(42), b(42), c(43);
    bool differs = false;
    for (int i = 0; i < 1000; ++i) {
        float x = a.uniform(-3, 5);
        EXPECT_EQ(x, b.uniform(-3, 5));
        EXPECT_GE(x, -3.0f);
        EXPECT_LT(x, 5.0f);
        differs |= x != c.uniform(-3, 5);
    }
    EXPECT_TRUE(differs);
    float previous = valueNoise(0, 0.3f, 9);
    for (int i = 1; i < 400; ++i) {
        float x = i * 0.01f;
        float n = valueNoise(x, 0.3f, 9);
        EXPECT_LE(std::fabs(n), 1.0f);
        EXPECT_LT(std::fabs(n - previous), 0.1f) << "noise jumps at " << x;
        previous = n;
    }
    EXPECT_NE(valueNoise(1.5f, 2.5f, 1), valueNoise(1.5f, 2.5f, 2));
}

TEST(Drawing, SmoothCurvesPassThroughTheirPoints) {
    std::vector<Vec2> pts = {{0, 0}, {40, 10}, {50, 60}, {5, 40}};
    auto closed = smoothClosed(pts, 8);
    ASSERT_EQ(closed.size(), pts.size() * 8);
    for (size_t i = 0; i < pts.size(); ++i) {
        EXPECT_NEAR(closed[i * 8].x, pts[i].x, 1e-4);
        EXPECT_NEAR(closed[i * 8].y, pts[i].y, 1e-4);
    }
    auto open = smoothOpen(pts, 8);
    EXPECT_NEAR(open.front().x, 0, 1e-4);
    EXPECT_NEAR(open.back().x, 5, 1e-4);
    EXPECT_NEAR(open.back().y, 40, 1e-4);
    // A turn about a pivot leaves the pivot in place.
    Vec2 pivot = Affine::rotate(1.0f, 30, 40).apply({30, 40});
    EXPECT_NEAR(pivot.x, 30, 1e-4);
    EXPECT_NEAR(pivot.y, 40, 1e-4);
}

TEST(Drawing, SpeechBubblesPointTheirTailAndKeepTheirWordsInside) {
    Canvas b = speechBubble(300, 180, {299, 120}, {"Hello"}, 30, 5);
    EXPECT_EQ(b.pixel(0, 0).a, 0.0f);
    EXPECT_EQ(b.pixel(0, 179).a, 0.0f);
    // The tail reaches (nearly) the point it was given.
    float nearTail = 0;
    for (int y = 112; y < 128; ++y) {
        for (int x = 286; x < 300; ++x) nearTail = std::max(nearTail, b.pixel(x, y).a);
    }
    EXPECT_GT(nearTail, 0.9f);
    // Dark letters sit on the opaque body, away from its edges.
    int ink = 0;
    for (int y = 0; y < 180; ++y) {
        for (int x = 0; x < 300; ++x) {
            Color p = b.pixel(x, y);
            if (p.a > 0.99f && p.r < 0.3f && p.b > p.r) {
                ++ink;
                EXPECT_GT(x, 40);
                EXPECT_LT(x, 240);
            }
        }
    }
    EXPECT_GT(ink, 100);
}
