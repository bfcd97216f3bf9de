// Scene 8: under the night sky the oasis turns slowly as it drifts towards the viewer, and the
// text scroll rises over it at three times its size. Black fades in and out; about 20 seconds.
#include <SFML/OpenGL.hpp>

#include "driver/demo_globals.h"
#include "driver/sprites.h"
#include "glm/demo_models.h"
#include "scenes/fades.h"
#include "scenes/neutral_texture.h"
#include "scenes/scenes.h"

namespace {

enum Phase { kFadeIn = 0, kHold = 1, kFadeOut = 2 };

// The scroll rises at the same speed in every phase: its place depends only on the scene's time.
void advance(float dt) {
    DemoGlobals& d = demo;
    d.scene8ScrollY -= 100.0f * dt;
    switch (d.scene8Phase) {
        case kFadeIn:
            if (fadeToClear(d.scene8Fade, (255.0f / d.timeUnitHalf) * dt)) {
                d.scene8Phase = kHold;
            }
            break;
        case kHold:
            d.scene8HoldTimer += dt;
            if (d.scene8HoldTimer >= d.timeUnit * 4.0f) {
                d.scene8Phase = kFadeOut;
            }
            break;
        case kFadeOut:
            if (fadeToOpaque(d.scene8Fade, (255.0f / d.timeUnitHalf) * dt)) {
                d.sceneIndex += 1;
            }
            break;
    }
}

}  // namespace

void scene8() {
    DemoGlobals& d = demo;
    d.scene8Time += d.frameTime;
    advance(d.frameTime);

    // The model first, the sky behind it (as in scene 4).
    glTranslatef(0.0f, 0.0f, d.scene8Time / 20.0f - 0.75f);
    glRotatef(d.scene8Time * 5.0f, 0.0f, -1.0f, 0.0f);
    {
        NeutralTextureOff untextured;
        glCallList(d.oasisList);
    }
    drawSpriteBehind(d.bg_night);

    d.scroll->setScale(3.0f, 3.0f);
    d.scroll->setPosition(640.0f, d.scene8ScrollY);
    drawSprite(d.scroll);

    setSpriteAlpha(d.blackscreen, d.scene8Fade);
    drawSprite(d.blackscreen);
}
