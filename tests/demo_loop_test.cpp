// The main loop's rules, what the start-up OpenGL state does to a drawn picture (the projection's
// angle and aspect, the light, the magenta fog, the depth test), and the beat pulse: which rows
// set it, how it decays, how the row is read from the module's position.
#include <gtest/gtest.h>
#include <SFML/OpenGL.hpp>

#include <algorithm>
#include <array>
#include <tuple>

#include "driver/demo.h"
#include "driver/demo_globals.h"
#include "driver/music.h"
#include "platform/bass.h"
#include "tests/support/test_window.h"

namespace {

// The main loop driven by hand: every frame lasts 0.1 s, the module is where the test puts it.
struct StepTimeline : Timeline {
    void start() override {}
    float measureFrame() override { return 0.1f; }
    std::uint64_t modulePosition(std::uint32_t) override { return position; }
    void frameDrawn() override { ++framesDrawn; }
    void onRow(int row, int order = 3) { position = order | static_cast<std::uint64_t>(row) << 16; }
    std::uint64_t position = 0;
    int framesDrawn = 0;
};

struct MainLoop : ::testing::Test {
    void SetUp() override {
        demo.renderWindow = &testWindow();
        setOpenGLState();
    }
    void TearDown() override { demo.sceneIndex = 1; }
    StepTimeline timeline;
};

// A rectangle facing the viewer (normal +z) at depth z, over what is drawn already.
void rectangle(float x0, float y0, float x1, float y1, float z) {
    glLoadIdentity();
    glTranslatef(0.0f, 0.0f, z);
    glRectf(x0, y0, x1, y1);
}

TEST_F(MainLoop, StartUpStateDrawsALitFoggedPerspectivePicture) {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    // 45 degrees tall at 1280/720: at depth 2 the view reaches 0.828 up and 1.473 across, so
    // this ends half way to the top and to the right edge.
    rectangle(0.0f, 0.0f, 0.7364f, 0.4142f, -2.0f);
    EXPECT_EQ(backBufferPixel(955, 185).r, 255);
    EXPECT_EQ(backBufferPixel(965, 185).r, 0);
    EXPECT_EQ(backBufferPixel(955, 175).r, 0);
    // White, lit head-on to full brightness, seen through magenta fog of density 0.3: the green
    // that is left is exp(-(0.3 d)^2) of it.
    EXPECT_NEAR(backBufferPixel(700, 300).g, 255 * 0.698, 3);
    rectangle(-1.0f, -1.0f, 0.0f, 0.0f, -6.0f);
    const Rgba far = backBufferPixel(500, 450);
    EXPECT_NEAR(far.g, 255 * 0.039, 3);
    EXPECT_EQ(std::make_pair(far.r, far.b), std::make_pair(std::uint8_t{255}, std::uint8_t{255}));
    glDisable(GL_LIGHTING);  // a second draw at the same depth passes the depth test
    glColor3f(0.0f, 0.0f, 0.0f);
    rectangle(0.0f, 0.0f, 0.7364f, 0.4142f, -2.0f);
    EXPECT_NEAR(backBufferPixel(700, 300).r, 255 * 0.302, 3);
}

TEST_F(MainLoop, CloseAndEscapeStopAResizeFitsThePictureToTheWindow) {
    GLfloat before[16], after[16];
    glGetFloatv(GL_PROJECTION_MATRIX, before);
    const struct {
        sf::Event::EventType type;
        sf::Keyboard::Key key;
        bool stops;
    } cases[] = {{sf::Event::KeyPressed, sf::Keyboard::A, false},
                 {sf::Event::MouseButtonPressed, sf::Keyboard::Escape, false},
                 {sf::Event::KeyPressed, sf::Keyboard::Escape, true},
                 {sf::Event::Closed, sf::Keyboard::A, true}};
    for (const auto& c : cases) {
        bool running = true;
        sf::Event event{};
        event.type = c.type;
        event.key.code = c.key;
        handleEvent(event, running);
        EXPECT_EQ(running, !c.stops) << c.type;
    }
    // 640 x 480: the picture at 640 x 360 between bars, 3D and sprites alike, the projection
    // unchanged; back at 1280 x 720 it fills the window again.
    for (auto [width, height, viewport] :
         {std::tuple(640u, 480u, std::array<GLint, 4>{0, 60, 640, 360}),
          std::tuple(1280u, 720u, std::array<GLint, 4>{0, 0, 1280, 720})}) {
        bool running = true;
        sf::Event event{};
        event.type = sf::Event::Resized;
        event.size = {width, height};
        handleEvent(event, running);
        EXPECT_TRUE(running);
        std::array<GLint, 4> actual{};
        glGetIntegerv(GL_VIEWPORT, actual.data());
        EXPECT_EQ(actual, viewport);
        const sf::View& view = testWindow().getView();
        EXPECT_EQ(std::make_pair(view.getSize(), view.getCenter()),
                  std::make_pair(sf::Vector2f(1280.0f, 720.0f), sf::Vector2f(640.0f, 360.0f)));
        EXPECT_EQ(view.getViewport(), width == 640 ? sf::FloatRect(0.0f, 0.125f, 1.0f, 0.75f)
                                                   : sf::FloatRect(0.0f, 0.0f, 1.0f, 1.0f));
    }
    glGetFloatv(GL_PROJECTION_MATRIX, after);
    EXPECT_TRUE(std::equal(before, before + 16, after));
}

TEST_F(MainLoop, SceneTenStopsUnshownAndUnpulsedOtherScenesAreShownEmptyAndPulse) {
    demo.sceneIndex = 10;
    demo.beatPulse = 0.5f;
    timeline.onRow(4);
    EXPECT_FALSE(runFrame(timeline));
    EXPECT_EQ(timeline.framesDrawn, 0);
    EXPECT_EQ(demo.beatPulse, 0.5f);
    EXPECT_EQ(demo.frameTime, 0.1f);  // the frame was still measured
    for (int index : {0, 11, -3}) {
        demo.sceneIndex = index;
        demo.beatPulse = 0.0f;
        EXPECT_TRUE(runFrame(timeline));
        EXPECT_NEAR(demo.beatPulse, 0.7f, 1e-6f);
        EXPECT_EQ(demo.sceneIndex, index);
    }
    EXPECT_EQ(timeline.framesDrawn, 3);
}

TEST(BeatPulse, EveryFourthRowSetsItAndItFallsByThreePerSecondToExactlyZero) {
    StepTimeline timeline;
    demo.frameTime = 0.1f;
    for (int row = 0; row < 64; ++row) {
        demo.beatPulse = 0.0f;
        timeline.onRow(row);
        updateBeatPulses(timeline);  // set to 1 and decayed in the same call
        EXPECT_NEAR(demo.beatPulse, row % 4 == 0 ? 0.7f : 0.0f, 1e-6f) << "row " << row;
    }
    demo.beatPulse = 1.0f;
    timeline.onRow(1);
    for (float value : {0.7f, 0.4f, 0.1f, 0.0f, 0.0f}) {
        updateBeatPulses(timeline);
        EXPECT_NEAR(demo.beatPulse, value, 1e-6f);
    }
    EXPECT_EQ(demo.beatPulse, 0.0f);
    demo.frameTime = 0.5f;  // a long frame on a beat row leaves nothing
    timeline.onRow(8);
    updateBeatPulses(timeline);
    EXPECT_EQ(demo.beatPulse, 0.0f);

    // The row is bits 16-31 of the position; with nothing playing it is 65535, never a beat.
    timeline.position = 0xDEADBEEF00000000ull | 0x1234 | 0x0040 << 16;
    EXPECT_EQ(musicRow(timeline), 0x40);
    timeline.onRow(0, 0xFFFF);
    EXPECT_EQ(musicRow(timeline), 0);
    timeline.position = BASS_POSITION_INVALID;
    EXPECT_EQ(musicRow(timeline), 65535);
    updateBeatPulses(timeline);
    EXPECT_EQ(demo.beatPulse, 0.0f);
}

}  // namespace
