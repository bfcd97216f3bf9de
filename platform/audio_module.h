// Tracker modules for the audio layer: libopenmpt renders them, SFML streams them to OpenAL, and
// a record of where each small rendered step ended lets the row being heard be looked up from the
// stream's playing offset rather than from the decoder, which runs ahead of the speakers.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/audio_channel.h"

namespace openmpt {
class module;
}

// A module rendered in steps of kStepFrames, remembering the order and row each step reached.
// One thread renders (SFML's streaming thread, or the caller on the silent clock); any thread may
// look positions up.
class ModuleRenderer {
public:
    // Row resolution of the lookup: a row lasts 5292 frames at speed 6 / 125 BPM / 44.1 kHz.
    static constexpr std::size_t kStepFrames = 256;
    // Steps remembered: about six seconds at 44.1 kHz, far more than the output buffers hold.
    static constexpr std::size_t kMarks = 1024;

    // nullptr when libopenmpt cannot load the bytes. channels is 1 or 2 (interleaved 16-bit).
    // draft renders with the plainest interpolation, for output nobody hears; timing is the same.
    static std::unique_ptr<ModuleRenderer> load(const AudioBytes& bytes, bool loop,
                                                unsigned sampleRate, unsigned channels,
                                                bool draft = false);
    ~ModuleRenderer();

    unsigned sampleRate() const { return sampleRate_; }
    unsigned channels() const { return channels_; }

    // Renders up to `frames` frames into out; fewer only once a module that does not loop ends.
    std::size_t render(std::int16_t* out, std::size_t frames);

    // The position (order | row << 16) at a rendered frame, counted from the start across loops.
    // Frames older than the record answer its oldest entry, frames not rendered yet its newest;
    // frames past the end of a module that has ended answer kNoMusicPosition.
    std::uint64_t positionAt(std::uint64_t frame) const;

    std::uint64_t renderedFrames() const;
    bool ended() const;

    // Back to the first order and row, the record emptied. Not while another thread renders.
    void rewind();

private:
    struct Mark {
        std::uint64_t frame;     // the last frame of a step
        std::uint32_t position;  // order | row << 16 at that frame
    };

    ModuleRenderer(std::unique_ptr<openmpt::module> module, unsigned sampleRate, unsigned channels);
    std::uint32_t currentPosition() const;
    void addMark(std::uint64_t frame, std::uint32_t position);  // with mutex_ held

    std::unique_ptr<openmpt::module> module_;  // touched by the rendering thread only
    unsigned sampleRate_;
    unsigned channels_;

    mutable std::mutex mutex_;  // guards everything below
    std::array<Mark, kMarks> marks_{};
    std::size_t first_ = 0;  // oldest mark
    std::size_t count_ = 0;
    std::uint64_t rendered_ = 0;
    bool ended_ = false;
};
