#include "platform/audio_module.h"

#include <SFML/Audio/SoundStream.hpp>
#include <algorithm>
#include <chrono>
#include <exception>
#include <libopenmpt/libopenmpt.hpp>
#include <sstream>
#include <vector>

// ---------------------------------------------------------------------------------------------
// ModuleRenderer
// ---------------------------------------------------------------------------------------------

std::unique_ptr<ModuleRenderer> ModuleRenderer::load(const AudioBytes& bytes, bool loop,
                                                     unsigned sampleRate, unsigned channels,
                                                     bool draft) {
    if (bytes.empty() || (channels != 1 && channels != 2)) {
        return nullptr;
    }
    std::unique_ptr<openmpt::module> module;
    try {
        // libopenmpt's loading notes would otherwise go to std::clog.
        std::ostringstream log;
        module = std::make_unique<openmpt::module>(bytes.data(), bytes.size(), log);
        module->set_repeat_count(loop ? -1 : 0);
        if (draft) {
            module->set_render_param(openmpt::module::RENDER_INTERPOLATIONFILTER_LENGTH, 1);
        }
    } catch (const std::exception&) {
        return nullptr;
    }
    return std::unique_ptr<ModuleRenderer>(
        new ModuleRenderer(std::move(module), sampleRate, channels));
}

ModuleRenderer::ModuleRenderer(std::unique_ptr<openmpt::module> module, unsigned sampleRate,
                               unsigned channels)
    : module_(std::move(module)), sampleRate_(sampleRate), channels_(channels) {
    std::lock_guard<std::mutex> lock(mutex_);
    addMark(0, currentPosition());
}

ModuleRenderer::~ModuleRenderer() = default;

std::uint32_t ModuleRenderer::currentPosition() const {
    auto order = static_cast<std::uint32_t>(std::clamp(module_->get_current_order(), 0, 0xFFFF));
    auto row = static_cast<std::uint32_t>(std::clamp(module_->get_current_row(), 0, 0xFFFF));
    return order | (row << 16);
}

void ModuleRenderer::addMark(std::uint64_t frame, std::uint32_t position) {
    if (count_ > 0) {
        Mark& last = marks_[(first_ + count_ - 1) % kMarks];
        if (last.frame == frame) {
            last.position = position;
            return;
        }
    }
    if (count_ == kMarks) {
        first_ = (first_ + 1) % kMarks;
        --count_;
    }
    marks_[(first_ + count_) % kMarks] = Mark{frame, position};
    ++count_;
}

std::size_t ModuleRenderer::render(std::int16_t* out, std::size_t frames) {
    std::size_t done = 0;
    while (done < frames && !ended()) {
        std::size_t step = std::min(kStepFrames, frames - done);
        std::int16_t* at = out + done * channels_;
        std::size_t got = channels_ == 2 ? module_->read_interleaved_stereo(sampleRate_, step, at)
                                         : module_->read(sampleRate_, step, at);
        // After a read the module reports the row of the last frame it rendered.
        std::uint32_t position = currentPosition();
        std::lock_guard<std::mutex> lock(mutex_);
        if (got > 0) {
            addMark(rendered_ + got - 1, position);
            rendered_ += got;
        }
        if (got < step) {
            ended_ = true;
        }
        done += got;
    }
    return done;
}

std::uint64_t ModuleRenderer::positionAt(std::uint64_t frame) const {
    std::lock_guard<std::mutex> lock(mutex_);
    if (ended_ && frame >= rendered_) {
        return kNoMusicPosition;
    }
    // The newest mark at or before the frame: marks are in frame order around the ring.
    std::size_t low = 0;
    std::size_t high = count_;
    while (high - low > 1) {
        std::size_t middle = (low + high) / 2;
        if (marks_[(first_ + middle) % kMarks].frame <= frame) {
            low = middle;
        } else {
            high = middle;
        }
    }
    return marks_[(first_ + low) % kMarks].position;
}

std::uint64_t ModuleRenderer::renderedFrames() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return rendered_;
}

bool ModuleRenderer::ended() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return ended_;
}

void ModuleRenderer::rewind() {
    // A seek by time replays the song's state up to there: speed and tempo start afresh.
    module_->set_position_seconds(0.0);
    std::lock_guard<std::mutex> lock(mutex_);
    first_ = 0;
    count_ = 0;
    rendered_ = 0;
    ended_ = false;
    addMark(0, currentPosition());
}

// ---------------------------------------------------------------------------------------------
// The module as an SFML stream, and as a channel of the audio layer
// ---------------------------------------------------------------------------------------------

namespace {

// About 93 ms per buffer at 44.1 kHz: SFML queues three, enough to ride out a busy main thread.
constexpr std::size_t kStreamChunkFrames = 4096;

// Enough for one frame of the picture at a time on the silent clock.
constexpr std::size_t kScratchFrames = 4096;

class ModuleStream final : public sf::SoundStream {
public:
    explicit ModuleStream(ModuleRenderer& renderer)
        : renderer_(renderer), buffer_(kStreamChunkFrames * renderer.channels()) {
        initialize(renderer.channels(), renderer.sampleRate());
    }

    // SFML's streaming thread must be gone before the buffer and renderer are.
    ~ModuleStream() override { stop(); }

private:
    bool onGetData(Chunk& data) override {
        std::size_t frames = renderer_.render(buffer_.data(), kStreamChunkFrames);
        data.samples = buffer_.data();
        data.sampleCount = frames * renderer_.channels();
        return frames == kStreamChunkFrames;
    }

    // SFML only ever seeks to the start (on stop), which is what a restart needs.
    void onSeek(sf::Time) override { renderer_.rewind(); }

    ModuleRenderer& renderer_;
    std::vector<std::int16_t> buffer_;
};

class ModuleChannel final : public AudioChannel {
public:
    ModuleChannel(std::unique_ptr<ModuleRenderer> renderer, AudioOutput output)
        : renderer_(std::move(renderer)) {
        if (output == AudioOutput::Device) {
            stream_ = std::make_unique<ModuleStream>(*renderer_);
        } else {
            scratch_.resize(kScratchFrames * renderer_->channels());
        }
    }

    void play(bool restart) override {
        if (stream_) {
            if (stream_->getStatus() == sf::SoundStream::Playing && !restart) {
                return;
            }
            stream_->stop();  // rewinds the renderer through onSeek
            heardFrame_ = 0;
            stream_->play();
            return;
        }
        if (clockRunning_ && !restart && !silentClockEnded()) {
            return;
        }
        renderer_->rewind();
        heardFrame_ = 0;
        clockStart_ = Clock::now();
        clockRunning_ = true;
    }

    std::uint64_t musicPosition() override {
        std::uint64_t frame = 0;
        if (stream_) {
            if (stream_->getStatus() != sf::SoundStream::Playing) {
                return kNoMusicPosition;
            }
            auto micros = std::max<sf::Int64>(0, stream_->getPlayingOffset().asMicroseconds());
            frame = static_cast<std::uint64_t>(micros) * renderer_->sampleRate() / 1000000u;
        } else {
            if (!clockRunning_) {
                return kNoMusicPosition;
            }
            frame = advanceSilentClock();
        }
        // SFML's offset can step back for a moment while it recycles a buffer; what has been
        // heard never goes back.
        heardFrame_ = std::max(heardFrame_, frame);
        return renderer_->positionAt(heardFrame_);
    }

private:
    using Clock = std::chrono::steady_clock;

    // Renders, unheard, up to the frame the clock has reached, so the module's own timing
    // (tempo changes, pattern breaks, loops) decides the row exactly as when it is heard.
    std::uint64_t advanceSilentClock() {
        auto elapsed =
            std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - clockStart_);
        auto target =
            static_cast<std::uint64_t>(elapsed.count()) * renderer_->sampleRate() / 1000000u;
        std::uint64_t rendered = renderer_->renderedFrames();
        while (rendered <= target && !renderer_->ended()) {
            auto frames = static_cast<std::size_t>(
                std::min<std::uint64_t>(target + 1 - rendered, kScratchFrames));
            rendered += renderer_->render(scratch_.data(), frames);
        }
        return target;
    }

    bool silentClockEnded() {
        return advanceSilentClock() >= renderer_->renderedFrames() && renderer_->ended();
    }

    std::unique_ptr<ModuleRenderer> renderer_;
    std::unique_ptr<ModuleStream> stream_;  // null on the silent clock
    std::vector<std::int16_t> scratch_;     // the silent clock's unheard output
    bool clockRunning_ = false;
    Clock::time_point clockStart_;
    std::uint64_t heardFrame_ = 0;
};

}  // namespace

std::unique_ptr<AudioChannel> openModuleChannel(const AudioBytes& bytes, bool loop,
                                                unsigned sampleRate, AudioOutput output) {
    // Nobody hears the silent clock: one channel and the plainest interpolation keep it cheap
    // without changing its timing.
    bool silent = output == AudioOutput::Silent;
    auto renderer = ModuleRenderer::load(bytes, loop, sampleRate, silent ? 1 : 2, silent);
    if (!renderer) {
        return nullptr;
    }
    return std::make_unique<ModuleChannel>(std::move(renderer), output);
}
