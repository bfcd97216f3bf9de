// Scene 1: still, turn in, hold, turn out under the fade; 12 seconds.
#include <gtest/gtest.h>

#include "driver/demo_globals.h"
#include "scenes/scenes.h"
#include "tests/support/demo_harness.h"

namespace {

constexpr float kStep = 1.0f / 60.0f;

struct Scene1 : ::testing::Test {
    void SetUp() override {
        loadDemoOnce();
        resetScenes(1);
    }
};

TEST_F(Scene1, StillTurnInHoldTurnOutLastTwoTwoSixTwoSeconds) {
    expectPhaseDurations(changeTimes(scene1, kStep, demo.scene1Phase), {2, 2, 6, 2}, kStep);
    EXPECT_EQ(demo.sceneIndex, 2);
    // The turn out is not limited; the fade is.
    EXPECT_NEAR(demo.scene1Angle, -90.0f, 1.0f);
    EXPECT_EQ(demo.scene1Fade, 255.0f);
    EXPECT_EQ(demo.blackscreen->getColor().a, 255);
}

TEST_F(Scene1, LongFrameMakesOneChangeAndDropsTheRest) {
    drawSceneFrame(scene1, 3.0f);
    EXPECT_EQ(demo.scene1Phase, 1);
    EXPECT_EQ(demo.scene1Timer, 0.0f);
    EXPECT_EQ(demo.scene1Angle, 90.0f);
    drawSceneFrame(scene1, 3.0f);  // overshoots zero: clamped, into the hold
    EXPECT_EQ(demo.scene1Angle, 0.0f);
    EXPECT_EQ(demo.scene1Phase, 2);
}

TEST_F(Scene1, ZeroStepChangesNothing) {
    drawSceneFrame(scene1, 0.0f);
    EXPECT_EQ(demo.scene1Phase, 0);
    EXPECT_EQ(demo.scene1Timer, 0.0f);
    EXPECT_EQ(demo.scene1Angle, 90.0f);
    EXPECT_EQ(demo.blackscreen->getColor().a, 0);
    EXPECT_FALSE(demo.scene1FirstFrame);
}

TEST_F(Scene1, HandOverFrameIsDrawnUnderTheFullFade) {
    demo.scene1Phase = 3;
    demo.scene1Timer = 1.99f;
    demo.scene1Fade = 250.0f;
    drawSceneFrame(scene1, 0.05f);
    EXPECT_EQ(demo.sceneIndex, 2);
    EXPECT_EQ(demo.scene1Fade, 255.0f);
    EXPECT_EQ(demo.blackscreen->getColor().a, 255);
    EXPECT_LT(meanBrightness(), 1.0);
}

}  // namespace
