// Scene 4: fade in, Quistel walks in and holds for eight seconds, fade out; 12 seconds.
#include <gtest/gtest.h>

#include "driver/demo_globals.h"
#include "driver/sprites.h"
#include "scenes/scenes.h"
#include "tests/support/demo_harness.h"

namespace {

constexpr float kStep = 1.0f / 60.0f;

struct Scene4 : ::testing::Test {
    void SetUp() override {
        loadDemoOnce();
        resetScenes(4);
    }
};

TEST_F(Scene4, FadesInForTwoHoldsEightFadesOutForTwo) {
    expectPhaseDurations(changeTimes(scene4, kStep, demo.scene4Phase), {2, 8, 2}, kStep);
    EXPECT_EQ(demo.sceneIndex, 5);
    EXPECT_EQ(demo.scene4Fade, 255.0f);
    // Quistel stops at 632 or less than one step below it; the bubble never stops rising.
    EXPECT_LE(demo.scene4QuistelX, 632.0f);
    EXPECT_GT(demo.scene4QuistelX, 632.0f - 400.0f * kStep);
    EXPECT_NEAR(demo.scene4BubbleY, -140.0f, 2.0f);
}

TEST_F(Scene4, FirstFrameIsAlmostBlack) {
    drawSceneFrame(scene4, kStep);
    EXPECT_EQ(demo.blackscreen->getColor().a, 252);
    EXPECT_LT(meanBrightness(), 8.0);
}

TEST_F(Scene4, ExactlyEightSecondsEndsTheHold) {
    demo.scene4Phase = 1;
    demo.scene4Fade = 0.0f;
    demo.scene4Timer = 7.5f;
    drawSceneFrame(scene4, 0.5f);
    EXPECT_EQ(demo.scene4Phase, 2);
}

TEST_F(Scene4, QuistelStandsOnTheBottomEdgeAndTheBubbleThrobs) {
    demo.scene4Phase = 1;
    demo.scene4Fade = 0.0f;
    demo.scene4QuistelX = 700.0f;
    drawSceneFrame(scene4, 0.0f);
    sf::FloatRect q = demo.quistel->getGlobalBounds();
    EXPECT_FLOAT_EQ(q.top + q.height, 720.0f);
    EXPECT_FLOAT_EQ(demo.quistel_bubble->getScale().x, 0.8f);
    demo.beatPulse = 1.0f;
    drawSceneFrame(scene4, 0.0f);
    EXPECT_FLOAT_EQ(demo.quistel_bubble->getScale().x, 1.05f);
}

TEST_F(Scene4, FadeOutEndsExactlyOpaqueInOneLongFrame) {
    demo.scene4Phase = 2;
    demo.scene4Fade = 200.0f;
    drawSceneFrame(scene4, 5.0f);
    EXPECT_EQ(demo.scene4Fade, 255.0f);
    EXPECT_EQ(demo.blackscreen->getColor().a, 255);
    EXPECT_EQ(demo.sceneIndex, 5);
}

}  // namespace
