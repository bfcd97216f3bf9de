#include "tools/assetgen/music_stream.h"

#include <algorithm>
#include <cmath>

#include "tools/assetgen/synth.h"

namespace desert {

namespace {

using synth::kPi;

constexpr double kTonic = 73.416;         // D-2
constexpr double kPatternSeconds = 7.68;  // 64 rows of 0.12 s in the module
constexpr double kBarSeconds = 1.92;

// A value that wanders smoothly between random knots `period` seconds apart, in 0..1.
class Wander {
public:
    Wander(uint64_t seed, double period) : rng_(seed), period_(period) {
        a_ = rng_.uniform();
        b_ = rng_.uniform();
    }
    double at(double t) {
        while (t >= (knot_ + 1) * period_) {
            ++knot_;
            a_ = b_;
            b_ = rng_.uniform();
        }
        const double x = (t - knot_ * period_) / period_;
        return a_ + (b_ - a_) * (0.5 - 0.5 * std::cos(kPi * x));
    }

private:
    synth::Rng rng_;
    double period_;
    long knot_ = 0;
    double a_, b_;
};

// One cycle of a mellow harmonic tone, read with linear interpolation.
class TableOsc {
public:
    TableOsc(const std::vector<double>& table, double frequency)
        : table_(&table), step_(frequency * static_cast<double>(table.size()) / kRate) {}
    double next() {
        const size_t n = table_->size();
        const size_t i = static_cast<size_t>(pos_);
        const double f = pos_ - static_cast<double>(i);
        const double v = (*table_)[i] + f * ((*table_)[(i + 1) % n] - (*table_)[i]);
        pos_ += step_;
        if (pos_ >= static_cast<double>(n))
            pos_ -= static_cast<double>(n);
        return v;
    }

private:
    const std::vector<double>* table_;
    double step_;
    double pos_ = 0;
};

std::vector<double> droneTable() {
    std::vector<double> table(4096, 0.0);
    for (int h = 1; h <= 48; ++h) {
        const double amp = 1.0 / std::pow(h, 1.2);
        for (size_t i = 0; i < table.size(); ++i) {
            table[i] +=
                amp * std::sin(2 * kPi * h * static_cast<double>(i) / table.size() + 0.7 * h * h);
        }
    }
    return table;
}

// The accent at a scene change: a breath of noise swelling over the bar before it, then a
// low boom and a soft gong on the tonic that ring on for several seconds.
struct Accent {
    double at;
    double pre = kBarSeconds;
    double ring = 7.0;
};

double gong(double t) {
    // Inharmonic modes of a plate tuned to D-3, beating in pairs.
    static const double kModes[][3] = {{1.0, 1.0, 4.5},   {1.003, 0.6, 4.0}, {2.01, 0.45, 3.2},
                                       {2.76, 0.35, 2.4}, {3.42, 0.25, 1.8}, {4.18, 0.18, 1.3},
                                       {5.4, 0.1, 0.9}};
    if (t < 0)
        return 0;
    double v = 0;
    for (const auto& m : kModes)
        v += m[1] * std::sin(2 * kPi * 2 * kTonic * m[0] * t) * std::exp(-t / m[2]);
    return v * std::min(1.0, t / 0.06);  // struck with a soft mallet
}

double boom(double t) {
    if (t < 0)
        return 0;
    const double phase = 2 * kPi * (38 * t + (62 - 38) * 0.09 * (1 - std::exp(-t / 0.09)));
    return std::sin(phase) * std::exp(-t / 0.9) *
           std::min(1.0, t / 0.04);  // a soft swell, no crack
}

}  // namespace

std::vector<float> stream() {
    const size_t frames = static_cast<size_t>(kSeconds * kRate);
    std::vector<float> out(frames * 2);
    const std::vector<double> table = droneTable();

    // Drone voices: tonic, fifth and octave, each a little apart between the ears.
    struct DroneVoice {
        double ratio, gain;
    };
    const DroneVoice voices[] = {{1.0, 1.0}, {1.5, 0.45}, {2.0, 0.5}, {0.5, 0.35}};
    std::vector<TableOsc> left, right;
    for (const DroneVoice& v : voices) {
        left.emplace_back(table, kTonic * v.ratio * 0.9993);
        right.emplace_back(table, kTonic * v.ratio * 1.0007);
    }
    synth::Svf droneL, droneR, windL, windR, hissL, hissR, breathL, breathR;
    synth::Rng noise(0x44455345ull);  // "DESE"
    Wander brightness(11, 5.3), windCentre(12, 3.1), windGust(13, 2.3), windPan(14, 4.7);
    Wander voiceMix(15, 6.1);

    for (size_t i = 0; i < frames; ++i) {
        const double t = static_cast<double>(i) / kRate;

        // Swells breathe once per module pattern, with a lighter lift on every bar.
        const double swell = 0.5 - 0.5 * std::cos(2 * kPi * t / kPatternSeconds);
        const double barLift = 0.5 - 0.5 * std::cos(2 * kPi * t / kBarSeconds);
        const double droneGain = 0.55 + 0.35 * swell + 0.1 * barLift;

        double dl = 0, dr = 0;
        const double mix = voiceMix.at(t);
        for (size_t v = 0; v < left.size(); ++v) {
            const double g = voices[v].gain * (v == 1 ? 0.5 + mix : 1.0);
            dl += g * left[v].next();
            dr += g * right[v].next();
        }
        const double cutoff = 220 + 700 * brightness.at(t) + 500 * swell;
        droneL.process(dl, kRate, cutoff, 0.8);
        droneR.process(dr, kRate, cutoff * 1.05, 0.8);
        double l = 0.085 * droneGain * droneL.lowpass();
        double r = 0.085 * droneGain * droneR.lowpass();

        // Wind: band-passed noise whose centre and strength wander, with sand hiss on top.
        const double centre = 320 + 1300 * windCentre.at(t);
        const double gust = 0.25 + 0.75 * windGust.at(t);
        const double pan = windPan.at(t);
        const double nl = noise.bipolar(), nr = noise.bipolar();
        const double wl = windL.process(nl, kRate, centre, 2.2);
        const double wr = windR.process(nr, kRate, centre * 1.12, 2.2);
        hissL.process(nl, kRate, 6000, 0.7);
        hissR.process(nr, kRate, 6000, 0.7);
        l += gust * (0.10 * (1.2 - 0.4 * pan) * wl + 0.006 * hissL.highpass());
        r += gust * (0.10 * (0.8 + 0.4 * pan) * wr + 0.006 * hissR.highpass());

        // Scene-change accents.
        double acc = 0, pre = 0, preCentre = 200;
        for (double at : kAccents) {
            const double dt = t - at;
            if (dt > -kBarSeconds && dt < 0) {
                const double x = 1 + dt / kBarSeconds;  // 0 .. 1 over the bar before
                pre += x * x * x;
                preCentre = 300 + 3500 * x * x;
            }
            if (dt >= 0 && dt < 9)
                acc += 0.15 * boom(dt) + 0.14 * gong(dt);
        }
        const double bl = breathL.process(noise.bipolar(), kRate, preCentre, 1.2);
        const double br = breathR.process(noise.bipolar(), kRate, preCentre * 1.05, 1.2);
        l += 0.16 * pre * bl + acc;
        r += 0.16 * pre * br + acc;

        // Fade in from silence; fade out after the last accent has rung.
        double master = std::min(1.0, t / 4.0);
        const double fadeStart = kSeconds - 2.5;
        if (t > fadeStart)
            master *= 0.5 + 0.5 * std::cos(kPi * (t - fadeStart) / 2.5);
        out[2 * i] = static_cast<float>(std::tanh(l * master * 1.1) / 1.1);
        out[2 * i + 1] = static_cast<float>(std::tanh(r * master * 1.1) / 1.1);
    }
    return out;
}

}  // namespace desert
