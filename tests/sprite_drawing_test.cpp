// The work drawSprite leaves out (a clear overlay, blending under an opaque picture, smoothing on
// whole pixels, fog at depth 0) and the model texturing scenes switch off must never show: every
// case is drawn both ways in the real window and the back buffers compared byte for byte.
#include <gtest/gtest.h>

#include <SFML/Graphics.hpp>
#include <SFML/OpenGL.hpp>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <memory>
#include <random>
#include <vector>

#include "driver/demo.h"
#include "driver/demo_globals.h"
#include "driver/sprite_coverage.h"
#include "driver/sprites.h"
#include "glm/demo_models.h"
#include "scenes/neutral_texture.h"
#include "tests/support/test_window.h"

namespace {

// Noise, so that a blend, a filter or a half-pixel shift would change many pixels.
sf::Image noise(unsigned w, unsigned h, bool opaque, unsigned seed) {
    std::mt19937 random(seed);
    sf::Image image;
    image.create(w, h);
    for (unsigned y = 0; y < h; ++y) {
        for (unsigned x = 0; x < w; ++x) {
            auto c = [&] { return static_cast<sf::Uint8>(random() & 0xFF); };
            image.setPixel(x, y, sf::Color(c(), c(), c(), opaque ? 255 : c()));
        }
    }
    return image;
}

struct SpriteDrawing : ::testing::Test {
    void SetUp() override {
        demo.renderWindow = &testWindow();
        setOpenGLState();  // fog on, as in the first six scenes
        ASSERT_TRUE(loadSpriteTexture(background, noise(1280, 720, true, 1)));
    }

    // The back buffer after the background and then `draw`.
    template <typename Draw>
    std::vector<std::uint8_t> frame(Draw draw) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        sf::Sprite under(background);
        plainDraw(under);
        draw();
        return readBackBuffer();
    }

    // What a sprite draw is without any shortcut: blended, smoothed, state saved around it.
    static void plainDraw(const sf::Sprite& sprite) {
        sf::RenderWindow& window = testWindow();
        window.pushGLStates();
        window.draw(sprite);
        window.popGLStates();
    }

    void expectSameAsPlain(sf::Sprite& sprite, const char* what) {
        auto shortcut = frame([&] { drawSprite(&sprite); });
        auto plain = frame([&] { plainDraw(sprite); });
        EXPECT_TRUE(shortcut == plain) << what;
        EXPECT_TRUE(sprite.getTexture()->isSmooth()) << what;
        EXPECT_TRUE(glIsEnabled(GL_FOG)) << what;
    }

    sf::Texture background;
};

TEST_F(SpriteDrawing, ShortcutsGiveThePixelsOfThePlainDraw) {
    sf::Texture opaque, clear;
    ASSERT_TRUE(loadSpriteTexture(opaque, noise(1280, 720, true, 2)));
    ASSERT_TRUE(loadSpriteTexture(clear, noise(301, 157, false, 3)));
    ASSERT_TRUE(isOpaqueTexture(&opaque));
    ASSERT_FALSE(isOpaqueTexture(&clear));

    sf::Sprite full(opaque);
    full.setOrigin(640.0f, 360.0f);
    full.setPosition(640.0f, 360.0f);
    expectSameAsPlain(full, "opaque, opaque tint: unblended and unsmoothed");
    full.setColor(sf::Color(255, 255, 255, 128));
    expectSameAsPlain(full, "opaque picture, half tint: blended, unsmoothed");

    sf::Sprite small(clear);
    small.setOrigin(150.0f, 78.0f);
    small.setPosition(400.0f, 300.0f);
    expectSameAsPlain(small, "transparent picture on whole pixels");
    small.setPosition(400.5f, 300.0f);
    expectSameAsPlain(small, "half a pixel off: smoothed");
    small.setPosition(400.0f, 300.0f);
    small.setScale(1.5f, 1.5f);
    expectSameAsPlain(small, "scaled");
    small.setScale(1.0f, 1.0f);
    setSpriteRotation(&small, 10.0f);
    expectSameAsPlain(small, "turned");
    setSpriteRotation(&small, 0.0f);

    // A picture scaled to a larger window: whole picture pixels are no longer whole window pixels.
    testWindow().setView(sf::View(sf::FloatRect(0.0f, 0.0f, 1280.0f / 1.5f, 720.0f / 1.5f)));
    expectSameAsPlain(small, "on whole pixels, scaled by the view");
    expectSameAsPlain(full, "opaque, scaled by the view");
    testWindow().setView(testWindow().getDefaultView());
}

TEST_F(SpriteDrawing, AOneColourPictureOverTheWholeWindowIsAClearOfThatColour) {
    sf::Image black;
    black.create(1280, 720, sf::Color(3, 2, 1));
    sf::Texture uniform;
    ASSERT_TRUE(loadSpriteTexture(uniform, black));
    glClearColor(0.25f, 0.5f, 0.75f, 1.0f);

    sf::Sprite full(uniform);
    full.setOrigin(640.0f, 360.0f);
    full.setPosition(640.0f, 360.0f);
    expectSameAsPlain(full, "covers the window exactly");
    full.setScale(1.2f, 1.1f);
    expectSameAsPlain(full, "larger than the window");
    full.setScale(1.0f, 1.0f);
    full.setPosition(650.0f, 360.0f);
    expectSameAsPlain(full, "leaves a stripe uncovered");
    full.setPosition(640.0f, 360.0f);
    full.setColor(sf::Color(255, 255, 255, 200));
    expectSameAsPlain(full, "half tint");
    full.setColor(sf::Color::White);
    setSpriteRotation(&full, 5.0f);
    expectSameAsPlain(full, "turned");

    // The demo's own clear colour is left as it was.
    GLfloat clearColour[4] = {};
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clearColour);
    EXPECT_FLOAT_EQ(clearColour[0], 0.25f);
    EXPECT_FLOAT_EQ(clearColour[1], 0.5f);
    EXPECT_FLOAT_EQ(clearColour[2], 0.75f);
}

// Noise in a few islands on a transparent picture, with texels of colour but alpha 0 between
// them (a blend must leave those pixels alone too): lines of text, a figure, a far corner.
sf::Image islands(unsigned w, unsigned h, unsigned seed) {
    sf::Image image = noise(w, h, false, seed);
    for (unsigned y = 0; y < h; ++y) {
        for (unsigned x = 0; x < w; ++x) {
            const bool line = (y % 40) >= 12 && (y % 40) < 26 && x >= 30 && x < w / 2;
            const bool figure = x >= w * 2 / 3 && x < w * 2 / 3 + 40 && y >= 50 && y < 190;
            const bool corner = x == w - 1 && y == h - 1;
            if (!line && !figure && !corner) {
                sf::Color c = image.getPixel(x, y);
                c.a = 0;
                image.setPixel(x, y, c);
            }
        }
    }
    return image;
}

TEST_F(SpriteDrawing, AMostlyClearPictureDrawnWhereItHasAlphaGivesThePlainPixels) {
    sf::Texture texture;
    ASSERT_TRUE(loadSpriteTexture(texture, islands(300, 240, 5)));
    sf::Sprite sprite(texture);
    sprite.setOrigin(150.0f, 120.0f);

    struct Case {
        float x, y, sx, sy;
        bool mirrored;
        const char* what;
    };
    const Case cases[] = {
        {400.0f, 300.0f, 1.0f, 1.0f, false, "whole pixels"},
        {400.3f, 299.6f, 1.0f, 1.0f, false, "between pixels"},
        {640.0f, 360.0f, 3.0f, 3.0f, false, "three times as large, as the scroll"},
        {640.25f, 200.75f, 0.83f, 0.77f, false, "shrunk"},
        {500.5f, 350.0f, 1.7f, 1.7f, true, "mirrored by its texture rectangle"},
        {500.0f, 350.5f, -1.3f, 1.1f, false, "mirrored by its scale"},
        {600.0f, 400.0f, 1.2f, -0.9f, false, "upside down"},
        {20.0f, 700.0f, 2.0f, 2.0f, false, "mostly outside the window"},
        {-900.0f, 300.0f, 1.0f, 1.0f, false, "wholly outside the window"},
    };
    for (const Case& c : cases) {
        sprite.setPosition(c.x, c.y);
        sprite.setScale(c.sx, c.sy);
        flipSpriteX(&sprite, c.mirrored);
        expectSameAsPlain(sprite, c.what);
        sprite.setColor(sf::Color(255, 255, 255, 140));
        expectSameAsPlain(sprite, c.what);
        sprite.setColor(sf::Color::White);
    }

    // Within a scissor already set, as the capture sets one for frames it does not keep.
    sprite.setPosition(400.5f, 300.0f);
    sprite.setScale(1.5f, 1.5f);
    flipSpriteX(&sprite, false);
    auto scissored = [&](auto draw) {
        return frame([&] {
            glEnable(GL_SCISSOR_TEST);
            glScissor(350, 330, 200, 90);
            draw();
            GLint box[4] = {};
            glGetIntegerv(GL_SCISSOR_BOX, box);
            EXPECT_EQ(box[0], 350);
            EXPECT_EQ(box[2], 200);
            EXPECT_TRUE(glIsEnabled(GL_SCISSOR_TEST));
            glDisable(GL_SCISSOR_TEST);
        });
    };
    EXPECT_TRUE(scissored([&] { drawSprite(&sprite); }) == scissored([&] { plainDraw(sprite); }));
    EXPECT_FALSE(glIsEnabled(GL_SCISSOR_TEST));
}

TEST_F(SpriteDrawing, BehindAModelGivesThePixelsOfThePictureDrawnUnderIt) {
    ObjModel* model = loadModel(ZANDAR_ASSET_DIR "/models/asd.obj");  // lit and fogged
    sf::Texture clear;
    ASSERT_TRUE(loadSpriteTexture(clear, noise(301, 157, false, 3)));
    auto drawModel = [&] {
        glLoadIdentity();
        glTranslatef(0.0f, 0.0f, -1.5f);
        glRotatef(70.0f, 1.0f, 0.3f, 0.0f);
        drawModelSmoothColor(model);
    };
    for (sf::Texture* texture : {&background, &clear}) {
        sf::Sprite sprite(*texture);
        sprite.setPosition(560.5f, 300.0f);  // over the model's edge, smoothed
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        drawSprite(&sprite);
        drawModel();
        const auto under = readBackBuffer();
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        drawModel();
        drawSpriteBehind(&sprite);
        EXPECT_TRUE(readBackBuffer() == under);
        GLboolean depthMask = GL_FALSE;
        GLfloat range[2] = {};
        glGetBooleanv(GL_DEPTH_WRITEMASK, &depthMask);
        glGetFloatv(GL_DEPTH_RANGE, range);
        EXPECT_TRUE(depthMask && range[0] == 0.0f && range[1] == 1.0f && glIsEnabled(GL_FOG));
    }
    glmFreeModel(model);
}

TEST(SpriteCoverage, BandsHoldEveryTexelWithAlphaAndLeaveOutWideClearParts) {
    const sf::Image image = islands(300, 240, 6);
    const Coverage coverage = findCoverage(image);
    ASSERT_EQ(coverage.width, 300);
    ASSERT_EQ(coverage.height, 240);
    EXPECT_TRUE(coverage.worthIt);
    long long covered = 0;
    int row = 0;
    for (const CoverageBand& band : coverage.bands) {
        EXPECT_EQ(band.top, row);  // every row, in order
        row = band.bottom;
        for (int y = band.top; y < band.bottom; ++y) {
            for (int x = 0; x < 300; ++x) {
                if (image.getPixel(x, y).a == 0) {
                    continue;
                }
                bool inRun = false;
                for (const TexelRun& run : band.runs) {
                    inRun = inRun || (x >= run.begin && x < run.end);
                }
                EXPECT_TRUE(inRun) << x << "," << y;
            }
        }
        for (const TexelRun& run : band.runs) {
            covered += (run.end - run.begin) * (band.bottom - band.top);
        }
    }
    EXPECT_EQ(row, 240);
    EXPECT_LT(covered, 300 * 240 * 3 / 4);

    sf::Image clear;
    clear.create(64, 64, sf::Color(9, 9, 9, 0));
    const Coverage none = findCoverage(clear);
    EXPECT_TRUE(none.worthIt);
    for (const CoverageBand& band : none.bands) {
        EXPECT_TRUE(band.runs.empty());
    }
    sf::Image solid;
    solid.create(64, 64, sf::Color(9, 9, 9, 1));
    EXPECT_FALSE(findCoverage(solid).worthIt);  // nothing to leave out
    EXPECT_TRUE(findCoverage(sf::Image()).bands.empty());
}

TEST_F(SpriteDrawing, ClearOrEmptySpritesLeaveTheFrameAsItWas) {
    sf::Texture opaque, empty;
    ASSERT_TRUE(loadSpriteTexture(opaque, noise(1280, 720, true, 4)));
    sf::Sprite overlay(opaque);
    setSpriteAlpha(&overlay, 0.9f);  // truncates to 0
    sf::Sprite nothing(empty);

    auto before = frame([] {});
    auto after = frame([&] {
        drawSprite(&overlay);
        drawSprite(&nothing);
    });
    EXPECT_TRUE(before == after);
    // The overlay as the plain draw shows it at alpha 0: the same pixels.
    EXPECT_TRUE(frame([&] { plainDraw(overlay); }) == before);
}

TEST_F(SpriteDrawing, OpacityComesFromEveryPixel) {
    sf::Texture texture;
    sf::Image image;
    image.create(4, 4, sf::Color(10, 20, 30, 255));
    ASSERT_TRUE(loadSpriteTexture(texture, image));
    EXPECT_TRUE(isOpaqueTexture(&texture));
    EXPECT_TRUE(texture.isSmooth());

    image.setPixel(3, 3, sf::Color(10, 20, 30, 254));
    ASSERT_TRUE(loadSpriteTexture(texture, image));  // reloading decides again
    EXPECT_FALSE(isOpaqueTexture(&texture));

    ASSERT_TRUE(loadSpriteTexture(texture, ZANDAR_ASSET_DIR "/bg_blue.png"));  // RGB file
    EXPECT_TRUE(isOpaqueTexture(&texture));
    EXPECT_FALSE(loadSpriteTexture(texture, "/nonexistent/bg_blue.png"));
    EXPECT_FALSE(isOpaqueTexture(&texture));
    EXPECT_FALSE(isOpaqueTexture(nullptr));
}

// A texture of the given size whose corners are `corner` and the rest a colour, bound to unit 0
// with the filter and wrap the model textures use.
GLuint bindCornerTexture(int w, int h, std::uint8_t corner, GLint wrap = GL_REPEAT) {
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(w) * h * 4, 90);
    for (int y : {0, h - 1}) {
        for (int x : {0, w - 1}) {
            std::uint8_t* texel = &pixels[(static_cast<std::size_t>(y) * w + x) * 4];
            texel[0] = texel[1] = texel[2] = corner;
            texel[3] = 255;
        }
    }
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, w, h, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, wrap);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, wrap);
    return name;
}

TEST(NeutralTexture, OnlyATextureThatSamplesWhiteAtTheOriginIsLeftOut) {
    testWindow();
    glEnable(GL_TEXTURE_2D);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
    glTexCoord4f(0.0f, 0.0f, 0.0f, 1.0f);

    bindCornerTexture(16, 8, 255);
    EXPECT_TRUE(boundTextureIsNeutral());
    glTexCoord2f(0.5f, 0.5f);  // samples the coloured middle
    EXPECT_FALSE(boundTextureIsNeutral());
    glTexCoord4f(0.0f, 0.0f, 0.0f, 1.0f);
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_REPLACE);
    EXPECT_FALSE(boundTextureIsNeutral());
    glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);

    bindCornerTexture(16, 8, 254);
    EXPECT_FALSE(boundTextureIsNeutral());
    bindCornerTexture(16, 8, 255, GL_CLAMP_TO_EDGE);  // would blend other texels
    EXPECT_FALSE(boundTextureIsNeutral());
    glBindTexture(GL_TEXTURE_2D, 0);
    EXPECT_FALSE(boundTextureIsNeutral());

    bindCornerTexture(16, 8, 255);
    glDisable(GL_TEXTURE_2D);
    EXPECT_FALSE(boundTextureIsNeutral());
    {
        glEnable(GL_TEXTURE_2D);
        NeutralTextureOff off;
        EXPECT_FALSE(glIsEnabled(GL_TEXTURE_2D));
    }
    EXPECT_TRUE(glIsEnabled(GL_TEXTURE_2D));
}

TEST(NeutralTexture, ALitFoggedModelLooksTheSameWithoutIt) {
    demo.renderWindow = &testWindow();
    setOpenGLState();  // light, fog, texturing on
    ObjModel* model = loadModel(ZANDAR_ASSET_DIR "/models/asd.obj");
    glTexCoord4f(0.0f, 0.0f, 0.0f, 1.0f);
    bindCornerTexture(64, 32, 255);
    auto draw = [&](bool neutralOff) {
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glLoadIdentity();
        glTranslatef(0.0f, 0.0f, -1.5f);
        glRotatef(70.0f, 1.0f, 0.3f, 0.0f);
        if (neutralOff) {
            NeutralTextureOff off;
            drawModelSmoothColor(model);
        } else {
            drawModelSmoothColor(model);
        }
        return readBackBuffer();
    };
    ASSERT_TRUE(boundTextureIsNeutral());
    auto textured = draw(false);
    EXPECT_TRUE(textured == draw(true));
    // The comparison can fail: a texture that is not white at the origin tints the model.
    bindCornerTexture(64, 32, 128);
    EXPECT_FALSE(textured == draw(false));
}

std::vector<std::uint32_t> depthBuffer() {
    std::vector<std::uint32_t> depth(1280 * 720);
    glReadPixels(0, 0, 1280, 720, GL_DEPTH_COMPONENT, GL_UNSIGNED_INT, depth.data());
    return depth;
}

TEST(CompiledModel, CoversWhatThePlainDrawCoversAndCullsOnlyHiddenFaces) {
    demo.renderWindow = &testWindow();
    setOpenGLState();
    // An open sheet of one colour, to be seen from behind, and the oil field as scene 4 turns it.
    const std::string sheetPath = testing::TempDir() + "sheet.obj";
    std::ofstream(testing::TempDir() + "sheet.mtl") << "newmtl a\nKd 0.9 0.5 0.1\n";
    std::ofstream(sheetPath) << "mtllib sheet.mtl\nusemtl a\nv 0 0 0\nv 1 0 0\nv 1 1 0\n"
                                "v 0 1 0\nf 1 2 3 4\n";
    std::unique_ptr<ObjModel, void (*)(ObjModel*)> sheet(glmReadOBJ(sheetPath.c_str()),
                                                          glmFreeModel);
    std::unique_ptr<ObjModel, void (*)(ObjModel*)> field(
        loadModel(ZANDAR_ASSET_DIR "/models/oljefalt.obj"), glmFreeModel);
    glmComputeFacetNormals(sheet.get());
    glmVertexNormals(sheet.get(), 90.0f);
    glDisable(GL_TEXTURE_2D);
    struct View {
        ObjModel* model;
        float angle;
    };
    for (const View& view : {View{sheet.get(), 180}, View{field.get(), 0}, View{field.get(), 130},
                             View{field.get(), 250}}) {
        SCOPED_TRACE(view.angle);
        const GLuint list = compileModelSmoothColor(view.model);
        auto draw = [&](bool compiled, std::vector<std::uint32_t>& depth) {
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            glLoadIdentity();
            glTranslatef(0.0f, 0.0f, view.model == sheet.get() ? -3.0f : 0.0f);
            glRotatef(view.angle, 0.0f, 1.0f, 0.0f);
            compiled ? glCallList(list) : drawModelSmoothColor(view.model);
            depth = depthBuffer();
            return readBackBuffer();
        };
        std::vector<std::uint32_t> plainDepth, compiledDepth;
        const auto plain = draw(false, plainDepth);
        GLfloat plainColour[4], compiledColour[4];
        glGetFloatv(GL_CURRENT_COLOR, plainColour);
        const auto compiled = draw(true, compiledDepth);
        glGetFloatv(GL_CURRENT_COLOR, compiledColour);
        glDeleteLists(list, 1);
        EXPECT_TRUE(glIsEnabled(GL_COLOR_MATERIAL));
        EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
        EXPECT_TRUE(std::equal(plainColour, plainColour + 4, compiledColour));
        // Nothing moves: the same pixels are covered, and an open sheet seen from behind shows.
        std::size_t covered = 0, differ = 0;
        for (std::size_t i = 0; i < plainDepth.size(); ++i) {
            ASSERT_EQ(plainDepth[i] == 0xFFFFFFFFu, compiledDepth[i] == 0xFFFFFFFFu) << i;
            covered += plainDepth[i] != 0xFFFFFFFFu;
            differ += std::memcmp(&plain[4 * i], &compiled[4 * i], 3) != 0;
        }
        EXPECT_GT(covered, 1000u);
        // A culled back face shows only where the depth buffer could not tell it from the front
        // face in front of it: on the odd pixel at the edge of a thin strut.
        EXPECT_LE(differ, view.model == sheet.get() ? 0u : covered / 500);
    }
    glEnable(GL_TEXTURE_2D);
}

}  // namespace
