// The flip-book's stepping rules, over the demo's own ten-entry back-and-forth table.
#include <gtest/gtest.h>

#include <SFML/Graphics.hpp>
#include <vector>

#include "driver/demo_globals.h"
#include "effects/animated_sprite.h"
#include "tests/support/test_window.h"

namespace {

struct Flipbook : ::testing::Test {
    Flipbook() {
        for (int i = 0; i < kWeedFrameCount; ++i) {
            table[i] = &sprites[frameNumbers[i] - 1];
        }
    }
    int shownFrameNumber(const AnimatedSprite& a) const {
        return static_cast<int>(a.currentFrame - sprites) + 1;
    }

    sf::Sprite sprites[6];
    const int frameNumbers[kWeedFrameCount] = {1, 2, 3, 4, 5, 6, 5, 4, 3, 2};
    sf::Sprite* table[kWeedFrameCount] = {};
};

TEST_F(Flipbook, StartsOnTheFirstEntryWithEveryFramePlaced) {
    AnimatedSprite a(table, kWeedFrameCount, 640.0f, 360.0f, 0.15f);
    EXPECT_EQ(a.currentFrame, table[0]);
    EXPECT_EQ(a.frameIndex, 0);
    EXPECT_EQ(a.elapsed, 0.0f);
    EXPECT_EQ(a.scale, 1.0f);
    for (const sf::Sprite& s : sprites) {
        EXPECT_EQ(s.getPosition(), sf::Vector2f(640.0f, 360.0f));
    }
}

TEST_F(Flipbook, PlaysForwardAndBackOneFramePerStep) {
    AnimatedSprite a(table, kWeedFrameCount, 640.0f, 360.0f, 0.15f);
    std::vector<int> shown;
    for (int i = 0; i < 24; ++i) {
        a.update(0.1f);  // a frame changes on every second call
        shown.push_back(shownFrameNumber(a));
    }
    const std::vector<int> expected = {1, 2, 2, 3, 3, 4, 4, 5, 5, 6, 6, 5,
                                       5, 4, 4, 3, 3, 2, 2, 1, 1, 2, 2, 3};
    EXPECT_EQ(shown, expected);
}

TEST_F(Flipbook, LongStepMovesExactlyOneFrameAndDropsTheRest) {
    AnimatedSprite a(table, kWeedFrameCount, 10.0f, 20.0f, 0.15f);
    a.update(5.0f);
    EXPECT_EQ(a.frameIndex, 1);
    EXPECT_EQ(a.elapsed, 0.0f);
    a.update(0.1f);
    EXPECT_EQ(a.frameIndex, 1);  // nothing carried over from the long step
    EXPECT_EQ(a.currentFrame->getPosition(), sf::Vector2f(10.0f, 20.0f));
}

TEST_F(Flipbook, SingleFrameTableKeepsShowingAndPlacingIt) {
    sf::Sprite only;
    sf::Sprite* one[] = {&only};
    AnimatedSprite a(one, 1, 5.0f, 6.0f, 0.15f);
    only.setPosition(0.0f, 0.0f);
    a.update(0.2f);
    EXPECT_EQ(a.currentFrame, &only);
    EXPECT_EQ(only.getPosition(), sf::Vector2f(5.0f, 6.0f));
}

TEST_F(Flipbook, DrawAppliesItsScaleToTheCurrentFrame) {
    demo.renderWindow = &testWindow();
    AnimatedSprite a(table, kWeedFrameCount, 640.0f, 360.0f, 0.15f);
    a.setScale(2.0f);
    a.draw();
    EXPECT_EQ(table[0]->getScale(), sf::Vector2f(2.0f, 2.0f));
}

}  // namespace
