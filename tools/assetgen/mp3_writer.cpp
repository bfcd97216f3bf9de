#include "tools/assetgen/mp3_writer.h"

#include <lame/lame.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>

namespace mp3 {

namespace {

struct LameDeleter {
    void operator()(lame_global_flags* gfp) const { lame_close(gfp); }
};

int16_t toPcm16(float v) {
    const float scaled = std::round(std::clamp(v, -1.0f, 1.0f) * 32767.0f);
    return static_cast<int16_t>(scaled);
}

}  // namespace

std::vector<uint8_t> encodeStereo(const std::vector<float>& interleaved, const Settings& s) {
    static const int kRates[] = {32000, 44100, 48000};
    static const int kBitRates[] = {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320};
    if (std::find(std::begin(kRates), std::end(kRates), s.sampleRate) == std::end(kRates)) {
        throw std::invalid_argument("mp3: sample rate must be 32000, 44100 or 48000 Hz");
    }
    if (std::find(std::begin(kBitRates), std::end(kBitRates), s.kbps) == std::end(kBitRates)) {
        throw std::invalid_argument(
            "mp3: not an MPEG-1 layer III bit rate: " + std::to_string(s.kbps) + " kbit/s");
    }
    if (s.quality < 0 || s.quality > 9)
        throw std::invalid_argument("mp3: quality must be 0..9");
    if (interleaved.size() % 2 != 0) {
        throw std::invalid_argument("mp3: stereo samples must come in left/right pairs");
    }
    std::unique_ptr<lame_global_flags, LameDeleter> gfp(lame_init());
    if (!gfp)
        throw std::runtime_error("mp3: lame_init failed");
    lame_set_num_channels(gfp.get(), 2);
    lame_set_in_samplerate(gfp.get(), s.sampleRate);
    lame_set_out_samplerate(gfp.get(), s.sampleRate);
    lame_set_mode(gfp.get(), JOINT_STEREO);
    lame_set_VBR(gfp.get(), vbr_off);
    lame_set_brate(gfp.get(), s.kbps);
    lame_set_quality(gfp.get(), s.quality);
    lame_set_bWriteVbrTag(gfp.get(), 1);
    lame_set_write_id3tag_automatic(gfp.get(), 0);
    if (lame_init_params(gfp.get()) < 0) {
        throw std::runtime_error("mp3: the encoder refused the settings");
    }

    const size_t frames = interleaved.size() / 2;
    constexpr size_t kChunk = 8192;
    std::vector<short> pcm(kChunk * 2);
    std::vector<uint8_t> buffer(kChunk * 5 / 4 + 7200);
    std::vector<uint8_t> out;
    out.reserve(frames / s.sampleRate * s.kbps * 125 + 16384);
    for (size_t at = 0; at < frames; at += kChunk) {
        const size_t n = std::min(kChunk, frames - at);
        for (size_t i = 0; i < n * 2; ++i) pcm[i] = toPcm16(interleaved[at * 2 + i]);
        const int written =
            lame_encode_buffer_interleaved(gfp.get(), pcm.data(), static_cast<int>(n),
                                           buffer.data(), static_cast<int>(buffer.size()));
        if (written < 0)
            throw std::runtime_error("mp3: encoding failed");
        out.insert(out.end(), buffer.begin(), buffer.begin() + written);
    }
    const int tail = lame_encode_flush(gfp.get(), buffer.data(), static_cast<int>(buffer.size()));
    if (tail < 0)
        throw std::runtime_error("mp3: flushing the encoder failed");
    out.insert(out.end(), buffer.begin(), buffer.begin() + tail);

    // The encoder reserved the first frame for the Info tag (length, delay, padding); fill it
    // in now that the whole stream is known.
    std::vector<uint8_t> tag(4096);
    const size_t tagSize = lame_get_lametag_frame(gfp.get(), tag.data(), tag.size());
    if (tagSize > 0 && tagSize <= tag.size() && tagSize <= out.size()) {
        std::copy(tag.begin(), tag.begin() + static_cast<long>(tagSize), out.begin());
    }
    return out;
}

void writeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    file.close();
    if (!file)
        throw std::runtime_error("cannot write " + path);
}

}  // namespace mp3
