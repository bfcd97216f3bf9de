// Scene 7: the cube wall and the four props; 8 seconds. Fog goes off for good.
#include <gtest/gtest.h>

#include <SFML/OpenGL.hpp>

#include "driver/demo_globals.h"
#include "scenes/scenes.h"
#include "tests/support/demo_harness.h"
#include "tests/support/test_window.h"

namespace {

constexpr float kStep = 1.0f / 60.0f;

struct Scene7 : ::testing::Test {
    void SetUp() override {
        loadDemoOnce();
        resetScenes(7);
        glEnable(GL_FOG);
    }
};

// Share of the frame that shows the grey clear colour (under the filter's faint grain).
double greyShare() {
    std::vector<std::uint8_t> p = readBackBuffer();
    size_t grey = 0;
    auto near128 = [](int c) { return c >= 116 && c <= 140; };
    for (size_t i = 0; i < p.size(); i += 4) {
        if (near128(p[i]) && near128(p[i + 1]) && near128(p[i + 2])) ++grey;
    }
    return static_cast<double>(grey) / static_cast<double>(p.size() / 4);
}

TEST_F(Scene7, StripePatternsFollowTheirRule) {
    auto cell = [](int pattern, int row, int column) {
        return scene7Patterns[pattern * kScene7Rows * kScene7Columns + row * kScene7Columns +
                              column];
    };
    EXPECT_EQ(cell(0, 1, 5), 1);
    EXPECT_EQ(cell(0, 2, 5), 0);
    EXPECT_EQ(cell(1, 0, 31), 1);
    EXPECT_EQ(cell(1, 15, 0), 0);
    EXPECT_EQ(cell(2, 7, 1), 1);
    EXPECT_EQ(cell(2, 7, 30), 0);
    EXPECT_EQ(cell(3, 0, 0), 1);
    EXPECT_EQ(cell(3, 0, 31), 0);
}

TEST_F(Scene7, PropsChangeEveryTwoSecondsAndThePatternEveryQuarter) {
    expectPhaseDurations(changeTimes(scene7, kStep, demo.scene7Phase), {2, 2, 2, 2}, kStep);
    EXPECT_EQ(demo.sceneIndex, 8);
    EXPECT_EQ(demo.scene7Phase, 3);
}

TEST_F(Scene7, PatternMovesOnOnlyAfterMoreThanAQuarterSecond) {
    drawSceneFrame(scene7, 0.125f);
    drawSceneFrame(scene7, 0.125f);
    EXPECT_EQ(demo.scene7Pattern, 0);  // exactly a quarter is not enough
    drawSceneFrame(scene7, 0.125f);
    EXPECT_EQ(demo.scene7Pattern, 1);
    EXPECT_EQ(demo.scene7PatternTimer, 0.0f);
    drawSceneFrame(scene7, 5.0f);  // a long frame moves it on by one
    EXPECT_EQ(demo.scene7Pattern, 2);
}

TEST_F(Scene7, FirstFrameSwitchesFogOffAndSetsUpTheProps) {
    drawSceneFrame(scene7, kStep);
    EXPECT_FALSE(glIsEnabled(GL_FOG));
    EXPECT_FALSE(demo.scene7FirstFrame);
    for (sf::Sprite* s : {demo.ak47, demo.bmw, demo.arab, demo.palm}) {
        EXPECT_EQ(s->getPosition(), sf::Vector2f(640.0f, 360.0f));
    }
    EXPECT_EQ(demo.arab->getOrigin(), sf::Vector2f(170.0f, 340.0f));
    EXPECT_EQ(demo.palm->getOrigin(), sf::Vector2f(279.0f, 307.0f));
}

TEST_F(Scene7, GreyShowsBetweenTheCubesEvenOnThePatternWrap) {
    drawSceneFrame(scene7, kStep);
    EXPECT_GT(greyShare(), 0.3);
    demo.scene7Pattern = 3;
    demo.scene7PatternTimer = 0.25f;
    drawSceneFrame(scene7, kStep);
    EXPECT_EQ(demo.scene7Pattern, 0);
    EXPECT_GT(greyShare(), 0.3);  // the wrap frame is drawn like any other
}

TEST_F(Scene7, BeatSwellsThePropAndTheFilter) {
    drawSceneFrame(scene7, 0.0f);
    EXPECT_FLOAT_EQ(demo.ak47->getScale().x, 0.5f);
    EXPECT_FLOAT_EQ(demo.filter->getScale().x, 1.4f);
    demo.beatPulse = 1.0f;
    drawSceneFrame(scene7, 0.0f);
    EXPECT_FLOAT_EQ(demo.ak47->getScale().x, 0.75f);
    EXPECT_FLOAT_EQ(demo.filter->getScale().x, 1.65f);
}

}  // namespace
