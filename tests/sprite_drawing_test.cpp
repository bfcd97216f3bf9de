// The work drawSprite leaves out (a clear overlay, blending under an opaque picture, smoothing on
// whole pixels, fog at depth 0) and the model texturing scenes switch off must never show: every
// case is drawn both ways in the real window and the back buffers compared byte for byte.
#include <gtest/gtest.h>

#include <SFML/Graphics.hpp>
#include <SFML/OpenGL.hpp>
#include <cstdint>
#include <random>
#include <vector>

#include "driver/demo.h"
#include "driver/demo_globals.h"
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

}  // namespace
