#include "driver/timeline.h"

#include "driver/demo_globals.h"
#include "platform/bass.h"

void LiveTimeline::start() {
    demo.demoClock.restart();
}

float LiveTimeline::measureFrame() {
    // Two readings: the sliver of time between them belongs to no frame.
    float frameTime = demo.demoClock.getElapsedTime().asSeconds() - demo.lastClockTime;
    demo.lastClockTime = demo.demoClock.getElapsedTime().asSeconds();
    return frameTime;
}

std::uint64_t LiveTimeline::modulePosition(std::uint32_t musicHandle) {
    return BASS_ChannelGetPosition(musicHandle, BASS_POS_MUSIC_ORDER);
}
