// Scene 2: the six words of the title, in two columns, drift up and away into the fog for
// 16 seconds; the last word swells with the beat.
#include <SFML/OpenGL.hpp>

#include "driver/demo_globals.h"
#include "glm/demo_models.h"
#include "scenes/neutral_texture.h"
#include "scenes/scenes.h"

namespace {

enum class ExtraScale { kNone, kHalf, kBeat };

struct WordPlacement {
    ObjModel* DemoGlobals::*model;
    float x, y;
    ExtraScale extra;
};

constexpr float kWordDepth = -5.0f;

// Read row by row, left to right, they spell the title.
const WordPlacement kWords[] = {
    {&DemoGlobals::vorn, -1.2f, 1.2f, ExtraScale::kNone},
    {&DemoGlobals::ekka, 1.2f, 1.2f, ExtraScale::kNone},
    {&DemoGlobals::trudel, -1.2f, 0.25f, ExtraScale::kNone},
    {&DemoGlobals::mips, 1.2f, 0.25f, ExtraScale::kNone},
    {&DemoGlobals::oo, -1.2f, -0.8f, ExtraScale::kHalf},
    {&DemoGlobals::zandar, 1.2f, -0.8f, ExtraScale::kBeat},
};

void applyExtraScale(ExtraScale extra) {
    float s = 1.0f;
    switch (extra) {
        case ExtraScale::kNone: return;
        case ExtraScale::kHalf: s = 0.5f; break;
        case ExtraScale::kBeat: s = 1.5f + demo.beatPulse / 8.0f; break;
    }
    glScalef(s, s, s);
}

}  // namespace

void scene2() {
    const float dt = demo.frameTime;
    demo.scene2Timer += dt;
    if (demo.scene2Timer > 4.0f * demo.timeUnit) {
        demo.sceneIndex += 1;  // this frame is still drawn
    }
    demo.scene2RiseY += dt / 2.0f;
    demo.scene2RiseZ -= dt / 2.0f;

    glPushMatrix();
    glTranslatef(0.0f, demo.scene2RiseY, demo.scene2RiseZ);
    NeutralTextureOff untextured;
    for (const WordPlacement& word : kWords) {
        glPushMatrix();
        glTranslatef(word.x, word.y, kWordDepth);
        applyExtraScale(word.extra);
        drawModelFlatColor(demo.*word.model);
        glPopMatrix();
    }
    glPopMatrix();
}
