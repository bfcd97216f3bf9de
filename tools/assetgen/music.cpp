// The demo's music: arabish.xm, the looping module whose rows carry the beat the picture throbs
// to, and desert.mp3, the stream that plays once under it (music_stream.cpp).
//
// The module is a dance tune in D Hijaz (D Eb F# G A Bb C): speed 6 at 125 BPM, so a row is a
// sixteenth note of 0.12 s, a beat is four rows and a 64-row pattern is four bars. Channel 0 is
// the beat channel: a kick on every fourth row of every pattern, since the demo pulses on those
// rows. The score below is written like a tracker's, one token per row.
#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <map>
#include <sstream>
#include <stdexcept>

#include "tools/assetgen/assetgen.h"
#include "tools/assetgen/mp3_writer.h"
#include "tools/assetgen/music_module.h"
#include "tools/assetgen/music_stream.h"
#include "tools/assetgen/synth.h"
#include "tools/assetgen/xm_writer.h"

namespace {

constexpr int kRows = 64;
constexpr int kBarRows = 16;

enum Channel { kBeat, kClap, kHats, kDrum, kBass, kLead, kPad, kCounter, kChannelCount };

// Instrument numbers as the patterns name them (1-based).
enum Ins { kKick = 1, kClapIns, kHat, kOpenHat, kDum, kTek, kBassIns, kOud, kPadIns, kNey };

// Each instrument's place in the mix, 0..64: it scales every volume the score writes for it
// (in XM the volume column replaces the sample's own volume, so the balance lives here).
constexpr int kLevel[] = {0, 64, 64, 64, 60, 60, 60, 48, 64, 64, 60};
// Where each instrument stands, 0 (left) .. 255 (right): low end and pad in the middle, the
// oud a little left with its echo to the right, hats and ney right, the tek left.
constexpr uint8_t kPanning[] = {0, 128, 128, 168, 168, 120, 92, 128, 108, 128, 156};
// The whole module's level: the demo plays desert.mp3 at the same time, and the two together
// must stay below full scale even when a scene-change boom meets a kick.
constexpr int kMasterPercent = 76;

uint8_t volumeFor(uint8_t instrument, int volume) {
    return xm::setVolume((volume * kLevel[instrument] * kMasterPercent + 3200) / 6400);
}

// ---- instruments --------------------------------------------------------------------------

xm::Instrument oneShot(const char* name, const synth::Wave& wave, double rate, uint8_t volume) {
    xm::Instrument ins;
    ins.name = name;
    ins.sample.name = name;
    ins.sample.data = synth::toPcm16(wave);
    ins.sample.volume = volume;
    xm::tuneSample(ins.sample, rate, 0);
    return ins;
}

// A whole-loop tone: the sample is one seamless loop, shaped by the instrument's envelope.
xm::Instrument loopedTone(const char* name, const synth::Wave& wave, double rate,
                          double pitchFromC4, uint8_t volume) {
    xm::Instrument ins;
    ins.name = name;
    ins.sample.name = name;
    ins.sample.data = synth::toPcm16(wave);
    ins.sample.loop = xm::Loop::Forward;
    ins.sample.loopStart = 0;
    ins.sample.loopLength = static_cast<uint32_t>(ins.sample.data.size());
    ins.sample.volume = volume;
    xm::tuneSample(ins.sample, rate, pitchFromC4);
    return ins;
}

double pitchFromC4(double hz) {
    return 12.0 * std::log2(hz / 261.6255653);
}

std::vector<xm::Instrument> instruments() {
    synth::Rng rng(0x5A4E444152ull);  // "ZANDAR"
    std::vector<xm::Instrument> list;

    list.push_back(oneShot("kick", synth::kick(22050), 22050, kLevel[kKick]));
    // Claps and hats are rounded off so they cut through at the volume a kick allows.
    synth::Wave clap = synth::clap(32000, rng);
    synth::saturate(clap, 2.5);
    list.push_back(oneShot("clap", clap, 32000, kLevel[kClapIns]));
    synth::Wave hat = synth::hat(32000, 0.08, rng), openHat = synth::hat(32000, 0.34, rng);
    synth::saturate(hat, 2.0);
    synth::saturate(openHat, 2.0);
    list.push_back(oneShot("hat", hat, 32000, kLevel[kHat]));
    list.push_back(oneShot("open hat", openHat, 32000, kLevel[kOpenHat]));
    list.push_back(oneShot("darbuka dum", synth::darbukaDum(22050, rng), 22050, kLevel[kDum]));
    list.push_back(oneShot("darbuka tek", synth::darbukaTek(32000, rng), 32000, kLevel[kTek]));

    {
        // Bass: a warm saw-like tone, 13 cycles in a 0.1 s loop (130 Hz), plucked by its envelope.
        const int loop = 2205;
        std::vector<double> spectrum;
        for (int h = 1; h <= 24; ++h) {
            const double roll = 1.0 / (1.0 + std::pow(h / 7.0, 2.0));
            spectrum.push_back((h == 1 ? 1.4 : 1.0) / std::pow(h, 1.1) * roll);
        }
        xm::Instrument bass =
            loopedTone("bass", synth::harmonicLoop(loop, {{13, 1.0}}, spectrum, rng), 22050,
                       pitchFromC4(13 * 22050.0 / loop), kLevel[kBassIns]);
        bass.volumeEnvelope.points = {{0, 64}, {6, 50}, {30, 36}, {60, 28}};
        bass.volumeEnvelope.sustain = 3;
        bass.fadeout = 0x600;
        list.push_back(bass);
    }
    {
        // Lead: a plucked double course, recorded at A-4.
        const double rate = 28000;
        synth::Wave string = synth::pluck(rate, 440.0, 1.1, rng);
        synth::saturate(string, 3.0);  // denser, so the melody carries over the drums
        xm::Instrument oud = oneShot("oud", string, rate, kLevel[kOud]);
        xm::tuneSample(oud.sample, rate, pitchFromC4(440.0));
        oud.volumeEnvelope.points = {{0, 64}, {1, 64}};
        oud.volumeEnvelope.sustain = 1;
        oud.fadeout = 0x500;
        list.push_back(oud);
    }
    {
        // Pad: root, fifth and octave, each in three slightly detuned voices (a slow chorus),
        // filtered soft; 0.5 s loop with the root at 130 cycles (260 Hz).
        const int loop = 11025;
        std::vector<double> spectrum;
        for (int h = 1; h <= 40; ++h) {
            spectrum.push_back(1.0 / h / (1.0 + std::pow(h / 5.0, 2.0)));
        }
        std::vector<synth::Voice> voices;
        for (int base : {130, 195, 260}) {
            const double gain = base == 130 ? 1.0 : base == 195 ? 0.7 : 0.45;
            voices.push_back({base - 1, gain * 0.8});
            voices.push_back({base, gain});
            voices.push_back({base + 1, gain * 0.8});
        }
        xm::Instrument pad = loopedTone("pad", synth::harmonicLoop(loop, voices, spectrum, rng),
                                        22050, pitchFromC4(130 * 22050.0 / loop), kLevel[kPadIns]);
        pad.volumeEnvelope.points = {{0, 0}, {24, 64}, {60, 52}};
        pad.volumeEnvelope.sustain = 2;
        pad.fadeout = 0x180;
        list.push_back(pad);
    }
    {
        // Ney: a breathy end-blown flute, almost pure, with looped breath noise; 524 Hz.
        const int loop = 11025;
        synth::Wave tone =
            synth::harmonicLoop(loop, {{262, 1.0}}, {1.0, 0.32, 0.16, 0.07, 0.04}, rng);
        synth::Wave breath = synth::loopedNoise(22050, loop, 900, 4200, rng);
        double toneRms = 0, breathRms = 0;
        for (size_t i = 0; i < tone.size(); ++i) {
            toneRms += tone[i] * tone[i];
            breathRms += breath[i] * breath[i];
        }
        const double breathGain = 0.22 * std::sqrt(toneRms / breathRms);
        for (size_t i = 0; i < tone.size(); ++i) tone[i] += breathGain * breath[i];
        xm::Instrument ney =
            loopedTone("ney", tone, 22050, pitchFromC4(262 * 22050.0 / loop), kLevel[kNey]);
        ney.volumeEnvelope.points = {{0, 0}, {5, 56}, {12, 64}, {40, 58}};
        ney.volumeEnvelope.sustain = 3;
        ney.fadeout = 0x300;
        ney.vibratoType = 0;
        ney.vibratoSweep = 40;
        ney.vibratoDepth = 5;
        ney.vibratoRate = 24;
        list.push_back(ney);
    }
    for (size_t i = 0; i < list.size(); ++i) list[i].sample.panning = kPanning[i + 1];
    return list;
}

// ---- score ----------------------------------------------------------------------------------

struct Hit {
    uint8_t instrument;
    int volume;
};

// One character per row for the drum channels.
const std::map<char, Hit>& drumKit() {
    static const std::map<char, Hit> kit = {
        {'X', {kKick, 64}},    {'x', {kKick, 50}}, {'o', {kKick, 34}}, {'C', {kClapIns, 60}},
        {'c', {kClapIns, 34}}, {'h', {kHat, 36}},  {'H', {kHat, 56}},  {'O', {kOpenHat, 48}},
        {'D', {kDum, 64}},     {'d', {kDum, 44}},  {'T', {kTek, 56}},  {'t', {kTek, 40}},
        {'k', {kTek, 24}},
    };
    return kit;
}

// Drum steps: 16 characters (one bar, repeated) or 64; digits 1-9 are a clap roll getting louder.
void drums(xm::Pattern& p, int channel, const std::string& steps) {
    if (steps.size() != kBarRows && steps.size() != kRows) {
        throw std::logic_error("drum steps must cover one bar or one pattern: " + steps);
    }
    for (int row = 0; row < kRows; ++row) {
        const char s = steps[static_cast<size_t>(row) % steps.size()];
        if (s == '.')
            continue;
        xm::Cell& cell = p.at(row, channel);
        if (s >= '1' && s <= '9') {
            cell = {xm::noteNumber("C-4"), kClapIns, volumeFor(kClapIns, 14 + (s - '0') * 5), 0, 0};
            continue;
        }
        const auto hit = drumKit().find(s);
        if (hit == drumKit().end())
            throw std::logic_error(std::string("unknown drum step ") + s);
        cell = {xm::noteNumber("C-4"), hit->second.instrument,
                volumeFor(hit->second.instrument, hit->second.volume), 0, 0};
    }
}

std::vector<std::string> tokens(const std::string& bar) {
    std::istringstream in(bar);
    std::vector<std::string> out;
    for (std::string t; in >> t;) out.push_back(t);
    if (out.size() != kBarRows)
        throw std::logic_error("a bar needs 16 rows: " + bar);
    return out;
}

// A melody: four bars of 16 tokens, each a note name ("Eb4"), "." (hold) or "^" (release).
// Notes on the beat are played a little harder than those between.
void melody(xm::Pattern& p, int channel, uint8_t instrument, int volume,
            const std::array<const char*, 4>& bars) {
    for (int bar = 0; bar < 4; ++bar) {
        const std::vector<std::string> row = tokens(bars[static_cast<size_t>(bar)]);
        for (int i = 0; i < kBarRows; ++i) {
            const std::string& t = row[static_cast<size_t>(i)];
            xm::Cell& cell = p.at(bar * kBarRows + i, channel);
            if (t == ".")
                continue;
            if (t == "^") {
                cell.note = xm::kKeyOff;
                continue;
            }
            const uint8_t note = xm::noteNumber(t);
            if (!note)
                throw std::logic_error("not a note: " + t);
            cell = {note, instrument, volumeFor(instrument, i % 4 == 0 ? volume : volume - 6), 0,
                    0};
        }
    }
}

// The lead repeated `delay` rows later, softer and panned away: a tape echo in the counter
// channel.
void echo(xm::Pattern& p, int from, int to, int delay, int volumePercent) {
    for (int row = kRows - 1; row >= delay; --row) {
        const xm::Cell& src = p.at(row - delay, from);
        if (src.empty())
            continue;
        xm::Cell c = src;
        if (c.volume >= 0x10 && c.volume <= 0x50) {
            c.volume = xm::setVolume((c.volume - 0x10) * volumePercent / 100);
        }
        if (c.note != xm::kKeyOff && c.effect == 0 && c.param == 0) {
            c.effect = 0x08;  // set panning: the echo answers from the other side
            c.param = 0xD0;
        }
        p.at(row, to) = c;
    }
}

// Bass line over one chord root per bar: R root, r octave up, F fifth up, f fourth down,
// "." hold, "^" release.
void bass(xm::Pattern& p, const std::array<const char*, 4>& roots, const char* rhythm) {
    const std::vector<std::string> steps = tokens(rhythm);
    for (int bar = 0; bar < 4; ++bar) {
        const int root = xm::noteNumber(roots[static_cast<size_t>(bar)]);
        for (int i = 0; i < kBarRows; ++i) {
            const std::string& s = steps[static_cast<size_t>(i)];
            xm::Cell& cell = p.at(bar * kBarRows + i, kBass);
            if (s == ".")
                continue;
            if (s == "^") {
                cell.note = xm::kKeyOff;
                continue;
            }
            const int offset = s == "r" ? 12 : s == "F" ? 7 : s == "f" ? -5 : 0;
            cell = {static_cast<uint8_t>(root + offset), kBassIns,
                    volumeFor(kBassIns, s == "R" ? 64 : 50), 0, 0};
        }
    }
}

// Pad chords, one per bar; a chord held over the bar line is not struck again.
void pad(xm::Pattern& p, const std::array<const char*, 4>& chords, int volume) {
    for (int bar = 0; bar < 4; ++bar) {
        if (bar > 0 &&
            std::string(chords[static_cast<size_t>(bar)]) == chords[static_cast<size_t>(bar - 1)]) {
            continue;
        }
        p.at(bar * kBarRows, kPad) = {xm::noteNumber(chords[static_cast<size_t>(bar)]), kPadIns,
                                      volumeFor(kPadIns, volume), 0, 0};
    }
}

// Patterns, in the order they are written; the order list below arranges them.
enum PatternId {
    kIntro,
    kBuild,
    kThemeA1,
    kThemeA2,
    kThemeB1,
    kThemeB2,
    kBreak,
    kRunC1,
    kRunC2,
    kTurn,
    kPatternCount
};

constexpr const char* kGrooveKick = "X...x...X...x...";
constexpr const char* kGrooveKickPush = "X...x...X...x.x.";
constexpr const char* kGrooveClap = "....C.......C...";
constexpr const char* kGrooveHats = "h.H.h.H.h.H.hhO.";
constexpr const char* kMaqsum = "D.T...T.D...T.k.";
constexpr const char* kMaqsumFill = "D.T.k.T.D.d.T.kt";
constexpr const char* kBassGroove = "R . . R . . r . R . . F . . r .";

std::string fourBars(const char* a, const char* b, const char* c, const char* d) {
    return std::string(a) + b + c + d;
}

void fullGroove(xm::Pattern& p) {
    drums(p, kBeat, fourBars(kGrooveKick, kGrooveKick, kGrooveKick, kGrooveKickPush));
    drums(p, kClap, kGrooveClap);
    drums(p, kHats, kGrooveHats);
    drums(p, kDrum, fourBars(kMaqsum, kMaqsum, kMaqsum, kMaqsumFill));
}

xm::Pattern makePattern(PatternId id) {
    xm::Pattern p(kRows, kChannelCount);
    switch (id) {
        case kIntro:
            // Soft kick and a slow darbuka under a free oud line rising through the scale.
            drums(p, kBeat, "o...o...o...o...");
            drums(p, kDrum,
                  fourBars("D.D...t.D...t...", "D.D...t.D...t...", "D.D...t.D...t...",
                           "D.D...t.D.t.T.kt"));
            pad(p, {"D-3", "D-3", "D-3", "D-3"}, 44);
            melody(
                p, kLead, kOud, 56,
                {"D4 . . . . . . . Eb4 . . . F#4 . . .", "G4 . . . . . . . F#4 . Eb4 . D4 . . .",
                 "A4 . . . . . . . Bb4 . A4 . G4 . . .", "F#4 . . . Eb4 . . . D4 . . . . . . ."});
            echo(p, kLead, kCounter, 6, 45);
            break;
        case kBuild:
            // The bass and hats come in, the clap joins halfway, the ney holds long notes.
            drums(p, kBeat,
                  fourBars("x...x...x...x...", "x...x...x...x...", kGrooveKick, kGrooveKickPush));
            drums(p, kHats,
                  fourBars("..h...h...h...h.", "..h...h...h...h.", kGrooveHats, kGrooveHats));
            drums(
                p, kClap,
                fourBars("................", "................", kGrooveClap, "....C.......C.cc"));
            drums(p, kDrum, kMaqsum);
            bass(p, {"D-2", "D-2", "D-2", "D-2"}, "R . . . . . . . R . . . . . r .");
            pad(p, {"D-3", "D-3", "D-3", "D-3"}, 44);
            melody(p, kCounter, kNey, 44,
                   {"D5 . . . . . . . . . . . . . . .", ". . . . . . . . Eb5 . . . D5 . . .",
                    "C5 . . . . . . . . . . . Bb4 . . .", "A4 . . . . . . . ^ . . . . . . ."});
            melody(p, kLead, kOud, 60,
                   {". . . . . . . . . . . . . . . .", ". . . . . . . . . . . . . . . .",
                    ". . . . . . . . . . . . . . . .", ". . . . . . . . . . . . D4 Eb4 F#4 G4"});
            break;
        case kThemeA1:
            fullGroove(p);
            bass(p, {"D-2", "D-2", "C-2", "D-2"}, kBassGroove);
            pad(p, {"D-3", "D-3", "C-3", "D-3"}, 36);
            melody(p, kLead, kOud, 64,
                   {"A4 . . . Bb4 A4 G4 . F#4 . G4 . A4 . . .",
                    "D5 . C5 . Bb4 . A4 . G4 A4 Bb4 . A4 . . .",
                    "G4 . . . Eb4 . G4 . C5 . Bb4 . A4 . G4 .",
                    "F#4 . Eb4 . D4 . . . . . . . D4 Eb4 F#4 G4"});
            echo(p, kLead, kCounter, 3, 40);
            break;
        case kThemeA2:
            fullGroove(p);
            bass(p, {"D-2", "D-2", "D#2", "D-2"}, kBassGroove);
            pad(p, {"D-3", "D-3", "D#3", "D-3"}, 36);
            melody(
                p, kLead, kOud, 64,
                {"A4 . . . Bb4 A4 G4 . F#4 . G4 . A4 . . .",
                 "C5 . Bb4 . A4 . G4 . F#4 G4 A4 . G4 . . .",
                 "Bb4 . . . G4 . Eb4 . G4 . F#4 . Eb4 . . .", "D4 . . . . . . . . . . . ^ . . ."});
            echo(p, kLead, kCounter, 3, 40);
            break;
        case kThemeB1:
            fullGroove(p);
            bass(p, {"G-2", "G-2", "D-2", "D-2"}, kBassGroove);
            pad(p, {"G-3", "G-3", "D-3", "D-3"}, 36);
            melody(p, kLead, kOud, 64,
                   {"D5 . . . D5 . Eb5 . D5 . C5 . Bb4 . . .",
                    "C5 . Bb4 . A4 . Bb4 . G4 . . . . . . .",
                    "A4 . Bb4 . C5 . D5 . Eb5 . D5 . C5 . Bb4 .",
                    "A4 . . . . . . . ^ . . . A4 Bb4 C5 ."});
            melody(p, kCounter, kNey, 36,
                   {"G4 . . . . . . . . . . . . . . .", "D5 . . . . . . . Bb4 . . . . . . .",
                    "F#4 . . . . . . . . . . . . . . .", "A4 . . . . . . . . . . . ^ . . ."});
            break;
        case kThemeB2:
            fullGroove(p);
            bass(p, {"D#2", "D#2", "C-2", "D-2"}, kBassGroove);
            pad(p, {"D#3", "D#3", "C-3", "D-3"}, 36);
            melody(p, kLead, kOud, 64,
                   {"Eb5 . . . D5 . Eb5 . F#5 . Eb5 . D5 . . .",
                    "C5 . D5 . Eb5 . D5 . C5 . Bb4 . A4 . . .",
                    "G4 . A4 . Bb4 . C5 . Bb4 . A4 . G4 . F#4 .",
                    "G4 . F#4 . Eb4 . D4 . . . . . ^ . . ."});
            melody(p, kCounter, kNey, 36,
                   {"G4 . . . . . . . Bb4 . . . . . . .", "G4 . . . . . . . . . . . . . . .",
                    "Eb4 . . . . . . . G4 . . . . . . .", "F#4 . . . . . . . . . . . ^ . . ."});
            break;
        case kBreak:
            // Kick and darbuka alone under the pad; the oud calls, the ney answers.
            drums(p, kBeat, "x...x...x...x...");
            drums(p, kDrum,
                  fourBars("D.TkT.TkD.TkT.Tk", "D.T.k.T.D.D.T.kk", "D.TkT.TkD.TkT.Tk",
                           "D.T.D.T.DkTkDkTk"));
            drums(p, kHats,
                  fourBars("................", "................", "..h...h...h...h.",
                           "..h...h...h.h.h."));
            pad(p, {"D-3", "D-3", "C-3", "D-3"}, 40);
            bass(p, {"D-2", "D-2", "C-2", "D-2"}, "R . . . . . . . . . . . . . . .");
            melody(p, kLead, kOud, 64,
                   {"D5 . D5 . Eb5 . D5 . C5 . . . . . . .", ". . . . . . . . . . . . . . . .",
                    "A4 . A4 . Bb4 . A4 . G4 . . . . . . .", ". . . . . . . . . . . . . . . ."});
            melody(p, kCounter, kNey, 44,
                   {". . . . . . . . . . . . . . . .", ". . . . Bb4 . . . A4 . . . G4 . . .",
                    ". . . . . . . . . . . . . . . .", "F#4 . . . G4 . . . F#4 . Eb4 . D4 . . ."});
            break;
        case kRunC1:
        case kRunC2:
            // Running sixteenths over a held D, the ney above.
            fullGroove(p);
            bass(p, {"D-2", "D-2", "C-2", "D-2"}, kBassGroove);
            pad(p, {"D-3", "G-3", "C-3", "D-3"}, 34);
            melody(p, kLead, kOud, 60,
                   {"D5 Eb5 D5 C5 Bb4 . A4 . D5 Eb5 D5 C5 Bb4 . A4 .",
                    "G4 A4 Bb4 A4 G4 . F#4 . G4 . A4 . Bb4 . . .",
                    "C5 D5 C5 Bb4 A4 . G4 . C5 D5 C5 Bb4 A4 . G4 .",
                    id == kRunC1 ? "F#4 G4 A4 G4 F#4 . Eb4 . D4 . . . . . . ."
                                 : "F#4 G4 A4 Bb4 C5 . D5 . . . . . ^ . . ."});
            melody(p, kCounter, kNey, 38,
                   {"A5 . . . . . . . . . . . . . . .", "G5 . . . . . . . F#5 . . . . . . .",
                    "Eb5 . . . . . . . . . . . . . . .",
                    id == kRunC1 ? "D5 . . . . . . . ^ . . . . . . ."
                                 : "D5 . . . . . . . . . . . ^ . . ."});
            break;
        case kTurn:
            // Back to the top: arpeggios down the chords, then a run up and a clap roll that
            // land on the theme where the song loops.
            drums(p, kBeat, fourBars(kGrooveKick, kGrooveKick, kGrooveKick, "X...X...X...X.X."));
            drums(p, kClap, fourBars(kGrooveClap, kGrooveClap, kGrooveClap, "2.3.4.5.56677889"));
            drums(p, kHats, fourBars(kGrooveHats, kGrooveHats, kGrooveHats, "h.h.h.h.hhhhhhhh"));
            drums(p, kDrum, fourBars(kMaqsum, kMaqsum, kMaqsum, "D...D...D.T.DkTk"));
            bass(p, {"C-2", "D#2", "D-2", "D-2"}, kBassGroove);
            pad(p, {"C-3", "D#3", "D-3", "D-3"}, 36);
            melody(p, kLead, kOud, 62,
                   {"G4 . . . Eb4 . . . C4 . Eb4 . G4 . . .",
                    "Bb4 . . . G4 . . . Eb4 . G4 . Bb4 . . .",
                    "A4 . . . F#4 . . . D4 . F#4 . A4 . . .",
                    "D4 . Eb4 . F#4 . G4 . A4 . Bb4 . C5 . D5 ."});
            echo(p, kLead, kCounter, 3, 40);
            break;
        case kPatternCount:
            break;
    }
    return p;
}

}  // namespace

xm::Module arabishModule() {
    xm::Module m;
    m.name = "arabish";
    m.tracker = "zandar-assetgen";
    m.channels = kChannelCount;
    m.speed = 6;
    m.bpm = 125;
    m.instruments = instruments();
    for (int id = 0; id < kPatternCount; ++id)
        m.patterns.push_back(makePattern(static_cast<PatternId>(id)));
    // Sixteen patterns, one pass as long as the demo; the turnaround leads back into the theme.
    m.order = {kIntro, kBuild,   kThemeA1, kThemeA2, kThemeB1, kThemeB2, kBreak, kRunC1,
               kRunC2, kThemeA1, kThemeA2, kThemeB1, kThemeB2, kRunC1,   kRunC2, kTurn};
    m.restart = 2;
    return m;
}

void generateMusic(const std::string& outDir) {
    try {
        mp3::writeFile(outDir + "/arabish.xm", xm::write(arabishModule()));
        mp3::writeFile(outDir + "/desert.mp3", mp3::encodeStereo(desert::stream(), {}));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "zandar-assetgen: music: %s\n", e.what());
        std::exit(1);
    }
}
