// DemoGlobals: the one record of shared demo state.
//
// The driver fills it (window, clock, time units, audio handles, every image, sprite and model)
// and the scenes read it; each scene also keeps its own phase machine here, under its prefix.
// There is one instance, `demo`, with static storage. Everything loaded into it lives until the
// process ends and is never freed.
#pragma once

#include <SFML/Graphics.hpp>
#include <SFML/OpenGL.hpp>

#include <cstdint>
#include <memory>

struct ObjModel;
class AnimatedSprite;

constexpr int kWeedFrameCount = 10;

// Each scene's private phase machine, under the scene's prefix, as the program starts. Kept in a
// record of its own so that the whole set can be put back to its starting values at once.
struct SceneStates {
    // --- Scene 1: the opening model turns in and fades to black ---------------------------------
    bool scene1FirstFrame = true;
    int scene1Phase = 0;
    float scene1Timer = 0.0f;
    float scene1Angle = 90.0f;  // degrees about the model's own z axis
    float scene1Fade = 0.0f;    // alpha of the black overlay

    // --- Scene 2: the six title words rise and recede -------------------------------------------
    float scene2Timer = 0.0f;
    float scene2RiseY = -5.0f;
    float scene2RiseZ = 4.0f;

    // --- Scene 3: figure over the sand with guns and car, fade to white -------------------------
    int scene3Phase = 0;
    float scene3Timer = 0.0f;
    float scene3BlackFade = 255.0f;
    float scene3WhiteFade = 0.0f;
    float scene3ArabY = 720.0f;
    float scene3GunScale = 0.1f;
    float scene3CarScale = 0.0f;
    bool scene3ShowGuns = false;
    bool scene3ShowCar = false;

    // --- Scene 4: turning oil field, a character and a rising bubble ----------------------------
    float scene4Time = 0.0f;
    int scene4Phase = 0;
    float scene4Timer = 0.0f;
    float scene4Fade = 255.0f;
    float scene4QuistelX = 1280.0f;
    float scene4BubbleY = 860.0f;

    // --- Scene 5: scrolling desert with speech bubble -------------------------------------------
    int scene5Phase = 0;
    float scene5Timer = 0.0f;
    float scene5Fade = 255.0f;
    float scene5BrumloY = 720.0f;
    float scene5BubbleScale = 0.0f;
    float scene5SandX = 0.0f;
    float scene5PalmX[5] = {1280.0f, 2000.0f, 2700.0f, 3400.0f, 3900.0f};

    // --- Scene 6: spinning credits --------------------------------------------------------------
    int scene6Phase = 0;
    float scene6Timer = 0.0f;
    float scene6Angle = 0.0f;
    float scene6Grow = 0.0f;

    // --- Scene 7: cube wall with spinning props -------------------------------------------------
    bool scene7FirstFrame = true;
    float scene7Time = 0.0f;
    float scene7PatternTimer = 0.0f;
    int scene7Pattern = 0;
    int scene7Phase = 0;
    float scene7Grow = 0.0f;
    float scene7Spin = 0.0f;

    // --- Scene 8: night oasis with text scroll --------------------------------------------------
    float scene8Time = 0.0f;
    int scene8Phase = 0;
    float scene8HoldTimer = 0.0f;
    float scene8Fade = 255.0f;
    float scene8ScrollY = 1780.0f;

    // --- Scene 9: final text scroll -------------------------------------------------------------
    float scene9Time = 0.0f;
    float scene9ScrollY = 1200.0f;
};

struct DemoGlobals : SceneStates {
    // --- Timing and control -----------------------------------------------------------------
    int screenWidth = 1280;
    int screenHeight = 720;
    sf::RenderWindow* renderWindow = nullptr;  // the one window; sprites are drawn through it
    int sceneIndex = 1;                        // scene playing, 1..9; 10 ends the demo
    float frameTime = 0.0f;                    // duration of the previous frame, seconds
    sf::Clock demoClock;                       // restarted when the main loop starts
    float lastClockTime = 0.0f;                // clock reading of the previous frame

    const float timeUnit = 4.0f;  // every phase and scene length is a multiple of these
    const float timeUnitHalf = timeUnit / 2.0f;
    const float timeUnitQuarter = timeUnit / 4.0f;

    std::uint32_t musicHandle = 0;   // the looping module; its row drives beatPulse
    std::uint32_t streamHandle = 0;  // the MP3 stream, played once
    float beatPulse = 0.0f;          // 1 on every fourth row of the module, falling to 0

    // --- Static images: the pixel sources of the sprites of the same stem ----------------------
    // Made by the loader: a texture needs the window's OpenGL context, which does not exist yet
    // when the program starts. Destroyed after main returns.
    std::unique_ptr<sf::Texture> loadingImage, blackscreenImage, bg_blueImage, bg_nightImage,
        scrollImage, scroll2Image, whitescreenImage, sandImage, palmImage, quistel_bubbleImage,
        quistelImage, bmwImage, arabImage, brumlo_bubbleImage, brumloImage, ak47Image, filterImage;

    // --- Sprites, named after their files (hyphens become underscores) -------------------------
    sf::Sprite* loading = nullptr;
    sf::Sprite* blackscreen = nullptr;
    sf::Sprite* bg_blue = nullptr;
    sf::Sprite* bg_night = nullptr;
    sf::Sprite* scroll = nullptr;
    sf::Sprite* scroll2 = nullptr;
    sf::Sprite* whitescreen = nullptr;
    sf::Sprite* sand = nullptr;
    sf::Sprite* palm = nullptr;
    sf::Sprite* quistel_bubble = nullptr;
    sf::Sprite* quistel = nullptr;
    sf::Sprite* bmw = nullptr;
    sf::Sprite* arab = nullptr;
    sf::Sprite* brumlo_bubble = nullptr;
    sf::Sprite* brumlo = nullptr;
    sf::Sprite* ak47 = nullptr;
    sf::Sprite* cred_1 = nullptr;
    sf::Sprite* cred_2 = nullptr;
    sf::Sprite* cred_3 = nullptr;
    sf::Sprite* cred_4 = nullptr;
    sf::Sprite* cross = nullptr;
    sf::Sprite* weed3_1 = nullptr;
    sf::Sprite* weed3_2 = nullptr;
    sf::Sprite* weed3_3 = nullptr;
    sf::Sprite* weed3_4 = nullptr;
    sf::Sprite* weed3_5 = nullptr;
    sf::Sprite* weed3_6 = nullptr;
    sf::Sprite* filter = nullptr;

    // The flip-book: frames 1..6 forward, then 5..2 back, so cycling plays back and forth.
    sf::Sprite* weedFrames[kWeedFrameCount] = {};

    // --- Models and the animated sprite ---------------------------------------------------------
    ObjModel* asd = nullptr;
    ObjModel* vorn = nullptr;
    ObjModel* ekka = nullptr;
    ObjModel* trudel = nullptr;
    ObjModel* mips = nullptr;
    ObjModel* oo = nullptr;
    ObjModel* zandar = nullptr;
    ObjModel* oljefalt = nullptr;
    ObjModel* oasis = nullptr;
    // The two models that fill the window, compiled once (compileModelSmoothColor).
    GLuint oljefaltList = 0;
    GLuint oasisList = 0;
    AnimatedSprite* weedAnimation = nullptr;
};

extern DemoGlobals demo;
