// zandar-capture run for real: the whole demo's timeline and pictures at moments where they are
// known, repeatable output and frame timing, a playable MP4, an interrupted run that keeps what
// it had, and wrong requests.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <SFML/Graphics/Image.hpp>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <iterator>
#include <libopenmpt/libopenmpt.hpp>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/process.h"

namespace fs = std::filesystem;

namespace {

constexpr int kFps = 60;

struct TempDir {
    TempDir() {
        char pattern[] = "/tmp/zandar-capture-test-XXXXXX";
        path = mkdtemp(pattern);
    }
    ~TempDir() { fs::remove_all(path); }
    std::string operator/(const std::string& name) const { return path + "/" + name; }
    std::string path;
};

ProcessResult capture(std::vector<std::string> args, double timeout,
                      const std::vector<std::string>& environment = {}) {
    args.insert(args.begin(), {ZANDAR_CAPTURE_EXE, "--assets", ZANDAR_ASSET_DIR, "-q"});
    return runProcess(args, timeout, environment);
}

// The state log as text cells, a column by name.
struct Log {
    explicit Log(const std::string& path) {
        for (const std::string& line : splitLines(readBytes(path))) {
            std::vector<std::string> cells;
            std::stringstream in(line);
            for (std::string cell; std::getline(in, cell, ',');) cells.push_back(cell);
            (header.empty() ? header : rows.emplace_back()) = cells;
        }
    }
    double number(std::size_t row, const std::string& name) const {
        const auto at = std::find(header.begin(), header.end(), name);
        EXPECT_NE(at, header.end()) << "no column " << name;
        return std::stod(rows[row][static_cast<std::size_t>(at - header.begin())]);
    }
    int scene(std::size_t row) const { return static_cast<int>(number(row, "sceneIndex")); }
    std::vector<std::string> header;
    std::vector<std::vector<std::string>> rows;
};

// A frame's picture, named by its number and its time at 60 frames a second.
std::string framePath(const std::string& dir, long frame) {
    char name[64];
    std::snprintf(name, sizeof name, "/frame-%06ld-%.3fs.png", frame, frame / 60.0);
    return dir + name;
}

sf::Image loadFrame(const std::string& dir, long frame) {
    sf::Image image;
    EXPECT_TRUE(image.loadFromFile(framePath(dir, frame))) << "no picture of frame " << frame;
    return image;
}

// The least and the most of any colour channel over a picture.
std::pair<int, int> range(const sf::Image& image) {
    std::pair<int, int> r{255, 0};
    for (std::size_t i = 0; i < std::size_t{image.getSize().x} * image.getSize().y * 4; ++i) {
        if (i % 4 == 3) continue;
        const int value = image.getPixelsPtr()[i];
        r = {std::min(r.first, value), std::max(r.second, value)};
    }
    return r;
}

// ffprobe's lines: "codec,width,height,frames" for the video, "codec,..." for the sound, seconds.
std::vector<std::string> probe(const std::string& path) {
    const ProcessResult r = runProcess({"ffprobe", "-v", "error", "-show_entries",
                                        "stream=codec_name,width,height,nb_frames:format=duration",
                                        "-of", "csv=p=0", path},
                                       30.0);
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    const std::vector<std::string> lines = splitLines(r.out);
    return lines.size() == 3 ? lines : std::vector<std::string>{"", "", "-1"};
}

// The scenes' nominal starts with the standard time unit, and the phase changes of each: every
// change may add one frame, since timers restart from 0 and some tests are strict.
const double kStart[] = {0, 12, 28, 44, 56, 70, 78, 86, 106, 122};
const int kChanges[] = {4, 1, 7, 3, 7, 4, 4, 3, 1};

TEST(CaptureWholeDemo, SceneChangesBeatAndPicturesAtKnownMoments) {
    auto slackBefore = [](int scene) {
        int slack = 0;
        for (int s = 1; s < scene; ++s) slack += kChanges[s - 1];
        return slack;
    };
    // Frames around the starts of the fading scenes, wide enough for the slack; scene 9 later.
    std::string moments;
    for (int scene : {3, 4, 5, 8, 9}) {
        const long nominal = static_cast<long>(kStart[scene - 1] * kFps);
        for (long f = nominal - 2; f <= nominal + slackBefore(scene) + 1; ++f) {
            moments += std::to_string((f + 0.5) / kFps) + ",";
        }
    }
    TempDir dir;
    const ProcessResult r = capture(
        {"--log", dir / "log.csv", "--frames", dir / "frames", "--at", moments + "110.0083"},
        600.0);
    ASSERT_EQ(r.exitStatus, 0) << r.err;

    const Log log(dir / "log.csv");
    const long frames = static_cast<long>(log.rows.size());
    ASSERT_GT(frames, static_cast<long>(122 * kFps) - 1);
    for (long n = 0; n < frames; n += 997) {
        EXPECT_EQ(log.number(n, "frame"), n);
        EXPECT_NEAR(log.number(n, "time"), static_cast<double>(n) / kFps, 1e-6);
        EXPECT_EQ(log.rows[n][3], "0.0166666675");  // frameTime: 1/60 as a float
    }

    // Each scene starts and lasts as nominal, plus at most a frame per phase change.
    std::map<int, long> start;
    for (long n = 0; n < frames; ++n) start.emplace(log.scene(n), n);
    ASSERT_EQ(start.size(), 9u);
    for (int s = 1; s <= 9; ++s) {
        SCOPED_TRACE("scene " + std::to_string(s));
        const long nominal = static_cast<long>(kStart[s - 1] * kFps);
        EXPECT_TRUE(start[s] >= nominal && start[s] <= nominal + slackBefore(s)) << start[s];
        const long end = s < 9 ? start[s + 1] : frames;
        const long length = static_cast<long>((kStart[s] - kStart[s - 1]) * kFps);
        EXPECT_TRUE(end - start[s] >= length - 1 && end - start[s] <= length + kChanges[s - 1])
            << end - start[s];
        for (long n = start[s]; n < end; ++n) ASSERT_EQ(log.scene(n), s);
    }

    // The pulse each scene saw follows from the previous frame's pulse and the row read after
    // it: set to 1 on every fourth row, then falling by 3 per second.
    int pulses = 0;
    float pulse = 0.0f;
    EXPECT_EQ(log.number(0, "beatPulse"), 0.0);
    for (long n = 1; n < frames; ++n) {
        if (static_cast<int>(log.number(n - 1, "row")) % 4 == 0) pulse = 1.0f;
        if (pulse > 0.0f) pulse = std::max(0.0f, pulse - 3.0f * (1.0f / kFps));
        ASSERT_EQ(static_cast<float>(log.number(n, "beatPulse")), pulse) << "frame " << n;
        pulses += pulse > 0.9f && log.number(n - 1, "beatPulse") < 0.9;
    }
    EXPECT_GT(pulses, 200);  // a beat every 0.48 s for two minutes

    // The rows are the module's own at each frame's end, as libopenmpt renders it in one go.
    const std::string bytes = readBytes(ZANDAR_ASSET_DIR "/arabish.xm");
    for (long n : {35L, 2000L, frames - 1}) {
        openmpt::module module(bytes.data(), bytes.size());
        module.set_repeat_count(-1);
        std::vector<float> sink(2 * 44100);
        for (std::uint64_t left = static_cast<std::uint64_t>(n + 1) * 44100 / kFps + 1; left > 0;) {
            const std::size_t count = std::min<std::uint64_t>(left, 44100);
            module.read_interleaved_stereo(44100, count, sink.data());
            left -= count;
        }
        EXPECT_EQ(log.number(n, "row"), module.get_current_row()) << "frame " << n;
    }

    // Each scene that fades in from black starts almost black; scene 3 ends in white.
    const std::string pictures = dir / "frames";
    for (int scene : {3, 4, 5, 8}) {
        EXPECT_LE(range(loadFrame(pictures, start[scene])).second, 8) << "scene " << scene;
    }
    EXPECT_GE(range(loadFrame(pictures, start[4] - 1)).first, 250);

    // Scene 9: the day sky is bg_blue.png itself wherever the text is not.
    sf::Image sky, text;
    ASSERT_TRUE(sky.loadFromFile(ZANDAR_ASSET_DIR "/bg_blue.png"));
    ASSERT_TRUE(text.loadFromFile(ZANDAR_ASSET_DIR "/scroll2.png"));
    for (long n : {start[9], 110L * kFps}) {
        SCOPED_TRACE("scene 9 frame " + std::to_string(n));
        ASSERT_EQ(log.scene(n), 9);
        const double textTop = log.number(n, "scene9ScrollY") - text.getSize().y / 2.0;
        const sf::Image frame = loadFrame(pictures, n);
        const unsigned rows = static_cast<unsigned>(std::clamp(textTop - 1.0, 0.0, 720.0));
        ASSERT_GT(rows, 200u);
        int worst = 0;
        for (unsigned y = 0; y < rows; ++y) {
            for (unsigned x = 0; x < 1280; ++x) {
                const sf::Color a = frame.getPixel(x, y), b = sky.getPixel(x, y);
                worst = std::max({worst, std::abs(a.r - b.r), std::abs(a.g - b.g),
                                  std::abs(a.b - b.b)});
            }
        }
        EXPECT_LE(worst, 2);
    }
}

TEST(CaptureRuns, SameRangeTwiceGivesTheSameFramesAndLogWhetherOtherFramesAreDrawnOrNot) {
    // 3.4 to 3.5 s: the opening model is turning, so every frame differs from the last. The
    // first run clips the frames nothing asks for, the second draws and times every frame: that
    // leaves no trace in the frames kept.
    TempDir dir;
    for (const std::string run : {"a", "b"}) {
        std::vector<std::string> args = {"--until", "3.6", "--log", dir / (run + ".csv"),
                                         "--frames", dir / run, "--from", "3.4", "--to", "3.5"};
        if (run == "b") args.insert(args.end(), {"--time-frames", dir / "times.csv"});
        const ProcessResult r = capture(args, 180.0);
        ASSERT_EQ(r.exitStatus, 0) << r.err;
        EXPECT_EQ(r.err.find("frame times (ms)") != std::string::npos, run == "b") << r.err;
    }
    EXPECT_EQ(Log(dir / "a.csv").rows.size(), 216u);
    EXPECT_EQ(readBytes(dir / "a.csv"), readBytes(dir / "b.csv"));
    int pictures = 0;
    for (const auto& entry : fs::directory_iterator(dir / "a")) {
        const std::string name = entry.path().filename();
        EXPECT_EQ(readBytes(dir / ("a/" + name)), readBytes(dir / ("b/" + name))) << name;
        ++pictures;
    }
    EXPECT_EQ(pictures, 7);  // frames 204 to 210
    const std::vector<std::string> times = splitLines(readBytes(dir / "times.csv"));
    ASSERT_EQ(times.size(), 217u);  // a header and every frame, with its drawing time
    for (std::size_t i = 1; i < times.size(); ++i) {
        long frame = -1;
        int scene = 0;
        double time = 0, wall = 0, cpu = -1;
        ASSERT_EQ(std::sscanf(times[i].c_str(), "%ld,%lf,%d,%lf,%lf", &frame, &time, &scene,
                              &wall, &cpu), 5) << times[i];
        EXPECT_EQ(std::make_pair(frame, scene), std::make_pair(static_cast<long>(i - 1), 1));
        EXPECT_TRUE(wall > 0.0 && cpu >= 0.0) << times[i];
    }
    // One moment alone, on an X server of the capture's own (DISPLAY is empty): the same picture.
    const ProcessResult alone =
        capture({"--until", "3.5", "--frames", dir / "c", "--at", "3.45"}, 180.0, {"DISPLAY="});
    ASSERT_EQ(alone.exitStatus, 0) << alone.err;
    EXPECT_EQ(readBytes(dir / "c/frame-000207-3.450s.png"), readBytes(framePath(dir / "a", 207)));
}

TEST(CaptureRuns, ShortVideoPlaysWithPictureAndSound) {
    // At 24 fps a frame lasts 1837.5 samples: the sound must still come out exactly as long.
    TempDir dir;
    const ProcessResult r = capture(
        {"--fps", "24", "--until", "2", "--video", dir / "demo.mp4", "--log", dir / "log.csv"},
        180.0);
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    const std::vector<std::string> media = probe(dir / "demo.mp4");
    EXPECT_EQ(media[0], "h264,1280,720,48");
    EXPECT_EQ(media[1].substr(0, 4), "aac,");
    EXPECT_NEAR(std::stod(media[2]), 2.0, 0.05);
    EXPECT_EQ(Log(dir / "log.csv").rows.size(), 48u);
    // The sound is there: decoded, it is two seconds long and far from silent.
    const ProcessResult pcm = runProcess({"ffmpeg", "-v", "error", "-i", dir / "demo.mp4", "-map",
                                          "0:a", "-f", "s16le", "-ac", "2", "-ar", "44100", "-"},
                                         30.0);
    ASSERT_EQ(pcm.exitStatus, 0) << pcm.err;
    std::vector<std::int16_t> samples(pcm.out.size() / 2);
    std::memcpy(samples.data(), pcm.out.data(), samples.size() * 2);
    EXPECT_NEAR(static_cast<double>(samples.size()) / 2 / 44100, 2.0, 0.05);
    double power = 0.0;
    for (std::int16_t s : samples) power += static_cast<double>(s) * s;
    EXPECT_GT(std::sqrt(power / std::max<std::size_t>(samples.size(), 1)), 300.0);
    // Nothing is left beside the outputs.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 2);
}

TEST(CaptureRuns, InterruptKeepsEverythingCapturedSoFar) {
    TempDir dir;
    const std::string log = dir / "log.csv";
    Child child({ZANDAR_CAPTURE_EXE, "--assets", ZANDAR_ASSET_DIR, "-q", "--video",
                 dir / "demo.mp4", "--log", log});
    for (int i = 0; i < 1200 && splitLines(readBytes(log)).size() <= 100; ++i) child.watch(0.05);
    kill(child.pid(), SIGINT);
    const ChildEnd end = child.wait(300.0);
    ASSERT_FALSE(end.timedOut);
    EXPECT_EQ(end.exitStatus, 130) << child.err();
    EXPECT_NE(child.err().find("interrupted"), std::string::npos) << child.err();
    const Log rows(log);
    ASSERT_GT(rows.rows.size(), 90u);
    for (const auto& row : rows.rows) ASSERT_EQ(row.size(), rows.header.size());
    const std::vector<std::string> media = probe(dir / "demo.mp4");
    EXPECT_EQ(media[0], "h264,1280,720," + std::to_string(rows.rows.size()));
    EXPECT_NEAR(std::stod(media[2]), static_cast<double>(rows.rows.size()) / kFps, 0.05);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.path), fs::directory_iterator()), 2);
}

// A screen of another size shows the whole picture, as large as fits with its aspect kept, and
// black bars beside it: each size's frame against the 1280 x 720 frame of the same moment, in
// scene 3 (which clears the whole window with a colour) and scene 4 (3D between sprites).
TEST(CaptureRuns, OtherScreensShowTheWholePictureBetweenBlackBars) {
    TempDir dir;
    const struct {
        std::string size;
        sf::IntRect area;
    } screens[] = {{"1280x720", {0, 0, 1280, 720}},
                   {"1920x1080", {0, 0, 1920, 1080}},
                   {"2560x1440", {0, 0, 2560, 1440}},
                   {"1024x768", {0, 96, 1024, 576}},
                   {"1600x600", {266, 0, 1067, 600}}};
    for (const auto& screen : screens) {
        ProcessResult r = capture({"--screen", screen.size, "--until", "50.1", "--frames",
                                   dir / screen.size, "--at", "40,50"},
                                  180.0);
        ASSERT_EQ(r.exitStatus, 0) << screen.size << ": " << r.err;
    }
    for (long frame : {40L * kFps, 50L * kFps}) {
        const sf::Image reference = loadFrame(dir / "1280x720", frame);
        for (const auto& [size, area] : screens) {
            const sf::Image image = loadFrame(dir / size, frame);
            ASSERT_EQ(std::to_string(image.getSize().x) + "x" + std::to_string(image.getSize().y),
                      size);
            long lit = 0;  // bar pixels that are not black
            double difference = 0.0;
            for (unsigned y = 0; y < image.getSize().y; ++y) {
                for (unsigned x = 0; x < image.getSize().x; ++x) {
                    const sf::Color c = image.getPixel(x, y);
                    if (!area.contains(static_cast<int>(x), static_cast<int>(y))) {
                        lit += c != sf::Color::Black;
                        continue;
                    }
                    const sf::Color r = reference.getPixel((x - area.left) * 1280 / area.width,
                                                           (y - area.top) * 720 / area.height);
                    difference += std::abs(c.r - r.r) + std::abs(c.g - r.g) + std::abs(c.b - r.b);
                }
            }
            SCOPED_TRACE(size + " at frame " + std::to_string(frame));
            EXPECT_EQ(lit, 0);
            // Scaling smooths edges a little; a picture out of place or out of shape does not
            // come near this.
            EXPECT_LE(difference / (3.0 * area.width * area.height), size == "1280x720" ? 0 : 6);
        }
    }
}

TEST(CaptureRuns, WrongRequestsFailClearlyAndEarly) {
    TempDir dir;
    const ProcessResult noAssets = capture({"--assets", dir.path, "--log", dir / "l.csv"}, 30.0);
    EXPECT_EQ(noAssets.exitStatus, 1);
    EXPECT_NE(noAssets.err.find("asset folder"), std::string::npos) << noAssets.err;
    const ProcessResult noFolder = capture({"--log", dir / "missing/l.csv"}, 30.0);
    EXPECT_EQ(noFolder.exitStatus, 1);
    EXPECT_NE(noFolder.err.find("missing/l.csv"), std::string::npos) << noFolder.err;
    EXPECT_EQ(noFolder.out.find("starting demo"), std::string::npos);
    // A moment after the run's end is an error, but what could be captured is kept.
    const ProcessResult late =
        capture({"--until", "1", "--frames", dir / "f", "--at", "0.5,3"}, 120.0);
    EXPECT_EQ(late.exitStatus, 1);
    EXPECT_NE(late.err.find("no frames at 3 s"), std::string::npos) << late.err;
    EXPECT_TRUE(fs::exists(framePath(dir / "f", 30)));
}

}  // namespace
