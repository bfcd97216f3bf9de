// The audio layer through its entry points, with the generated music: in this process on
// OpenAL's null driver, and in child processes with the wave driver, with no device at all, with
// output disabled, and at exit.
#include "platform/bass.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <libopenmpt/libopenmpt.hpp>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

const std::string kModule = ZANDAR_ASSET_DIR "/arabish.xm";
const std::string kStream = ZANDAR_ASSET_DIR "/desert.mp3";
constexpr unsigned kRate = 44100;

std::vector<char> readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string tempPath(const std::string& name) {
    return testing::TempDir() + "bass_test_" + std::to_string(getpid()) + "_" + name;
}

void writeFile(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

unsigned orderOf(QWORD position) {
    return position & 0xFFFFu;
}
unsigned rowOf(QWORD position) {
    return (position >> 16) & 0xFFFFu;
}

// libopenmpt's own timing of the module: when each order and row starts.
class ModuleTiming {
public:
    ModuleTiming() : module_(readFile(kModule)) {
        rowSeconds_ = module_.get_current_speed() * 2.5 / module_.get_current_tempo();
    }
    double rowStart(QWORD position) {
        module_.set_position_order_row(orderOf(position), rowOf(position));
        return module_.get_position_seconds();
    }
    double rowSeconds() const { return rowSeconds_; }

    // Seconds from the start to the first audible sample (within the first 10 s).
    double onset() {
        openmpt::module module(readFile(kModule));
        std::vector<std::int16_t> pcm(2 * 10 * kRate);
        module.read_interleaved_stereo(kRate, 10 * kRate, pcm.data());
        auto loud = std::find_if(pcm.begin(), pcm.end(), [](int s) { return s != 0; });
        return (loud - pcm.begin()) / 2 / double(kRate);
    }

private:
    openmpt::module module_;
    double rowSeconds_;
};

struct Child {
    int status = -1;
    std::string out, err;
};

// Runs audio_child with `env` settings (as for env(1): NAME=value, -u NAME), killed at 20 s.
Child runChild(const std::string& env, const std::string& args) {
    std::string out = tempPath("child.out");
    std::string err = tempPath("child.err");
    std::string command = "env " + env + " timeout -s KILL 20 '" AUDIO_CHILD "' " + args + " >'" +
                          out + "' 2>'" + err + "'";
    int status = std::system(command.c_str());
    auto text = [](const std::vector<char>& bytes) {
        return std::string(bytes.begin(), bytes.end());
    };
    return Child{WIFEXITED(status) ? WEXITSTATUS(status) : -1, text(readFile(out)),
                 text(readFile(err))};
}

struct Sample {
    double before, after;  // seconds since play, around the sample
    long long wavBytes;
    QWORD position;
};

std::vector<Sample> samplesOf(const std::string& out) {
    std::istringstream in(out);
    std::string line;
    std::vector<Sample> samples;
    while (std::getline(in, line)) {
        Sample s{};
        unsigned long long position = 0;
        if (std::sscanf(line.c_str(), "%lf %lf %lld %llu", &s.before, &s.after, &s.wavBytes,
                        &position) == 4) {
            s.position = position;
            samples.push_back(s);
        }
    }
    return samples;
}

void initOnce() {
    ASSERT_EQ(BASS_Init(-1, kRate, 0, nullptr, nullptr), 1);
}

}  // namespace

TEST(Bass, HandlesThatAreNotPlayingModulesAnswerAllBitsSet) {
    initOnce();
    EXPECT_EQ(BASS_Init(-1, kRate, 0, nullptr, nullptr), 1) << "a second init is harmless";
    HSTREAM stream = BASS_StreamCreateFile(0, kStream.c_str(), 0, 0, 0);
    HMUSIC music = BASS_MusicLoad(0, kModule.c_str(), 0, 0, BASS_MUSIC_LOOP, 0);
    ASSERT_NE(stream, 0u);
    ASSERT_NE(music, 0u);
    EXPECT_NE(stream, music);

    EXPECT_EQ(BASS_ChannelGetPosition(music, BASS_POS_MUSIC_ORDER), BASS_POSITION_INVALID)
        << "a module not yet played";
    EXPECT_EQ(BASS_ChannelPlay(stream, 0), 1);
    EXPECT_EQ(BASS_ChannelPlay(music, 0), 1);
    EXPECT_EQ(BASS_ChannelGetPosition(stream, BASS_POS_MUSIC_ORDER), BASS_POSITION_INVALID);
    EXPECT_EQ(BASS_ChannelGetPosition(0, BASS_POS_MUSIC_ORDER), BASS_POSITION_INVALID);
    EXPECT_EQ(BASS_ChannelGetPosition(music + stream + 100, 1), BASS_POSITION_INVALID);
    EXPECT_EQ(BASS_ChannelGetPosition(music, 0), BASS_POSITION_INVALID) << "other modes";
    EXPECT_NE(BASS_ChannelGetPosition(music, BASS_POS_MUSIC_ORDER), BASS_POSITION_INVALID);
    EXPECT_EQ(BASS_ChannelPlay(0, 0), 0);
    EXPECT_EQ(BASS_ChannelPlay(music + stream + 100, 0), 0);
}

TEST(Bass, OnlyMusicOfTheRightKindGivesAHandle) {
    initOnce();
    std::string garbage = tempPath("garbage.xm");
    writeFile(garbage, "this is neither an MP3 nor a tracker module\n");
    std::string empty = tempPath("empty.mp3");
    writeFile(empty, "");
    for (const std::string& path : {garbage, empty, tempPath("missing.xm"), testing::TempDir()}) {
        EXPECT_EQ(BASS_StreamCreateFile(0, path.c_str(), 0, 0, 0), 0u) << path;
        EXPECT_EQ(BASS_MusicLoad(0, path.c_str(), 0, 0, BASS_MUSIC_LOOP, 0), 0u) << path;
    }
    // libmpg123 finds frame headers by chance inside tracker modules.
    EXPECT_EQ(BASS_StreamCreateFile(0, kModule.c_str(), 0, 0, 0), 0u);
    EXPECT_EQ(BASS_MusicLoad(0, kStream.c_str(), 0, 0, 0, 0), 0u);
    EXPECT_EQ(BASS_StreamCreateFile(0, nullptr, 0, 0, 0), 0u);

    // Memory blocks, and a module packed between other data.
    std::vector<char> module = readFile(kModule);
    std::vector<char> stream = readFile(kStream);
    EXPECT_NE(BASS_MusicLoad(1, module.data(), 0, module.size(), 0, 0), 0u);
    EXPECT_NE(BASS_StreamCreateFile(1, stream.data(), 0, stream.size(), 0), 0u);
    EXPECT_EQ(BASS_StreamCreateFile(1, stream.data(), 0, 0, 0), 0u) << "a block needs a length";
    std::string packed = tempPath("packed.bin");
    std::string junk(1000, 'x');
    writeFile(packed, junk + std::string(module.begin(), module.end()) + junk);
    EXPECT_NE(BASS_MusicLoad(0, packed.c_str(), junk.size(), module.size(), 0, 0), 0u);
    EXPECT_EQ(BASS_MusicLoad(0, packed.c_str(), junk.size(), module.size() + 2000, 0, 0), 0u);
    EXPECT_EQ(BASS_MusicLoad(0, packed.c_str(), 1u << 30, 0, 0, 0), 0u);
}

TEST(Bass, PlayingModuleAdvancesAndRestartsOnRequest) {
    initOnce();
    HMUSIC music = BASS_MusicLoad(0, kModule.c_str(), 0, 0, BASS_MUSIC_LOOP, 0);
    ASSERT_EQ(BASS_ChannelPlay(music, 0), 1);
    ModuleTiming timing;
    double last = -1.0;
    for (int i = 0; i < 40; ++i) {
        QWORD position = BASS_ChannelGetPosition(music, BASS_POS_MUSIC_ORDER);
        ASSERT_NE(position, BASS_POSITION_INVALID);
        double start = timing.rowStart(position);
        EXPECT_GE(start, last) << "rows never go back";
        last = start;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_GE(last, 4 * timing.rowSeconds()) << "0.8 s of playing moves on several rows";

    BASS_ChannelPlay(music, 0);  // already playing: goes on
    EXPECT_GE(timing.rowStart(BASS_ChannelGetPosition(music, 1)), last);
    BASS_ChannelPlay(music, 1);
    EXPECT_LE(timing.rowStart(BASS_ChannelGetPosition(music, 1)), timing.rowSeconds());
}

// Streams still playing are stopped and the device closed before OpenAL shuts down, which
// would otherwise complain of a device left open.
TEST(BassProcess, ExitsCleanlyWhilePlaying) {
    for (std::string drivers : {"null", "nonexistent"}) {
        auto started = std::chrono::steady_clock::now();
        Child child = runChild("ALSOFT_DRIVERS=" + drivers, "exit " ZANDAR_ASSET_DIR);
        double seconds =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
        EXPECT_EQ(child.status, 0) << drivers;
        EXPECT_EQ(child.err, drivers == "null" ? "" : "audio: no sound device, playing silently\n");
        EXPECT_LT(seconds, 5.0) << drivers;
        EXPECT_NE(child.out.find("before init 0"), std::string::npos) << "nothing before init";
    }
}

// Without a device the module keeps time on a clock; with output disabled, too, and no device is
// even opened (the wave driver would create its file).
TEST(BassProcess, SilentClockKeepsTheModulesTempo) {
    std::string wav = tempPath("disabled.wav");
    std::string conf = tempPath("disabled.conf");
    writeFile(conf, "[general]\ndrivers = wave\n[wave]\nfile = " + wav + "\n");
    std::remove(wav.c_str());
    Child nodevice = runChild("ALSOFT_DRIVERS=nonexistent", "sample " ZANDAR_ASSET_DIR " 1.5");
    Child disabled = runChild("-u ALSOFT_DRIVERS ALSOFT_CONF=" + conf,
                              "disabled " ZANDAR_ASSET_DIR " 1.5 " + wav);
    EXPECT_EQ(nodevice.err, "audio: no sound device, playing silently\n");
    EXPECT_EQ(disabled.err, "");
    EXPECT_TRUE(readFile(wav).empty()) << "disabled output opened the device";

    ModuleTiming timing;
    for (const Child* child : {&nodevice, &disabled}) {
        std::vector<Sample> samples = samplesOf(child->out);
        ASSERT_GT(samples.size(), 50u);
        for (const Sample& s : samples) {
            double start = timing.rowStart(s.position);
            EXPECT_GE(s.after, start - 0.005) << s.before;
            EXPECT_LT(s.before, start + timing.rowSeconds() + 0.005) << s.before;
        }
    }
}

// OpenAL's wave driver writes what would be heard, in real time. The row the layer reports is
// compared with the row libopenmpt's own timing puts at the sample being written.
TEST(BassProcess, ReportedRowIsTheRowBeingHeard) {
    std::string wav = tempPath("heard.wav");
    std::string conf = tempPath("heard.conf");
    writeFile(conf,
              "[general]\ndrivers = wave\nfrequency = 44100\nchannels = stereo\n"
              "sample-type = int16\nperiod_size = 512\ndither = false\noutput-limiter = false\n"
              "[wave]\nfile = " +
                  wav + "\n");
    Child child =
        runChild("-u ALSOFT_DRIVERS ALSOFT_CONF=" + conf, "sample " ZANDAR_ASSET_DIR " 3 " + wav);
    ASSERT_EQ(child.status, 0) << child.err;

    std::vector<char> file = readFile(wav);
    ASSERT_GT(file.size(), 44u);
    std::size_t dataOffset = std::string(file.begin(), file.end()).find("data") + 8;
    ASSERT_LT(dataOffset, file.size());
    std::vector<std::int16_t> pcm((file.size() - dataOffset) / 2);
    std::memcpy(pcm.data(), file.data() + dataOffset, pcm.size() * 2);
    auto loud = std::find_if(pcm.begin(), pcm.end(), [](int s) { return std::abs(s) > 1000; });
    ASSERT_NE(loud, pcm.end()) << "the module is heard";

    // The device writes in real time from the moment it opens, so it opened at or before
    // (after - written) of every sample. The module is heard from its first audible sample.
    std::vector<Sample> samples = samplesOf(child.out);
    ASSERT_GT(samples.size(), 100u);
    double deviceStart = 1e9;
    for (const Sample& s : samples) {
        double written = double(s.wavBytes) - double(dataOffset);
        deviceStart = std::min(deviceStart, s.after - written / 4.0 / kRate);
    }
    ModuleTiming timing;
    loud = std::find_if(pcm.begin(), pcm.end(), [](int s) { return s != 0; });
    double moduleStart = (loud - pcm.begin()) / 2 / double(kRate) - timing.onset();

    std::vector<double> offByMs;
    double maxRowsOff = 0.0;
    double lastRowStart = 0.0;
    for (const Sample& s : samples) {
        double heardFrom = s.before - deviceStart - moduleStart;
        double heardTo = s.after - deviceStart - moduleStart;
        if (heardFrom < 0.1) {
            continue;
        }
        // How far the moment heard lies outside the reported row.
        lastRowStart = timing.rowStart(s.position);
        double rowEnd = lastRowStart + timing.rowSeconds();
        double outside = heardTo < lastRowStart ? heardTo - lastRowStart
                         : heardFrom >= rowEnd  ? heardFrom - rowEnd
                                                : 0.0;
        offByMs.push_back(std::abs(outside) * 1000.0);
        maxRowsOff = std::max(maxRowsOff, std::abs(outside) / timing.rowSeconds());
    }
    ASSERT_GT(offByMs.size(), 100u);
    EXPECT_LE(maxRowsOff, 1.0);
    EXPECT_GT(lastRowStart, 2.0) << "the reported rows kept up with the audio";
    std::sort(offByMs.begin(), offByMs.end());
    auto exact = std::count(offByMs.begin(), offByMs.end(), 0.0);
    std::printf(
        "reported row is the heard row in %ld of %zu samples; off by median %.1f ms, "
        "worst %.1f ms (%.2f rows)\n",
        long(exact), offByMs.size(), offByMs[offByMs.size() / 2], offByMs.back(), maxRowsOff);
}
