// Scene 3: the sprite scene over the sand, from black to white in seven phases; 16 seconds.
#include <gtest/gtest.h>

#include "driver/demo_globals.h"
#include "scenes/scenes.h"
#include "tests/support/demo_harness.h"

namespace {

constexpr float kStep = 1.0f / 60.0f;

struct Scene3 : ::testing::Test {
    void SetUp() override {
        loadDemoOnce();
        resetScenes(3);
    }
};

TEST_F(Scene3, PhasesLastFourFourOneOneTwoTwoTwoSeconds) {
    expectPhaseDurations(changeTimes(scene3, kStep, demo.scene3Phase), {4, 4, 1, 1, 2, 2, 2},
                         kStep);
    EXPECT_EQ(demo.sceneIndex, 4);
    EXPECT_FALSE(demo.scene3ShowGuns);
    EXPECT_TRUE(demo.scene3ShowCar);
    EXPECT_NEAR(demo.scene3CarScale, 2.0f, 0.02f);
    EXPECT_NEAR(demo.scene3GunScale, 0.1f, 0.02f);
    EXPECT_EQ(demo.scene3WhiteFade, 255.0f);
}

TEST_F(Scene3, FirstFrameIsAlmostBlackAndLastFrameWhite) {
    drawSceneFrame(scene3, kStep);
    EXPECT_EQ(demo.blackscreen->getColor().a, 253);  // 255 less one frame's fade, truncated
    EXPECT_LT(meanBrightness(), 8.0);

    demo.scene3Phase = 6;
    demo.scene3ShowCar = true;
    demo.scene3CarScale = 1.99f;
    demo.scene3Timer = 1.99f;
    demo.scene3WhiteFade = 254.0f;
    drawSceneFrame(scene3, kStep);
    EXPECT_EQ(demo.sceneIndex, 4);
    EXPECT_EQ(demo.scene3WhiteFade, 255.0f);
    EXPECT_GT(meanBrightness(), 250.0);
}

TEST_F(Scene3, OvershootsAreSetToTheirBoundsOnePhaseAtATime) {
    drawSceneFrame(scene3, 10.0f);
    EXPECT_EQ(demo.scene3BlackFade, 0.0f);
    EXPECT_EQ(demo.scene3Phase, 1);
    EXPECT_EQ(demo.scene3ArabY, 720.0f);
    drawSceneFrame(scene3, 10.0f);
    EXPECT_EQ(demo.scene3ArabY, 40.0f);
    EXPECT_EQ(demo.scene3Phase, 2);
    EXPECT_EQ(demo.arab->getPosition().y, 40.0f);
}

TEST_F(Scene3, TimedPhasesCompareAsSpecifiedAtTheirThresholds) {
    // Phases 2 and 3 end on reaching a second; 4 and 5 only beyond two; 6 on reaching two.
    struct Case {
        int phase;
        float timerBefore, step;
        bool leaves;
    } cases[] = {{2, 0.5f, 0.5f, true}, {3, 0.5f, 0.5f, true}, {4, 1.5f, 0.5f, false},
                 {5, 1.5f, 0.5f, false}, {6, 1.5f, 0.5f, true}};
    for (const Case& c : cases) {
        resetScenes(3);
        demo.scene3Phase = c.phase;
        demo.scene3Timer = c.timerBefore;
        drawSceneFrame(scene3, c.step);
        const bool left = demo.scene3Phase != c.phase || demo.sceneIndex != 3;
        EXPECT_EQ(left, c.leaves) << "phase " << c.phase;
    }
}

TEST_F(Scene3, GunsSwellAByTwelfthOnTheBeatAndAreLeftMirrored) {
    demo.scene3Phase = 4;
    demo.scene3ShowGuns = true;
    demo.scene3GunScale = 1.1f;
    demo.scene3BlackFade = 0.0f;
    demo.beatPulse = 1.0f;
    drawSceneFrame(scene3, 0.0f);
    EXPECT_FLOAT_EQ(demo.ak47->getScale().x, 1.1f + 1.0f / 12.0f);
    EXPECT_LT(demo.ak47->getTextureRect().width, 0);  // scene 7 shows it mirrored
    EXPECT_EQ(demo.ak47->getPosition(), sf::Vector2f(980.0f, 360.0f));
    demo.beatPulse = 0.0f;
    drawSceneFrame(scene3, 0.0f);
    EXPECT_FLOAT_EQ(demo.ak47->getScale().x, 1.1f);
}

TEST_F(Scene3, ZeroStepChangesNothing) {
    drawSceneFrame(scene3, 0.0f);
    EXPECT_EQ(demo.scene3Phase, 0);
    EXPECT_EQ(demo.scene3BlackFade, 255.0f);
    EXPECT_EQ(demo.scene3ArabY, 720.0f);
}

}  // namespace
