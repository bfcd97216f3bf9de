#include "tools/capture/offline_audio.h"

#include <mpg123.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <mutex>

#include "tools/capture/capture_error.h"

namespace {

constexpr long kRate = 44100;

void putLe(std::uint8_t* at, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) {
        at[i] = static_cast<std::uint8_t>(value >> (8 * i));
    }
}

// The canonical 44-byte header of a PCM WAV file holding `frames` 16-bit stereo samples.
void wavHeader(std::uint8_t* h, int sampleRate, std::uint64_t frames) {
    const std::uint32_t dataBytes =
        static_cast<std::uint32_t>(std::min<std::uint64_t>(frames * 4, 0xFFFFFFFFu - 36));
    std::memcpy(h, "RIFF", 4);
    putLe(h + 4, 36 + dataBytes, 4);
    std::memcpy(h + 8, "WAVEfmt ", 8);
    putLe(h + 16, 16, 4);                                          // fmt chunk size
    putLe(h + 20, 1, 2);                                           // PCM
    putLe(h + 22, 2, 2);                                           // channels
    putLe(h + 24, static_cast<std::uint32_t>(sampleRate), 4);      // sample rate
    putLe(h + 28, static_cast<std::uint32_t>(sampleRate) * 4, 4);  // bytes per second
    putLe(h + 32, 4, 2);                                           // bytes per frame
    putLe(h + 34, 16, 2);                                          // bits per sample
    std::memcpy(h + 36, "data", 4);
    putLe(h + 40, dataBytes, 4);
}

}  // namespace

Mp3Reader::Mp3Reader(const std::string& path) {
    static std::once_flag initialised;
    std::call_once(initialised, [] { mpg123_init(); });
    int result = MPG123_OK;
    mpg123_handle* handle = mpg123_new(nullptr, &result);
    if (!handle) {
        error_ = std::string("libmpg123: ") + mpg123_plain_strerror(result);
        return;
    }
    // One fixed output format: mono is doubled and other rates converted by libmpg123.
    mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET | MPG123_FORCE_STEREO, 0.0);
    mpg123_format_none(handle);
    if (mpg123_format(handle, kRate, MPG123_STEREO, MPG123_ENC_FLOAT_32) != MPG123_OK ||
        mpg123_open(handle, path.c_str()) != MPG123_OK) {
        error_ = path + ": " + mpg123_strerror(handle);
        mpg123_delete(handle);
        return;
    }
    long rate = 0;
    int channels = 0, encoding = 0;
    if (mpg123_getformat(handle, &rate, &channels, &encoding) != MPG123_OK || rate != kRate ||
        channels != 2 || encoding != MPG123_ENC_FLOAT_32) {
        error_ = path + ": cannot be decoded to 44.1 kHz stereo";
        mpg123_close(handle);
        mpg123_delete(handle);
        return;
    }
    handle_ = handle;
}

Mp3Reader::~Mp3Reader() {
    if (handle_) {
        mpg123_close(handle_);
        mpg123_delete(handle_);
    }
}

void Mp3Reader::mixInto(float* mix, std::size_t frames) {
    if (!handle_ || ended_) {
        return;
    }
    buffer_.assign(frames * 2, 0.0f);
    std::size_t wanted = buffer_.size() * sizeof(float);
    std::size_t got = 0;
    while (got < wanted && !ended_) {
        std::size_t done = 0;
        int result = mpg123_read(handle_, reinterpret_cast<unsigned char*>(buffer_.data()) + got,
                                 wanted - got, &done);
        got += done;
        if (result == MPG123_NEW_FORMAT) {
            continue;  // the format is fixed, so nothing changes for us
        }
        // The end of the stream, or a file that stops decoding: from here on it is silent,
        // as when the live layer's stream has played out.
        if (result != MPG123_OK || done == 0) {
            ended_ = true;
        }
    }
    for (std::size_t i = 0; i < got / sizeof(float); ++i) {
        mix[i] += buffer_[i];
    }
}

WavWriter::WavWriter(const std::string& path, int sampleRate)
    : path_(path), sampleRate_(sampleRate) {
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) {
        throw CaptureError("cannot write " + path + ": " + std::strerror(errno));
    }
    std::uint8_t header[44];
    wavHeader(header, sampleRate_, 0);
    failed_ = std::fwrite(header, 1, sizeof header, file_) != sizeof header;
}

WavWriter::~WavWriter() {
    if (file_) {
        std::fclose(file_);
    }
}

void WavWriter::write(const float* stereo, std::size_t frames) {
    buffer_.resize(frames * 2);
    for (std::size_t i = 0; i < frames * 2; ++i) {
        float v = std::clamp(stereo[i], -1.0f, 1.0f) * 32767.0f;
        buffer_[i] = static_cast<std::int16_t>(std::lround(v));
    }
    if (!failed_ && frames > 0) {
        failed_ = std::fwrite(buffer_.data(), 4, frames, file_) != frames;
    }
    frames_ += frames;
}

void WavWriter::close() {
    if (!file_) {
        return;
    }
    std::uint8_t header[44];
    wavHeader(header, sampleRate_, frames_);
    if (!failed_) {
        failed_ = std::fseek(file_, 0, SEEK_SET) != 0 ||
                  std::fwrite(header, 1, sizeof header, file_) != sizeof header;
    }
    const int err = errno;
    failed_ = std::fclose(file_) != 0 || failed_;
    file_ = nullptr;
    if (failed_) {
        throw CaptureError("cannot write " + path_ + ": " + std::strerror(err));
    }
}
