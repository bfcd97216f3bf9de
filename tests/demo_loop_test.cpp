// Start-up's OpenGL state, read back from a real context, and the main loop's rules.
#include <gtest/gtest.h>

#include <GL/glu.h>
#include <SFML/OpenGL.hpp>

#include <array>
#include <tuple>

#include "driver/demo.h"
#include "driver/demo_globals.h"
#include "tests/support/step_timeline.h"
#include "tests/support/test_window.h"

namespace {

struct MainLoop : ::testing::Test {
    void SetUp() override {
        demo.renderWindow = &testWindow();
        setOpenGLState();
    }
    void TearDown() override {
        demo.sceneIndex = 1;
    }
    StepTimeline timeline{0.1f};
};

void expectFloats(GLenum pname, std::initializer_list<float> expected, GLenum light = 0) {
    GLfloat v[16] = {};
    if (light) {
        glGetLightfv(light, pname, v);
    } else {
        glGetFloatv(pname, v);
    }
    int i = 0;
    for (float e : expected) {
        EXPECT_FLOAT_EQ(v[i], e) << "value " << i << " of 0x" << std::hex << pname;
        ++i;
    }
}

TEST_F(MainLoop, StartUpStateIsTheFixedFunctionSetUp) {
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 1280);
    EXPECT_EQ(viewport[3], 720);

    // The projection is gluPerspective(45, 1280/720, 0.0001f, 100).
    glMatrixMode(GL_PROJECTION);
    glPushMatrix();
    glLoadIdentity();
    gluPerspective(45.0, 1280.0f / 720.0f, static_cast<double>(0.0001f), 100.0);
    GLfloat expected[16], actual[16];
    glGetFloatv(GL_PROJECTION_MATRIX, expected);
    glPopMatrix();
    glGetFloatv(GL_PROJECTION_MATRIX, actual);
    glMatrixMode(GL_MODELVIEW);
    for (int i = 0; i < 16; ++i) EXPECT_FLOAT_EQ(actual[i], expected[i]);

    GLint value = 0;
    glGetIntegerv(GL_MATRIX_MODE, &value);
    EXPECT_EQ(value, GL_MODELVIEW);
    glGetIntegerv(GL_SHADE_MODEL, &value);
    EXPECT_EQ(value, GL_SMOOTH);
    glGetIntegerv(GL_DEPTH_FUNC, &value);
    EXPECT_EQ(value, GL_LEQUAL);
    glGetIntegerv(GL_PERSPECTIVE_CORRECTION_HINT, &value);
    EXPECT_EQ(value, GL_NICEST);
    glGetIntegerv(GL_FOG_HINT, &value);
    EXPECT_EQ(value, GL_NICEST);
    glGetIntegerv(GL_FOG_MODE, &value);
    EXPECT_EQ(value, GL_EXP2);
    for (GLenum cap : {GL_TEXTURE_2D, GL_DEPTH_TEST, GL_LIGHTING, GL_LIGHT0, GL_FOG}) {
        EXPECT_TRUE(glIsEnabled(cap)) << std::hex << cap;
    }
    expectFloats(GL_COLOR_CLEAR_VALUE, {0, 0, 0, 0});
    expectFloats(GL_DEPTH_CLEAR_VALUE, {1});
    expectFloats(GL_AMBIENT, {0.2f, 0.2f, 0.2f, 1}, GL_LIGHT0);
    expectFloats(GL_DIFFUSE, {0.8f, 0.8f, 0.8f, 1}, GL_LIGHT0);
    expectFloats(GL_SPECULAR, {0.5f, 0.5f, 0.5f, 1}, GL_LIGHT0);
    expectFloats(GL_POSITION, {0, 0, 1, 0}, GL_LIGHT0);  // along +z, in eye space
    GLfloat material[4];
    glGetMaterialfv(GL_FRONT, GL_DIFFUSE, material);
    EXPECT_FLOAT_EQ(material[0], 1.0f);
    glGetMaterialfv(GL_BACK, GL_AMBIENT, material);
    EXPECT_FLOAT_EQ(material[2], 1.0f);
    expectFloats(GL_FOG_COLOR, {1, 0, 1, 1});
    expectFloats(GL_FOG_DENSITY, {0.3f});
    expectFloats(GL_FOG_START, {10});
    expectFloats(GL_FOG_END, {40});
}

TEST_F(MainLoop, CloseAndEscapeStopAResizeFitsThePictureToTheWindow) {
    bool running = true;
    sf::Event event{};
    event.type = sf::Event::KeyPressed;
    event.key.code = sf::Keyboard::A;
    handleEvent(event, running);
    EXPECT_TRUE(running);
    event.type = sf::Event::MouseButtonPressed;
    handleEvent(event, running);
    EXPECT_TRUE(running);

    // 640 x 480: the picture at 640 x 360 in the middle, 3D and sprites alike, the projection
    // unchanged; back at 1280 x 720 it fills the window again.
    GLfloat projectionBefore[16], projectionAfter[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projectionBefore);
    for (auto [width, height, viewport] :
         {std::tuple(640u, 480u, std::array<GLint, 4>{0, 60, 640, 360}),
          std::tuple(1280u, 720u, std::array<GLint, 4>{0, 0, 1280, 720})}) {
        event.type = sf::Event::Resized;
        event.size.width = width;
        event.size.height = height;
        handleEvent(event, running);
        std::array<GLint, 4> actual{};
        glGetIntegerv(GL_VIEWPORT, actual.data());
        EXPECT_EQ(actual, viewport);
        const sf::View& view = testWindow().getView();
        EXPECT_EQ(view.getSize(), sf::Vector2f(1280.0f, 720.0f));
        EXPECT_EQ(view.getCenter(), sf::Vector2f(640.0f, 360.0f));
        EXPECT_EQ(view.getViewport(), width == 640 ? sf::FloatRect(0.0f, 0.125f, 1.0f, 0.75f)
                                                   : sf::FloatRect(0.0f, 0.0f, 1.0f, 1.0f));
    }
    glGetFloatv(GL_PROJECTION_MATRIX, projectionAfter);
    for (int i = 0; i < 16; ++i) EXPECT_EQ(projectionBefore[i], projectionAfter[i]);
    EXPECT_TRUE(running);

    event.type = sf::Event::KeyPressed;
    event.key.code = sf::Keyboard::Escape;
    handleEvent(event, running);
    EXPECT_FALSE(running);

    running = true;
    event.type = sf::Event::Closed;
    handleEvent(event, running);
    EXPECT_FALSE(running);
}

TEST_F(MainLoop, SceneTenStopsWithoutShowingOrPulsing) {
    demo.sceneIndex = 10;
    demo.beatPulse = 0.5f;
    timeline.position = StepTimeline::orderRow(0, 4);
    EXPECT_FALSE(runFrame(timeline));
    EXPECT_EQ(timeline.framesDrawn, 0);
    EXPECT_EQ(demo.beatPulse, 0.5f);
    EXPECT_EQ(demo.frameTime, 0.1f);  // the frame was still measured
}

TEST_F(MainLoop, UnknownScenesShowACleanFrameAndKeepPulsing) {
    for (int index : {0, 11, -3}) {
        demo.sceneIndex = index;
        demo.beatPulse = 0.0f;
        timeline.position = StepTimeline::orderRow(0, 4);
        glClearColor(0.0f, 0.0f, 0.0f, 0.0f);
        EXPECT_TRUE(runFrame(timeline));
        EXPECT_NEAR(demo.beatPulse, 0.7f, 1e-6f);
        EXPECT_EQ(demo.sceneIndex, index);
    }
    EXPECT_EQ(timeline.framesDrawn, 3);
}

}  // namespace
