// The nine scenes, driven frame by frame in the test window with the real assets: their phases
// and hand-overs, the comparisons at each threshold, long frames, the fades' bounds, the beat's
// terms, and frames read back at moments where the picture is known.
#include <gtest/gtest.h>
#include <SFML/OpenGL.hpp>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "driver/demo.h"
#include "driver/demo_globals.h"
#include "driver/loading.h"
#include "effects/animated_sprite.h"
#include "scenes/scenes.h"
#include "tests/support/test_window.h"

namespace {

constexpr float kStep = 1.0f / 60.0f;
void (*const kRun[])() = {nullptr, scene1, scene2, scene3, scene4, scene5,
                          scene6,  scene7, scene8, scene9};

struct Scenes : ::testing::Test {
    // The demo's own start-up, once per process: the test window, its OpenGL state, every asset.
    static void SetUpTestSuite() {
        demo.renderWindow = &testWindow();
        ASSERT_EQ(chdir(ZANDAR_ASSET_DIR), 0) << ZANDAR_ASSET_DIR;
        setOpenGLState();
        testing::internal::CaptureStdout();
        loadDemoAssets();
        testing::internal::GetCapturedStdout();
    }

    // Every scene's state as the program starts, and what the scenes before this one leave:
    // fog on until scene 7 switches it off, the black overlay opaque after scene 5.
    static void start(int index) {
        running = index;
        static_cast<SceneStates&>(demo) = SceneStates{};
        demo.beatPulse = 0.0f;
        demo.sceneIndex = index;
        index <= 7 ? glEnable(GL_FOG) : glDisable(GL_FOG);
        demo.blackscreen->setColor(sf::Color(255, 255, 255, index == 6 ? 255 : 0));
    }

    // One frame of the scene started, as the main loop runs it, without showing it.
    static void frame(float dt) {
        demo.frameTime = dt;
        glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
        glLoadIdentity();
        kRun[running]();
    }
    static inline int running = 1;

    // Mean of red, green and blue over the back buffer, 0..255.
    static double brightness() {
        const std::vector<std::uint8_t> p = readBackBuffer();
        double sum = 0.0;
        for (size_t i = 0; i < p.size(); i += 4) sum += p[i] + p[i + 1] + p[i + 2];
        return sum / (3.0 * static_cast<double>(p.size() / 4));
    }
};

struct Scene {
    int index;
    int SceneStates::*phase;     // null for a scene of one phase
    std::vector<float> seconds;  // each phase's length; the last one ends in the hand-over
    float SceneStates::*timer;   // restarts from 0 at each phase change, or null
    float SceneStates::*fade;    // an overlay fade held within 0..255, or null
    sf::Sprite* DemoGlobals::*overlay;  // the overlay faded in at the end, or null
    int firstBlack;  // the black overlay's alpha after a first frame of 1/60 s, or -1
    bool (*leaves)();  // what the scene leaves behind, played at 60 frames a second
};

bool near(float value, float expected, float within) {
    return std::abs(value - expected) <= within;
}

const Scene kScenes[] = {
    {1, &SceneStates::scene1Phase, {2, 2, 6, 2}, &SceneStates::scene1Timer,
     &SceneStates::scene1Fade, &DemoGlobals::blackscreen, 0,
     [] { return near(demo.scene1Angle, -90.0f, 1.0f); }},  // the turn out is not held
    {2, nullptr, {16}, nullptr, nullptr, nullptr, -1,
     [] { return near(demo.scene2RiseY, 3.0f, 0.05f) && near(demo.scene2RiseZ, -4.0f, 0.05f); }},
    {3, &SceneStates::scene3Phase, {4, 4, 1, 1, 2, 2, 2}, &SceneStates::scene3Timer,
     &SceneStates::scene3WhiteFade, &DemoGlobals::whitescreen, 253,
     [] {
         return demo.scene3ShowCar && !demo.scene3ShowGuns &&
                near(demo.scene3CarScale, 2.0f, 0.02f) && near(demo.scene3GunScale, 0.1f, 0.02f);
     }},
    {4, &SceneStates::scene4Phase, {2, 8, 2}, nullptr, &SceneStates::scene4Fade,
     &DemoGlobals::blackscreen, 252,
     [] {  // Quistel stops at 632 or one step below; the bubble never stops rising
         return near(demo.scene4QuistelX, 632.0f - 200.0f * kStep, 200.0f * kStep) &&
                near(demo.scene4BubbleY, -140.0f, 2.0f);
     }},
    {5, &SceneStates::scene5Phase, {2, 2, 1, 2, 1, 4, 2}, &SceneStates::scene5Timer, nullptr,
     &DemoGlobals::blackscreen, 252,
     [] {  // the last two palms never come into view; scene 6 finds the palm at 3/4
         return near(demo.scene5SandX, -60.0f * 14.0f, 10.0f) && demo.scene5PalmX[3] > 1280.0f &&
                demo.palm->getScale() == sf::Vector2f(0.75f, 0.75f);
     }},
    {6, &SceneStates::scene6Phase, {2, 2, 2, 2}, &SceneStates::scene6Timer, nullptr, nullptr, -1,
     [] { return true; }},
    {7, &SceneStates::scene7Phase, {2, 2, 2, 2}, &SceneStates::scene7Time, nullptr, nullptr, -1,
     [] { return true; }},
    {8, &SceneStates::scene8Phase, {2, 16, 2}, nullptr, &SceneStates::scene8Fade,
     &DemoGlobals::blackscreen, 252,
     [] {  // the scroll rises through every phase
         return near(demo.scene8ScrollY, 1780.0f - 100.0f * demo.scene8Time, 0.5f) &&
                demo.scroll->getScale() == sf::Vector2f(3.0f, 3.0f);
     }},
    {9, nullptr, {16}, nullptr, nullptr, nullptr, -1, [] { return true; }},
};

int phaseOf(const Scene& s) {
    return s.phase ? demo.*(s.phase) : 0;
}

TEST_F(Scenes, PhasesLastTheirTimeAndTheLastFrameIsDrawnUnderTheFullFade) {
    for (const Scene& s : kScenes) {
        SCOPED_TRACE("scene " + std::to_string(s.index));
        start(s.index);
        frame(0.0f);  // a zero step changes nothing
        EXPECT_EQ(phaseOf(s), 0);
        EXPECT_EQ(demo.sceneIndex, s.index);
        std::vector<float> changes;
        float t = 0.0f;
        for (int phase = 0; demo.sceneIndex == s.index && t < 60.0f;) {
            frame(kStep);
            t += kStep;
            if (t == kStep && s.firstBlack >= 0) {  // the fades in start almost black
                EXPECT_EQ(demo.blackscreen->getColor().a, s.firstBlack);
                EXPECT_TRUE(s.firstBlack == 0 || brightness() < 8.0);
            }
            if (phaseOf(s) != phase || demo.sceneIndex != s.index) {
                changes.push_back(t);
                phase = phaseOf(s);
            }
        }
        EXPECT_EQ(demo.sceneIndex, s.index + 1);
        ASSERT_EQ(changes.size(), s.seconds.size());
        for (size_t i = 0; i < changes.size(); ++i) {  // each change may cost a frame
            EXPECT_NEAR(changes[i] - (i ? changes[i - 1] : 0.0f), s.seconds[i], 1.5f * kStep)
                << "phase " << i;
        }
        if (s.overlay) {
            EXPECT_EQ((demo.*(s.overlay))->getColor().a, 255);
            const double shown = brightness();
            if (s.overlay == &DemoGlobals::whitescreen) {
                EXPECT_GT(shown, 250.0);
            } else {
                EXPECT_LT(shown, 1.0);
            }
        }
        EXPECT_TRUE(s.leaves()) << "what the scene leaves behind";
    }
}

TEST_F(Scenes, ALongFrameEndsOnePhaseDropsTheRestAndHoldsTheFades) {
    for (const Scene& s : kScenes) {
        SCOPED_TRACE("scene " + std::to_string(s.index));
        start(s.index);
        for (size_t phase = 1; phase <= s.seconds.size(); ++phase) {
            frame(30.0f);
            const bool last = phase == s.seconds.size();
            EXPECT_EQ(demo.sceneIndex, last ? s.index + 1 : s.index) << "frame " << phase;
            EXPECT_TRUE(last || phaseOf(s) == static_cast<int>(phase)) << phaseOf(s);
            EXPECT_TRUE(last || !s.timer || demo.*(s.timer) == 0.0f);
            EXPECT_TRUE(!s.fade || demo.*(s.fade) == 0.0f || demo.*(s.fade) == 255.0f);
            EXPECT_TRUE(s.index != 7 || demo.scene7Pattern == static_cast<int>(phase) % 4);
        }
        EXPECT_TRUE(!s.overlay || (demo.*(s.overlay))->getColor().a == 255);  // even past 255
    }
}

// A timer that lands exactly on its threshold ends the phase where "reaching" counts, and not
// where only "beyond" does; a little more always ends it.
TEST_F(Scenes, TimedPhasesEndOnReachingOrOnlyBeyondTheirThreshold) {
    const struct {
        int scene;
        int SceneStates::*watched;  // what changes when the phase ends (null: sceneIndex)
        int phase;
        float SceneStates::*timer;
        float threshold;
        bool reaching;
    } cases[] = {
        {1, &SceneStates::scene1Phase, 0, &SceneStates::scene1Timer, 2, false},
        {1, &SceneStates::scene1Phase, 2, &SceneStates::scene1Timer, 6, false},
        {1, nullptr, 3, &SceneStates::scene1Timer, 2, true},
        {2, nullptr, 0, &SceneStates::scene2Timer, 16, false},
        {3, &SceneStates::scene3Phase, 2, &SceneStates::scene3Timer, 1, true},
        {3, &SceneStates::scene3Phase, 3, &SceneStates::scene3Timer, 1, true},
        {3, &SceneStates::scene3Phase, 4, &SceneStates::scene3Timer, 2, false},
        {3, &SceneStates::scene3Phase, 5, &SceneStates::scene3Timer, 2, false},
        {3, nullptr, 6, &SceneStates::scene3Timer, 2, true},
        {4, &SceneStates::scene4Phase, 1, &SceneStates::scene4Timer, 8, true},
        {5, &SceneStates::scene5Phase, 1, &SceneStates::scene5Timer, 2, false},
        {5, &SceneStates::scene5Phase, 2, &SceneStates::scene5Timer, 1, false},
        {5, &SceneStates::scene5Phase, 3, &SceneStates::scene5Timer, 2, false},
        {5, &SceneStates::scene5Phase, 4, &SceneStates::scene5Timer, 1, false},
        {5, &SceneStates::scene5Phase, 5, &SceneStates::scene5Timer, 4, false},
        {5, nullptr, 6, &SceneStates::scene5Timer, 2, true},
        {6, &SceneStates::scene6Phase, 0, &SceneStates::scene6Timer, 2, false},
        {7, &SceneStates::scene7Phase, 0, &SceneStates::scene7Time, 2, false},
        {7, &SceneStates::scene7Pattern, 0, &SceneStates::scene7PatternTimer, 0.25f, false},
        {8, &SceneStates::scene8Phase, 1, &SceneStates::scene8HoldTimer, 16, true},
        {9, nullptr, 0, &SceneStates::scene9Time, 16, false},
    };
    for (const auto& c : cases) {
        const Scene& s = kScenes[c.scene - 1];
        SCOPED_TRACE("scene " + std::to_string(c.scene) + " phase " + std::to_string(c.phase));
        start(c.scene);
        if (s.phase) demo.*(s.phase) = c.phase;
        if (s.fade) demo.*(s.fade) = 0.0f;  // the holds run with the overlay clear
        demo.*(c.timer) = c.threshold - 0.5f;
        auto ended = [&] {
            return demo.sceneIndex != c.scene || (c.watched && demo.*(c.watched) != c.phase);
        };
        frame(0.5f);  // exact in binary: the timer is now the threshold itself
        EXPECT_EQ(ended(), c.reaching);
        if (!ended()) {
            frame(0.01f);
            EXPECT_TRUE(ended());
        }
    }
}

TEST_F(Scenes, BeatSwellsWhatItShouldByItsShare) {
    const struct {
        int scene;
        void (*setUp)();
        sf::Sprite* DemoGlobals::*sprite;
        float calm, onBeat;
    } cases[] = {
        {3, [] { demo.scene3Phase = 4, demo.scene3ShowGuns = true, demo.scene3GunScale = 1.1f; },
         &DemoGlobals::ak47, 1.1f, 1.1f + 1.0f / 12.0f},
        {4, [] {}, &DemoGlobals::quistel_bubble, 0.8f, 1.05f},
        {5, [] { demo.scene5Phase = 5, demo.scene5BubbleScale = 1.0f; },
         &DemoGlobals::brumlo_bubble, 1.0f, 1.125f},
        // Without a size of its own the bubble is not placed, so the beat alone never shows it.
        {5, [] { demo.scene5Phase = 5, demo.brumlo_bubble->setScale(0.0f, 0.0f); },
         &DemoGlobals::brumlo_bubble, 0.0f, 0.0f},
        {6, [] {}, &DemoGlobals::cross, 0.75f, 1.0f},
        {6, [] {}, &DemoGlobals::filter, 1.0f, 1.25f},
        {7, [] {}, &DemoGlobals::ak47, 0.5f, 0.75f},
        {7, [] {}, &DemoGlobals::filter, 1.4f, 1.65f},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("scene " + std::to_string(c.scene));
        start(c.scene);
        c.setUp();
        frame(0.0f);
        EXPECT_FLOAT_EQ((demo.*(c.sprite))->getScale().x, c.calm);
        demo.beatPulse = 1.0f;
        frame(0.0f);
        EXPECT_FLOAT_EQ((demo.*(c.sprite))->getScale().x, c.onBeat);
    }
    // Scene 2: only the last word grows, to 1.625 times its size from 1.5.
    start(2);
    demo.scene2RiseY = -0.5f;  // the block near the middle of the view
    demo.scene2RiseZ = 1.0f;
    frame(0.0f);
    const double calm = brightness();
    EXPECT_GT(calm, 2.0);
    demo.beatPulse = 1.0f;
    frame(0.0f);
    EXPECT_GT(brightness(), calm);
}

TEST_F(Scenes, SpritesArePlacedAndTurnedAsTheScenesShowThem) {
    start(3);  // the guns: drawn mirrored on the right, and left that way for scene 7
    demo.scene3Phase = 4, demo.scene3ShowGuns = true;
    frame(0.0f);
    EXPECT_LT(demo.ak47->getTextureRect().width, 0);
    EXPECT_EQ(demo.ak47->getPosition(), sf::Vector2f(980.0f, 360.0f));

    start(4);  // Quistel stands on the window's bottom edge
    demo.scene4QuistelX = 700.0f;
    frame(0.0f);
    const sf::FloatRect q = demo.quistel->getGlobalBounds();
    EXPECT_FLOAT_EQ(q.top + q.height, 720.0f);

    start(6);  // the next card starts small; the cards alternate their turn
    demo.scene6Timer = 1.99f;
    frame(0.02f);
    ASSERT_EQ(demo.scene6Phase, 1);
    frame(0.1f);
    EXPECT_FLOAT_EQ(demo.cred_2->getScale().x, 0.25f + 0.05f);
    EXPECT_NEAR(demo.cred_2->getRotation(), 360.0f - 0.4f, 1e-3f);  // counter-clockwise
    EXPECT_EQ(demo.cross->getPosition(), sf::Vector2f(670.0f, 220.0f));
    demo.scene6Phase = 2;
    frame(0.1f);
    EXPECT_NEAR(demo.cred_3->getRotation(), 0.8f, 1e-3f);  // clockwise
    const int shown = demo.weedAnimation->frameIndex;
    frame(10.0f);  // a long frame steps the flip-book once
    EXPECT_EQ(demo.weedAnimation->frameIndex, (shown + 1) % kWeedFrameCount);

    start(7);  // the first frame switches fog off and sets the props up
    frame(kStep);
    EXPECT_FALSE(glIsEnabled(GL_FOG));
    for (sf::Sprite* s : {demo.ak47, demo.bmw, demo.arab, demo.palm}) {
        EXPECT_EQ(s->getPosition(), sf::Vector2f(640.0f, 360.0f));  // the props at the middle
    }
    EXPECT_EQ(demo.arab->getOrigin(), sf::Vector2f(170.0f, 340.0f));
    EXPECT_EQ(demo.palm->getOrigin(), sf::Vector2f(279.0f, 307.0f));
}

// Share of the frame showing scene 7's grey clear colour, under the filter's faint grain.
double greyShare() {
    const std::vector<std::uint8_t> p = readBackBuffer();
    auto near128 = [](int c) { return c >= 116 && c <= 140; };
    size_t grey = 0;
    for (size_t i = 0; i < p.size(); i += 4) {
        grey += near128(p[i]) && near128(p[i + 1]) && near128(p[i + 2]);
    }
    return static_cast<double>(grey) / static_cast<double>(p.size() / 4);
}

// The front of a cube of the still wall where the window shows it: 45 degrees tall at 1280/720.
Rgba cubeFront(int row, int column) {
    const double x = -8.25 + 0.5 * (column + 1), y = -4.25 + 0.5 * (16 - row), depth = 4.375;
    const double h = depth * std::tan(22.5 * M_PI / 180.0), w = h * 1280.0 / 720.0;
    return backBufferPixel(int(640 + 640 * x / w), int(360 - 360 * y / h));
}

TEST_F(Scenes, CubeWallShowsItsStripesBetweenGreyAndSwellsWithTheBeat) {
    // Cells (6, 11), (6, 12), (7, 11) and (7, 12), dark or not, for each pattern: odd rows, even
    // rows, odd columns, even columns.
    const bool dark[4][4] = {{0, 0, 1, 1}, {1, 1, 0, 0}, {1, 0, 1, 0}, {0, 1, 0, 1}};
    start(7);
    // As at start-up: the models' colour draws switch colour-material tracking on, and after
    // them every cube takes the colour the last model left instead of its own.
    glDisable(GL_COLOR_MATERIAL);
    for (int pattern = 0; pattern < 4; ++pattern) {
        demo.scene7Pattern = pattern;
        frame(0.0f);  // at time 0 the wall stands still, square to the view
        for (int cell = 0; cell < 4; ++cell) {
            const Rgba c = cubeFront(6 + cell / 2, 11 + cell % 2);
            EXPECT_EQ(c.r < 110, dark[pattern][cell]) << "pattern " << pattern << " cell " << cell
                                                      << " red " << int(c.r);
        }
    }
    const double calm = greyShare();
    EXPECT_GT(calm, 0.3);
    demo.beatPulse = 1.0f;  // cubes twice the size: they touch
    frame(0.0f);
    EXPECT_LT(greyShare(), calm - 0.1);

    demo.beatPulse = 0.0f;
    demo.scene7Pattern = 3;
    demo.scene7PatternTimer = 0.25f;
    frame(kStep);
    EXPECT_EQ(demo.scene7Pattern, 0);
    EXPECT_GT(greyShare(), 0.3);  // the wrap frame is drawn like any other
}

// The flip-book over the loader's table: the six frames forward and back, one step a call at
// most, whatever the call's time.
TEST_F(Scenes, FlipBookPlaysTheSixFramesForwardAndBack) {
    sf::Sprite* const frames[] = {demo.weed3_1, demo.weed3_2, demo.weed3_3,
                                  demo.weed3_4, demo.weed3_5, demo.weed3_6};
    AnimatedSprite book(demo.weedFrames, kWeedFrameCount, 640.0f, 360.0f, 0.15f);
    std::vector<long> shown;
    for (float dt : {0.1f, 0.1f, 0.1f, 0.1f, 0.1f, 0.1f, 5.0f, 0.1f, 5.0f, 5.0f, 5.0f, 5.0f, 5.0f,
                     5.0f, 5.0f, 5.0f}) {
        shown.push_back(std::find(frames, frames + 6, book.currentFrame) - frames + 1);
        EXPECT_EQ(book.currentFrame->getPosition(), sf::Vector2f(640.0f, 360.0f));
        book.update(dt);
    }
    EXPECT_EQ(shown, (std::vector<long>{1, 1, 2, 2, 3, 3, 4, 5, 5, 6, 5, 4, 3, 2, 1, 2}));
}

}  // namespace
