// desert.mp3's sound: a drone on the module's tonic (D), desert wind, slow swells in the
// module's tempo, and a soft boom-and-gong at every scene change.
#pragma once

#include <array>
#include <vector>

namespace desert {

constexpr int kRate = 44100;
constexpr double kSeconds = 125.0;
// Seconds after the music starts at which the demo changes scene.
constexpr std::array<double, 9> kAccents = {12, 28, 44, 56, 70, 78, 86, 106, 122};

// The whole stream, interleaved left/right at kRate, full scale +-1.
std::vector<float> stream();

}  // namespace desert
