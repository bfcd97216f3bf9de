// Scene 9: the final scroll over the day sky; the demo ends after 16 seconds.
#include <gtest/gtest.h>

#include "driver/demo_globals.h"
#include "scenes/scenes.h"
#include "tests/support/demo_harness.h"
#include "tests/support/test_window.h"

namespace {

struct Scene9 : ::testing::Test {
    void SetUp() override {
        loadDemoOnce();
        resetScenes(9);
    }
};

TEST_F(Scene9, EndsStrictlyAfterSixteenSecondsAndDrawsTheLastFrame) {
    demo.scene9Time = 15.5f;
    drawSceneFrame(scene9, 0.5f);
    EXPECT_EQ(demo.sceneIndex, 9);  // exactly 16 is not yet the end
    const float y = demo.scene9ScrollY;
    drawSceneFrame(scene9, 0.25f);
    EXPECT_EQ(demo.sceneIndex, 10);
    EXPECT_FLOAT_EQ(demo.scene9ScrollY, y - 30.0f);  // moved and drawn all the same
    EXPECT_EQ(demo.scroll2->getPosition().y, demo.scene9ScrollY);
}

TEST_F(Scene9, TheSkyFillsTheFrameAroundTheText) {
    drawSceneFrame(scene9, 1.0f / 60.0f);
    // Below the text (it starts under the window) the sky sprite shows as it is.
    sf::Image sky = demo.bg_blueImage->copyToImage();
    for (auto [x, y] : {std::pair{5, 5}, std::pair{1270, 10}, std::pair{640, 700}}) {
        Rgba shown = backBufferPixel(x, y);
        sf::Color expected = sky.getPixel(static_cast<unsigned>(x), static_cast<unsigned>(y));
        EXPECT_NEAR(shown.r, expected.r, 2) << x << "," << y;
        EXPECT_NEAR(shown.g, expected.g, 2) << x << "," << y;
        EXPECT_NEAR(shown.b, expected.b, 2) << x << "," << y;
    }
}

}  // namespace
