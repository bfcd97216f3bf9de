// Scene 3: over a dark blue sky and the sand, fade in from black; the robed figure rises, a
// mirrored pair of props pops in and throbs with the beat; then the figure drops away while the
// car grows in the middle, and everything fades to white. 16 seconds.
#include "driver/demo_globals.h"
#include "driver/sprites.h"
#include "scenes/fades.h"
#include "scenes/scenes.h"

namespace {

enum Phase {
    kFadeIn = 0,
    kFigureRises = 1,
    kPropsGrow = 2,
    kPropsSettle = 3,
    kHold = 4,
    kFigureLeavesCarGrows = 5,
    kFadeToWhite = 6
};

void advance(float dt) {
    DemoGlobals& d = demo;
    switch (d.scene3Phase) {
        case kFadeIn:
            if (fadeToClear(d.scene3BlackFade, (255.0f / d.timeUnit) * dt)) {
                d.scene3Phase = kFigureRises;
            }
            break;
        case kFigureRises:
            d.scene3ArabY -= (680.0f / d.timeUnit) * dt;
            if (d.scene3ArabY <= 40.0f) {
                d.scene3ArabY = 40.0f;
                d.scene3Phase = kPropsGrow;
            }
            break;
        case kPropsGrow:
            d.scene3ShowGuns = true;
            d.scene3GunScale += (1.4f / d.timeUnitQuarter) * dt;
            d.scene3Timer += dt;
            if (d.scene3Timer >= d.timeUnitQuarter) {
                d.scene3Timer = 0.0f;
                d.scene3Phase = kPropsSettle;
            }
            break;
        case kPropsSettle:
            d.scene3GunScale -= (0.4f / d.timeUnitQuarter) * dt;
            d.scene3Timer += dt;
            if (d.scene3Timer >= d.timeUnitQuarter) {
                d.scene3Timer = 0.0f;
                d.scene3Phase = kHold;
            }
            break;
        case kHold:
            d.scene3Timer += dt;
            if (d.scene3Timer > d.timeUnitHalf) {
                d.scene3Timer = 0.0f;
                d.scene3ShowCar = true;
                d.scene3Phase = kFigureLeavesCarGrows;
            }
            break;
        case kFigureLeavesCarGrows:
            d.scene3GunScale -= (1.0f / d.timeUnitHalf) * dt;
            d.scene3ArabY += (1280.0f / d.timeUnitHalf) * dt;
            d.scene3CarScale += (1.0f / d.timeUnitHalf) * dt;
            d.scene3Timer += dt;
            if (d.scene3Timer > d.timeUnitHalf) {
                d.scene3Timer = 0.0f;
                d.scene3Phase = kFadeToWhite;
                d.scene3ShowGuns = false;
            }
            break;
        case kFadeToWhite:
            d.scene3CarScale += (1.0f / d.timeUnitHalf) * dt;
            d.scene3Timer += dt;
            fadeToOpaque(d.scene3WhiteFade, (255.0f / d.timeUnitHalf) * dt);
            if (d.scene3Timer >= d.timeUnitHalf) {
                d.sceneIndex += 1;
            }
            break;
    }
}

void draw() {
    DemoGlobals& d = demo;
    d.sand->setPosition(0.0f, 0.0f);
    d.arab->setPosition(640.0f, d.scene3ArabY);

    d.renderWindow->clear(sf::Color(0, 0, 128, 255));
    drawSprite(d.sand);

    if (d.scene3ShowCar) {
        d.bmw->setPosition(640.0f, 360.0f);
        d.bmw->setScale(d.scene3CarScale, d.scene3CarScale);
        drawSprite(d.bmw);
    }

    d.arab->setScale(1.0f, 1.0f);
    drawSprite(d.arab);  // in front of the car

    if (d.scene3ShowGuns) {
        // One sprite drawn twice, mirrored about the middle column; it is left mirrored.
        const float g = d.scene3GunScale + d.beatPulse / 12.0f;
        flipSpriteX(d.ak47, false);
        d.ak47->setScale(g, g);
        d.ak47->setPosition(300.0f, 360.0f);
        drawSprite(d.ak47);
        d.ak47->setPosition(980.0f, 360.0f);
        flipSpriteX(d.ak47, true);
        drawSprite(d.ak47);
    }

    setSpriteAlpha(d.blackscreen, d.scene3BlackFade);
    drawSprite(d.blackscreen);
    setSpriteAlpha(d.whitescreen, d.scene3WhiteFade);
    drawSprite(d.whitescreen);
}

}  // namespace

void scene3() {
    advance(demo.frameTime);
    draw();
}
