// Sprites: the factories and the flip; and the work drawSprite leaves out (a clear overlay,
// blending under an opaque picture, smoothing on whole pixels, fog at depth 0, texels of alpha 0)
// and the model texturing scenes switch off, which must never show: each case is drawn both ways in
// the real window and the back buffers compared byte for byte.
#include <gtest/gtest.h>
#include <unistd.h>

#include <SFML/Graphics.hpp>
#include <SFML/OpenGL.hpp>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "driver/demo.h"
#include "driver/demo_globals.h"
#include "driver/sprites.h"
#include "glm/demo_models.h"
#include "scenes/neutral_texture.h"
#include "tests/support/test_window.h"

namespace {


// A picture red on its left half and blue on its right, written as a PNG file.
std::string tempPng(unsigned w, unsigned h) {
    char dir[] = "/tmp/zandar-sprites-XXXXXX";
    const std::string path = std::string(mkdtemp(dir)) + "/picture.png";
    sf::Image image;
    image.create(w, h, sf::Color::Red);
    for (unsigned y = 0; y < h; ++y) {
        for (unsigned x = w / 2; x < w; ++x) image.setPixel(x, y, sf::Color::Blue);
    }
    image.saveToFile(path);
    return path;
}

sf::Sprite* fromFile(const std::string& path, std::string& out) {
    testing::internal::CaptureStdout();
    sf::Sprite* sprite = createSpriteFromFile(path.c_str());
    out = testing::internal::GetCapturedStdout();
    return sprite;
}

struct Sprites : ::testing::Test {
    void SetUp() override { demo.renderWindow = &testWindow(); }
};

TEST_F(Sprites, FromFileIsCentredWithHalfPixelsDroppedAndLogsItsResult) {
    const std::string path = tempPng(101, 51);
    std::string out;
    sf::Sprite* sprite = fromFile(path, out);
    EXPECT_EQ(out, path + " = 1\n");
    EXPECT_EQ(sprite->getOrigin(), sf::Vector2f(50.0f, 25.0f));
    EXPECT_EQ(sprite->getPosition(), sf::Vector2f(0.0f, 0.0f));
    EXPECT_EQ(sprite->getScale(), sf::Vector2f(1.0f, 1.0f));
    EXPECT_EQ(sprite->getColor(), sf::Color(255, 255, 255, 255));
    EXPECT_TRUE(sprite->getTexture()->isSmooth());

    sprite = fromFile("/nonexistent/cred_2.png", out);  // an empty sprite and a zero
    EXPECT_EQ(out, "/nonexistent/cred_2.png = 0\n");
    ASSERT_NE(sprite, nullptr);
    EXPECT_EQ(sprite->getOrigin(), sf::Vector2f(0.0f, 0.0f));
    EXPECT_EQ(spriteSize(sprite), sf::Vector2f(0.0f, 0.0f));
    drawSprite(sprite);  // draws nothing, harmlessly

    sf::Texture image;
    ASSERT_TRUE(image.create(340, 680));
    EXPECT_EQ(createSpriteWithCenter(image, 170, 0)->getOrigin(), sf::Vector2f(170.0f, 0.0f));
    EXPECT_EQ(createCenteredSprite(image)->getOrigin(), sf::Vector2f(170.0f, 340.0f));
}

TEST_F(Sprites, FlipMirrorsThePictureAndKeepsTheScale) {
    sf::Texture image;
    ASSERT_TRUE(image.loadFromFile(tempPng(200, 100)));
    sf::Sprite* sprite = createCenteredSprite(image);
    sprite->setPosition(640.0f, 360.0f);
    sprite->setScale(2.0f, 2.0f);
    for (bool flipped : {true, false}) {
        flipSpriteX(sprite, flipped);
        glClear(GL_COLOR_BUFFER_BIT);
        drawSprite(sprite);
        const Rgba left = backBufferPixel(640 - 150, 360), right = backBufferPixel(640 + 150, 360);
        EXPECT_EQ(flipped ? left.b : left.r, 255);
        EXPECT_EQ(flipped ? right.r : right.b, 255);
        EXPECT_EQ(sprite->getScale(), sf::Vector2f(2.0f, 2.0f));
    }
}

// Noise, so that a blend, a filter or a half-pixel shift would change many pixels. Islands: the
// noise only in lines of text, a figure and a far corner, with texels of colour but alpha 0
// between them (a blend must leave those pixels alone too).
sf::Image noise(unsigned w, unsigned h, bool opaque, unsigned seed, bool islands = false) {
    std::mt19937 random(seed);
    sf::Image image;
    image.create(w, h);
    for (unsigned y = 0; y < h; ++y) {
        for (unsigned x = 0; x < w; ++x) {
            auto c = [&] { return static_cast<sf::Uint8>(random() & 0xFF); };
            sf::Color colour(c(), c(), c(), opaque ? 255 : c());
            const bool line = (y % 40) >= 12 && (y % 40) < 26 && x >= 30 && x < w / 2;
            const bool figure = x >= w * 2 / 3 && x < w * 2 / 3 + 40 && y >= 50 && y < 190;
            if (islands && !line && !figure && !(x == w - 1 && y == h - 1)) colour.a = 0;
            image.setPixel(x, y, colour);
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
        plainDraw(sf::Sprite(background));
        draw();
        return readBackBuffer();
    }

    // What a sprite draw is without any shortcut: blended, smoothed, state saved around it.
    static void plainDraw(const sf::Sprite& sprite) {
        testWindow().pushGLStates();
        testWindow().draw(sprite);
        testWindow().popGLStates();
    }

    // The same pixels, and the 3D passes' state as it was: lights, fog, depth test, matrices.
    void expectSameAsPlain(sf::Sprite& sprite, const char* what) {
        glLoadIdentity();
        glTranslatef(1.0f, 2.0f, 3.0f);
        EXPECT_TRUE(frame([&] { drawSprite(&sprite); }) == frame([&] { plainDraw(sprite); }))
            << what;
        EXPECT_TRUE(sprite.getTexture()->isSmooth()) << what;
        for (GLenum cap : {GL_LIGHTING, GL_FOG, GL_DEPTH_TEST}) EXPECT_TRUE(glIsEnabled(cap));
        GLint mode = 0;
        GLfloat m[16];
        glGetIntegerv(GL_MATRIX_MODE, &mode);
        glGetFloatv(GL_MODELVIEW_MATRIX, m);
        EXPECT_TRUE(mode == GL_MODELVIEW && m[12] == 1 && m[13] == 2 && m[14] == 3) << what;
    }

    sf::Texture background;
};

TEST_F(SpriteDrawing, ShortcutsGiveThePixelsOfThePlainDraw) {
    sf::Texture opaque, clear, uniform;
    ASSERT_TRUE(loadSpriteTexture(opaque, noise(1280, 720, true, 2)));
    ASSERT_TRUE(loadSpriteTexture(clear, noise(301, 157, false, 3)));
    sf::Image black;
    black.create(1280, 720, sf::Color(3, 2, 1));
    ASSERT_TRUE(loadSpriteTexture(uniform, black));  // drawn as a clear of its colour
    ASSERT_TRUE(isOpaqueTexture(&opaque));
    ASSERT_FALSE(isOpaqueTexture(&clear));
    glClearColor(0.25f, 0.5f, 0.75f, 1.0f);

    for (sf::Texture* full : {&opaque, &uniform}) {
        sf::Sprite s(*full);
        s.setOrigin(640.0f, 360.0f);
        s.setPosition(640.0f, 360.0f);
        expectSameAsPlain(s, "over the window exactly, opaque tint: unblended, unsmoothed");
        s.setScale(1.2f, 1.1f);
        expectSameAsPlain(s, "larger than the window");
        s.setScale(1.0f, 1.0f);
        s.setPosition(650.0f, 360.0f);
        expectSameAsPlain(s, "leaves a stripe uncovered");
        s.setPosition(640.0f, 360.0f);
        s.setColor(sf::Color(255, 255, 255, 128));
        expectSameAsPlain(s, "half tint: blended");
        s.setColor(sf::Color::White);
        setSpriteRotation(&s, 5.0f);
        expectSameAsPlain(s, "turned");
    }
    GLfloat clearColour[4] = {};  // the demo's own clear colour is left as it was
    glGetFloatv(GL_COLOR_CLEAR_VALUE, clearColour);
    EXPECT_EQ(clearColour[2], 0.75f);

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

    // A picture scaled to a larger window: whole picture pixels are no longer whole window pixels.
    testWindow().setView(sf::View(sf::FloatRect(0.0f, 0.0f, 1280.0f / 1.5f, 720.0f / 1.5f)));
    expectSameAsPlain(small, "on whole pixels, scaled by the view");
    sf::Sprite full(opaque);
    expectSameAsPlain(full, "opaque, scaled by the view");
    testWindow().setView(testWindow().getDefaultView());
}

TEST_F(SpriteDrawing, AMostlyClearPictureDrawnWhereItHasAlphaGivesThePlainPixels) {
    sf::Texture texture;
    ASSERT_TRUE(loadSpriteTexture(texture, noise(300, 240, false, 5, true)));
    sf::Sprite sprite(texture);
    sprite.setOrigin(150.0f, 120.0f);
    const struct {
        float x, y, sx, sy;
        bool mirrored;
        const char* what;
    } cases[] = {
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
    for (const auto& c : cases) {
        sprite.setPosition(c.x, c.y);
        sprite.setScale(c.sx, c.sy);
        flipSpriteX(&sprite, c.mirrored);
        expectSameAsPlain(sprite, c.what);
        sprite.setColor(sf::Color(255, 255, 255, 140));
        expectSameAsPlain(sprite, c.what);
        sprite.setColor(sf::Color::White);
    }
    setSpriteRotation(&sprite, 10.0f);
    expectSameAsPlain(sprite, "turned");
    setSpriteRotation(&sprite, 0.0f);

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
            EXPECT_EQ(std::make_pair(box[0], box[2]), std::make_pair(350, 200));
            EXPECT_TRUE(glIsEnabled(GL_SCISSOR_TEST));
            glDisable(GL_SCISSOR_TEST);
        });
    };
    EXPECT_TRUE(scissored([&] { drawSprite(&sprite); }) == scissored([&] { plainDraw(sprite); }));
}

TEST_F(SpriteDrawing, ClearOrEmptySpritesLeaveTheFrameAsItWasAndOpacityComesFromEveryPixel) {
    sf::Texture opaque, empty;
    ASSERT_TRUE(loadSpriteTexture(opaque, noise(1280, 720, true, 4)));
    sf::Sprite overlay(opaque), nothing(empty);
    setSpriteAlpha(&overlay, 0.9f);  // truncates to 0
    const auto before = frame([] {});
    EXPECT_TRUE(frame([&] { drawSprite(&overlay), drawSprite(&nothing); }) == before);
    EXPECT_TRUE(frame([&] { plainDraw(overlay); }) == before);

    sf::Image image;
    image.create(4, 4, sf::Color(10, 20, 30, 255));
    ASSERT_TRUE(loadSpriteTexture(opaque, image));
    EXPECT_TRUE(isOpaqueTexture(&opaque));
    image.setPixel(3, 3, sf::Color(10, 20, 30, 254));
    ASSERT_TRUE(loadSpriteTexture(opaque, image));  // reloading decides again
    EXPECT_FALSE(isOpaqueTexture(&opaque));
    ASSERT_TRUE(loadSpriteTexture(opaque, ZANDAR_ASSET_DIR "/bg_blue.png"));  // RGB file
    EXPECT_TRUE(isOpaqueTexture(&opaque));
    EXPECT_FALSE(loadSpriteTexture(opaque, "/nonexistent/bg_blue.png"));
    EXPECT_FALSE(isOpaqueTexture(&opaque));
    EXPECT_FALSE(isOpaqueTexture(nullptr));
}

// A texture whose corners are `corner` and the rest grey, bound to unit 0 with the filter and
// wrap the model textures use.
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

// The display list of a model covers the pixels the plain draw covers (no silhouette moves), an
// open sheet still shows from behind, and a culled back face changes at most the odd pixel on
// the edge of a thin part, where the depth buffer cannot tell it from the front face.
TEST(CompiledModel, CoversWhatThePlainDrawCoversAndCullsOnlyHiddenFaces) {
    demo.renderWindow = &testWindow();
    setOpenGLState();
    const std::string dir = testing::TempDir();
    std::ofstream(dir + "sheet.mtl") << "newmtl a\nKd 0.9 0.5 0.1\n";
    std::ofstream(dir + "sheet.obj")
        << "mtllib sheet.mtl\nusemtl a\nv 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nf 1 2 3 4\n";
    ObjModel* sheet = loadModel((dir + "sheet.obj").c_str());
    ObjModel* field = loadModel(ZANDAR_ASSET_DIR "/models/oljefalt.obj");
    glDisable(GL_TEXTURE_2D);
    const std::pair<ObjModel*, float> views[] = {{sheet, 180}, {field, 0}, {field, 130}};
    for (const auto& [model, angle] : views) {
        SCOPED_TRACE(angle);
        const GLuint list = compileModelSmoothColor(model);
        auto draw = [&](bool compiled, std::vector<std::uint32_t>& depth) {
            glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
            glLoadIdentity();
            glTranslatef(0.0f, 0.0f, model == sheet ? -3.0f : 0.0f);
            glRotatef(angle, 0.0f, 1.0f, 0.0f);
            compiled ? glCallList(list) : drawModelSmoothColor(model);
            depth.resize(1280 * 720);
            glReadPixels(0, 0, 1280, 720, GL_DEPTH_COMPONENT, GL_UNSIGNED_INT, depth.data());
            return readBackBuffer();
        };
        std::vector<std::uint32_t> plainDepth, compiledDepth;
        const auto plain = draw(false, plainDepth);
        const auto compiled = draw(true, compiledDepth);
        glDeleteLists(list, 1);
        EXPECT_FALSE(glIsEnabled(GL_CULL_FACE));
        std::size_t covered = 0, differ = 0;
        for (std::size_t i = 0; i < plainDepth.size(); ++i) {
            ASSERT_EQ(plainDepth[i] == 0xFFFFFFFFu, compiledDepth[i] == 0xFFFFFFFFu) << i;
            covered += plainDepth[i] != 0xFFFFFFFFu;
            differ += std::memcmp(&plain[4 * i], &compiled[4 * i], 3) != 0;
        }
        EXPECT_GT(covered, 1000u);
        EXPECT_LE(differ, model == sheet ? 0u : covered / 500);
    }
    glEnable(GL_TEXTURE_2D);
    glmFreeModel(sheet);
    glmFreeModel(field);
}

void bindCornerTexture(std::uint8_t corner) {
    std::vector<std::uint8_t> pixels(16 * 8 * 4, 90);
    for (int at : {0, 15, 7 * 16, 8 * 16 - 1}) {
        std::fill_n(&pixels[at * 4], 3, corner);
        pixels[at * 4 + 3] = 255;
    }
    GLuint name = 0;
    glGenTextures(1, &name);
    glBindTexture(GL_TEXTURE_2D, name);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, 16, 8, 0, GL_RGBA, GL_UNSIGNED_BYTE, pixels.data());
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
}

// Models are drawn with the texture the last one bound: where it changes no pixel it is left
// out; a lit, fogged model must look the same either way, whatever the texture and its use.
TEST(NeutralTexture, ALitFoggedModelLooksTheSameWithItLeftOutWhereverThatIsDone) {
    demo.renderWindow = &testWindow();
    setOpenGLState();  // light, fog, texturing on
    ObjModel* model = loadModel(ZANDAR_ASSET_DIR "/models/asd.obj");
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
    const struct {
        std::uint8_t corner;
        GLint mode;
        float s;  // the texture coordinate every vertex gets
        bool leftOut;
    } cases[] = {{255, GL_MODULATE, 0.0f, true},
                 {128, GL_MODULATE, 0.0f, false},   // it tints the model
                 {255, GL_REPLACE, 0.0f, false},    // it paints the model white
                 {255, GL_MODULATE, 0.5f, false}};  // it samples the grey middle
    std::vector<std::uint8_t> white;
    for (const auto& c : cases) {
        bindCornerTexture(c.corner);
        glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, c.mode);
        glTexCoord4f(c.s, c.s, 0.0f, 1.0f);
        EXPECT_EQ(boundTextureIsNeutral(), c.leftOut) << int(c.corner) << c.mode << c.s;
        const auto textured = draw(false);
        EXPECT_TRUE(textured == draw(true)) << int(c.corner) << c.mode << c.s;
        if (white.empty()) white = textured;
        EXPECT_EQ(textured == white, c.leftOut);  // the cases are told apart by their pixels
    }
}

}  // namespace
