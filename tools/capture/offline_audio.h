// The demo's sound rendered offline: the MP3 stream decoded in step with the frames, mixed with
// the module, and written to a WAV file for the encoder.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

struct mpg123_handle_struct;

// An MP3 file decoded to 44.1 kHz stereo float, played once: after its end it gives silence.
class Mp3Reader {
public:
    explicit Mp3Reader(const std::string& path);
    ~Mp3Reader();
    Mp3Reader(const Mp3Reader&) = delete;
    Mp3Reader& operator=(const Mp3Reader&) = delete;

    bool opened() const { return handle_ != nullptr; }
    const std::string& error() const { return error_; }

    // Adds the next `frames` stereo samples to mix (interleaved, 2 x frames values).
    void mixInto(float* mix, std::size_t frames);

private:
    mpg123_handle_struct* handle_ = nullptr;
    std::string error_;
    bool ended_ = false;
    std::vector<float> buffer_;
};

// A 16-bit stereo PCM WAV file written as it goes; the header's sizes are set by close().
class WavWriter {
public:
    WavWriter(const std::string& path, int sampleRate);  // throws CaptureError
    ~WavWriter();
    WavWriter(const WavWriter&) = delete;
    WavWriter& operator=(const WavWriter&) = delete;

    // Interleaved stereo in -1..1; louder samples are clipped, as the sound card would.
    void write(const float* stereo, std::size_t frames);
    void close();  // throws CaptureError when the file could not be completed
    std::uint64_t frames() const { return frames_; }

private:
    std::string path_;
    std::FILE* file_ = nullptr;
    int sampleRate_;
    std::uint64_t frames_ = 0;
    bool failed_ = false;
    std::vector<std::int16_t> buffer_;
};
