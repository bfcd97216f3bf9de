// MP3 streams for the audio layer: libmpg123 decodes from memory, SFML streams to OpenAL.

#include <mpg123.h>

#include <SFML/Audio/SoundStream.hpp>
#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

#include "platform/audio_channel.h"

namespace {

// About 93 ms per buffer at 44.1 kHz stereo; SFML queues three.
constexpr std::size_t kChunkFrames = 4096;

// Whether the data opens like an MPEG audio file: ID3v2 tags, if any, then a frame header.
// libmpg123 would rather skip junk to find a frame, and finds one by chance in many other files
// (tracker modules among them), which would then play as noise.
bool startsWithMpegFrame(const AudioBytes& bytes) {
    std::size_t at = 0;
    while (bytes.size() >= at + 10 && std::memcmp(bytes.data() + at, "ID3", 3) == 0) {
        std::size_t size = 0;
        for (std::size_t i = 6; i < 10; ++i) {
            size = (size << 7) | (bytes[at + i] & 0x7Fu);  // sync-safe: 7 bits a byte
        }
        bool footer = (bytes[at + 5] & 0x10u) != 0;
        at += 10 + size + (footer ? 10 : 0);
    }
    if (bytes.size() < at + 4) {
        return false;
    }
    std::uint32_t header = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        header = (header << 8) | bytes[at + i];
    }
    bool sync = (header >> 21) == 0x7FFu;
    bool version = ((header >> 19) & 3u) != 1u;    // 1 is reserved
    bool layer = ((header >> 17) & 3u) != 0u;      // 0 is reserved
    bool bitrate = ((header >> 12) & 15u) != 15u;  // 15 is invalid
    bool rate = ((header >> 10) & 3u) != 3u;       // 3 is reserved
    return sync && version && layer && bitrate && rate;
}

// libmpg123 over a block of memory, 16-bit samples at whatever rate and channel count the file
// has (SFML takes any).
class Mp3Decoder {
public:
    // nullptr unless the bytes decode to at least one frame of audio.
    static std::unique_ptr<Mp3Decoder> open(AudioBytes bytes) {
        if (!startsWithMpegFrame(bytes)) {
            return nullptr;
        }
        static std::once_flag initialised;
        std::call_once(initialised, [] { mpg123_init(); });
        std::unique_ptr<Mp3Decoder> decoder(new Mp3Decoder(std::move(bytes)));
        if (!decoder->handle_ || !decoder->start()) {
            return nullptr;
        }
        // A format header can turn up in any data by chance; a decodable frame hardly does.
        std::vector<std::int16_t> probe(1152 * decoder->channels_);
        if (decoder->read(probe.data(), probe.size()) == 0 || !decoder->start()) {
            return nullptr;
        }
        return decoder;
    }

    ~Mp3Decoder() {
        if (handle_) {
            mpg123_close(handle_);
            mpg123_delete(handle_);
        }
    }

    Mp3Decoder(const Mp3Decoder&) = delete;
    Mp3Decoder& operator=(const Mp3Decoder&) = delete;

    unsigned channels() const { return channels_; }
    unsigned sampleRate() const { return sampleRate_; }

    // Interleaved samples (not frames) decoded into out; fewer than asked only at the end.
    std::size_t read(std::int16_t* out, std::size_t samples) {
        std::size_t got = 0;
        while (got < samples && !ended_) {
            std::size_t bytes = 0;
            int result = mpg123_read(handle_, reinterpret_cast<unsigned char*>(out + got),
                                     (samples - got) * sizeof(std::int16_t), &bytes);
            got += bytes / sizeof(std::int16_t);
            if (result == MPG123_NEW_FORMAT) {
                long rate = 0;
                int channels = 0;
                int encoding = 0;
                mpg123_getformat(handle_, &rate, &channels, &encoding);
                // SFML cannot change format mid-stream; a file that does is cut there.
                ended_ = static_cast<unsigned>(rate) != sampleRate_ ||
                         static_cast<unsigned>(channels) != channels_;
            } else if (result != MPG123_OK) {
                ended_ = true;  // MPG123_DONE, or an error that resyncing could not mend
            }
        }
        return got;
    }

    // Back to the first frame.
    bool start() {
        mpg123_close(handle_);
        position_ = 0;
        ended_ = false;
        if (mpg123_open_handle(handle_, this) != MPG123_OK) {
            return false;
        }
        long rate = 0;
        int channels = 0;
        int encoding = 0;
        if (mpg123_getformat(handle_, &rate, &channels, &encoding) != MPG123_OK ||
            encoding != MPG123_ENC_SIGNED_16 || channels < 1 || channels > 2) {
            return false;
        }
        sampleRate_ = static_cast<unsigned>(rate);
        channels_ = static_cast<unsigned>(channels);
        return true;
    }

private:
    explicit Mp3Decoder(AudioBytes bytes) : bytes_(std::move(bytes)) {
        handle_ = mpg123_new(nullptr, nullptr);
        if (!handle_) {
            return;
        }
        mpg123_param(handle_, MPG123_ADD_FLAGS, MPG123_QUIET, 0.0);
        mpg123_format_none(handle_);
        const long* rates = nullptr;
        std::size_t count = 0;
        mpg123_rates(&rates, &count);
        for (std::size_t i = 0; i < count; ++i) {
            mpg123_format(handle_, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_SIGNED_16);
        }
        if (mpg123_replace_reader_handle(handle_, &Mp3Decoder::readBytes, &Mp3Decoder::seekBytes,
                                         nullptr) != MPG123_OK) {
            mpg123_delete(handle_);
            handle_ = nullptr;
        }
    }

    static mpg123_ssize_t readBytes(void* self, void* out, std::size_t size) {
        auto* decoder = static_cast<Mp3Decoder*>(self);
        std::size_t left = decoder->bytes_.size() - decoder->position_;
        std::size_t count = std::min(size, left);
        std::memcpy(out, decoder->bytes_.data() + decoder->position_, count);
        decoder->position_ += count;
        return static_cast<mpg123_ssize_t>(count);
    }

    static off_t seekBytes(void* self, off_t offset, int whence) {
        auto* decoder = static_cast<Mp3Decoder*>(self);
        off_t base = whence == SEEK_SET   ? 0
                     : whence == SEEK_CUR ? static_cast<off_t>(decoder->position_)
                     : whence == SEEK_END ? static_cast<off_t>(decoder->bytes_.size())
                                          : -1;
        off_t target = base + offset;
        if (base < 0 || target < 0 || target > static_cast<off_t>(decoder->bytes_.size())) {
            return -1;
        }
        decoder->position_ = static_cast<std::size_t>(target);
        return target;
    }

    AudioBytes bytes_;
    std::size_t position_ = 0;
    mpg123_handle* handle_ = nullptr;
    unsigned sampleRate_ = 0;
    unsigned channels_ = 0;
    bool ended_ = false;
};

class Mp3Stream final : public sf::SoundStream {
public:
    explicit Mp3Stream(std::unique_ptr<Mp3Decoder> decoder)
        : decoder_(std::move(decoder)), buffer_(kChunkFrames * decoder_->channels()) {
        initialize(decoder_->channels(), decoder_->sampleRate());
    }

    // SFML's streaming thread must be gone before the decoder is.
    ~Mp3Stream() override { stop(); }

private:
    bool onGetData(Chunk& data) override {
        std::size_t samples = decoder_->read(buffer_.data(), buffer_.size());
        data.samples = buffer_.data();
        data.sampleCount = samples;
        return samples == buffer_.size();
    }

    // SFML only ever seeks to the start (on stop and when looping).
    void onSeek(sf::Time) override { decoder_->start(); }

    std::unique_ptr<Mp3Decoder> decoder_;
    std::vector<std::int16_t> buffer_;
};

class Mp3Channel final : public AudioChannel {
public:
    explicit Mp3Channel(std::unique_ptr<Mp3Stream> stream) : stream_(std::move(stream)) {}

    void play(bool restart) override {
        if (!stream_) {
            return;  // no output: nothing to do, nobody asks a stream where it is
        }
        if (stream_->getStatus() == sf::SoundStream::Playing && !restart) {
            return;
        }
        stream_->stop();  // back to the start
        stream_->play();
    }

    std::uint64_t musicPosition() override { return kNoMusicPosition; }

private:
    std::unique_ptr<Mp3Stream> stream_;  // null without output
};

}  // namespace

std::unique_ptr<AudioChannel> openMp3Channel(AudioBytes bytes, bool loop, AudioOutput output) {
    auto decoder = Mp3Decoder::open(std::move(bytes));
    if (!decoder) {
        return nullptr;
    }
    if (output == AudioOutput::Silent) {
        return std::make_unique<Mp3Channel>(nullptr);
    }
    auto stream = std::make_unique<Mp3Stream>(std::move(decoder));
    stream->setLoop(loop);
    return std::make_unique<Mp3Channel>(std::move(stream));
}
