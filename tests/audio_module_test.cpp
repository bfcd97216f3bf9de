// The module renderer's record of rows against rendered frames, checked against libopenmpt
// playing the same module on its own, frame by frame.
#include "platform/audio_module.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <libopenmpt/libopenmpt.hpp>

namespace {

constexpr unsigned kRate = 44100;

AudioBytes moduleBytes() {
    std::ifstream in(ZANDAR_ASSET_DIR "/arabish.xm", std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The order and row libopenmpt is at on a given frame, asked in increasing frame order.
class Reference {
public:
    Reference() : module_(moduleBytes()) { module_.set_repeat_count(-1); }
    std::uint64_t positionAt(std::uint64_t frame) {
        std::vector<std::int16_t> scratch(1024);
        while (rendered_ <= frame) {
            auto count =
                static_cast<std::size_t>(std::min<std::uint64_t>(1024, frame + 1 - rendered_));
            rendered_ += module_.read(kRate, count, scratch.data());
        }
        return static_cast<std::uint32_t>(module_.get_current_order()) |
               static_cast<std::uint32_t>(module_.get_current_row()) << 16;
    }

private:
    openmpt::module module_;
    std::uint64_t rendered_ = 0;
};

}  // namespace

// Played the way the stream plays it, on past the loop: the position looked up a
// few thousand frames behind the rendering is the one libopenmpt had at that frame, give or take
// one rendering step.
TEST(ModuleRenderer, PositionsMatchTheModuleAcrossLoops) {
    auto renderer = ModuleRenderer::load(moduleBytes(), true, kRate, 2);
    ASSERT_TRUE(renderer);
    Reference reference;
    double seconds = openmpt::module(moduleBytes()).get_duration_seconds();
    std::vector<std::int16_t> chunk(2 * 4096);
    const std::uint64_t behind = 3 * 4096 - 100;
    int checked = 0;
    while (renderer->renderedFrames() < (seconds + 3) * kRate) {
        ASSERT_EQ(renderer->render(chunk.data(), 4096), 4096u) << "a looping module never ends";
        if (renderer->renderedFrames() < behind + ModuleRenderer::kStepFrames) {
            continue;
        }
        std::uint64_t frame = renderer->renderedFrames() - behind;
        std::uint64_t stepBefore = reference.positionAt(frame + 1 - ModuleRenderer::kStepFrames);
        std::uint64_t exact = reference.positionAt(frame);
        std::uint64_t reported = renderer->positionAt(frame);
        EXPECT_TRUE(reported == exact || reported == stepBefore)
            << "frame " << frame << ": " << std::hex << reported << " vs " << exact;
        ++checked;
    }
    EXPECT_GT(checked, 100);
}

TEST(ModuleRenderer, ModuleWithoutLoopEndsAndRewindsToTheStart) {
    auto renderer = ModuleRenderer::load(moduleBytes(), false, kRate, 1, true);
    ASSERT_TRUE(renderer);
    std::vector<std::int16_t> chunk(4096);
    while (renderer->render(chunk.data(), chunk.size()) == chunk.size()) {
    }
    std::uint64_t length = renderer->renderedFrames();
    double seconds = openmpt::module(moduleBytes()).get_duration_seconds();
    EXPECT_GE(length / double(kRate), seconds);
    EXPECT_LT(length / double(kRate), seconds + 0.2) << "the song, and the tail of its last notes";
    EXPECT_TRUE(renderer->ended());
    EXPECT_NE(renderer->positionAt(length - 1), kNoMusicPosition);
    EXPECT_EQ(renderer->positionAt(length), kNoMusicPosition) << "past the end";

    renderer->rewind();
    EXPECT_EQ(renderer->positionAt(0), 0u) << "order 0, row 0";
    while (renderer->render(chunk.data(), chunk.size()) == chunk.size()) {
    }
    EXPECT_EQ(renderer->renderedFrames(), length) << "plays through again";
}
