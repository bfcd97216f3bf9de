// The beat pulse: which rows trigger it, how it decays, and how the row is read from the
// module's position.
#include <gtest/gtest.h>

#include <cstdint>

#include "driver/demo_globals.h"
#include "driver/music.h"
#include "platform/bass.h"
#include "tests/support/step_timeline.h"

namespace {

class BeatPulse : public ::testing::Test {
protected:
    void SetUp() override {
        demo.beatPulse = 0.0f;
        demo.frameTime = 0.1f;
    }

    void onRow(int row) { timeline.position = StepTimeline::orderRow(3, row); }

    StepTimeline timeline{0.1f};
};

TEST_F(BeatPulse, RowIsBits16To31OfThePosition) {
    timeline.position = 0xDEADBEEF00000000ull | StepTimeline::orderRow(0x1234, 0x0040);
    EXPECT_EQ(musicRow(timeline), 0x40);
    timeline.position = StepTimeline::orderRow(0xFFFF, 0);
    EXPECT_EQ(musicRow(timeline), 0);
    timeline.position = BASS_POSITION_INVALID;
    EXPECT_EQ(musicRow(timeline), 65535);
}

TEST_F(BeatPulse, EveryFourthRowTriggers) {
    for (int row = 0; row < 64; ++row) {
        demo.beatPulse = 0.0f;
        onRow(row);
        updateBeatPulses(timeline);
        if (row % 4 == 0) {
            // Set to 1 and decayed in the same call.
            EXPECT_NEAR(demo.beatPulse, 0.7f, 1e-6f) << "row " << row;
        } else {
            EXPECT_EQ(demo.beatPulse, 0.0f) << "row " << row;
        }
    }
}

TEST_F(BeatPulse, FallsByThreePerSecondAndStopsAtExactlyZero) {
    demo.beatPulse = 1.0f;
    onRow(1);
    const float expected[] = {0.7f, 0.4f, 0.1f};
    for (float value : expected) {
        updateBeatPulses(timeline);
        EXPECT_NEAR(demo.beatPulse, value, 1e-6f);
    }
    updateBeatPulses(timeline);
    EXPECT_EQ(demo.beatPulse, 0.0f);
    updateBeatPulses(timeline);
    EXPECT_EQ(demo.beatPulse, 0.0f);
}

TEST_F(BeatPulse, LongFrameOnATriggerRowLeavesZero) {
    demo.frameTime = 0.5f;
    onRow(8);
    updateBeatPulses(timeline);
    EXPECT_EQ(demo.beatPulse, 0.0f);
}

TEST_F(BeatPulse, NoModuleMeansNoPulse) {
    timeline.position = BASS_POSITION_INVALID;  // row 65535 is not a multiple of 4
    updateBeatPulses(timeline);
    EXPECT_EQ(demo.beatPulse, 0.0f);
}

}  // namespace
