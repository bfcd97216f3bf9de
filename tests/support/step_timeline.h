// A timeline for driving the main loop by hand: every frame lasts `step` seconds and the module
// stands wherever the test puts it.
#pragma once

#include <cstdint>

#include "driver/timeline.h"

class StepTimeline : public Timeline {
public:
    explicit StepTimeline(float step) : step(step) {}

    void start() override { started = true; }
    float measureFrame() override { return step; }
    std::uint64_t modulePosition(std::uint32_t) override { return position; }
    void frameDrawn() override { ++framesDrawn; }

    // Order in bits 0-15, row in bits 16-31, as the audio library reports them.
    static std::uint64_t orderRow(int order, int row) {
        return static_cast<std::uint64_t>(order) | (static_cast<std::uint64_t>(row) << 16);
    }

    float step;
    std::uint64_t position = 0;
    int framesDrawn = 0;
    bool started = false;
};
