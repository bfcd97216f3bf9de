#include "tools/assetgen/xm_writer.h"

#include <cctype>
#include <cmath>
#include <stdexcept>

namespace xm {

namespace {

// FT2 writes its instrument header at this size (the documented fields plus reserved words);
// players skip to the end of the header by this count.
constexpr uint32_t kInstrumentHeaderSize = 263;
constexpr uint32_t kSampleHeaderSize = 40;
constexpr size_t kMaxEnvelopePoints = 12;

class Bytes {
public:
    void u8(unsigned v) { out_.push_back(static_cast<uint8_t>(v)); }
    void u16(unsigned v) {
        u8(v & 0xFF);
        u8((v >> 8) & 0xFF);
    }
    void u32(uint32_t v) {
        u16(v & 0xFFFF);
        u16(v >> 16);
    }
    // A fixed-width text field: cut to `width`, padded with NULs (FT2 pads names with spaces or
    // NULs alike; NULs keep players from showing trailing blanks).
    void text(const std::string& s, size_t width) {
        for (size_t i = 0; i < width; ++i) u8(i < s.size() ? static_cast<uint8_t>(s[i]) : 0);
    }
    void zeros(size_t n) { out_.insert(out_.end(), n, 0); }
    size_t size() const { return out_.size(); }
    void patchU16(size_t at, unsigned v) {
        out_[at] = static_cast<uint8_t>(v & 0xFF);
        out_[at + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
    }
    std::vector<uint8_t> take() { return std::move(out_); }

private:
    std::vector<uint8_t> out_;
};

[[noreturn]] void fail(const std::string& what) {
    throw std::invalid_argument("xm::write: " + what);
}

void checkEnvelope(const Envelope& env, const std::string& where) {
    if (env.points.size() > kMaxEnvelopePoints)
        fail(where + " has more than 12 points");
    for (size_t i = 0; i < env.points.size(); ++i) {
        if (env.points[i].value > 64)
            fail(where + " point value above 64");
        if (i == 0 && env.points[i].tick != 0)
            fail(where + " does not start at tick 0");
        if (i > 0 && env.points[i].tick <= env.points[i - 1].tick) {
            fail(where + " ticks do not rise");
        }
    }
    const int n = static_cast<int>(env.points.size());
    auto inRange = [n](int p) { return p < 0 || p < n; };
    if (!inRange(env.sustain) || !inRange(env.loopStart) || !inRange(env.loopEnd)) {
        fail(where + " sustain or loop point out of range");
    }
    if ((env.loopStart < 0) != (env.loopEnd < 0) || env.loopEnd < env.loopStart) {
        fail(where + " loop needs a start before its end");
    }
}

void checkModule(const Module& m) {
    if (m.channels < 1 || m.channels > 32)
        fail("channel count must be 1..32");
    if (m.order.empty() || m.order.size() > 256)
        fail("order list must hold 1..256 entries");
    if (m.restart >= m.order.size())
        fail("restart position lies past the order list");
    if (m.patterns.empty() || m.patterns.size() > 256)
        fail("pattern count must be 1..256");
    if (m.instruments.size() > 128)
        fail("more than 128 instruments");
    if (m.speed < 1 || m.speed > 31)
        fail("speed must be 1..31 ticks per row");
    if (m.bpm < 32 || m.bpm > 255)
        fail("tempo must be 32..255 BPM");
    for (uint8_t p : m.order) {
        if (p >= m.patterns.size())
            fail("order list names a missing pattern");
    }
    for (const Pattern& p : m.patterns) {
        if (p.channels != m.channels)
            fail("pattern channel count differs from the module's");
        if (p.rows < 1 || p.rows > 256)
            fail("pattern rows must be 1..256");
        for (const Cell& c : p.cells) {
            if (c.note > kKeyOff)
                fail("note number above key off");
            if (c.instrument > m.instruments.size())
                fail("cell names a missing instrument");
        }
    }
    for (const Instrument& ins : m.instruments) {
        const Sample& s = ins.sample;
        const std::string where = "instrument \"" + ins.name + "\"";
        checkEnvelope(ins.volumeEnvelope, where + " volume envelope");
        checkEnvelope(ins.panningEnvelope, where + " panning envelope");
        if (ins.fadeout > 0xFFF)
            fail(where + " fadeout above 0xFFF");
        if (s.volume > 64)
            fail(where + " sample volume above 64");
        // Lengths are stored in bytes in 32 bits.
        if (s.data.size() > 0x7FFFFFFFu / 2)
            fail(where + " sample too long");
        if (s.loop == Loop::None) {
            if (s.loopLength != 0)
                fail(where + " has a loop length but no loop");
        } else if (s.loopLength == 0 || s.loopStart >= s.data.size() ||
                   s.loopLength > s.data.size() - s.loopStart) {
            fail(where + " loop lies outside the sample");
        }
    }
}

void writePattern(Bytes& out, const Pattern& p) {
    out.u32(9);  // pattern header length
    out.u8(0);   // packing type
    out.u16(static_cast<unsigned>(p.rows));
    const size_t sizeAt = out.size();
    out.u16(0);
    const size_t start = out.size();
    for (const Cell& c : p.cells) {
        // A cell with every field present is stored as five plain bytes; otherwise a flag
        // byte with the high bit set says which fields follow.
        const unsigned flags = (c.note ? 1u : 0u) | (c.instrument ? 2u : 0u) |
                               (c.volume ? 4u : 0u) | (c.effect ? 8u : 0u) | (c.param ? 16u : 0u);
        if (flags == 31) {
            out.u8(c.note);
            out.u8(c.instrument);
            out.u8(c.volume);
            out.u8(c.effect);
            out.u8(c.param);
            continue;
        }
        out.u8(0x80 | flags);
        if (c.note)
            out.u8(c.note);
        if (c.instrument)
            out.u8(c.instrument);
        if (c.volume)
            out.u8(c.volume);
        if (c.effect)
            out.u8(c.effect);
        if (c.param)
            out.u8(c.param);
    }
    const size_t packed = out.size() - start;
    if (packed > 0xFFFF)
        fail("packed pattern larger than 64 KiB");
    out.patchU16(sizeAt, static_cast<unsigned>(packed));
}

void writeEnvelopePoints(Bytes& out, const Envelope& env) {
    for (size_t i = 0; i < kMaxEnvelopePoints; ++i) {
        if (i < env.points.size()) {
            out.u16(env.points[i].tick);
            out.u16(env.points[i].value);
        } else {
            out.u32(0);
        }
    }
}

unsigned envelopeType(const Envelope& env) {
    if (env.points.empty())
        return 0;
    return 1u | (env.sustain >= 0 ? 2u : 0u) | (env.loopStart >= 0 ? 4u : 0u);
}

void writeInstrument(Bytes& out, const Instrument& ins) {
    const Sample& s = ins.sample;
    const size_t headerStart = out.size();
    out.u32(kInstrumentHeaderSize);
    out.text(ins.name, 22);
    out.u8(0);   // type
    out.u16(1);  // one sample
    out.u32(kSampleHeaderSize);
    out.zeros(96);  // every note plays sample 0
    writeEnvelopePoints(out, ins.volumeEnvelope);
    writeEnvelopePoints(out, ins.panningEnvelope);
    out.u8(static_cast<unsigned>(ins.volumeEnvelope.points.size()));
    out.u8(static_cast<unsigned>(ins.panningEnvelope.points.size()));
    for (const Envelope* env : {&ins.volumeEnvelope, &ins.panningEnvelope}) {
        out.u8(static_cast<unsigned>(env->sustain < 0 ? 0 : env->sustain));
        out.u8(static_cast<unsigned>(env->loopStart < 0 ? 0 : env->loopStart));
        out.u8(static_cast<unsigned>(env->loopEnd < 0 ? 0 : env->loopEnd));
    }
    out.u8(envelopeType(ins.volumeEnvelope));
    out.u8(envelopeType(ins.panningEnvelope));
    out.u8(ins.vibratoType);
    out.u8(ins.vibratoSweep);
    out.u8(ins.vibratoDepth);
    out.u8(ins.vibratoRate);
    out.u16(ins.fadeout);
    out.zeros(headerStart + kInstrumentHeaderSize - out.size());  // reserved

    // Sample header: lengths and loop in bytes, 16-bit data.
    out.u32(static_cast<uint32_t>(s.data.size() * 2));
    out.u32(s.loop == Loop::None ? 0 : s.loopStart * 2);
    out.u32(s.loop == Loop::None ? 0 : s.loopLength * 2);
    out.u8(s.volume);
    out.u8(static_cast<uint8_t>(s.finetune));
    out.u8(static_cast<unsigned>(s.loop) | 0x10);
    out.u8(s.panning);
    out.u8(static_cast<uint8_t>(s.relativeNote));
    out.u8(0);  // reserved
    out.text(s.name, 22);

    // Sample data: each value is the difference from the previous one, wrapping in 16 bits.
    int16_t previous = 0;
    for (int16_t v : s.data) {
        out.u16(static_cast<uint16_t>(static_cast<uint16_t>(v) - static_cast<uint16_t>(previous)));
        previous = v;
    }
}

}  // namespace

uint8_t noteNumber(const std::string& name) {
    static const int kSemitone[7] = {9, 11, 0, 2, 4, 5, 7};  // A..G
    if (name.size() < 2)
        return 0;
    const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(name[0])));
    if (letter < 'A' || letter > 'G')
        return 0;
    int semitone = kSemitone[letter - 'A'];
    size_t i = 1;
    if (name[i] == '#') {
        ++semitone;
        ++i;
    } else if (name[i] == 'b') {
        --semitone;
        ++i;
    } else if (name[i] == '-') {
        ++i;
    }
    if (i + 1 != name.size() || !std::isdigit(static_cast<unsigned char>(name[i])))
        return 0;
    const int note = 1 + 12 * (name[i] - '0') + semitone;
    return note >= 1 && note <= kMaxNote ? static_cast<uint8_t>(note) : 0;
}

Pattern::Pattern(int rowCount, int channelCount)
    : rows(rowCount),
      channels(channelCount),
      cells(static_cast<size_t>(rowCount > 0 ? rowCount : 0) *
            static_cast<size_t>(channelCount > 0 ? channelCount : 0)) {}

Cell& Pattern::at(int row, int channel) {
    return cells.at(static_cast<size_t>(row) * static_cast<size_t>(channels) +
                    static_cast<size_t>(channel));
}

const Cell& Pattern::at(int row, int channel) const {
    return cells.at(static_cast<size_t>(row) * static_cast<size_t>(channels) +
                    static_cast<size_t>(channel));
}

void tuneSample(Sample& sample, double sampleRate, double recordedPitch) {
    // With linear frequencies, C-4 on a sample with no transposition plays at 8363 Hz.
    const double shift = 12.0 * std::log2(sampleRate / 8363.0) - recordedPitch;
    int steps = static_cast<int>(std::lround(shift * 128.0));
    int relative = steps >= 0 ? (steps + 64) / 128 : -((-steps + 63) / 128);
    int fine = steps - relative * 128;  // -64..63
    if (relative < -96 || relative > 95) {
        throw std::invalid_argument("xm::tuneSample: transposition out of range");
    }
    sample.relativeNote = static_cast<int8_t>(relative);
    sample.finetune = static_cast<int8_t>(fine);
}

std::vector<uint8_t> write(const Module& m) {
    checkModule(m);
    Bytes out;
    out.text("Extended Module: ", 17);
    out.text(m.name, 20);
    out.u8(0x1A);
    out.text(m.tracker, 20);
    out.u16(0x0104);
    out.u32(20 + 256);  // header size, counted from this field
    out.u16(static_cast<unsigned>(m.order.size()));
    out.u16(m.restart);
    out.u16(static_cast<unsigned>(m.channels));
    out.u16(static_cast<unsigned>(m.patterns.size()));
    out.u16(static_cast<unsigned>(m.instruments.size()));
    out.u16(m.linearFrequencies ? 1 : 0);
    out.u16(m.speed);
    out.u16(m.bpm);
    for (size_t i = 0; i < 256; ++i) out.u8(i < m.order.size() ? m.order[i] : 0);
    for (const Pattern& p : m.patterns) writePattern(out, p);
    for (const Instrument& ins : m.instruments) writeInstrument(out, ins);
    return out.take();
}

}  // namespace xm
