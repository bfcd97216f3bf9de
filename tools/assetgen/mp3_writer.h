// MP3 encoding of synthesised stereo sound with libmp3lame: constant bit rate, a LAME/Info
// header frame (so decoders drop the encoder's delay and padding), no ID3 tag, nothing that
// depends on the time of day: the same samples always give the same bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mp3 {

struct Settings {
    int sampleRate = 44100;
    int kbps = 160;   // constant bit rate
    int quality = 5;  // LAME's 0 (best, slowest) .. 9
};

// Encodes interleaved left/right samples (full scale +-1; louder values are clipped) and returns
// the MP3 file's bytes. Throws std::invalid_argument for settings MPEG-1 layer III cannot carry
// or an odd sample count, std::runtime_error when the encoder itself fails.
std::vector<uint8_t> encodeStereo(const std::vector<float>& interleaved, const Settings& settings);

// Writes `bytes` to `path`; throws std::runtime_error naming the file when that fails.
void writeFile(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace mp3
