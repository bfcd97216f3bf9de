// The tracker module rendered offline, in step with the frames: where it stands at any sample,
// and the sound it made on the way there.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace openmpt {
class module;
}

class ModuleClock {
public:
    static constexpr int kSampleRate = 44100;  // stereo, as the live layer plays it

    // Loads the module and sets it to loop forever. loaded() tells whether that worked.
    explicit ModuleClock(const std::string& path);
    ~ModuleClock();
    ModuleClock(const ModuleClock&) = delete;
    ModuleClock& operator=(const ModuleClock&) = delete;

    bool loaded() const { return module_ != nullptr; }
    const std::string& error() const { return error_; }

    // Keep the rendered sound for takeAudio (off: it is thrown away once rendered).
    void keepAudio(bool keep) { keepAudio_ = keep; }

    // The order (bits 0-15) and row (bits 16-31) of the module at the sample with this index,
    // counted from the start: rendering goes up to and including that sample, so at a row's
    // first sample the answer is already the new row. Samples may only be asked in order; asking
    // for one before the last answers the last. All bits set when the module did not load.
    std::uint64_t positionAt(std::uint64_t sample);

    // The sound from where the previous take ended up to (not including) `end`, interleaved
    // stereo, appended to out. Renders what is missing.
    void takeAudio(std::uint64_t end, std::vector<float>& out);

private:
    void renderTo(std::uint64_t end);

    std::unique_ptr<openmpt::module> module_;
    std::string error_;
    bool keepAudio_ = false;
    std::uint64_t rendered_ = 0;  // samples rendered so far
    std::uint64_t taken_ = 0;     // samples handed out (or dropped) so far
    std::vector<float> pending_;  // rendered, not yet taken: samples taken_ .. rendered_
    std::vector<float> scratch_;
    std::uint64_t position_ = 0;  // at sample rendered_ - 1
};
