// Scene 6: four credit cards, two seconds each, over the flip-book; 8 seconds.
#include <gtest/gtest.h>

#include "driver/demo_globals.h"
#include "effects/animated_sprite.h"
#include "scenes/scenes.h"
#include "tests/support/demo_harness.h"

namespace {

constexpr float kStep = 1.0f / 60.0f;

struct Scene6 : ::testing::Test {
    void SetUp() override {
        loadDemoOnce();
        resetScenes(6);
        demo.blackscreen->setColor(sf::Color(255, 255, 255, 255));  // as scene 5 leaves it
    }
};

TEST_F(Scene6, CardsChangeEveryTwoSeconds) {
    expectPhaseDurations(changeTimes(scene6, kStep, demo.scene6Phase), {2, 2, 2, 2}, kStep);
    EXPECT_EQ(demo.scene6Phase, 3);
    EXPECT_EQ(demo.sceneIndex, 7);
}

TEST_F(Scene6, NextCardStartsSmallAndCardsAlternateTheirTurn) {
    demo.scene6Timer = 1.99f;
    drawSceneFrame(scene6, 0.02f);  // the first card is drawn, then its time is up
    ASSERT_EQ(demo.scene6Phase, 1);
    drawSceneFrame(scene6, 0.1f);
    EXPECT_FLOAT_EQ(demo.cred_2->getScale().x, 0.25f + 0.05f);
    EXPECT_NEAR(demo.cred_2->getRotation(), 360.0f - 0.4f, 1e-3f);  // counter-clockwise
    demo.scene6Phase = 2;
    drawSceneFrame(scene6, 0.1f);
    EXPECT_NEAR(demo.cred_3->getRotation(), 0.8f, 1e-3f);  // clockwise
}

TEST_F(Scene6, CrossAndFilterThrobWithTheBeat) {
    drawSceneFrame(scene6, 0.0f);
    EXPECT_EQ(demo.cross->getScale().x, 0.75f);
    EXPECT_EQ(demo.filter->getScale().x, 1.0f);
    EXPECT_EQ(demo.cross->getPosition(), sf::Vector2f(670.0f, 220.0f));
    demo.beatPulse = 1.0f;
    drawSceneFrame(scene6, 0.0f);
    EXPECT_EQ(demo.cross->getScale().x, 1.0f);
    EXPECT_EQ(demo.filter->getScale().x, 1.25f);
}

TEST_F(Scene6, LongFrameEndsOneCardAndStepsTheFlipBookOnce) {
    const int frameBefore = demo.weedAnimation->frameIndex;
    drawSceneFrame(scene6, 10.0f);
    EXPECT_EQ(demo.scene6Phase, 1);
    EXPECT_EQ(demo.scene6Timer, 0.0f);
    EXPECT_EQ(demo.scene6Grow, 0.0f);
    EXPECT_EQ(demo.weedAnimation->frameIndex, (frameBefore + 1) % kWeedFrameCount);
}

}  // namespace
