// The cost of one frame's building blocks in the demo's own window set-up (1280 x 720, the
// start-up OpenGL state, fog on): a frame that only clears and displays, full-window sprites
// drawn plainly through the window library (blended, smoothed, fogged, as before) and through the
// demo's drawSprite, the state saving around each sprite, and texturing of a model. Each
// iteration is one whole frame, display included; times are wall-clock, since the software
// rasteriser works on threads of its own.
//
// Run under a display: xvfb-run -a -s "-screen 0 1280x720x24" build-perf/bench/frame_bench
#include <benchmark/benchmark.h>

#include <SFML/Graphics.hpp>
#include <SFML/OpenGL.hpp>
#include <cstdio>
#include <memory>

#include "driver/demo.h"
#include "driver/demo_globals.h"
#include "driver/sprites.h"
#include "glm/demo_models.h"
#include "scenes/neutral_texture.h"
#include "scenes/scenes.h"

namespace {

struct Stage {
    std::unique_ptr<sf::RenderWindow> window;
    sf::Texture sky;     // bg_blue.png: opaque, full window
    sf::Texture filter;  // filter.png: blended, full window
    sf::Texture dot;     // 1 x 1 opaque
    ObjModel* model = nullptr;
};

Stage& stage() {
    static Stage s = [] {
        Stage st;
        st.window =
            std::make_unique<sf::RenderWindow>(sf::VideoMode(1280, 720, 32), "frame_bench",
                                               sf::Style::None, sf::ContextSettings(24, 8, 0));
        demo.renderWindow = st.window.get();
        setOpenGLState();
        loadSpriteTexture(st.sky, ZANDAR_ASSET_DIR "/bg_blue.png");
        loadSpriteTexture(st.filter, ZANDAR_ASSET_DIR "/filter.png");
        sf::Image white;
        white.create(1, 1, sf::Color::White);
        loadSpriteTexture(st.dot, white);
        st.model = loadModel(ZANDAR_ASSET_DIR "/models/asd.obj");
        // The oasis brings textures; the last one loaded stays bound, as after the demo's loading.
        loadModel(ZANDAR_ASSET_DIR "/models/oasis.obj");
        return st;
    }();
    return s;
}

void beginFrame() {
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    glLoadIdentity();
}

sf::Sprite centred(sf::Texture& texture) {
    sf::Sprite sprite(texture);
    sprite.setOrigin(640.0f, 360.0f);
    sprite.setPosition(640.0f, 360.0f);
    return sprite;
}

void BM_ClearAndDisplay(benchmark::State& state) {
    Stage& s = stage();
    for (auto _ : state) {
        beginFrame();
        s.window->display();
    }
}
BENCHMARK(BM_ClearAndDisplay)->UseRealTime()->Unit(benchmark::kMillisecond);

// One full-window sprite per frame through the window library, with its state saving.
void fullWindowSprite(benchmark::State& state, sf::Texture& texture, sf::BlendMode blend,
                      bool fog = true) {
    Stage& s = stage();
    sf::Sprite sprite = centred(texture);
    for (auto _ : state) {
        beginFrame();
        s.window->pushGLStates();
        if (!fog) {
            glDisable(GL_FOG);
        }
        s.window->draw(sprite, sf::RenderStates(blend));
        s.window->popGLStates();
        s.window->display();
    }
}

void BM_FullWindowBlended(benchmark::State& state) {
    fullWindowSprite(state, stage().filter, sf::BlendAlpha);
}
BENCHMARK(BM_FullWindowBlended)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_FullWindowBlendedFogOff(benchmark::State& state) {
    fullWindowSprite(state, stage().filter, sf::BlendAlpha, false);
}
BENCHMARK(BM_FullWindowBlendedFogOff)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_FullWindowOpaqueUnblendedFogOff(benchmark::State& state) {
    fullWindowSprite(state, stage().sky, sf::BlendNone, false);
}
BENCHMARK(BM_FullWindowOpaqueUnblendedFogOff)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_FullWindowOpaqueBlended(benchmark::State& state) {
    fullWindowSprite(state, stage().sky, sf::BlendAlpha);
}
BENCHMARK(BM_FullWindowOpaqueBlended)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_FullWindowOpaqueUnblended(benchmark::State& state) {
    fullWindowSprite(state, stage().sky, sf::BlendNone);
}
BENCHMARK(BM_FullWindowOpaqueUnblended)->UseRealTime()->Unit(benchmark::kMillisecond);

// The same two pictures through the demo's own drawSprite.
void demoSprite(benchmark::State& state, sf::Texture& texture) {
    Stage& s = stage();
    sf::Sprite sprite = centred(texture);
    for (auto _ : state) {
        beginFrame();
        drawSprite(&sprite);
        s.window->display();
    }
}

void BM_DemoDrawSpriteBlended(benchmark::State& state) {
    demoSprite(state, stage().filter);
}
BENCHMARK(BM_DemoDrawSpriteBlended)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_DemoDrawSpriteOpaque(benchmark::State& state) {
    demoSprite(state, stage().sky);
}
BENCHMARK(BM_DemoDrawSpriteOpaque)->UseRealTime()->Unit(benchmark::kMillisecond);

// The demo's own sprite draw: the opaque sky goes unblended, a transparent overlay is skipped.
void BM_DemoDrawSpriteSkyAndClearOverlay(benchmark::State& state) {
    Stage& s = stage();
    sf::Sprite sky = centred(s.sky);
    sf::Sprite overlay = centred(s.filter);
    overlay.setColor(sf::Color(255, 255, 255, 0));
    for (auto _ : state) {
        beginFrame();
        drawSprite(&sky);
        drawSprite(&overlay);
        s.window->display();
    }
}
BENCHMARK(BM_DemoDrawSpriteSkyAndClearOverlay)->UseRealTime()->Unit(benchmark::kMillisecond);

// Twenty 1-pixel sprites: what the state saving around each draw costs, with and without it.
void BM_TwentyTinySpritesSaved(benchmark::State& state) {
    Stage& s = stage();
    sf::Sprite dot(s.dot);
    for (auto _ : state) {
        beginFrame();
        for (int i = 0; i < 20; ++i) {
            dot.setPosition(static_cast<float>(i), 0.0f);
            s.window->pushGLStates();
            s.window->draw(dot);
            s.window->popGLStates();
        }
        s.window->display();
    }
}
BENCHMARK(BM_TwentyTinySpritesSaved)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_TwentyTinySpritesUnsaved(benchmark::State& state) {
    Stage& s = stage();
    sf::Sprite dot(s.dot);
    s.window->pushGLStates();
    for (auto _ : state) {
        beginFrame();
        for (int i = 0; i < 20; ++i) {
            dot.setPosition(static_cast<float>(i), 0.0f);
            s.window->draw(dot);
        }
        s.window->display();
    }
    s.window->popGLStates();
}
BENCHMARK(BM_TwentyTinySpritesUnsaved)->UseRealTime()->Unit(benchmark::kMillisecond);

// Scene 1's model as scene 1 draws it, with the model texture bound, and with texturing off.
void drawModelFrame(benchmark::State& state, bool neutralOff) {
    Stage& s = stage();
    setMaterialColor(0.0f, 0.0f, 0.0f);
    for (auto _ : state) {
        beginFrame();
        glPushMatrix();
        glTranslatef(0.0f, 0.0f, -1.5f);
        glRotatef(90.0f, 1.0f, 0.0f, 0.0f);
        if (neutralOff) {
            NeutralTextureOff untextured;
            drawModelFlatColor(s.model);
        } else {
            drawModelFlatColor(s.model);
        }
        glPopMatrix();
        s.window->display();
    }
}

void BM_ModelTextured(benchmark::State& state) {
    drawModelFrame(state, false);
}
BENCHMARK(BM_ModelTextured)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_ModelNeutralTextureOff(benchmark::State& state) {
    drawModelFrame(state, true);
}
BENCHMARK(BM_ModelNeutralTextureOff)->UseRealTime()->Unit(benchmark::kMillisecond);

// Scene 7's wall of 512 cubes as the scene draws it, on a stripe pattern of rows (every cube of a
// row the same colour) and of columns (the colour changes from cube to cube).
void cubeWall(benchmark::State& state, int pattern) {
    Stage& s = stage();
    glDisable(GL_FOG);
    demo.scene7Time = 0.3f;
    demo.scene7Pattern = pattern;
    demo.beatPulse = 0.2f;
    for (auto _ : state) {
        beginFrame();
        drawScene7CubeWall();
        s.window->display();
        demo.scene7Time += 0.016f;
    }
    glEnable(GL_FOG);
}

void BM_CubeWallRows(benchmark::State& state) {
    cubeWall(state, 0);
}
BENCHMARK(BM_CubeWallRows)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_CubeWallColumns(benchmark::State& state) {
    cubeWall(state, 2);
}
BENCHMARK(BM_CubeWallColumns)->UseRealTime()->Unit(benchmark::kMillisecond);

// Scene 4's oil field from its display list as the scene draws it (turning, texturing off), and
// what its parts cost: without fog, with no pixel to fill (the vertex work alone), and with the
// sky after it where the depth buffer is still clear.
enum class Field { AsDrawn, FogOff, NoPixels, SkyBehind };

void oilField(benchmark::State& state, Field variant) {
    Stage& s = stage();
    static const GLuint list =
        compileModelSmoothColor(loadModel(ZANDAR_ASSET_DIR "/models/oljefalt.obj"));
    sf::Sprite sky = centred(s.sky);
    float turn = 0.0f;
    for (auto _ : state) {
        beginFrame();
        if (variant == Field::FogOff) glDisable(GL_FOG);
        if (variant == Field::NoPixels) {
            glEnable(GL_SCISSOR_TEST);
            glScissor(0, 0, 1, 1);
        }
        glPushMatrix();
        glRotatef(turn += 1.0f, 0.0f, 1.0f, 0.0f);
        {
            NeutralTextureOff untextured;
            glCallList(list);
        }
        glPopMatrix();
        glEnable(GL_FOG);
        glDisable(GL_SCISSOR_TEST);
        if (variant == Field::SkyBehind) drawSpriteBehind(&sky);
        s.window->display();
    }
}

void BM_OilField(benchmark::State& state) {
    oilField(state, Field::AsDrawn);
}
BENCHMARK(BM_OilField)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_OilFieldFogOff(benchmark::State& state) {
    oilField(state, Field::FogOff);
}
BENCHMARK(BM_OilFieldFogOff)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_OilFieldNoPixels(benchmark::State& state) {
    oilField(state, Field::NoPixels);
}
BENCHMARK(BM_OilFieldNoPixels)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_OilFieldSkyBehind(benchmark::State& state) {
    oilField(state, Field::SkyBehind);
}
BENCHMARK(BM_OilFieldSkyBehind)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
