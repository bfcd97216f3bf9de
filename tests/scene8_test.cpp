// Scene 8: the night oasis under the rising scroll; fade in 2, hold 16, fade out 2 seconds.
#include <gtest/gtest.h>

#include <SFML/OpenGL.hpp>

#include "driver/demo_globals.h"
#include "scenes/scenes.h"
#include "tests/support/demo_harness.h"

namespace {

constexpr float kStep = 1.0f / 60.0f;

struct Scene8 : ::testing::Test {
    void SetUp() override {
        loadDemoOnce();
        resetScenes(8);
        glDisable(GL_FOG);  // as scene 7 leaves it
    }
};

TEST_F(Scene8, FadeInHoldFadeOutAndTheScrollMovesThroughout) {
    expectPhaseDurations(changeTimes(scene8, kStep, demo.scene8Phase), {2, 16, 2}, kStep);
    EXPECT_EQ(demo.sceneIndex, 9);
    EXPECT_NEAR(demo.scene8ScrollY, 1780.0f - 100.0f * demo.scene8Time, 0.5f);
    EXPECT_EQ(demo.scroll->getScale(), sf::Vector2f(3.0f, 3.0f));
    EXPECT_EQ(demo.blackscreen->getColor().a, 255);
}

TEST_F(Scene8, FirstFrameIsAlmostBlack) {
    drawSceneFrame(scene8, kStep);
    EXPECT_EQ(demo.blackscreen->getColor().a, 252);
    EXPECT_LT(meanBrightness(), 8.0);
}

TEST_F(Scene8, ExactlySixteenSecondsEndsTheHold) {
    demo.scene8Phase = 1;
    demo.scene8Fade = 0.0f;
    demo.scene8HoldTimer = 15.5f;
    drawSceneFrame(scene8, 0.5f);
    EXPECT_EQ(demo.scene8Phase, 2);
}

TEST_F(Scene8, FadesAreClampedInTheFrameThatOvershoots) {
    drawSceneFrame(scene8, 5.0f);
    EXPECT_EQ(demo.scene8Fade, 0.0f);
    EXPECT_EQ(demo.blackscreen->getColor().a, 0);
    EXPECT_EQ(demo.scene8Phase, 1);
    EXPECT_GT(meanBrightness(), 8.0);  // the oasis under its night sky
}

}  // namespace
