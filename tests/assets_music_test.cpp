// The demo's music as players see it: arabish.xm through libopenmpt and libxmp, desert.mp3
// through libmpg123; and the writers and synthesis the generator makes them with.
#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.h>
#include <mpg123.h>
#include <xmp.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "tools/assetgen/mp3_writer.h"
#include "tools/assetgen/music_module.h"
#include "tools/assetgen/synth.h"
#include "tools/assetgen/xm_writer.h"

namespace {

const std::string kModulePath = ZANDAR_ASSET_DIR "/arabish.xm";
const std::string kStreamPath = ZANDAR_ASSET_DIR "/desert.mp3";
constexpr double kRowSeconds = 0.12;  // speed 6 at 125 BPM
constexpr int kRate = 44100;

std::vector<char> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

// A module opened in libopenmpt, with everything the library logged while loading it.
struct OpenMpt {
    explicit OpenMpt(const std::vector<char>& bytes) {
        int error = 0;
        mod = openmpt_module_create_from_memory2(
            bytes.data(), bytes.size(),
            [](const char* message, void* user) {
                static_cast<std::vector<std::string>*>(user)->push_back(message);
            },
            &log, nullptr, nullptr, &error, nullptr, nullptr);
    }
    ~OpenMpt() { openmpt_module_destroy(mod); }
    OpenMpt(const OpenMpt&) = delete;
    OpenMpt& operator=(const OpenMpt&) = delete;

    // Renders `seconds` of stereo sound, stopping early where the song ends.
    std::vector<float> render(double seconds) {
        std::vector<float> out;
        std::vector<float> buffer(2 * 4096);
        const size_t wanted = static_cast<size_t>(seconds * kRate);
        while (out.size() / 2 < wanted) {
            const size_t n = openmpt_module_read_interleaved_float_stereo(
                mod, kRate, std::min<size_t>(4096, wanted - out.size() / 2), buffer.data());
            if (n == 0)
                break;
            out.insert(out.end(), buffer.begin(), buffer.begin() + static_cast<long>(2 * n));
        }
        return out;
    }

    openmpt_module* mod = nullptr;
    std::vector<std::string> log;
};

double rms(const float* begin, const float* end) {
    double sum = 0;
    for (const float* p = begin; p != end; ++p) sum += static_cast<double>(*p) * *p;
    return end > begin ? std::sqrt(sum / static_cast<double>(end - begin)) : 0.0;
}

double dbfs(double v) {
    return 20 * std::log10(v + 1e-12);
}

// The frequency of the strongest partial, from zero crossings of a clean, sustained tone.
double zeroCrossingHz(const std::vector<float>& stereo, size_t firstFrame, size_t frames) {
    int crossings = 0;
    double firstAt = -1, lastAt = -1;
    for (size_t i = firstFrame + 1; i < firstFrame + frames && 2 * i < stereo.size(); ++i) {
        const float a = stereo[2 * (i - 1)], b = stereo[2 * i];
        if (a < 0 && b >= 0) {
            const double at = static_cast<double>(i - 1) + a / (a - b);
            if (firstAt < 0)
                firstAt = at;
            lastAt = at;
            ++crossings;
        }
    }
    return crossings > 1 ? (crossings - 1) * kRate / (lastAt - firstAt) : 0.0;
}

// The fundamental of a periodic sound near `expectedHz` (within three semitones), from the
// strongest normalised autocorrelation of the left channel, refined between lags.
double pitchNear(const std::vector<float>& stereo, size_t firstFrame, size_t frames,
                 double expectedHz) {
    const int minLag = static_cast<int>(kRate / (expectedHz * 1.19));
    const int maxLag = static_cast<int>(kRate / (expectedHz / 1.19)) + 1;
    auto at = [&](size_t i) { return static_cast<double>(stereo[2 * (firstFrame + i)]); };
    auto corr = [&](int lag) {
        double xy = 0, xx = 0, yy = 0;
        for (size_t i = 0; i + static_cast<size_t>(lag) < frames; ++i) {
            const double x = at(i), y = at(i + static_cast<size_t>(lag));
            xy += x * y;
            xx += x * x;
            yy += y * y;
        }
        return xy / std::sqrt(xx * yy + 1e-30);
    };
    int best = minLag;
    std::vector<double> c(static_cast<size_t>(maxLag + 2), 0.0);
    for (int lag = minLag - 1; lag <= maxLag + 1; ++lag) c[static_cast<size_t>(lag)] = corr(lag);
    for (int lag = minLag; lag <= maxLag; ++lag) {
        if (c[static_cast<size_t>(lag)] > c[static_cast<size_t>(best)])
            best = lag;
    }
    const double a = c[static_cast<size_t>(best - 1)], b = c[static_cast<size_t>(best)],
                 d = c[static_cast<size_t>(best + 1)];
    const double shift = (a - d) / (2 * (a - 2 * b + d));
    return kRate / (best + (std::isfinite(shift) ? shift : 0.0));
}

// Decoded 16-bit stereo from an MP3 held in memory or on disk.
struct Decoded {
    long rate = 0;
    int channels = 0;
    std::vector<float> samples;  // interleaved
};

Decoded decodeMp3(const std::vector<uint8_t>& bytes) {
    mpg123_init();
    int err = 0;
    std::unique_ptr<mpg123_handle, void (*)(mpg123_handle*)> h(mpg123_new(nullptr, &err),
                                                               mpg123_delete);
    Decoded d;
    if (!h)
        return d;
    mpg123_param(h.get(), MPG123_ADD_FLAGS, MPG123_QUIET, 0);
    mpg123_open_feed(h.get());
    mpg123_feed(h.get(), bytes.data(), bytes.size());
    int encoding = 0;
    std::vector<unsigned char> buffer(1 << 16);
    for (;;) {
        size_t done = 0;
        const int r = mpg123_read(h.get(), buffer.data(), buffer.size(), &done);
        if (r == MPG123_NEW_FORMAT) {
            mpg123_getformat(h.get(), &d.rate, &d.channels, &encoding);
            continue;
        }
        const auto* pcm = reinterpret_cast<const int16_t*>(buffer.data());
        for (size_t i = 0; i < done / 2; ++i) d.samples.push_back(pcm[i] / 32768.0f);
        if (r != MPG123_OK)
            break;
    }
    EXPECT_EQ(encoding, MPG123_ENC_SIGNED_16);
    return d;
}

// A one-instrument module that plays `notes` (one per 8 rows) on a sample.
xm::Module toneModule(xm::Sample sample, const std::vector<std::string>& notes) {
    xm::Module m;
    m.name = "test";
    m.channels = 2;
    xm::Instrument ins;
    ins.name = "tone";
    ins.sample = std::move(sample);
    m.instruments.push_back(ins);
    xm::Pattern p(64, 2);
    for (size_t i = 0; i < notes.size(); ++i) {
        p.at(static_cast<int>(i * 8), 0) = {xm::noteNumber(notes[i]), 1, xm::setVolume(64), 0, 0};
    }
    m.patterns.push_back(p);
    m.order = {0};
    return m;
}

std::vector<char> asChars(const std::vector<uint8_t>& bytes) {
    return {bytes.begin(), bytes.end()};
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// arabish.xm

TEST(Module, LoadsCleanlyInLibopenmptWithTheDemoTempo) {
    OpenMpt m(readFile(kModulePath));
    ASSERT_NE(m.mod, nullptr) << "libopenmpt cannot load " << kModulePath;
    for (const std::string& line : m.log) ADD_FAILURE() << "libopenmpt says: " << line;
    EXPECT_EQ(openmpt_module_get_current_speed(m.mod), 6);
    EXPECT_EQ(openmpt_module_get_current_tempo(m.mod), 125);
    EXPECT_GE(openmpt_module_get_num_channels(m.mod), 4);
    EXPECT_GE(openmpt_module_get_num_patterns(m.mod), 8);
    for (int p = 0; p < openmpt_module_get_num_patterns(m.mod); ++p) {
        EXPECT_EQ(openmpt_module_get_pattern_num_rows(m.mod, p), 64) << "pattern " << p;
    }
}

TEST(Module, EveryFourthRowOfTheBeatChannelCarriesANoteInEveryPlayedPattern) {
    OpenMpt m(readFile(kModulePath));
    ASSERT_NE(m.mod, nullptr);
    const int orders = openmpt_module_get_num_orders(m.mod);
    ASSERT_GE(orders, 8);
    for (int o = 0; o < orders; ++o) {
        const int pattern = openmpt_module_get_order_pattern(m.mod, o);
        for (int row = 0; row < openmpt_module_get_pattern_num_rows(m.mod, pattern); row += 4) {
            const int note = openmpt_module_get_pattern_row_channel_command(
                m.mod, pattern, row, 0, OPENMPT_MODULE_COMMAND_NOTE);
            EXPECT_TRUE(note >= 1 && note <= 120)
                << "order " << o << " (pattern " << pattern << ") row " << row << " has no beat";
        }
    }
}

TEST(Module, OnePassLastsTheDemoAndTheLoopKeepsPlayingFromTheRestartPosition) {
    OpenMpt m(readFile(kModulePath));
    ASSERT_NE(m.mod, nullptr);
    const int orders = openmpt_module_get_num_orders(m.mod);
    EXPECT_EQ(orders, 16);
    EXPECT_NEAR(openmpt_module_get_duration_seconds(m.mod), orders * 64 * kRowSeconds, 0.05);

    // From the start of the last pattern, looping on: past its end playback continues at the
    // restart position rather than stopping or going back to the intro.
    openmpt_module_set_repeat_count(m.mod, -1);
    openmpt_module_set_position_order_row(m.mod, orders - 1, 0);
    const std::vector<float> sound = m.render(64 * kRowSeconds + 2.0);
    ASSERT_EQ(sound.size(), 2 * static_cast<size_t>((64 * kRowSeconds + 2.0) * kRate));
    EXPECT_EQ(openmpt_module_get_current_order(m.mod), 2);
    const size_t seam = static_cast<size_t>(64 * kRowSeconds * kRate) * 2;
    EXPECT_GT(dbfs(rms(sound.data() + seam, sound.data() + sound.size())), -35.0)
        << "silence after the loop point";
}

TEST(Module, AFullPassIsLoudEnoughWithoutClippingAndTheIntroIsQuieter) {
    OpenMpt m(readFile(kModulePath));
    ASSERT_NE(m.mod, nullptr);
    const std::vector<float> sound = m.render(openmpt_module_get_duration_seconds(m.mod));
    ASSERT_FALSE(sound.empty());
    float peak = 0;
    for (float v : sound) peak = std::max(peak, std::fabs(v));
    EXPECT_LT(peak, 0.98f) << "the mix clips";
    const double whole = dbfs(rms(sound.data(), sound.data() + sound.size()));
    EXPECT_GT(whole, -26.0);
    EXPECT_LT(whole, -12.0);
    const size_t pattern = static_cast<size_t>(64 * kRowSeconds * kRate) * 2;
    const double intro = dbfs(rms(sound.data(), sound.data() + pattern));
    const double theme = dbfs(rms(sound.data() + 2 * pattern, sound.data() + 3 * pattern));
    EXPECT_LT(intro, theme - 2.0);
    EXPECT_GT(intro, -40.0);
}

TEST(Module, PitchedInstrumentsSoundAtTheWrittenNote) {
    // Each of the tune's tonal instruments alone, playing a note in its own register.
    const xm::Module tune = arabishModule();
    const struct {
        const char* instrument;
        const char* note;
        double hz;
    } cases[] = {{"bass", "D-2", 73.42},
                 {"oud", "D-4", 293.66},
                 {"oud", "A-4", 440.0},
                 {"pad", "G-3", 196.0},
                 {"ney", "Eb5", 622.25}};
    for (const auto& c : cases) {
        const xm::Instrument* found = nullptr;
        for (const xm::Instrument& ins : tune.instruments) {
            if (ins.name == c.instrument)
                found = &ins;
        }
        ASSERT_NE(found, nullptr) << c.instrument;
        xm::Module solo = toneModule(found->sample, {c.note});
        solo.instruments[0] = *found;
        OpenMpt o(asChars(xm::write(solo)));
        ASSERT_NE(o.mod, nullptr);
        const std::vector<float> sound = o.render(0.9);
        const double hz = pitchNear(sound, kRate / 10, kRate / 2, c.hz);
        EXPECT_NEAR(12 * std::log2(hz / c.hz), 0.0, 0.15)
            << c.instrument << " " << c.note << ": " << hz << " Hz";
    }
}

TEST(Module, TonalInstrumentsStayInDHijaz) {
    // D Eb F# G A Bb C: a stray E or F in the score would sound wrong against the drone.
    const bool inScale[12] = {true, false, true,  true, false, false,
                              true, true,  false, true, true,  false};  // from C
    const xm::Module tune = arabishModule();
    for (size_t p = 0; p < tune.patterns.size(); ++p) {
        for (const xm::Cell& c : tune.patterns[p].cells) {
            if (c.note == 0 || c.note == xm::kKeyOff || c.instrument == 0)
                continue;
            const std::string& name = tune.instruments[c.instrument - 1].name;
            if (name != "bass" && name != "oud" && name != "pad" && name != "ney")
                continue;
            EXPECT_TRUE(inScale[(c.note - 1) % 12])
                << name << " plays note " << int(c.note) << " in pattern " << p;
        }
    }
}

TEST(Module, LibxmpLoadsItWithInstrumentsThatHoldSoundAndPlaysFrames) {
    xmp_context ctx = xmp_create_context();
    ASSERT_EQ(xmp_load_module(ctx, kModulePath.c_str()), 0);
    xmp_module_info info{};
    xmp_get_module_info(ctx, &info);
    EXPECT_EQ(info.mod->len, 16);
    EXPECT_EQ(info.mod->rst, 2);
    EXPECT_EQ(info.mod->spd, 6);
    EXPECT_EQ(info.mod->bpm, 125);
    ASSERT_GE(info.mod->ins, 5);
    for (int i = 0; i < info.mod->ins; ++i) {
        const xmp_instrument& ins = info.mod->xxi[i];
        ASSERT_GE(ins.nsm, 1) << ins.name;
        const xmp_sample& s = info.mod->xxs[ins.sub[0].sid];
        EXPECT_GT(s.len, 100) << ins.name << " has no sample data";
        bool sound = false;
        for (int k = 0; k < s.len && !sound; ++k) {
            sound = (s.flg & XMP_SAMPLE_16BIT) ? reinterpret_cast<const int16_t*>(s.data)[k] != 0
                                               : s.data[k] != 0;
        }
        EXPECT_TRUE(sound) << ins.name << " is silent";
    }

    ASSERT_EQ(xmp_start_player(ctx, kRate, 0), 0);
    xmp_frame_info frame{};
    double energy = 0;
    for (int i = 0; i < 60; ++i) {  // ten rows
        ASSERT_EQ(xmp_play_frame(ctx), 0);
        xmp_get_frame_info(ctx, &frame);
        const auto* pcm = static_cast<const int16_t*>(frame.buffer);
        for (int k = 0; k < frame.buffer_size / 2; ++k) energy += std::fabs(pcm[k]);
    }
    EXPECT_EQ(frame.row, 9);
    EXPECT_GT(energy, 0.0);
    xmp_end_player(ctx);
    xmp_release_module(ctx);
    xmp_free_context(ctx);
}

// ---------------------------------------------------------------------------------------------
// desert.mp3

TEST(Stream, DecodesToAbout125SecondsOfStereoSoundWithAccentsAtTheSceneChanges) {
    std::vector<char> raw = readFile(kStreamPath);
    ASSERT_FALSE(raw.empty()) << kStreamPath;
    const Decoded d = decodeMp3({raw.begin(), raw.end()});
    ASSERT_EQ(d.rate, kRate);
    ASSERT_EQ(d.channels, 2);
    const double seconds = static_cast<double>(d.samples.size()) / 2 / kRate;
    EXPECT_NEAR(seconds, 125.0, 2.0);

    auto windowDb = [&](double from, double to) {
        const size_t a = 2 * static_cast<size_t>(from * kRate);
        const size_t b = std::min(d.samples.size(), 2 * static_cast<size_t>(to * kRate));
        return dbfs(rms(d.samples.data() + a, d.samples.data() + b));
    };
    for (double t = 0; t + 10 <= 120; t += 10) {
        EXPECT_GT(windowDb(t, t + 10), -40.0) << "near silence at " << t << " s";
    }
    float peak = 0;
    for (float v : d.samples) peak = std::max(peak, std::fabs(v));
    EXPECT_LT(peak, 0.98f) << "the stream clips";

    // Each scene change swells above the bed just before it.
    for (double at : {12.0, 28.0, 44.0, 56.0, 70.0, 78.0, 86.0, 106.0, 122.0}) {
        EXPECT_GT(windowDb(at, at + 1), windowDb(at - 4, at - 2.5) + 4.0) << "accent at " << at;
    }
}

TEST(Stream, PlayedTogetherWithTheModuleTheSumStaysBelowFullScale) {
    // The demo starts both at once and the audio output adds them: a scene-change boom
    // landing on a kick must not clip.
    std::vector<char> raw = readFile(kStreamPath);
    const Decoded stream = decodeMp3({raw.begin(), raw.end()});
    ASSERT_FALSE(stream.samples.empty());
    OpenMpt module(readFile(kModulePath));
    ASSERT_NE(module.mod, nullptr);
    openmpt_module_set_repeat_count(module.mod, -1);
    const std::vector<float> music =
        module.render(static_cast<double>(stream.samples.size()) / 2 / kRate);
    ASSERT_EQ(music.size(), stream.samples.size());
    float peak = 0;
    size_t at = 0;
    for (size_t i = 0; i < music.size(); ++i) {
        const float v = std::fabs(music[i] + stream.samples[i]);
        if (v > peak) {
            peak = v;
            at = i;
        }
    }
    EXPECT_LT(peak, 0.95f) << "at " << static_cast<double>(at / 2) / kRate << " s";
}

// ---------------------------------------------------------------------------------------------
// The writers

TEST(XmWriter, PackedCellsReadBackFieldForField) {
    xm::Sample s;
    s.data.assign(1000, 1000);
    xm::Module m = toneModule(s, {});
    xm::Pattern& p = m.patterns[0];
    p.at(0, 0) = {xm::noteNumber("C-4"), 1, 0x40, 0x0C, 0x20};  // all five fields: unpacked
    p.at(1, 1) = {0, 0, 0, 0x0F, 0x03};                         // effect only
    p.at(2, 0) = {xm::kKeyOff, 0, 0, 0, 0};
    p.at(63, 1) = {xm::noteNumber("B-7"), 1, 0, 0, 0};
    OpenMpt o(asChars(xm::write(m)));
    ASSERT_NE(o.mod, nullptr);
    EXPECT_TRUE(o.log.empty());
    auto cmd = [&](int row, int ch, int what) {
        return openmpt_module_get_pattern_row_channel_command(o.mod, 0, row, ch, what);
    };
    // libopenmpt names notes an octave higher than FastTracker: its 61 is FT2's C-4 (49).
    EXPECT_EQ(cmd(0, 0, OPENMPT_MODULE_COMMAND_NOTE), 49 + 12);
    EXPECT_EQ(cmd(0, 0, OPENMPT_MODULE_COMMAND_INSTRUMENT), 1);
    EXPECT_EQ(cmd(0, 0, OPENMPT_MODULE_COMMAND_VOLUME), 0x30);
    EXPECT_EQ(cmd(1, 0, OPENMPT_MODULE_COMMAND_NOTE), 0);
    EXPECT_EQ(cmd(2, 0, OPENMPT_MODULE_COMMAND_NOTE), 255);  // key off
    EXPECT_EQ(cmd(63, 1, OPENMPT_MODULE_COMMAND_NOTE), 96 + 12);
    EXPECT_EQ(cmd(62, 1, OPENMPT_MODULE_COMMAND_NOTE), 0);
}

TEST(XmWriter, TunedSamplesSoundAtTheWrittenNote) {
    // A sine recorded at A-4 at an odd rate must play A-4 as 440 Hz and D-5 a fourth above;
    // this also proves the delta encoding, since a mangled sample has no clean pitch.
    const double rate = 23000;
    xm::Sample s;
    synth::Wave sine(static_cast<size_t>(rate) / 4);
    const double cycles = 110;  // whole cycles in a quarter-second loop: 440 Hz
    for (size_t i = 0; i < sine.size(); ++i) {
        sine[i] = std::sin(2 * synth::kPi * cycles * static_cast<double>(i) / sine.size());
    }
    s.data = synth::toPcm16(sine);
    s.loop = xm::Loop::Forward;
    s.loopLength = static_cast<uint32_t>(s.data.size());
    const double recordedHz = cycles * rate / static_cast<double>(sine.size());
    xm::tuneSample(s, rate, 12 * std::log2(recordedHz / 261.6255653));
    OpenMpt o(asChars(xm::write(toneModule(s, {"A-4", "D-5", "A-2"}))));
    ASSERT_NE(o.mod, nullptr);
    const std::vector<float> sound = o.render(3 * 8 * kRowSeconds);
    const size_t note = static_cast<size_t>(8 * kRowSeconds * kRate);
    const size_t settle = note / 8;
    EXPECT_NEAR(zeroCrossingHz(sound, settle, note - 2 * settle), 440.0, 1.0);
    EXPECT_NEAR(zeroCrossingHz(sound, note + settle, note - 2 * settle), 587.33, 1.5);
    EXPECT_NEAR(zeroCrossingHz(sound, 2 * note + settle, note - 2 * settle), 110.0, 0.5);
}

TEST(XmWriter, RejectsModulesPlayersCouldNotRead) {
    xm::Sample s;
    s.data.assign(100, 0);
    const xm::Module good = toneModule(s, {"C-4"});
    EXPECT_NO_THROW(xm::write(good));

    auto rejects = [&](auto&& spoil, const char* what) {
        xm::Module m = good;
        spoil(m);
        EXPECT_THROW(xm::write(m), std::invalid_argument) << what;
    };
    rejects([](xm::Module& m) { m.order = {1}; }, "order names a missing pattern");
    rejects([](xm::Module& m) { m.order.clear(); }, "empty order list");
    rejects([](xm::Module& m) { m.restart = 1; }, "restart past the order list");
    rejects([](xm::Module& m) { m.patterns[0].at(5, 1).note = 98; }, "note past key off");
    rejects([](xm::Module& m) { m.patterns[0].at(5, 1).instrument = 2; }, "missing instrument");
    rejects([](xm::Module& m) { m.patterns[0] = xm::Pattern(64, 3); }, "channel count differs");
    rejects([](xm::Module& m) { m.patterns[0] = xm::Pattern(0, 2); }, "pattern without rows");
    rejects(
        [](xm::Module& m) {
            auto& smp = m.instruments[0].sample;
            smp.loop = xm::Loop::Forward;
            smp.loopStart = 60;
            smp.loopLength = 41;
        },
        "loop runs past the sample");
    rejects([](xm::Module& m) { m.instruments[0].sample.loopLength = 10; }, "length without loop");
    rejects(
        [](xm::Module& m) {
            m.instruments[0].volumeEnvelope.points = {{0, 64}, {0, 32}};
        },
        "envelope ticks do not rise");
    rejects(
        [](xm::Module& m) {
            m.instruments[0].volumeEnvelope.points = {{0, 65}};
        },
        "envelope above 64");
    rejects(
        [](xm::Module& m) {
            for (uint16_t t = 0; t < 13; ++t)
                m.instruments[0].volumeEnvelope.points.push_back({t, 1});
        },
        "more than 12 envelope points");
    rejects(
        [](xm::Module& m) {
            m.instruments[0].volumeEnvelope.points = {{0, 64}, {4, 0}};
            m.instruments[0].volumeEnvelope.sustain = 2;
        },
        "sustain point past the envelope");
    rejects([](xm::Module& m) { m.speed = 0; }, "zero speed");
}

TEST(XmWriter, NoteNamesMapToFastTrackerNumbers) {
    EXPECT_EQ(xm::noteNumber("C-0"), 1);
    EXPECT_EQ(xm::noteNumber("C-4"), 49);
    EXPECT_EQ(xm::noteNumber("D#4"), xm::noteNumber("Eb4"));
    EXPECT_EQ(xm::noteNumber("F#2"), 31);
    EXPECT_EQ(xm::noteNumber("B-7"), 96);
    for (const char* bad : {"", "C", "H-4", "C-8", "Cb0", "C-44", "C#"}) {
        EXPECT_EQ(xm::noteNumber(bad), 0) << bad;
    }
}

TEST(Mp3Writer, EncodesTheSameBytesEachTimeAndDecodesToTheExactLength) {
    // 1.5 s of a tone whose length is no whole number of MP3 frames: the Info header must tell
    // the decoder to drop the encoder's delay and padding.
    const size_t frames = 66150 + 77;
    std::vector<float> pcm(2 * frames);
    for (size_t i = 0; i < frames; ++i) {
        const float v = static_cast<float>(0.5 * std::sin(2 * synth::kPi * 293.66 * i / kRate));
        pcm[2 * i] = v;
        pcm[2 * i + 1] = -v;
    }
    const std::vector<uint8_t> a = mp3::encodeStereo(pcm, {});
    EXPECT_EQ(a, mp3::encodeStereo(pcm, {}));
    const Decoded d = decodeMp3(a);
    ASSERT_EQ(d.channels, 2);
    EXPECT_EQ(d.samples.size(), pcm.size());
    const size_t mid = frames / 2;
    EXPECT_NEAR(d.samples[2 * mid], pcm[2 * mid], 0.05);
    EXPECT_NEAR(d.samples[2 * mid + 1], pcm[2 * mid + 1], 0.05);
    EXPECT_THROW(mp3::encodeStereo(pcm, {44100, 7, 5}), std::invalid_argument) << "7 kbit/s";
    EXPECT_THROW(mp3::encodeStereo(pcm, {22050, 128, 5}), std::invalid_argument) << "22 kHz";
    pcm.pop_back();
    EXPECT_THROW(mp3::encodeStereo(pcm, {}), std::invalid_argument) << "half a frame";
}
