// Scene 1: the group's emblem turns a quarter turn into place, holds, and turns on under a fade
// to black. 12 seconds: 2 still, 2 turning in, 6 still, 2 turning out.
#include <SFML/OpenGL.hpp>

#include "driver/demo_globals.h"
#include "driver/sprites.h"
#include "glm/demo_models.h"
#include "scenes/fades.h"
#include "scenes/neutral_texture.h"
#include "scenes/scenes.h"

namespace {

enum Phase { kStill = 0, kTurnIn = 1, kHold = 2, kTurnOut = 3 };

void advance(float dt) {
    DemoGlobals& d = demo;
    switch (d.scene1Phase) {
        case kStill:
            d.scene1Timer += dt;
            if (d.scene1Timer > d.timeUnitHalf) {
                d.scene1Phase = kTurnIn;
                d.scene1Timer = 0.0f;
            }
            break;
        case kTurnIn:
            d.scene1Angle -= (90.0f / d.timeUnitHalf) * dt;
            if (d.scene1Angle <= 0.0f) {
                d.scene1Angle = 0.0f;  // the hold shows the model exactly square
                d.scene1Phase = kHold;
            }
            break;
        case kHold:
            d.scene1Timer += dt;
            if (d.scene1Timer > d.timeUnit + d.timeUnitHalf) {
                d.scene1Timer = 0.0f;
                d.scene1Phase = kTurnOut;
            }
            break;
        case kTurnOut:
            d.scene1Angle -= (90.0f / d.timeUnitHalf) * dt;
            fadeToOpaque(d.scene1Fade, (255.0f / d.timeUnitHalf) * dt);
            d.scene1Timer += dt;
            if (d.scene1Timer >= d.timeUnitHalf) {
                d.sceneIndex += 1;
            }
            break;
    }
}

}  // namespace

void scene1() {
    if (demo.scene1FirstFrame) {
        demo.scene1FirstFrame = false;
        setMaterialColor(0.0f, 0.0f, 0.0f);
    }

    advance(demo.frameTime);

    glPushMatrix();
    glTranslatef(0.0f, 0.0f, -1.5f);
    glRotatef(90.0f, 1.0f, 0.0f, 0.0f);  // the model's +y faces the viewer
    glRotatef(demo.scene1Angle, 0.0f, 0.0f, 1.0f);
    {
        NeutralTextureOff untextured;
        drawModelFlatColor(demo.asd);
    }
    glPopMatrix();

    setSpriteAlpha(demo.blackscreen, demo.scene1Fade);
    drawSprite(demo.blackscreen);
}
