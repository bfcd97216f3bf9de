// Scene 5: the scrolling desert; Brumlo rises, speaks, sinks; 14 seconds in seven phases.
#include <gtest/gtest.h>

#include "driver/demo_globals.h"
#include "scenes/scenes.h"
#include "tests/support/demo_harness.h"

namespace {

constexpr float kStep = 1.0f / 60.0f;

struct Scene5 : ::testing::Test {
    void SetUp() override {
        loadDemoOnce();
        resetScenes(5);
    }
};

TEST_F(Scene5, PhasesLastTwoTwoOneTwoOneFourTwoSeconds) {
    expectPhaseDurations(changeTimes(scene5, kStep, demo.scene5Phase), {2, 2, 1, 2, 1, 4, 2},
                         kStep);
    EXPECT_EQ(demo.sceneIndex, 6);
    // Sand and palms scrolled for the whole scene; the last two palms never came into view.
    EXPECT_NEAR(demo.scene5SandX, -60.0f * 14.0f, 10.0f);
    EXPECT_GT(demo.scene5PalmX[3], 1280.0f);
    // Left for scene 6: the black overlay opaque, the palm at three quarters.
    EXPECT_EQ(demo.blackscreen->getColor().a, 255);
    EXPECT_EQ(demo.palm->getScale(), sf::Vector2f(0.75f, 0.75f));
}

TEST_F(Scene5, FigureSnapsToItsTopAndTheFirstFrameIsAlmostBlack) {
    drawSceneFrame(scene5, kStep);
    EXPECT_EQ(demo.blackscreen->getColor().a, 252);
    EXPECT_LT(meanBrightness(), 8.0);

    demo.scene5Phase = 2;
    demo.scene5Fade = 0.0f;
    demo.scene5Timer = 0.9f;
    demo.scene5BrumloY = 200.0f;
    drawSceneFrame(scene5, 0.2f);
    EXPECT_EQ(demo.scene5BrumloY, 106.0f);
    EXPECT_EQ(demo.scene5Phase, 3);
    EXPECT_EQ(demo.scene5Timer, 0.0f);
}

TEST_F(Scene5, BubbleShowsOnlyWhileItHasSizeAndThrobsByAnEighth) {
    demo.scene5Phase = 5;
    demo.scene5Fade = 0.0f;
    demo.beatPulse = 1.0f;
    demo.brumlo_bubble->setScale(0.0f, 0.0f);
    drawSceneFrame(scene5, 0.0f);
    EXPECT_EQ(demo.brumlo_bubble->getScale().x, 0.0f);  // not placed, not drawn

    demo.scene5BubbleScale = 1.0f;
    drawSceneFrame(scene5, 0.0f);
    EXPECT_FLOAT_EQ(demo.brumlo_bubble->getScale().x, 1.125f);
    demo.beatPulse = 0.0f;
    drawSceneFrame(scene5, 0.0f);
    EXPECT_FLOAT_EQ(demo.brumlo_bubble->getScale().x, 1.0f);
}

TEST_F(Scene5, LongFramesEndOnePhaseEach) {
    for (int phase = 0; phase < 6; ++phase) {
        drawSceneFrame(scene5, 30.0f);
        EXPECT_EQ(demo.scene5Phase, phase + 1);
        EXPECT_EQ(demo.scene5Timer, 0.0f);
    }
    drawSceneFrame(scene5, 30.0f);
    EXPECT_EQ(demo.sceneIndex, 6);
    EXPECT_EQ(demo.blackscreen->getColor().a, 255);  // a fade far beyond 255 draws opaque
}

}  // namespace
