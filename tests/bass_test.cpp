// The audio layer with the generated music: in this process on OpenAL's null driver, in child
// processes with the wave driver, no device or output disabled; and the module renderer's record
// of rows against rendered frames, checked against libopenmpt playing the module on its own.
#include "platform/bass.h"
#include "platform/audio_module.h"
#include "tests/support/process.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <libopenmpt/libopenmpt.hpp>
#include <sstream>
#include <string>
#include <vector>

namespace {

const std::string kModule = ZANDAR_ASSET_DIR "/arabish.xm";
const std::string kStream = ZANDAR_ASSET_DIR "/desert.mp3";
constexpr unsigned kRate = 44100;

// A file of this process's own in the temporary folder, holding `content`.
std::string tempFile(const std::string& name, const std::string& content = "") {
    const std::string path = testing::TempDir() + "bass_test_" + std::to_string(getpid()) + name;
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
    return path;
}

const std::string& moduleBytes() {
    static const std::string bytes = readBytes(kModule);
    return bytes;
}

// libopenmpt's own timing of the module: when each order and row starts.
struct ModuleTiming {
    double rowStart(QWORD position) {
        module.set_position_order_row(position & 0xFFFF, (position >> 16) & 0xFFFF);
        return module.get_position_seconds();
    }
    openmpt::module module{moduleBytes().data(), moduleBytes().size()};
    const double rowSeconds = module.get_current_speed() * 2.5 / module.get_current_tempo();
};

// audio_child with the given environment settings, killed at 20 s.
ProcessResult runChild(const std::vector<std::string>& environment,
                       const std::vector<std::string>& args) {
    std::vector<std::string> argv = {AUDIO_CHILD};
    argv.insert(argv.end(), args.begin(), args.end());
    return runProcess(argv, 20.0, environment);
}

// The child's samples: seconds since play before and after asking, WAV size, position.
struct Sample {
    double before, after;
    long long wavBytes;
    unsigned long long position;
};
std::vector<Sample> samplesOf(const std::string& out) {
    std::istringstream in(out);
    std::vector<Sample> samples;
    for (Sample s{}; in >> s.before >> s.after >> s.wavBytes >> s.position;) samples.push_back(s);
    return samples;
}

TEST(Bass, OnlyAPlayingModuleHasAPositionAndOnlyMusicOfTheRightKindAHandle) {
    EXPECT_EQ(BASS_MusicLoad(0, kModule.c_str(), 0, 0, 0, 0), 0u) << "nothing before BASS_Init";
    ASSERT_EQ(BASS_Init(-1, kRate, 0, nullptr, nullptr), 1);
    EXPECT_EQ(BASS_Init(-1, kRate, 0, nullptr, nullptr), 1) << "a second init is harmless";
    const HSTREAM stream = BASS_StreamCreateFile(0, kStream.c_str(), 0, 0, 0);
    const HMUSIC music = BASS_MusicLoad(0, kModule.c_str(), 0, 0, BASS_MUSIC_LOOP, 0);
    ASSERT_NE(stream, 0u);
    ASSERT_NE(music, 0u);
    EXPECT_NE(stream, music);
    EXPECT_EQ(BASS_ChannelGetPosition(music, BASS_POS_MUSIC_ORDER), BASS_POSITION_INVALID)
        << "a module not yet played";
    EXPECT_EQ(BASS_ChannelPlay(stream, 0), 1);
    EXPECT_EQ(BASS_ChannelPlay(music, 0), 1);
    for (DWORD handle : {stream, 0u, music + stream + 100}) {
        EXPECT_EQ(BASS_ChannelGetPosition(handle, BASS_POS_MUSIC_ORDER), BASS_POSITION_INVALID);
    }
    EXPECT_EQ(BASS_ChannelGetPosition(music, 0), BASS_POSITION_INVALID) << "other modes";
    EXPECT_NE(BASS_ChannelGetPosition(music, BASS_POS_MUSIC_ORDER), BASS_POSITION_INVALID);
    EXPECT_EQ(BASS_ChannelPlay(0, 0), 0);
    EXPECT_EQ(BASS_ChannelPlay(music + stream + 100, 0), 0);

    const std::string garbage = tempFile("garbage.xm", "neither an MP3 nor a tracker module\n");
    const std::string missing = "/nonexistent/missing.xm";
    for (const std::string& path : {garbage, tempFile("empty.mp3"), missing,
                                    testing::TempDir()}) {
        EXPECT_EQ(BASS_StreamCreateFile(0, path.c_str(), 0, 0, 0), 0u) << path;
        EXPECT_EQ(BASS_MusicLoad(0, path.c_str(), 0, 0, BASS_MUSIC_LOOP, 0), 0u) << path;
    }
    // libmpg123 finds frame headers by chance inside tracker modules.
    EXPECT_EQ(BASS_StreamCreateFile(0, kModule.c_str(), 0, 0, 0), 0u);
    EXPECT_EQ(BASS_MusicLoad(0, kStream.c_str(), 0, 0, 0, 0), 0u);
    EXPECT_EQ(BASS_StreamCreateFile(0, nullptr, 0, 0, 0), 0u);
    // Memory blocks, and a module packed between other data.
    const std::string module = readBytes(kModule), mp3 = readBytes(kStream), junk(1000, 'x');
    EXPECT_NE(BASS_MusicLoad(1, module.data(), 0, module.size(), 0, 0), 0u);
    EXPECT_NE(BASS_StreamCreateFile(1, mp3.data(), 0, mp3.size(), 0), 0u);
    EXPECT_EQ(BASS_StreamCreateFile(1, mp3.data(), 0, 0, 0), 0u) << "a block needs a length";
    const std::string packed = tempFile("packed.bin", junk + module + junk);
    EXPECT_NE(BASS_MusicLoad(0, packed.c_str(), junk.size(), module.size(), 0, 0), 0u);
    EXPECT_EQ(BASS_MusicLoad(0, packed.c_str(), junk.size(), module.size() + 2000, 0, 0), 0u);
}

// Without a device the module keeps time on a clock; with output disabled too, and then no
// device is even opened (the wave driver would create its file).
TEST(BassProcess, SilentClockKeepsTheModulesTempo) {
    const std::string wav = tempFile("disabled.wav");
    const std::string conf =
        tempFile("disabled.conf", "[general]\ndrivers = wave\n[wave]\nfile = " + wav + "\n");
    const ProcessResult nodevice =
        runChild({"ALSOFT_DRIVERS=nonexistent"}, {"sample", ZANDAR_ASSET_DIR, "1.5"});
    const ProcessResult disabled = runChild({"ALSOFT_DRIVERS", "ALSOFT_CONF=" + conf},
                                            {"disabled", ZANDAR_ASSET_DIR, "1.5", wav});
    EXPECT_EQ(nodevice.err, "audio: no sound device, playing silently\n");
    EXPECT_EQ(disabled.err, "");
    EXPECT_TRUE(readBytes(wav).empty()) << "disabled output opened the device";
    ModuleTiming timing;
    for (const ProcessResult* child : {&nodevice, &disabled}) {
        const std::vector<Sample> samples = samplesOf(child->out);
        ASSERT_GT(samples.size(), 50u);
        for (const Sample& s : samples) {
            const double start = timing.rowStart(s.position);
            EXPECT_GE(s.after, start - 0.005) << s.before;
            EXPECT_LT(s.before, start + timing.rowSeconds + 0.005) << s.before;
        }
    }
}

// OpenAL's wave driver writes what would be heard, in real time. The row the layer reports is
// compared with the row libopenmpt's own timing puts at the sample being written.
TEST(BassProcess, ReportedRowIsTheRowBeingHeard) {
    const std::string wav = tempFile("heard.wav");
    const std::string conf = tempFile(
        "heard.conf", "[general]\ndrivers = wave\nfrequency = 44100\nchannels = stereo\n"
                      "sample-type = int16\nperiod_size = 512\ndither = false\n"
                      "output-limiter = false\n[wave]\nfile = " + wav + "\n");
    const ProcessResult child =
        runChild({"ALSOFT_DRIVERS", "ALSOFT_CONF=" + conf}, {"sample", ZANDAR_ASSET_DIR, "3", wav});
    ASSERT_EQ(child.exitStatus, 0) << child.err;
    const std::string file = readBytes(wav);
    const std::size_t data = file.find("data") + 8;
    ASSERT_LT(data, file.size());
    std::vector<std::int16_t> pcm((file.size() - data) / 2);
    std::memcpy(pcm.data(), file.data() + data, pcm.size() * 2);
    ASSERT_TRUE(std::any_of(pcm.begin(), pcm.end(), [](int s) { return std::abs(s) > 1000; }))
        << "the module is heard";

    // The device writes in real time from the moment it opens, so it opened at or before
    // (after - written) of every sample. The module is heard from its first audible sample,
    // which libopenmpt puts `onset` into the song.
    const std::vector<Sample> samples = samplesOf(child.out);
    ASSERT_GT(samples.size(), 100u);
    double deviceStart = 1e9;
    for (const Sample& s : samples) {
        deviceStart = std::min(deviceStart, s.after - double(s.wavBytes - long(data)) / 4 / kRate);
    }
    std::vector<std::int16_t> alone(2 * 10 * kRate);
    openmpt::module(moduleBytes().data(), moduleBytes().size())
        .read_interleaved_stereo(kRate, 10 * kRate, alone.data());
    auto firstSound = [](const std::vector<std::int16_t>& p) {
        return (std::find_if(p.begin(), p.end(), [](int s) { return s != 0; }) - p.begin()) / 2 /
               double(kRate);
    };
    const double moduleStart = firstSound(pcm) - firstSound(alone);

    ModuleTiming timing;
    double worstRows = 0.0, lastRowStart = 0.0;
    int exact = 0, checked = 0;
    for (const Sample& s : samples) {
        const double heardFrom = s.before - deviceStart - moduleStart;
        const double heardTo = s.after - deviceStart - moduleStart;
        if (heardFrom < 0.1) continue;
        // How far the moment heard lies outside the reported row.
        lastRowStart = timing.rowStart(s.position);
        const double rowEnd = lastRowStart + timing.rowSeconds;
        const double outside = heardTo < lastRowStart ? lastRowStart - heardTo
                               : heardFrom >= rowEnd  ? heardFrom - rowEnd
                                                      : 0.0;
        worstRows = std::max(worstRows, outside / timing.rowSeconds);
        exact += outside == 0.0;
        ++checked;
    }
    ASSERT_GT(checked, 100);
    EXPECT_LE(worstRows, 1.0);
    EXPECT_GT(lastRowStart, 2.0) << "the reported rows kept up with the audio";
    std::printf("reported row is the heard row in %d of %d samples; worst %.2f rows off\n", exact,
                checked, worstRows);
}

// Played the way the stream plays it, on past the loop: the position looked up a few thousand
// frames behind the rendering is the one libopenmpt had at that frame, give or take one step.
TEST(ModuleRenderer, PositionsMatchTheModuleAcrossLoops) {
    const AudioBytes bytes(moduleBytes().begin(), moduleBytes().end());
    auto renderer = ModuleRenderer::load(bytes, true, kRate, 2);
    ASSERT_TRUE(renderer);
    openmpt::module reference(moduleBytes().data(), moduleBytes().size());
    reference.set_repeat_count(-1);
    std::uint64_t referenceFrames = 0;
    auto positionAt = [&](std::uint64_t frame) {  // asked in increasing frame order
        std::vector<std::int16_t> scratch(1024);
        while (referenceFrames <= frame) {
            const auto count = std::min<std::uint64_t>(1024, frame + 1 - referenceFrames);
            referenceFrames += reference.read(kRate, std::size_t(count), scratch.data());
        }
        return static_cast<std::uint64_t>(reference.get_current_order()) |
               static_cast<std::uint64_t>(reference.get_current_row()) << 16;
    };
    const double seconds = reference.get_duration_seconds();
    std::vector<std::int16_t> chunk(2 * 4096);
    const std::uint64_t behind = 3 * 4096 - 100;
    int checked = 0;
    while (renderer->renderedFrames() < (seconds + 3) * kRate) {
        ASSERT_EQ(renderer->render(chunk.data(), 4096), 4096u) << "a looping module never ends";
        if (renderer->renderedFrames() < behind + ModuleRenderer::kStepFrames) continue;
        const std::uint64_t frame = renderer->renderedFrames() - behind;
        const std::uint64_t stepBefore = positionAt(frame + 1 - ModuleRenderer::kStepFrames);
        const std::uint64_t exact = positionAt(frame), reported = renderer->positionAt(frame);
        EXPECT_TRUE(reported == exact || reported == stepBefore)
            << "frame " << frame << ": " << std::hex << reported << " vs " << exact;
        ++checked;
    }
    EXPECT_GT(checked, 100);
}

}  // namespace
