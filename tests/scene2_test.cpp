// Scene 2: the title block drifts up and away for 16 seconds; the last word swells with the beat.
#include <gtest/gtest.h>

#include "driver/demo_globals.h"
#include "scenes/scenes.h"
#include "tests/support/demo_harness.h"

namespace {

constexpr float kStep = 1.0f / 60.0f;

struct Scene2 : ::testing::Test {
    void SetUp() override {
        loadDemoOnce();
        resetScenes(2);
    }
};

TEST_F(Scene2, HandsOverJustAfterSixteenSecondsHavingRisenAndReceded) {
    std::vector<float> t = changeTimes(scene2, kStep, demo.sceneIndex);
    ASSERT_EQ(t.size(), 1u);
    EXPECT_NEAR(t[0], 16.0f, kStep * 1.5f);
    EXPECT_EQ(demo.sceneIndex, 3);
    EXPECT_NEAR(demo.scene2RiseY, 3.0f, 0.05f);
    EXPECT_NEAR(demo.scene2RiseZ, -4.0f, 0.05f);
}

TEST_F(Scene2, ExactlySixteenSecondsIsNotYetTheEnd) {
    demo.scene2Timer = 15.5f;
    drawSceneFrame(scene2, 0.5f);
    EXPECT_EQ(demo.sceneIndex, 2);
    drawSceneFrame(scene2, 0.0f);
    EXPECT_EQ(demo.sceneIndex, 2);
    drawSceneFrame(scene2, 0.01f);
    EXPECT_EQ(demo.sceneIndex, 3);
}

TEST_F(Scene2, TheWordsAreVisibleAndTheBeatOnlyGrowsTheLastOne) {
    demo.scene2RiseY = -0.5f;  // the block near the middle of the view
    demo.scene2RiseZ = 1.0f;
    drawSceneFrame(scene2, 0.0f);
    const double calm = meanBrightness();
    EXPECT_GT(calm, 2.0);
    demo.beatPulse = 1.0f;
    drawSceneFrame(scene2, 0.0f);
    EXPECT_GT(meanBrightness(), calm);  // zandar drawn 1.625 times its size instead of 1.5
}

}  // namespace
