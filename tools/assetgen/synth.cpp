#include "tools/assetgen/synth.h"

#include <algorithm>
#include <cmath>

namespace synth {

namespace {

size_t frames(double rate, double seconds) {
    return static_cast<size_t>(std::lround(rate * seconds));
}

double decay(double t, double tau) {
    return std::exp(-t / tau);
}

}  // namespace

uint64_t Rng::next() {
    state_ ^= state_ >> 12;
    state_ ^= state_ << 25;
    state_ ^= state_ >> 27;
    return state_ * 0x2545F4914F6CDD1Dull;
}

double Rng::uniform() {
    return static_cast<double>(next() >> 11) * (1.0 / 9007199254740992.0);
}

double Rng::bipolar() {
    return uniform() * 2.0 - 1.0;
}

Biquad Biquad::lowpass(double rate, double cutoff, double q) {
    const double w = 2 * kPi * cutoff / rate, alpha = std::sin(w) / (2 * q), c = std::cos(w);
    const double a0 = 1 + alpha;
    Biquad f;
    f.b0_ = (1 - c) / 2 / a0;
    f.b1_ = (1 - c) / a0;
    f.b2_ = f.b0_;
    f.a1_ = -2 * c / a0;
    f.a2_ = (1 - alpha) / a0;
    return f;
}

Biquad Biquad::highpass(double rate, double cutoff, double q) {
    const double w = 2 * kPi * cutoff / rate, alpha = std::sin(w) / (2 * q), c = std::cos(w);
    const double a0 = 1 + alpha;
    Biquad f;
    f.b0_ = (1 + c) / 2 / a0;
    f.b1_ = -(1 + c) / a0;
    f.b2_ = f.b0_;
    f.a1_ = -2 * c / a0;
    f.a2_ = (1 - alpha) / a0;
    return f;
}

Biquad Biquad::bandpass(double rate, double centre, double q) {
    const double w = 2 * kPi * centre / rate, alpha = std::sin(w) / (2 * q), c = std::cos(w);
    const double a0 = 1 + alpha;
    Biquad f;
    f.b0_ = alpha / a0;
    f.b1_ = 0;
    f.b2_ = -alpha / a0;
    f.a1_ = -2 * c / a0;
    f.a2_ = (1 - alpha) / a0;
    return f;
}

double Biquad::process(double x) {
    const double y = b0_ * x + b1_ * x1_ + b2_ * x2_ - a1_ * y1_ - a2_ * y2_;
    x2_ = x1_;
    x1_ = x;
    y2_ = y1_;
    y1_ = y;
    return y;
}

double Svf::process(double x, double rate, double centre, double q) {
    // Trapezoidal state-variable filter: stays stable while the centre moves.
    const double g = std::tan(kPi * std::min(centre, rate * 0.45) / rate);
    const double k = 1.0 / q;
    const double a1 = 1.0 / (1.0 + g * (g + k)), a2 = g * a1, a3 = g * a2;
    const double v3 = x - ic2_;
    const double v1 = a1 * ic1_ + a2 * v3;
    const double v2 = ic2_ + a2 * ic1_ + a3 * v3;
    ic1_ = 2 * v1 - ic1_;
    ic2_ = 2 * v2 - ic2_;
    low_ = v2;
    band_ = v1;
    high_ = x - k * v1 - v2;
    return band_;
}

Wave kick(double rate) {
    Wave w(frames(rate, 0.42));
    double phase = 0;
    Biquad click = Biquad::bandpass(rate, 3000, 0.7);
    Rng rng(0x6b69636bull);
    for (size_t i = 0; i < w.size(); ++i) {
        const double t = static_cast<double>(i) / rate;
        // The skin's pitch drops fast from a punchy start to a low thump.
        phase += 2 * kPi * (46 + 120 * decay(t, 0.035)) / rate;
        const double body = std::sin(phase) * decay(t, 0.11) * std::min(1.0, t / 0.0015);
        const double tick = click.process(rng.bipolar()) * decay(t, 0.004);
        w[i] = std::tanh(1.6 * body) + 0.5 * tick;
    }
    softenEdges(w, 0, static_cast<int>(rate * 0.03));
    return w;
}

Wave clap(double rate, Rng& rng) {
    Wave w(frames(rate, 0.32));
    Biquad band = Biquad::bandpass(rate, 1250, 0.9);
    Biquad air = Biquad::highpass(rate, 5000, 0.7);
    double phase = 0;
    for (size_t i = 0; i < w.size(); ++i) {
        const double t = static_cast<double>(i) / rate;
        // Several hands a few milliseconds apart, then the room.
        double env = 0.75 * decay(t, 0.075) * (t >= 0.027 ? 1.0 : 0.0);
        for (double start : {0.0, 0.009, 0.018, 0.027}) {
            if (t >= start)
                env = std::max(env, decay(t - start, 0.0035));
        }
        const double n = rng.bipolar();
        phase += 2 * kPi * 185 / rate;
        const double body = 0.35 * std::sin(phase) * decay(t, 0.045);
        w[i] = env * (band.process(n) * 1.6 + 0.25 * air.process(n)) + body;
    }
    softenEdges(w, 0, static_cast<int>(rate * 0.02));
    return w;
}

Wave hat(double rate, double seconds, Rng& rng) {
    static const double kPartials[6] = {263.0, 400.0, 421.0, 474.0, 587.0, 845.0};
    Wave w(frames(rate, seconds));
    Biquad hp = Biquad::highpass(rate, 6500, 0.7);
    Biquad hp2 = Biquad::highpass(rate, 6500, 0.7);
    Biquad top = Biquad::bandpass(rate, 10500, 0.8);
    for (size_t i = 0; i < w.size(); ++i) {
        const double t = static_cast<double>(i) / rate;
        double metal = 0;
        for (double f : kPartials) {
            metal += std::sin(2 * kPi * f * 3.1 * t) > 0 ? 1.0 : -1.0;
        }
        const double x = 0.12 * metal + 0.6 * rng.bipolar();
        const double env = decay(t, seconds / 5.0) * std::min(1.0, t / 0.0008);
        w[i] = env * (hp2.process(hp.process(x)) + 0.5 * top.process(x));
    }
    softenEdges(w, 0, static_cast<int>(rate * 0.01));
    return w;
}

Wave darbukaDum(double rate, Rng& rng) {
    Wave w(frames(rate, 0.5));
    Biquad slap = Biquad::lowpass(rate, 900, 0.7);
    double p1 = 0, p2 = 0;
    for (size_t i = 0; i < w.size(); ++i) {
        const double t = static_cast<double>(i) / rate;
        const double f = 92 + 30 * decay(t, 0.03);
        p1 += 2 * kPi * f / rate;
        p2 += 2 * kPi * f * 1.59 / rate;  // the membrane's second mode
        const double attack = std::min(1.0, t / 0.002);
        w[i] = attack * (std::sin(p1) * decay(t, 0.22) + 0.35 * std::sin(p2) * decay(t, 0.07)) +
               0.6 * slap.process(rng.bipolar()) * decay(t, 0.008);
    }
    softenEdges(w, 0, static_cast<int>(rate * 0.04));
    return w;
}

Wave darbukaTek(double rate, Rng& rng) {
    Wave w(frames(rate, 0.2));
    Biquad crack = Biquad::highpass(rate, 2500, 0.7);
    const double modes[3][3] = {{1040, 1.0, 0.045}, {1710, 0.55, 0.03}, {2630, 0.35, 0.02}};
    for (size_t i = 0; i < w.size(); ++i) {
        const double t = static_cast<double>(i) / rate;
        double ring = 0;
        for (const auto& m : modes) ring += m[1] * std::sin(2 * kPi * m[0] * t) * decay(t, m[2]);
        w[i] =
            std::min(1.0, t / 0.0005) * ring + 0.9 * crack.process(rng.bipolar()) * decay(t, 0.004);
    }
    softenEdges(w, 0, static_cast<int>(rate * 0.02));
    return w;
}

Wave pluck(double rate, double frequency, double seconds, Rng& rng) {
    const size_t n = frames(rate, seconds);
    Wave out(n, 0.0);
    const double t60 = 1.6;  // seconds for the fundamental to fall by 60 dB
    for (int course = 0; course < 2; ++course) {
        const double f = frequency * std::pow(2.0, (course == 0 ? -2.5 : 2.5) / 1200.0);
        // Loop delay = whole samples + the loss filter's delay + a fractional all-pass.
        const double lossMix = 0.42;
        const double period = rate / f;
        const int whole = static_cast<int>(std::floor(period - lossMix - 0.1));
        const double frac = period - lossMix - whole;
        const double c = (1 - frac) / (1 + frac);
        const double g = std::pow(10.0, -3.0 / (t60 * f));

        // Excitation: one period of soft noise, combed as if plucked near the bridge.
        Wave exc(static_cast<size_t>(whole) + 1, 0.0);
        Biquad soften = Biquad::lowpass(rate, 5200, 0.7);
        for (double& e : exc) e = soften.process(rng.bipolar());
        const size_t pos = std::max<size_t>(1, exc.size() / 7);
        for (size_t i = exc.size(); i-- > pos;) exc[i] -= exc[i - pos];

        Wave y(n, 0.0);
        double apIn = 0, apOut = 0;
        for (size_t i = 0; i < n; ++i) {
            const double a = i >= static_cast<size_t>(whole) ? y[i - whole] : 0.0;
            const double b = i >= static_cast<size_t>(whole) + 1 ? y[i - whole - 1] : 0.0;
            const double u = (1 - lossMix) * a + lossMix * b;
            const double v = c * u + apIn - c * apOut;
            apIn = u;
            apOut = v;
            y[i] = (i < exc.size() ? exc[i] : 0.0) + g * v;
        }
        for (size_t i = 0; i < n; ++i) out[i] += y[i] * (course == 0 ? 1.0 : 0.8);
    }
    // A small wooden body: two broad resonances and a touch of pick noise.
    Biquad body1 = Biquad::bandpass(rate, 280, 1.8), body2 = Biquad::bandpass(rate, 640, 2.2);
    Biquad pick = Biquad::highpass(rate, 3000, 0.7);
    for (size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / rate;
        const double x = out[i];
        out[i] = x + 0.5 * body1.process(x) + 0.3 * body2.process(x) +
                 0.15 * pick.process(rng.bipolar()) * decay(t, 0.003);
    }
    softenEdges(out, 0, static_cast<int>(rate * 0.05));
    return out;
}

Wave harmonicLoop(int loopFrames, const std::vector<Voice>& voices,
                  const std::vector<double>& spectrum, Rng& rng) {
    Wave w(static_cast<size_t>(loopFrames), 0.0);
    for (const Voice& v : voices) {
        for (size_t h = 1; h <= spectrum.size(); ++h) {
            const double cycles = static_cast<double>(v.cycles) * static_cast<double>(h);
            if (cycles / loopFrames > 0.45 || spectrum[h - 1] == 0.0)
                continue;
            const double amp = v.gain * spectrum[h - 1];
            const double phase = 2 * kPi * rng.uniform();
            const double step = 2 * kPi * cycles / loopFrames;
            for (int i = 0; i < loopFrames; ++i)
                w[static_cast<size_t>(i)] += amp * std::sin(step * i + phase);
        }
    }
    return w;
}

Wave loopedNoise(double rate, int loopFrames, double lowHz, double highHz, Rng& rng) {
    Wave w(static_cast<size_t>(loopFrames), 0.0);
    const double binHz = rate / loopFrames;
    const int first = std::max(1, static_cast<int>(std::ceil(lowHz / binHz)));
    const int last = std::min(loopFrames / 2 - 1, static_cast<int>(std::floor(highHz / binHz)));
    for (int k = first; k <= last; ++k) {
        const double phase = 2 * kPi * rng.uniform();
        const double step = 2 * kPi * k / loopFrames;
        for (int i = 0; i < loopFrames; ++i)
            w[static_cast<size_t>(i)] += std::sin(step * i + phase);
    }
    return w;
}

std::vector<int16_t> toPcm16(const Wave& wave, double peak) {
    double largest = 0;
    for (double v : wave) largest = std::max(largest, std::fabs(v));
    const double scale = largest > 0 ? peak * 32767.0 / largest : 0.0;
    std::vector<int16_t> out(wave.size());
    for (size_t i = 0; i < wave.size(); ++i) {
        out[i] = static_cast<int16_t>(std::clamp(std::lround(wave[i] * scale), -32768L, 32767L));
    }
    return out;
}

void saturate(Wave& wave, double drive) {
    double largest = 0;
    for (double v : wave) largest = std::max(largest, std::fabs(v));
    if (largest == 0 || drive <= 0)
        return;
    const double norm = std::tanh(drive);
    for (double& v : wave) v = std::tanh(drive * v / largest) / norm;
}

void softenEdges(Wave& wave, int fadeInFrames, int fadeOutFrames) {
    const size_t n = wave.size();
    for (size_t i = 0; i < n && static_cast<int>(i) < fadeInFrames; ++i) {
        wave[i] *= static_cast<double>(i) / fadeInFrames;
    }
    for (size_t i = 0; i < n && static_cast<int>(i) < fadeOutFrames; ++i) {
        wave[n - 1 - i] *= static_cast<double>(i) / fadeOutFrames;
    }
}

}  // namespace synth
