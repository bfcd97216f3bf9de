// zandar-capture run for real on the generated assets, on the test suite's X server (or one of
// its own): the whole demo's timeline and pictures at moments where they are known, repeatable
// output, a playable MP4, an interrupted run that keeps what it had, and wrong command lines.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <SFML/Graphics/Image.hpp>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
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

long frameAtSeconds(double seconds) {
    return static_cast<long>(std::floor(seconds * kFps + 1e-6));
}

struct TempDir {
    TempDir() {
        char pattern[] = "/tmp/zandar-capture-test-XXXXXX";
        path = mkdtemp(pattern);
    }
    ~TempDir() { fs::remove_all(path); }
    std::string operator/(const std::string& name) const { return path + "/" + name; }
    std::string path;
};

ProcessResult capture(const std::vector<std::string>& args, double timeout,
                      const std::vector<std::string>& environment = {},
                      std::function<void(int)> whileRunning = {}) {
    std::vector<std::string> argv = {ZANDAR_CAPTURE_EXE, "--assets", ZANDAR_ASSET_DIR, "-q"};
    argv.insert(argv.end(), args.begin(), args.end());
    ProcessOptions options;
    options.environment = environment;
    options.timeoutSeconds = timeout;
    options.whileRunning = std::move(whileRunning);
    return runProcess(argv, options);
}

// The state log as text cells, with the columns found by name.
struct Log {
    std::vector<std::string> header;
    std::vector<std::vector<std::string>> rows;

    std::size_t column(const std::string& name) const {
        for (std::size_t i = 0; i < header.size(); ++i) {
            if (header[i] == name)
                return i;
        }
        ADD_FAILURE() << "no column " << name;
        return 0;
    }
    double number(std::size_t row, const std::string& name) const {
        return std::stod(rows[row][column(name)]);
    }
    int scene(std::size_t row) const { return static_cast<int>(number(row, "sceneIndex")); }
};

std::vector<std::string> cells(const std::string& line) {
    std::vector<std::string> out;
    std::stringstream in(line);
    for (std::string cell; std::getline(in, cell, ',');) out.push_back(cell);
    return out;
}

Log readLog(const std::string& path) {
    Log log;
    std::ifstream in(path);
    std::string line;
    if (std::getline(in, line))
        log.header = cells(line);
    while (std::getline(in, line)) log.rows.push_back(cells(line));
    return log;
}

std::string slurp(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// --at times that land in the middle of the given frames.
std::string momentsOf(const std::vector<long>& frames) {
    std::string text;
    for (long f : frames) {
        char t[32];
        std::snprintf(t, sizeof t, "%.6f", (static_cast<double>(f) + 0.5) / kFps);
        text += (text.empty() ? "" : ",") + std::string(t);
    }
    return text;
}

std::string framePath(const std::string& dir, long frame) {
    char prefix[32];
    std::snprintf(prefix, sizeof prefix, "frame-%06ld-", frame);
    for (const auto& entry : fs::directory_iterator(dir)) {
        if (entry.path().filename().string().rfind(prefix, 0) == 0)
            return entry.path();
    }
    return {};
}

sf::Image loadFrame(const std::string& dir, long frame) {
    sf::Image image;
    const std::string path = framePath(dir, frame);
    EXPECT_FALSE(path.empty()) << "no picture of frame " << frame;
    if (!path.empty()) {
        EXPECT_TRUE(image.loadFromFile(path)) << path;
    }
    return image;
}

int brightest(const sf::Image& image) {
    int most = 0;
    for (unsigned y = 0; y < image.getSize().y; ++y) {
        for (unsigned x = 0; x < image.getSize().x; ++x) {
            const sf::Color c = image.getPixel(x, y);
            most = std::max({most, int(c.r), int(c.g), int(c.b)});
        }
    }
    return most;
}

int darkest(const sf::Image& image) {
    int least = 255;
    for (unsigned y = 0; y < image.getSize().y; ++y) {
        for (unsigned x = 0; x < image.getSize().x; ++x) {
            const sf::Color c = image.getPixel(x, y);
            least = std::min({least, int(c.r), int(c.g), int(c.b)});
        }
    }
    return least;
}

// ffprobe's view of a media file: key=value lines, streams in order, then the container.
std::vector<std::pair<std::string, std::string>> probe(const std::string& path) {
    ProcessOptions options;
    options.timeoutSeconds = 30.0;
    ProcessResult r = runProcess({"ffprobe", "-v", "error", "-show_entries",
                                  "stream=codec_type,codec_name,width,height,nb_frames:"
                                  "format=duration",
                                  "-of", "default=noprint_wrappers=1", path},
                                 options);
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    std::vector<std::pair<std::string, std::string>> fields;
    for (const std::string& line : splitLines(r.out)) {
        const std::size_t eq = line.find('=');
        if (eq != std::string::npos)
            fields.emplace_back(line.substr(0, eq), line.substr(eq + 1));
    }
    return fields;
}

// The fields of the first stream of a kind ("video", "audio"), and the container's duration.
std::map<std::string, std::string> streamOf(
    const std::vector<std::pair<std::string, std::string>>& fields, const std::string& type) {
    std::map<std::string, std::string> stream;
    bool inside = false;
    for (const auto& [key, value] : fields) {
        if (key == "codec_name") {
            if (inside)
                break;
            stream.clear();
        }
        stream[key] = value;
        if (key == "codec_type")
            inside = value == type;
    }
    return inside ? stream : std::map<std::string, std::string>{};
}

double durationOf(const std::vector<std::pair<std::string, std::string>>& fields) {
    for (const auto& [key, value] : fields) {
        if (key == "duration")
            return std::stod(value);
    }
    return -1.0;
}

// --- The whole demo --------------------------------------------------------------------------

struct Scene {
    int index;
    double start;      // seconds, with the standard time unit
    int phaseChanges;  // each may add one frame: timers restart from 0 and some tests are strict
};
const Scene kScenes[] = {{1, 0, 4},  {2, 12, 1}, {3, 28, 7}, {4, 44, 3}, {5, 56, 7},
                         {6, 70, 4}, {7, 78, 4}, {8, 86, 3}, {9, 106, 1}};
constexpr double kDemoEnd = 122.0;

// The slack that the scenes before this one may have added, in frames.
int slackBefore(int index) {
    int slack = 0;
    for (const Scene& s : kScenes) {
        if (s.index < index)
            slack += s.phaseChanges;
    }
    return slack;
}

// Frames around the start of a scene wide enough for the slack: from two before the nominal
// start to one after the latest it can be.
std::vector<long> aroundStartOf(int index) {
    const long nominal = static_cast<long>(kScenes[index - 1].start * kFps);
    std::vector<long> frames;
    for (long f = nominal - 2; f <= nominal + slackBefore(index) + 1; ++f) frames.push_back(f);
    return frames;
}

TEST(CaptureWholeDemo, SceneChangesBeatAndPicturesAtKnownMoments) {
    TempDir dir;
    std::vector<long> wanted;
    for (int scene : {3, 4, 5, 8, 9}) {
        const std::vector<long> frames = aroundStartOf(scene);
        wanted.insert(wanted.end(), frames.begin(), frames.end());
    }
    wanted.push_back(110 * kFps);  // scene 9, its text part-way up
    ProcessResult r = capture({"--log", dir / "log.csv", "--frames", dir / "frames", "--at",
                               momentsOf(wanted), "--from", "80", "--to", "80.3"},
                              600.0);
    ASSERT_FALSE(r.timedOut);
    ASSERT_EQ(r.exitStatus, 0) << r.err;

    const Log log = readLog(dir / "log.csv");
    const long frames = static_cast<long>(log.rows.size());
    ASSERT_GT(frames, static_cast<long>(kDemoEnd * kFps) - 1);
    for (long n = 0; n < frames; n += 997) {
        EXPECT_EQ(log.number(n, "frame"), n);
        EXPECT_NEAR(log.number(n, "time"), static_cast<double>(n) / kFps, 1e-6);
        EXPECT_EQ(log.rows[n][log.column("frameTime")], "0.0166666675");  // 1/60 as a float
    }

    // Scene changes: each scene starts where the ones before it put it and lasts its nominal
    // length, plus at most one frame per phase change.
    std::map<int, long> start;
    for (long n = 0; n < frames; ++n) {
        if (!start.count(log.scene(n)))
            start[log.scene(n)] = n;
    }
    ASSERT_EQ(start.size(), 9u);
    for (const Scene& s : kScenes) {
        SCOPED_TRACE("scene " + std::to_string(s.index));
        ASSERT_TRUE(start.count(s.index));
        const long nominal = static_cast<long>(s.start * kFps);
        EXPECT_GE(start[s.index], nominal);
        EXPECT_LE(start[s.index], nominal + slackBefore(s.index));
        const long end = s.index < 9 ? start[s.index + 1] : frames;
        const double nominalEnd = s.index < 9 ? kScenes[s.index].start : kDemoEnd;
        const long length = end - start[s.index];
        EXPECT_GE(length, static_cast<long>((nominalEnd - s.start) * kFps) - 1);
        EXPECT_LE(length, static_cast<long>((nominalEnd - s.start) * kFps) + s.phaseChanges);
        for (long n = start[s.index]; n < end; ++n) ASSERT_EQ(log.scene(n), s.index);
    }

    // The pulse each scene saw follows from the previous frame's pulse and the row read after
    // it, by the beat rule: set to 1 on every fourth row, then falling by 3 per second.
    int pulses = 0;
    float pulse = 0.0f;
    EXPECT_EQ(log.number(0, "beatPulse"), 0.0);
    for (long n = 1; n < frames; ++n) {
        const int row = static_cast<int>(log.number(n - 1, "row"));
        if (row % 4 == 0)
            pulse = 1.0f;
        if (pulse > 0.0f)
            pulse = std::max(0.0f, pulse - 3.0f * (1.0f / kFps));
        ASSERT_EQ(static_cast<float>(log.number(n, "beatPulse")), pulse) << "frame " << n;
        pulses += pulse > 0.9f && log.number(n - 1, "beatPulse") < 0.9;
    }
    EXPECT_GT(pulses, 200);  // a beat every 0.48 s for two minutes

    // The rows are the module's own at each frame's end, as libopenmpt renders it in one go.
    std::ifstream in(ZANDAR_ASSET_DIR "/arabish.xm", std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                          std::istreambuf_iterator<char>());
    for (long n : {35L, 2000L, frames - 1}) {
        openmpt::module module(bytes);
        module.set_repeat_count(-1);
        std::uint64_t wantedSamples = static_cast<std::uint64_t>(n + 1) * 44100 / kFps + 1;
        std::vector<float> sink(2 * 44100);
        while (wantedSamples > 0) {
            const std::size_t count = std::min<std::uint64_t>(wantedSamples, 44100);
            module.read_interleaved_stereo(44100, count, sink.data());
            wantedSamples -= count;
        }
        EXPECT_EQ(log.number(n, "row"), module.get_current_row()) << "frame " << n;
    }

    // Pictures. Each scene that fades in from black starts almost black.
    const std::string pictures = dir / "frames";
    for (int scene : {3, 4, 5, 8}) {
        SCOPED_TRACE("first frame of scene " + std::to_string(scene));
        EXPECT_LE(brightest(loadFrame(pictures, start[scene])), 8);
    }
    EXPECT_GE(darkest(loadFrame(pictures, start[4] - 1)), 250) << "scene 3 ends in white";

    // Scene 7: between the cubes, the grey it clears to, under the filter's light touch. A
    // frame without a pulse has the smallest cubes.
    long calm = -1;
    for (long n = frameAtSeconds(80.0); n <= frameAtSeconds(80.3); ++n) {
        if (log.scene(n) == 7 && log.number(n, "beatPulse") == 0.0)
            calm = n;
    }
    ASSERT_GE(calm, 0) << "no frame without a pulse in 80.0-80.3 s";
    const sf::Image grey = loadFrame(pictures, calm);
    long neutral = 0, exact = 0, all = 0;
    for (unsigned y = 0; y < 720; y += 2) {
        for (unsigned x = 0; x < 1280; x += 2, ++all) {
            const sf::Color c = grey.getPixel(x, y);
            neutral += c.r == c.g && c.g == c.b && c.r >= 118 && c.r <= 130;
            exact += c.r == 128 && c.g == 128 && c.b == 128;
        }
    }
    EXPECT_GT(neutral, all / 4);
    EXPECT_GT(exact, all / 20);

    // Scene 9: the day sky is bg_blue.png itself wherever the text is not.
    sf::Image sky, text;
    ASSERT_TRUE(sky.loadFromFile(ZANDAR_ASSET_DIR "/bg_blue.png"));
    ASSERT_TRUE(text.loadFromFile(ZANDAR_ASSET_DIR "/scroll2.png"));
    for (long n : {start[9], static_cast<long>(110 * kFps)}) {
        SCOPED_TRACE("scene 9 frame " + std::to_string(n));
        ASSERT_EQ(log.scene(n), 9);
        const double textTop = log.number(n, "scene9ScrollY") - text.getSize().y / 2.0;
        const sf::Image frame = loadFrame(pictures, n);
        int worst = 0;
        const unsigned rows = static_cast<unsigned>(std::clamp(textTop - 1.0, 0.0, 720.0));
        ASSERT_GT(rows, 200u);
        for (unsigned y = 0; y < rows; ++y) {
            for (unsigned x = 0; x < 1280; ++x) {
                const sf::Color a = frame.getPixel(x, y), b = sky.getPixel(x, y);
                worst = std::max(
                    {worst, std::abs(a.r - b.r), std::abs(a.g - b.g), std::abs(a.b - b.b)});
            }
        }
        EXPECT_LE(worst, 2);
    }
}

// --- Shorter runs ----------------------------------------------------------------------------

TEST(CaptureRuns, SameRangeTwiceGivesTheSameFramesAndLog) {
    // 3.4 to 3.5 s: the opening model is turning, so every frame differs from the last.
    TempDir dir;
    for (const char* run : {"a", "b"}) {
        ProcessResult r = capture({"--until", "3.6", "--log", dir / (std::string(run) + ".csv"),
                                   "--frames", dir / run, "--from", "3.4", "--to", "3.5"},
                                  180.0);
        ASSERT_EQ(r.exitStatus, 0) << r.err;
    }
    EXPECT_EQ(readLog(dir / "a.csv").rows.size(), 216u);
    EXPECT_EQ(slurp(dir / "a.csv"), slurp(dir / "b.csv"));
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir / "a")) {
        names.push_back(entry.path().filename());
    }
    ASSERT_EQ(names.size(), 7u);  // frames 204 to 210
    for (const std::string& name : names) {
        EXPECT_EQ(slurp(dir / ("a/" + name)), slurp(dir / ("b/" + name))) << name;
    }

    // Frames that nothing asks for are clipped while the scenes run; that leaves no trace in
    // the frames that are drawn. This run also starts its own X server (DISPLAY is empty).
    ProcessResult alone =
        capture({"--until", "3.5", "--frames", dir / "c", "--at", "3.45"}, 180.0, {"DISPLAY="});
    ASSERT_EQ(alone.exitStatus, 0) << alone.err;
    const std::string single = framePath(dir / "c", 207);
    ASSERT_FALSE(single.empty());
    EXPECT_EQ(fs::path(single).filename(), "frame-000207-3.450s.png");
    EXPECT_EQ(slurp(single), slurp(framePath(dir / "a", 207)));
}

TEST(CaptureRuns, ShortVideoPlaysWithPictureAndSound) {
    // At 24 fps a frame lasts 1837.5 samples: the sound must still come out exactly as long.
    TempDir dir;
    ProcessResult r = capture(
        {"--fps", "24", "--until", "2", "--video", dir / "demo.mp4", "--log", dir / "log.csv"},
        180.0);
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    const auto fields = probe(dir / "demo.mp4");
    const auto video = streamOf(fields, "video");
    const auto audio = streamOf(fields, "audio");
    EXPECT_EQ(video.count("codec_name") ? video.at("codec_name") : "", "h264");
    EXPECT_EQ(video.count("width") ? video.at("width") : "", "1280");
    EXPECT_EQ(video.count("height") ? video.at("height") : "", "720");
    EXPECT_EQ(video.count("nb_frames") ? video.at("nb_frames") : "", "48");
    EXPECT_EQ(audio.count("codec_name") ? audio.at("codec_name") : "", "aac");
    EXPECT_NEAR(durationOf(fields), 2.0, 0.05);
    EXPECT_EQ(readLog(dir / "log.csv").rows.size(), 48u);

    // The sound is there: decoded, it is two seconds long and far from silent.
    ProcessOptions options;
    options.timeoutSeconds = 30.0;
    ProcessResult pcm = runProcess({"ffmpeg", "-v", "error", "-i", dir / "demo.mp4", "-map", "0:a",
                                    "-f", "s16le", "-ac", "2", "-ar", "44100", "-"},
                                   options);
    ASSERT_EQ(pcm.exitStatus, 0) << pcm.err;
    const std::size_t samples = pcm.out.size() / 2;
    EXPECT_NEAR(static_cast<double>(samples) / 2 / 44100, 2.0, 0.05);
    double power = 0.0;
    for (std::size_t i = 0; i < samples; ++i) {
        std::int16_t s;
        std::memcpy(&s, pcm.out.data() + 2 * i, 2);
        power += static_cast<double>(s) * s;
    }
    EXPECT_GT(std::sqrt(power / std::max<std::size_t>(samples, 1)), 300.0);
    // Nothing is left beside the output.
    for (const auto& entry : fs::directory_iterator(dir.path)) {
        EXPECT_TRUE(entry.path().extension() == ".mp4" || entry.path().extension() == ".csv")
            << entry.path();
    }
}

TEST(CaptureRuns, InterruptKeepsEverythingCapturedSoFar) {
    TempDir dir;
    const std::string log = dir / "log.csv";
    ProcessResult r =
        capture({"--video", dir / "demo.mp4", "--log", log}, 300.0, {}, [&log](int pid) {
            for (int i = 0; i < 1200; ++i) {
                if (splitLines(slurp(log)).size() > 100)
                    break;
                usleep(50000);
            }
            kill(pid, SIGINT);
        });
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitStatus, 130) << r.err;
    EXPECT_NE(r.err.find("interrupted"), std::string::npos) << r.err;
    const Log rows = readLog(log);
    ASSERT_GT(rows.rows.size(), 90u);
    for (const auto& row : rows.rows) ASSERT_EQ(row.size(), rows.header.size());
    const auto fields = probe(dir / "demo.mp4");
    const auto video = streamOf(fields, "video");
    EXPECT_EQ(video.count("nb_frames") ? video.at("nb_frames") : "",
              std::to_string(rows.rows.size()));
    EXPECT_NEAR(durationOf(fields), static_cast<double>(rows.rows.size()) / kFps, 0.05);
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
    ProcessResult usage = capture({"--at", "3"}, 30.0);
    EXPECT_EQ(usage.exitStatus, 2);
    EXPECT_NE(usage.err.find("--frames"), std::string::npos) << usage.err;
    EXPECT_EQ(usage.out.find("starting demo"), std::string::npos);

    ProcessResult noAssets = capture({"--assets", dir.path, "--log", dir / "l.csv"}, 30.0);
    EXPECT_EQ(noAssets.exitStatus, 1);
    EXPECT_NE(noAssets.err.find("asset folder"), std::string::npos) << noAssets.err;

    ProcessResult noFolder = capture({"--log", dir / "missing/l.csv"}, 30.0);
    EXPECT_EQ(noFolder.exitStatus, 1);
    EXPECT_NE(noFolder.err.find("missing/l.csv"), std::string::npos) << noFolder.err;
    EXPECT_EQ(noFolder.out.find("starting demo"), std::string::npos);

    // A moment after the run's end is an error, but what could be captured is kept.
    ProcessResult late = capture({"--until", "1", "--frames", dir / "f", "--at", "0.5,3"}, 120.0);
    EXPECT_EQ(late.exitStatus, 1);
    EXPECT_NE(late.err.find("no frames at 3 s"), std::string::npos) << late.err;
    EXPECT_FALSE(framePath(dir / "f", 30).empty());
}

}  // namespace
