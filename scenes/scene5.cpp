// Scene 5: dunes and palms scroll left under the day sky; Brumlo rises from the sand, says its
// piece in a bubble that throbs with the beat, and sinks again. Black fades in and out; 14 seconds.
#include "driver/demo_globals.h"
#include "driver/sprites.h"
#include "scenes/fades.h"
#include "scenes/scenes.h"

namespace {

enum Phase {
    kFadeIn = 0,
    kWait = 1,
    kFigureRises = 2,
    kWaitAgain = 3,
    kBubbleGrows = 4,
    kHold = 5,
    kSinkAndFadeOut = 6
};

constexpr float kBrumloTopY = 106.0f;

void advance(float dt) {
    DemoGlobals& d = demo;
    switch (d.scene5Phase) {
        case kFadeIn:
            if (fadeToClear(d.scene5Fade, (255.0f / d.timeUnitHalf) * dt)) {
                d.scene5Phase = kWait;
            }
            break;
        case kWait:
            d.scene5Timer += dt;
            if (d.scene5Timer > d.timeUnitHalf) {
                d.scene5Timer = 0.0f;
                d.scene5Phase = kFigureRises;
            }
            break;
        case kFigureRises:
            d.scene5BrumloY -= (614.0f / d.timeUnitQuarter) * dt;
            d.scene5Timer += dt;
            if (d.scene5Timer > d.timeUnitQuarter) {
                d.scene5BrumloY = kBrumloTopY;
                d.scene5Timer = 0.0f;
                d.scene5Phase = kWaitAgain;
            }
            break;
        case kWaitAgain:
            d.scene5Timer += dt;
            if (d.scene5Timer > d.timeUnitHalf) {
                d.scene5Timer = 0.0f;
                d.scene5Phase = kBubbleGrows;
            }
            break;
        case kBubbleGrows:
            d.scene5Timer += dt;
            d.scene5BubbleScale += (1.0f / d.timeUnitQuarter) * dt;
            if (d.scene5Timer > d.timeUnitQuarter) {
                d.scene5Timer = 0.0f;
                d.scene5Phase = kHold;
            }
            break;
        case kHold:
            d.scene5Timer += dt;
            if (d.scene5Timer > d.timeUnit) {
                d.scene5Timer = 0.0f;
                d.scene5Phase = kSinkAndFadeOut;
            }
            break;
        case kSinkAndFadeOut:
            d.scene5BrumloY += (514.0f / d.timeUnitQuarter) * dt;
            if (d.scene5BubbleScale > 0.0f) {
                d.scene5BubbleScale -= (1.0f / d.timeUnitQuarter) * dt;
            }
            d.scene5Fade += (255.0f / d.timeUnitHalf) * dt;
            d.scene5Timer += dt;
            if (d.scene5Timer >= d.timeUnitHalf) {
                d.sceneIndex += 1;
            }
            break;
    }
}

void draw(float dt) {
    DemoGlobals& d = demo;
    drawSprite(d.bg_blue);

    d.sand->setPosition(d.scene5SandX, 300.0f);
    drawSprite(d.sand);

    // One palm sprite, drawn five times.
    for (float& palmX : d.scene5PalmX) {
        palmX -= 150.0f * dt;
        d.palm->setScale(0.75f, 0.75f);
        d.palm->setPosition(palmX, 300.0f);
        drawSprite(d.palm);
    }

    d.brumlo->setPosition(766.0f, d.scene5BrumloY);
    drawSprite(d.brumlo);

    if (d.scene5BubbleScale > 0.0f) {
        const float s = d.beatPulse / 8.0f + d.scene5BubbleScale;
        d.brumlo_bubble->setPosition(600.0f, 230.0f);
        d.brumlo_bubble->setScale(s, s);
        drawSprite(d.brumlo_bubble);
    }

    // The fade-out may overshoot 255 on the last frame; the overlay is then simply opaque.
    setSpriteAlpha(d.blackscreen, d.scene5Fade);
    drawSprite(d.blackscreen);
}

}  // namespace

void scene5() {
    demo.scene5SandX -= 60.0f * demo.frameTime;
    advance(demo.frameTime);
    draw(demo.frameTime);
}
