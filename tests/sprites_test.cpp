// The sprite factories and the sprite operations the scenes rely on, in a real window.
#include <gtest/gtest.h>

#include <SFML/Graphics.hpp>
#include <SFML/OpenGL.hpp>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "driver/demo_globals.h"
#include "driver/sprites.h"
#include "tests/support/demo_harness.h"
#include "tests/support/test_window.h"

namespace {

std::string tempPng(int w, int h, sf::Color left, sf::Color right) {
    char dir[] = "/tmp/zandar-sprites-XXXXXX";
    std::string path = std::string(mkdtemp(dir)) + "/picture.png";
    sf::Image image;
    image.create(static_cast<unsigned>(w), static_cast<unsigned>(h), left);
    for (int y = 0; y < h; ++y) {
        for (int x = w / 2; x < w; ++x) {
            image.setPixel(static_cast<unsigned>(x), static_cast<unsigned>(y), right);
        }
    }
    image.saveToFile(path);
    return path;
}

struct Sprites : ::testing::Test {
    void SetUp() override { demo.renderWindow = &testWindow(); }
};

TEST_F(Sprites, FromFileIsCentredWithHalfPixelsDroppedAndLogsItsResult) {
    const std::string path = tempPng(101, 51, sf::Color::Red, sf::Color::Blue);
    sf::Sprite* sprite = nullptr;
    std::string out = captureStdout([&] { sprite = createSpriteFromFile(path.c_str()); });
    EXPECT_EQ(out, path + " = 1\n");
    EXPECT_EQ(sprite->getOrigin(), sf::Vector2f(50.0f, 25.0f));
    EXPECT_EQ(sprite->getPosition(), sf::Vector2f(0.0f, 0.0f));
    EXPECT_EQ(sprite->getScale(), sf::Vector2f(1.0f, 1.0f));
    EXPECT_EQ(sprite->getColor(), sf::Color(255, 255, 255, 255));
    EXPECT_TRUE(sprite->getTexture()->isSmooth());
}

TEST_F(Sprites, MissingFileGivesAnEmptySpriteAndAZero) {
    sf::Sprite* sprite = nullptr;
    std::string out =
        captureStdout([&] { sprite = createSpriteFromFile("/nonexistent/cred_2.png"); });
    EXPECT_EQ(out, "/nonexistent/cred_2.png = 0\n");
    ASSERT_NE(sprite, nullptr);
    EXPECT_EQ(sprite->getOrigin(), sf::Vector2f(0.0f, 0.0f));
    EXPECT_EQ(spriteSize(sprite), sf::Vector2f(0.0f, 0.0f));
    drawSprite(sprite);  // draws nothing, harmlessly
}

TEST_F(Sprites, CentreGivenExplicitly) {
    sf::Texture image;
    ASSERT_TRUE(image.create(340, 680));
    EXPECT_EQ(createSpriteWithCenter(image, 170, 0)->getOrigin(), sf::Vector2f(170.0f, 0.0f));
    EXPECT_EQ(createCenteredSprite(image)->getOrigin(), sf::Vector2f(170.0f, 340.0f));
}

TEST_F(Sprites, PositiveRotationTurnsCounterClockwiseOnScreen) {
    sf::Texture image;
    image.create(100, 10);
    sf::Sprite sprite(image);
    sprite.setOrigin(0.0f, 5.0f);
    sprite.setPosition(640.0f, 360.0f);
    setSpriteRotation(&sprite, 90.0f);
    // A bar pointing right, turned a quarter counter-clockwise, points up the screen.
    sf::FloatRect bounds = sprite.getGlobalBounds();
    EXPECT_NEAR(bounds.top + bounds.height, 360.0f, 0.01f);
    EXPECT_NEAR(bounds.top, 260.0f, 0.01f);
}

TEST_F(Sprites, FlipMirrorsThePictureAndKeepsTheScale) {
    const std::string path = tempPng(200, 100, sf::Color::Red, sf::Color::Blue);
    sf::Texture image;
    ASSERT_TRUE(image.loadFromFile(path));
    sf::Sprite* sprite = createCenteredSprite(image);
    sprite->setPosition(640.0f, 360.0f);
    sprite->setScale(2.0f, 2.0f);

    auto leftAndRight = [&] {
        glClear(GL_COLOR_BUFFER_BIT);
        drawSprite(sprite);
        return std::make_pair(backBufferPixel(640 - 150, 360), backBufferPixel(640 + 150, 360));
    };
    flipSpriteX(sprite, true);
    auto [flippedLeft, flippedRight] = leftAndRight();
    EXPECT_EQ(flippedLeft.b, 255);
    EXPECT_EQ(flippedRight.r, 255);
    EXPECT_EQ(sprite->getScale(), sf::Vector2f(2.0f, 2.0f));

    flipSpriteX(sprite, false);
    auto [left, right] = leftAndRight();
    EXPECT_EQ(left.r, 255);
    EXPECT_EQ(right.b, 255);
}

TEST_F(Sprites, FadeAlphaIsTruncatedAndKeptInRange) {
    sf::Sprite sprite;
    setSpriteAlpha(&sprite, 127.9f);
    EXPECT_EQ(sprite.getColor(), sf::Color(255, 255, 255, 127));
    setSpriteAlpha(&sprite, -3.0f);
    EXPECT_EQ(sprite.getColor().a, 0);
    setSpriteAlpha(&sprite, 300.0f);
    EXPECT_EQ(sprite.getColor().a, 255);
}

TEST_F(Sprites, DrawingLeavesThe3DStateAsItWas) {
    sf::Texture image;
    image.create(8, 8);
    sf::Sprite sprite(image);
    glEnable(GL_LIGHTING);
    glEnable(GL_FOG);
    glEnable(GL_DEPTH_TEST);
    glMatrixMode(GL_MODELVIEW);
    glLoadIdentity();
    glTranslatef(1.0f, 2.0f, 3.0f);
    GLfloat before[16], after[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, before);

    drawSprite(&sprite);

    glGetFloatv(GL_MODELVIEW_MATRIX, after);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(before[i], after[i]);
    EXPECT_TRUE(glIsEnabled(GL_LIGHTING));
    EXPECT_TRUE(glIsEnabled(GL_FOG));
    EXPECT_TRUE(glIsEnabled(GL_DEPTH_TEST));
    GLint mode = 0;
    glGetIntegerv(GL_MATRIX_MODE, &mode);
    EXPECT_EQ(mode, GL_MODELVIEW);
}

}  // namespace
