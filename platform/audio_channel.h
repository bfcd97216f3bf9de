// What the audio layer's handles stand for: a stream or a module that can be played and asked
// where it is. Each kind lives in its own file (audio_mp3.cpp, audio_module.cpp); bass.cpp keeps
// the handles.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

using AudioBytes = std::vector<std::uint8_t>;

class AudioChannel {
public:
    virtual ~AudioChannel() = default;

    // Starts playback in the background, or from the beginning again when restart is true or the
    // channel has played to its end. Playing channels otherwise go on undisturbed.
    virtual void play(bool restart) = 0;

    // A playing module's order (bits 0-15) and row (bits 16-31) being heard now; all bits set for
    // anything else.
    virtual std::uint64_t musicPosition() = 0;
};

constexpr std::uint64_t kNoMusicPosition = ~std::uint64_t{0};

// Whether a channel is heard through the sound device or only keeps time.
enum class AudioOutput { Device, Silent };

// nullptr when the bytes are not audio of the channel's kind.
std::unique_ptr<AudioChannel> openMp3Channel(AudioBytes bytes, bool loop, AudioOutput output);
std::unique_ptr<AudioChannel> openModuleChannel(const AudioBytes& bytes, bool loop,
                                                unsigned sampleRate, AudioOutput output);

// Whether OpenAL can open the default output device. Quiet: the libraries' own complaints about a
// missing device are kept off standard error (unless ALSOFT_LOGLEVEL asks for them).
bool probeSoundDevice();
