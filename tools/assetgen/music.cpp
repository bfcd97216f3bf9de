// The demo's music: arabish.xm, the looping module that carries the beat, and desert.mp3, the
// stream that plays once under it.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>

#include "tools/assetgen/assetgen.h"
#include "tools/assetgen/mp3_writer.h"
#include "tools/assetgen/xm_writer.h"

namespace {

constexpr double kPi = 3.14159265358979323846;

xm::Instrument kick() {
    xm::Instrument ins;
    ins.name = "kick";
    const double rate = 22050;
    double phase = 0;
    for (int i = 0; i < 6000; ++i) {
        const double t = i / rate;
        phase += 2 * kPi * (45 + 110 * std::exp(-t * 30)) / rate;
        ins.sample.data.push_back(static_cast<int16_t>(28000 * std::sin(phase) * std::exp(-t * 9)));
    }
    xm::tuneSample(ins.sample, rate, 0);
    return ins;
}

xm::Module placeholderModule() {
    xm::Module m;
    m.name = "arabish";
    m.channels = 4;
    m.instruments.push_back(kick());
    xm::Pattern p(64, m.channels);
    for (int row = 0; row < 64; row += 4) {
        p.at(row, 0).note = xm::noteNumber("C-4");
        p.at(row, 0).instrument = 1;
    }
    m.patterns.push_back(p);
    m.order = {0};
    return m;
}

std::vector<float> placeholderStream() {
    const int rate = 44100;
    std::vector<float> out(static_cast<size_t>(rate) * 5 * 2);
    for (size_t i = 0; i < out.size() / 2; ++i) {
        const double t = static_cast<double>(i) / rate;
        const float v = static_cast<float>(0.2 * std::sin(2 * kPi * 73.42 * t) *
                                           std::min(1.0, std::min(t, 5.0 - t)));
        out[2 * i] = out[2 * i + 1] = v;
    }
    return out;
}

}  // namespace

void generateMusic(const std::string& outDir) {
    try {
        mp3::writeFile(outDir + "/arabish.xm", xm::write(placeholderModule()));
        mp3::writeFile(outDir + "/desert.mp3", mp3::encodeStereo(placeholderStream(), {}));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zandar-assetgen: music: %s\n", e.what());
        std::exit(1);
    }
}
