// The fixed timeline the capture runs the demo on: every frame lasts exactly 1/fps, the module's
// position comes from rendering it offline in step with the frames, and each drawn frame is read
// back and handed, with the state it was drawn from, to whatever outputs were asked for.
#pragma once

#include <chrono>
#include <csignal>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <SFML/System/Vector2.hpp>

#include "driver/demo_globals.h"
#include "driver/timeline.h"

class ModuleClock;
class Progress;

// One frame's picture: RGB, rows top first, no padding.
struct Picture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;
};

// What one frame was drawn from.
struct FrameRecord {
    long frame = 0;
    double time = 0.0;           // frame / fps: when it appears, counted from the music's start
    int sceneIndex = 0;          // as it stood when the scene was called
    float frameTime = 0.0f;      // what the scene advanced by
    float beatPulse = 0.0f;      // as the scene saw it
    std::uint64_t position = 0;  // the module's order and row at the frame's end, (frame+1)/fps
    int row = 0;                 // its row: what the pulse update after the frame reads
    SceneStates states;          // every scene's phase machine after the scene ran
};

// An output. Calls come in frame order from the main loop; errors are thrown as CaptureError.
class FrameConsumer {
public:
    virtual ~FrameConsumer() = default;
    virtual bool wantsPicture(long /*frame*/) const { return false; }
    // Frames are drawn in full even when no picture is read back.
    virtual bool wantsDrawing() const { return false; }
    virtual bool wantsAudio() const { return false; }
    // The frame's sound, interleaved stereo at 44.1 kHz, before its consume() call.
    virtual void consumeAudio(const std::vector<float>& /*stereo*/) {}
    // picture is set exactly when wantsPicture(record.frame) was true.
    virtual void consume(const FrameRecord& record, const Picture* picture) = 0;
    // After consume(), once the frame is on screen: the time from the clear to the end of the
    // display, which is what the main loop spends on drawing the frame, and the processor time
    // the whole process (the rasteriser's threads included) spent meanwhile.
    virtual void frameShown(long /*frame*/, std::chrono::nanoseconds /*wall*/,
                            std::chrono::nanoseconds /*cpu*/) {}
    // After the run, with the number of frames captured; completes the output.
    virtual void finish(long /*frames*/) {}
};

class OfflineTimeline : public Timeline {
public:
    enum class Stop { None, Limit, Interrupted, Failed };

    // frameLimit: stop before this frame (-1: run until the demo ends). interrupt, when set, is
    // polled once a frame (a signal handler's flag). screen: the window's size, which is the
    // pictures' size; a window that comes up at another size stops the run.
    OfflineTimeline(int fps, ModuleClock& module, std::vector<FrameConsumer*> consumers,
                    long frameLimit, Progress* progress,
                    const volatile std::sig_atomic_t* interrupt,
                    sf::Vector2u screen = {1280, 720});

    void start() override;
    float measureFrame() override;
    std::uint64_t modulePosition(std::uint32_t musicHandle) override;
    void frameDrawn() override;

    long framesCaptured() const { return framesDrawn_; }
    Stop stopReason() const { return stop_; }
    const std::string& error() const { return error_; }

private:
    void halt(Stop reason, const std::string& error = {});
    void readBack(Picture& picture) const;

    int fps_;
    float frameTime_;
    ModuleClock& module_;
    std::vector<FrameConsumer*> consumers_;
    long frameLimit_;
    Progress* progress_;
    const volatile std::sig_atomic_t* interrupt_;
    sf::Vector2u screen_;
    bool wantsAudio_ = false;
    bool drawEveryFrame_ = false;

    long framesDrawn_ = 0;
    std::optional<FrameRecord> pending_;  // the frame measured and not yet drawn
    bool pictureWanted_ = false;
    std::chrono::steady_clock::time_point drawStart_;  // when the frame's clear began
    std::chrono::nanoseconds cpuStart_{0};             // the process's processor time then
    bool awaitingDisplay_ = false;                     // drawn, not yet shown
    std::uint64_t position_;
    Picture picture_;
    std::vector<float> audio_;
    Stop stop_ = Stop::None;
    std::string error_;
};
