// Scene 9: the closing text scrolls up over the day sky for 16 seconds; then the demo ends.
#include "driver/demo_globals.h"
#include "driver/sprites.h"
#include "scenes/scenes.h"

void scene9() {
    DemoGlobals& d = demo;
    d.scene9Time += d.frameTime;
    if (d.scene9Time > d.timeUnit * 4.0f) {
        d.sceneIndex += 1;  // the main loop stops on the next pass; this frame is still drawn
    }
    d.scene9ScrollY -= 120.0f * d.frameTime;

    drawSprite(d.bg_blue);
    d.scroll2->setPosition(640.0f, d.scene9ScrollY);
    drawSprite(d.scroll2);
}
