#include "tests/support/demo_harness.h"

#include <gtest/gtest.h>
#include <SFML/OpenGL.hpp>
#include <unistd.h>

#include <cstdint>
#include <cstdio>

#include "driver/demo.h"
#include "driver/demo_globals.h"
#include "driver/loading.h"
#include "tests/support/test_window.h"

void loadDemoOnce() {
    static bool loaded = false;
    demo.renderWindow = &testWindow();
    if (loaded) return;
    if (chdir(ZANDAR_ASSET_DIR) != 0) {
        std::perror(ZANDAR_ASSET_DIR);
        std::abort();
    }
    setOpenGLState();
    captureStdout([] { loadDemoAssets(); });
    loaded = true;
}

void resetScenes(int sceneIndex) {
    static_cast<SceneStates&>(demo) = SceneStates{};
    demo.beatPulse = 0.0f;
    demo.sceneIndex = sceneIndex;
}

void drawSceneFrame(void (*scene)(), float frameTime) {
    demo.frameTime = frameTime;
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
    scene();
}

float runSceneUntil(void (*scene)(), float dt, const std::function<bool()>& pred,
                    float maxSeconds) {
    float t = 0.0f;
    const int maxFrames = static_cast<int>(maxSeconds / dt) + 1;
    for (int i = 0; i < maxFrames; ++i) {
        drawSceneFrame(scene, dt);
        t += dt;
        if (pred()) return t;
    }
    return -1.0f;
}

std::vector<float> changeTimes(void (*scene)(), float dt, const int& watched,
                               float maxSeconds) {
    std::vector<float> times;
    const int startIndex = demo.sceneIndex;
    int last = watched;
    float t = 0.0f;
    const int maxFrames = static_cast<int>(maxSeconds / dt) + 1;
    for (int i = 0; i < maxFrames && demo.sceneIndex == startIndex; ++i) {
        drawSceneFrame(scene, dt);
        t += dt;
        if (&watched != &demo.sceneIndex && watched != last) {
            times.push_back(t);
            last = watched;
        }
    }
    times.push_back(demo.sceneIndex != startIndex ? t : -1.0f);
    return times;
}

void expectPhaseDurations(const std::vector<float>& changeTimes,
                          const std::vector<float>& expectedSeconds, float step) {
    ASSERT_EQ(changeTimes.size(), expectedSeconds.size());
    float previous = 0.0f;
    for (size_t i = 0; i < changeTimes.size(); ++i) {
        EXPECT_NEAR(changeTimes[i] - previous, expectedSeconds[i], step * 1.5f) << "span " << i;
        previous = changeTimes[i];
    }
}

double meanBrightness() {
    std::vector<std::uint8_t> pixels = readBackBuffer();
    double sum = 0.0;
    for (size_t i = 0; i < pixels.size(); i += 4) {
        sum += pixels[i] + pixels[i + 1] + pixels[i + 2];
    }
    return sum / (3.0 * static_cast<double>(pixels.size() / 4));
}

std::string captureStdout(const std::function<void()>& body) {
    std::fflush(stdout);
    testing::internal::CaptureStdout();
    body();
    std::fflush(stdout);
    return testing::internal::GetCapturedStdout();
}
