// The audio library's entry points: the output decision, the handles, and reading what the
// caller names (a file or a memory block). The channels themselves are in audio_mp3.cpp and
// audio_module.cpp.

#include "platform/bass.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>

#include "platform/audio_channel.h"

namespace {

constexpr unsigned kDefaultRate = 44100;

// The layer's one record of state. Constructed on first use, so that it is destroyed before the
// SFML and OpenAL state it relies on: its destructor stops every stream (and with the last one
// SFML closes the device) while all of that still exists, and the process exits cleanly with
// channels playing.
struct AudioLayer {
    std::mutex mutex;             // guards everything below; calls may come from any thread
    bool outputDisabled = false;  // bassDisableOutput was called
    bool initialised = false;     // BASS_Init has succeeded
    AudioOutput output = AudioOutput::Silent;  // decided once, by BASS_Init
    unsigned sampleRate = kDefaultRate;        // modules loaded with freq 0 render at this
    DWORD lastHandle = 0;                      // handles count up from 1, never reused
    std::map<DWORD, std::unique_ptr<AudioChannel>> channels;

    ~AudioLayer() { channels.clear(); }

    DWORD add(std::unique_ptr<AudioChannel> channel) {
        if (!channel) {
            return 0;
        }
        do {
            ++lastHandle;
        } while (lastHandle == 0 || channels.count(lastHandle) != 0);
        channels.emplace(lastHandle, std::move(channel));
        return lastHandle;
    }

    AudioChannel* find(DWORD handle) {
        auto found = channels.find(handle);
        return found == channels.end() ? nullptr : found->second.get();
    }
};

AudioLayer& layer() {
    static AudioLayer instance;
    return instance;
}

bool usableRate(DWORD freq) {
    return freq >= 8000 && freq <= 192000;
}

// The bytes a create call names: length bytes at offset in a memory block, or a file from offset
// on (length 0: to its end). Nothing when they cannot all be had.
std::optional<AudioBytes> readSource(BOOL mem, const void* file, QWORD offset, QWORD length) {
    if (!file) {
        return std::nullopt;
    }
    if (mem) {
        if (length == 0) {
            return std::nullopt;
        }
        const auto* begin = static_cast<const std::uint8_t*>(file) + offset;
        return AudioBytes(begin, begin + length);
    }
    const char* path = static_cast<const char*>(file);
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        return std::nullopt;
    }
    std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error || offset >= size) {
        return std::nullopt;
    }
    std::uintmax_t count = size - offset;
    if (length != 0) {
        if (length > count) {
            return std::nullopt;
        }
        count = length;
    }
    std::ifstream in(path, std::ios::binary);
    AudioBytes bytes(static_cast<std::size_t>(count));
    in.seekg(static_cast<std::streamoff>(offset));
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(count));
    if (!in || in.gcount() != static_cast<std::streamsize>(count)) {
        return std::nullopt;
    }
    return bytes;
}

// What both create calls share: only after BASS_Init, only with every byte the caller named;
// open makes the channel from the bytes (null when they are not music). 0 on any failure.
template <typename Open>
DWORD createChannel(BOOL mem, const void* file, QWORD offset, QWORD length, Open open) {
    AudioLayer& audio = layer();
    std::lock_guard<std::mutex> lock(audio.mutex);
    if (!audio.initialised) {
        return 0;
    }
    std::optional<AudioBytes> bytes = readSource(mem, file, offset, length);
    if (!bytes) {
        return 0;
    }
    return audio.add(open(std::move(*bytes), audio));
}

}  // namespace

BOOL BASS_Init(int device, DWORD freq, DWORD flags, void* win, const void* dsguid) {
    AudioLayer& audio = layer();
    std::lock_guard<std::mutex> lock(audio.mutex);
    if (audio.initialised) {
        return 1;
    }
    if (device < -1 || device > 1) {
        return 0;
    }
    audio.sampleRate = usableRate(freq) ? freq : kDefaultRate;
    if (audio.outputDisabled || device == 0) {
        audio.output = AudioOutput::Silent;
    } else if (probeSoundDevice()) {
        audio.output = AudioOutput::Device;
    } else {
        audio.output = AudioOutput::Silent;
        std::fputs("audio: no sound device, playing silently\n", stderr);
    }
    audio.initialised = true;
    return 1;
}

HSTREAM BASS_StreamCreateFile(BOOL mem, const void* file, QWORD offset, QWORD length, DWORD flags) {
    bool loop = (flags & BASS_SAMPLE_LOOP) != 0;
    return createChannel(mem, file, offset, length, [&](AudioBytes bytes, AudioLayer& audio) {
        return openMp3Channel(std::move(bytes), loop, audio.output);
    });
}

HMUSIC BASS_MusicLoad(BOOL mem, const void* file, QWORD offset, DWORD length, DWORD flags,
                      DWORD freq) {
    bool loop = (flags & BASS_MUSIC_LOOP) != 0;
    return createChannel(mem, file, offset, length, [&](AudioBytes bytes, AudioLayer& audio) {
        unsigned rate = usableRate(freq) ? freq : audio.sampleRate;
        return openModuleChannel(bytes, loop, rate, audio.output);
    });
}

BOOL BASS_ChannelPlay(DWORD handle, BOOL restart) {
    AudioLayer& audio = layer();
    std::lock_guard<std::mutex> lock(audio.mutex);
    AudioChannel* channel = audio.find(handle);
    if (!channel) {
        return 0;
    }
    channel->play(restart != 0);
    return 1;
}

QWORD BASS_ChannelGetPosition(DWORD handle, DWORD mode) {
    AudioLayer& audio = layer();
    std::lock_guard<std::mutex> lock(audio.mutex);
    AudioChannel* channel = audio.find(handle);
    if (!channel || mode != BASS_POS_MUSIC_ORDER) {
        return BASS_POSITION_INVALID;
    }
    return channel->musicPosition();
}

void bassDisableOutput() {
    AudioLayer& audio = layer();
    std::lock_guard<std::mutex> lock(audio.mutex);
    audio.outputDisabled = true;
}
