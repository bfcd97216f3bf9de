// Scene 4: the oil field turns around the viewer under the day sky; Quistel slides in from the
// right while its speech bubble rises and throbs with the beat. Black fades in and out; 12 seconds.
#include <SFML/OpenGL.hpp>

#include "driver/demo_globals.h"
#include "driver/sprites.h"
#include "glm/demo_models.h"
#include "scenes/fades.h"
#include "scenes/neutral_texture.h"
#include "scenes/scenes.h"

namespace {

enum Phase { kFadeIn = 0, kWalkInAndHold = 1, kFadeOut = 2 };

constexpr float kQuistelStopX = 632.0f;

void advance(float dt) {
    DemoGlobals& d = demo;
    switch (d.scene4Phase) {
        case kFadeIn:
            if (fadeToClear(d.scene4Fade, (255.0f / d.timeUnitHalf) * dt)) {
                d.scene4Phase = kWalkInAndHold;
            }
            break;
        case kWalkInAndHold:
            if (d.scene4QuistelX > kQuistelStopX) {
                d.scene4QuistelX -= 400.0f * dt;
            }
            d.scene4BubbleY -= 100.0f * dt;
            d.scene4Timer += dt;
            if (d.scene4Timer >= 2.0f * d.timeUnit) {
                d.scene4Phase = kFadeOut;
            }
            break;
        case kFadeOut:
            d.scene4BubbleY -= 100.0f * dt;
            if (fadeToOpaque(d.scene4Fade, (255.0f / d.timeUnitHalf) * dt)) {
                d.sceneIndex += 1;
            }
            break;
    }
}

}  // namespace

void scene4() {
    DemoGlobals& d = demo;
    d.scene4Time += d.frameTime;
    advance(d.frameTime);

    // The model first and the sky only where the model left the depth buffer clear: the same
    // pixels as the sky under the model, without filling the sky where the model covers it.
    glPushMatrix();
    glRotatef(d.scene4Time * 20.0f, 0.0f, 1.0f, 0.0f);  // about the eye point
    {
        NeutralTextureOff untextured;
        glCallList(d.oljefaltList);
    }
    glPopMatrix();
    drawSpriteBehind(d.bg_blue);

    // The character's bottom edge rests on the window's bottom edge.
    d.quistel->setPosition(d.scene4QuistelX, 720.0f - spriteSize(d.quistel).y);
    const float s = 0.8f + d.beatPulse / 4.0f;
    d.quistel_bubble->setScale(s, s);
    d.quistel_bubble->setPosition(400.0f, d.scene4BubbleY);
    drawSprite(d.quistel);
    drawSprite(d.quistel_bubble);

    setSpriteAlpha(d.blackscreen, d.scene4Fade);
    drawSprite(d.blackscreen);
}
