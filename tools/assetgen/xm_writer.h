// A FastTracker II extended module (XM) writer: the song's header and order list, packed
// patterns, and instruments that carry one 16-bit delta-encoded sample each with volume and
// panning envelopes. Only what a generated tune needs; the layout follows FT2's own files, so
// every XM player reads the result.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace xm {

// Notes: 1 is C-0, 12 semitones per octave, up to 96 (B-7); 97 releases the note (key off).
constexpr uint8_t kNoNote = 0;
constexpr uint8_t kKeyOff = 97;
constexpr uint8_t kMaxNote = 96;

// XM note number of a note name such as "C-4", "D#3", "Eb5" or "F#2"; 0 when it is not one.
uint8_t noteNumber(const std::string& name);

// One channel of one row. The volume column holds 0 (empty) or 0x10..0x50 for volume 0..64
// (and FT2's other volume-column effects); effect and parameter follow FT2's numbering.
struct Cell {
    uint8_t note = kNoNote;
    uint8_t instrument = 0;  // 1-based; 0 keeps the channel's instrument
    uint8_t volume = 0;
    uint8_t effect = 0;
    uint8_t param = 0;
    bool empty() const {
        return note == 0 && instrument == 0 && volume == 0 && effect == 0 && param == 0;
    }
};

// Volume-column value that sets the volume to v (0..64).
constexpr uint8_t setVolume(int v) {
    return static_cast<uint8_t>(0x10 + (v < 0 ? 0 : v > 64 ? 64 : v));
}

struct Pattern {
    Pattern(int rowCount, int channelCount);
    Cell& at(int row, int channel);
    const Cell& at(int row, int channel) const;
    int rows;
    int channels;
    std::vector<Cell> cells;  // row-major
};

struct EnvelopePoint {
    uint16_t tick;  // ticks since the note started, strictly rising from 0
    uint8_t value;  // 0..64
};

// Up to 12 points; an empty envelope is off. Sustain and loop points index into `points`.
struct Envelope {
    std::vector<EnvelopePoint> points;
    int sustain = -1;
    int loopStart = -1;
    int loopEnd = -1;
};

enum class Loop : uint8_t { None = 0, Forward = 1, PingPong = 2 };

struct Sample {
    std::string name;
    std::vector<int16_t> data;
    uint32_t loopStart = 0;   // in sample frames
    uint32_t loopLength = 0;  // in sample frames; 0 with Loop::None
    Loop loop = Loop::None;
    uint8_t volume = 64;  // 0..64
    int8_t finetune = 0;  // 1/128 semitone
    uint8_t panning = 128;
    int8_t relativeNote = 0;  // semitones added to every note played with this sample
};

// Sets relativeNote and finetune for a sample recorded at `sampleRate` whose own pitch lies
// `recordedPitch` semitones above C-4 (negative: below), so that every written note sounds at its
// own pitch (A-4 = 440 Hz). Unpitched sounds pass 0 and play at their recorded speed on C-4.
// Throws std::invalid_argument when the transposition lies beyond XM's -96..95 semitones.
void tuneSample(Sample& sample, double sampleRate, double recordedPitch);

struct Instrument {
    std::string name;
    Sample sample;  // played on every note
    Envelope volumeEnvelope;
    Envelope panningEnvelope;
    uint16_t fadeout = 0;  // volume fall per tick after key off, 0..0xFFF
    uint8_t vibratoType = 0, vibratoSweep = 0, vibratoDepth = 0, vibratoRate = 0;
};

struct Module {
    std::string name;
    std::string tracker = "zandar-assetgen";
    int channels = 8;
    uint16_t speed = 6;  // ticks per row
    uint16_t bpm = 125;
    bool linearFrequencies = true;
    std::vector<uint8_t> order;  // pattern numbers in playing order
    uint16_t restart = 0;        // order position the song loops back to
    std::vector<Pattern> patterns;
    std::vector<Instrument> instruments;
};

// The module as the bytes of an XM file. Throws std::invalid_argument, naming the fault, for a
// module FT2 could not represent (bad counts, notes, references, envelopes or loops).
std::vector<uint8_t> write(const Module& module);

}  // namespace xm
