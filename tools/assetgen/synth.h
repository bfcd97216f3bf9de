// Sound synthesis for the music: drums, a plucked string, looped harmonic tones, filters and a
// seeded noise source. Everything is computed in double precision from fixed seeds, so a sound
// is the same on every run.
#pragma once

#include <cstdint>
#include <vector>

namespace synth {

constexpr double kPi = 3.14159265358979323846;

using Wave = std::vector<double>;

// A small, fast, seeded generator (xorshift64*): the same seed gives the same noise everywhere.
class Rng {
public:
    explicit Rng(uint64_t seed) : state_(seed ? seed : 0x9E3779B97F4A7C15ull) {}
    uint64_t next();
    double uniform();  // [0, 1)
    double bipolar();  // [-1, 1)

private:
    uint64_t state_;
};

// RBJ biquad filter sections.
class Biquad {
public:
    static Biquad lowpass(double rate, double cutoff, double q);
    static Biquad highpass(double rate, double cutoff, double q);
    static Biquad bandpass(double rate, double centre, double q);  // 0 dB peak gain
    double process(double x);

private:
    double b0_ = 1, b1_ = 0, b2_ = 0, a1_ = 0, a2_ = 0;
    double x1_ = 0, x2_ = 0, y1_ = 0, y2_ = 0;
};

// State-variable filter whose centre can move every sample (wind, sweeps).
class Svf {
public:
    // Returns the band-pass output; lowpass() and highpass() give the other outputs of the
    // same step.
    double process(double x, double rate, double centre, double q);
    double lowpass() const { return low_; }
    double highpass() const { return high_; }

private:
    double ic1_ = 0, ic2_ = 0;
    double low_ = 0, band_ = 0, high_ = 0;
};

// Drums, each a one-shot at `rate`.
Wave kick(double rate);
Wave clap(double rate, Rng& rng);
Wave hat(double rate, double seconds, Rng& rng);  // metallic noise; short closed, long open
Wave darbukaDum(double rate, Rng& rng);           // the deep centre stroke of a goblet drum
Wave darbukaTek(double rate, Rng& rng);           // its bright rim stroke

// A plucked double string (Karplus-Strong, two slightly detuned courses through a small body
// resonance), like an oud or saz: `frequency` Hz, `seconds` long.
Wave pluck(double rate, double frequency, double seconds, Rng& rng);

// A looped tone made of whole cycles: every partial completes an integer number of cycles in
// `loopFrames`, so the loop joins without a click. Each voice is a fundamental `cycles` cycles
// per loop (several slightly different counts make a chorus); partial h of a voice has amplitude
// `spectrum[h-1]`, with a seeded random phase. Partials above 90 % of Nyquist are left out.
struct Voice {
    int cycles;
    double gain;
};
Wave harmonicLoop(int loopFrames, const std::vector<Voice>& voices,
                  const std::vector<double>& spectrum, Rng& rng);

// Noise that repeats exactly every `loopFrames` frames, band-limited to lowHz..highHz at `rate`.
Wave loopedNoise(double rate, int loopFrames, double lowHz, double highHz, Rng& rng);

// Scales a sound so that its largest magnitude becomes `peak` (of full scale) and converts it
// to 16-bit sample values; silence stays silence.
std::vector<int16_t> toPcm16(const Wave& wave, double peak = 0.95);

// Normalises a sound to full scale, then rounds its peaks with tanh: `drive` 1 leaves it
// nearly as it was, larger values make it denser and louder for the same peak.
void saturate(Wave& wave, double drive);

// Short linear fades at both ends so a one-shot neither starts nor stops with a click.
void softenEdges(Wave& wave, int fadeInFrames, int fadeOutFrames);

}  // namespace synth
