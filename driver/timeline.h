// Where the main loop takes its time and the music's position from.
//
// The live timeline is the demo as it plays: the wall clock (demoClock) and the audio library's
// report of the row being heard. The capture tool supplies an offline timeline that steps a fixed
// frame time and renders the module in step with the frames, so the same driver and scenes can be
// rendered frame-exact.
#pragma once

#include <cstdint>

class Timeline {
public:
    virtual ~Timeline() = default;

    // The music has started; the frame clock starts now.
    virtual void start() = 0;

    // Called once per pass of the main loop: the duration of the previous frame, in seconds.
    virtual float measureFrame() = 0;

    // The module's position in the audio library's order-and-row form
    // (order in bits 0-15, row in bits 16-31; all bits set when nothing plays).
    virtual std::uint64_t modulePosition(std::uint32_t musicHandle) = 0;

    // The frame is drawn and about to be shown; the window still holds it in its back buffer.
    virtual void frameDrawn() {}
};

// The demo's own timeline: demoClock and lastClockTime, and the audio library's position.
class LiveTimeline : public Timeline {
public:
    void start() override;
    float measureFrame() override;
    std::uint64_t modulePosition(std::uint32_t musicHandle) override;
};
