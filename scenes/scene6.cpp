// Scene 6: the credits. On black, the flip-book loops in the middle, the emblem throbs beside it,
// and four cards grow and turn one after another, two seconds each, under the filter overlay.
#include "driver/demo_globals.h"
#include "driver/sprites.h"
#include "effects/animated_sprite.h"
#include "scenes/scenes.h"

namespace {

constexpr int kLastCard = 3;

sf::Sprite* card(int phase) {
    sf::Sprite* const cards[] = {demo.cred_1, demo.cred_2, demo.cred_3, demo.cred_4};
    return cards[phase];
}

// The first and third cards turn one way, the second and fourth the other.
float cardTurnSign(int phase) {
    return phase % 2 == 0 ? -1.0f : 1.0f;
}

}  // namespace

void scene6() {
    DemoGlobals& d = demo;
    const float dt = d.frameTime;
    d.scene6Timer += dt;

    drawSprite(d.blackscreen);  // scene 5 left it opaque: the background

    d.weedAnimation->update(dt);
    d.weedAnimation->draw();

    const float crossScale = d.beatPulse / 4.0f + 0.75f;
    d.cross->setPosition(670.0f, 220.0f);
    d.cross->setScale(crossScale, crossScale);
    drawSprite(d.cross);

    sf::Sprite* current = card(d.scene6Phase);
    d.scene6Angle += 4.0f * dt;
    d.scene6Grow += dt / 2.0f;
    const float g = d.scene6Grow + 0.25f;
    current->setScale(g, g);
    setSpriteRotation(current, cardTurnSign(d.scene6Phase) * d.scene6Angle);
    drawSprite(current);
    if (d.scene6Timer > d.timeUnitHalf) {
        d.scene6Timer = 0.0f;
        d.scene6Angle = 0.0f;
        d.scene6Grow = 0.0f;
        if (d.scene6Phase < kLastCard) {
            d.scene6Phase += 1;
        } else {
            d.sceneIndex += 1;
        }
    }

    const float f = d.beatPulse / 4.0f + 1.0f;
    d.filter->setScale(f, f);
    drawSprite(d.filter);
}
