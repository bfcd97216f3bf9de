#include "tools/capture/offline_timeline.h"

#include <SFML/Graphics/RenderWindow.hpp>
#include <SFML/OpenGL.hpp>
#include <time.h>

#include <algorithm>

#include "platform/bass.h"
#include "tools/capture/capture_error.h"
#include "tools/capture/module_clock.h"
#include "tools/capture/progress.h"

namespace {

constexpr int kEndOfDemo = 10;  // the sceneIndex that makes the main loop stop

std::chrono::nanoseconds processCpuTime() {
    timespec now = {};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

// A frame no output looks at is still run through every scene, but clipped to one pixel, so
// the software rasteriser fills almost nothing. The scissor rectangle is state of our own: the
// scenes never touch it and the window library's state saving keeps it.
void clipDrawing(bool clip) {
    if (clip) {
        glEnable(GL_SCISSOR_TEST);
        glScissor(0, 0, 1, 1);
    } else {
        glDisable(GL_SCISSOR_TEST);
    }
}

}  // namespace

OfflineTimeline::OfflineTimeline(int fps, ModuleClock& module,
                                 std::vector<FrameConsumer*> consumers, long frameLimit,
                                 Progress* progress, const volatile std::sig_atomic_t* interrupt,
                                 sf::Vector2u screen)
    : fps_(fps),
      frameTime_(1.0f / static_cast<float>(fps)),
      module_(module),
      consumers_(std::move(consumers)),
      frameLimit_(frameLimit),
      progress_(progress),
      interrupt_(interrupt),
      screen_(screen),
      position_(BASS_POSITION_INVALID) {
    for (FrameConsumer* consumer : consumers_) {
        wantsAudio_ = wantsAudio_ || consumer->wantsAudio();
        drawEveryFrame_ = drawEveryFrame_ || consumer->wantsDrawing();
    }
    module_.keepAudio(wantsAudio_);
}

void OfflineTimeline::halt(Stop reason, const std::string& error) {
    if (stop_ == Stop::None) {
        stop_ = reason;
        error_ = error;
    }
}

void OfflineTimeline::start() {
    // The music starts with the main loop: audio time 0 is the start of frame 0.
    sf::Vector2u size = demo.renderWindow ? demo.renderWindow->getSize() : sf::Vector2u();
    if (size != screen_) {
        halt(Stop::Failed, "the demo's window came up at " + std::to_string(size.x) + "x" +
                               std::to_string(size.y) + " instead of " +
                               std::to_string(screen_.x) + "x" + std::to_string(screen_.y) +
                               "; run with --xvfb to render on a private X server");
    }
}

float OfflineTimeline::measureFrame() {
    const long frame = framesDrawn_;
    if (interrupt_ && *interrupt_) {
        halt(Stop::Interrupted);
    }
    if (frameLimit_ >= 0 && frame >= frameLimit_) {
        halt(Stop::Limit);
    }
    pending_.reset();
    if (stop_ != Stop::None) {
        // The demo's own way out: the main loop runs no scene for 10 and leaves.
        demo.sceneIndex = kEndOfDemo;
        clipDrawing(false);
        return frameTime_;
    }
    FrameRecord record;
    record.frame = frame;
    record.time = static_cast<double>(frame) / fps_;
    record.sceneIndex = demo.sceneIndex;
    record.frameTime = frameTime_;
    record.beatPulse = demo.beatPulse;
    pending_ = record;

    pictureWanted_ = std::any_of(consumers_.begin(), consumers_.end(),
                                 [frame](FrameConsumer* c) { return c->wantsPicture(frame); });
    clipDrawing(!pictureWanted_ && !drawEveryFrame_);
    if (drawEveryFrame_) {
        cpuStart_ = processCpuTime();
    }
    drawStart_ = std::chrono::steady_clock::now();
    return frameTime_;
}

void OfflineTimeline::readBack(Picture& picture) const {
    GLint packAlignment = 4, readBuffer = GL_BACK;
    glGetIntegerv(GL_PACK_ALIGNMENT, &packAlignment);
    glGetIntegerv(GL_READ_BUFFER, &readBuffer);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);

    // The window's own pixel layout reads back as a plain copy; asking for RGB makes the
    // software renderer convert every pixel, three times slower.
    const int width = static_cast<int>(screen_.x), height = static_cast<int>(screen_.y);
    static std::vector<std::uint8_t> bottomUp;
    bottomUp.resize(static_cast<std::size_t>(width) * height * 4);
    glReadPixels(0, 0, width, height, GL_BGRA, GL_UNSIGNED_BYTE, bottomUp.data());

    glPixelStorei(GL_PACK_ALIGNMENT, packAlignment);
    glReadBuffer(static_cast<GLenum>(readBuffer));

    picture.width = width;
    picture.height = height;
    picture.rgb.resize(static_cast<std::size_t>(width) * height * 3);
    std::uint8_t* out = picture.rgb.data();
    for (int y = height - 1; y >= 0; --y) {
        const std::uint8_t* in = bottomUp.data() + static_cast<std::size_t>(y) * width * 4;
        for (int x = 0; x < width; ++x, in += 4, out += 3) {
            out[0] = in[2];
            out[1] = in[1];
            out[2] = in[0];
        }
    }
}

void OfflineTimeline::frameDrawn() {
    if (!pending_) {
        return;
    }
    FrameRecord& record = *pending_;
    try {
        record.states = demo;  // the SceneStates part: the scene has run
        // The frame ends (frame + 1) / fps after the music started; that instant's row is
        // what the pulse update after this frame reads.
        const std::uint64_t end = static_cast<std::uint64_t>(record.frame + 1) *
                                  ModuleClock::kSampleRate / static_cast<std::uint64_t>(fps_);
        position_ = module_.positionAt(end);
        record.position = position_;
        record.row = static_cast<int>((position_ >> 16) & 0xFFFFu);
        if (wantsAudio_) {
            audio_.clear();
            module_.takeAudio(end, audio_);
            for (FrameConsumer* consumer : consumers_) {
                if (consumer->wantsAudio()) {
                    consumer->consumeAudio(audio_);
                }
            }
        }
        if (pictureWanted_) {
            readBack(picture_);
        }
        for (FrameConsumer* consumer : consumers_) {
            consumer->consume(record, pictureWanted_ ? &picture_ : nullptr);
        }
        ++framesDrawn_;
        awaitingDisplay_ = true;
        if (progress_) {
            progress_->update(framesDrawn_, record.sceneIndex);
        }
    } catch (const std::exception& e) {
        halt(Stop::Failed, e.what());
    }
    pending_.reset();
}

std::uint64_t OfflineTimeline::modulePosition(std::uint32_t musicHandle) {
    // The pulse update asks right after the display: the frame is on screen now.
    if (awaitingDisplay_) {
        awaitingDisplay_ = false;
        const auto wall = std::chrono::duration_cast<std::chrono::nanoseconds>(
            std::chrono::steady_clock::now() - drawStart_);
        const auto cpu = drawEveryFrame_ ? processCpuTime() - cpuStart_ : wall.zero();
        for (FrameConsumer* consumer : consumers_) {
            consumer->frameShown(framesDrawn_ - 1, wall, cpu);
        }
    }
    // A module the audio layer could not load answers as the live layer does.
    if (musicHandle == 0 || !module_.loaded()) {
        return BASS_POSITION_INVALID;
    }
    if (framesDrawn_ == 0) {
        return module_.positionAt(0);
    }
    return position_;
}
