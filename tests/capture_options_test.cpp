// The capture's command line, its frame arithmetic, the state log's columns against the scene
// state record they must cover, and the colours the video is given.
#include "tools/capture/capture_options.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <iterator>
#include <tuple>
#include <string>
#include <vector>

#include "tools/capture/state_log.h"
#include "tools/capture/video_encoder.h"

namespace {

std::string errorOf(std::vector<std::string> args) {
    const ParsedOptions parsed = parseCaptureOptions(args);
    EXPECT_FALSE(parsed.options.has_value()) << args[0];
    return parsed.error;
}

TEST(CaptureFrames, TimesPickTheFrameOnScreen) {
    // 0.1 * 60 is 5.999... in floating point; the frame on screen at 0.1 s is still 6.
    EXPECT_EQ(frameAt(0.1, 60), 6);
    EXPECT_EQ(frameAt(0.0, 60), 0);
    EXPECT_EQ(frameAt(12.01, 60), 720);
    EXPECT_EQ(frameAt(1.0 / 3.0, 30), 10);
    // --until counts the frames shown before the time: 2 s at 60 fps is frames 0..119.
    EXPECT_EQ(framesBefore(2.0, 60), 120);
    EXPECT_EQ(framesBefore(0.1, 60), 6);
    EXPECT_EQ(framesBefore(0.001, 60), 1);
    EXPECT_EQ(framesBefore(2.0, 7), 14);
}

TEST(CaptureOptions, ReadsEveryOutputAndItsSettings) {
    const ParsedOptions p = parseCaptureOptions(
        {"--fps", "30", "--frames", "out", "--from", "1.5", "--to", "3", "--at", "12,28.5",
         "--log", "l.csv", "--video", "v.mp4", "--sheet", "s.png", "--step", "2", "--until", "40",
         "--assets", "a", "--xvfb", "-q", "--time-frames", "t.csv"});
    ASSERT_TRUE(p.options) << p.error;
    const CaptureOptions& o = *p.options;
    EXPECT_EQ((std::vector<std::string>{o.framesDir, o.logFile, o.videoFile, o.sheetFile,
                                        o.assetsDir, o.timesFile}),
              (std::vector<std::string>{"out", "l.csv", "v.mp4", "s.png", "a", "t.csv"}));
    EXPECT_EQ(std::make_tuple(o.fps, *o.from, *o.to, o.step, *o.until),
              std::make_tuple(30, 1.5, 3.0, 2.0, 40.0));
    EXPECT_EQ(o.at, (std::vector<double>{12.0, 28.5}));
    EXPECT_TRUE(o.privateDisplay && o.quiet);
    const auto defaults = parseCaptureOptions({"--sheet", "s.png"}).options;
    ASSERT_TRUE(defaults);
    EXPECT_EQ(std::make_tuple(defaults->fps, defaults->step, defaults->until.has_value()),
              std::make_tuple(60, 1.0, false));
    EXPECT_TRUE(parseCaptureOptions({"--time-frames", "t.csv"}).options);  // enough on its own
    const auto screen = parseCaptureOptions({"--log", "l", "--screen", "1024x768"}).options;
    ASSERT_TRUE(screen);
    EXPECT_EQ(std::make_tuple(screen->screenWidth, screen->screenHeight, screen->privateDisplay),
              std::make_tuple(1024, 768, true));
    EXPECT_TRUE(parseCaptureOptions({"--help"}).options);
    EXPECT_TRUE(parseCaptureOptions({"--log", "x", "-h"}).options->help);
    // Open-ended ranges: from a time to the end, or from the start to a time.
    EXPECT_TRUE(parseCaptureOptions({"--frames", "d", "--from", "100"}).options);
    EXPECT_TRUE(parseCaptureOptions({"--frames", "d", "--to", "1"}).options);
    for (const char* option : {"--fps", "--frames", "--from", "--to", "--at", "--log", "--video",
                               "--sheet", "--step", "--until", "--assets", "--xvfb", "--quiet",
                               "--help", "--time-frames", "--screen"}) {
        EXPECT_NE(captureUsage().find(option), std::string::npos) << option;
    }
}

TEST(CaptureOptions, RefusesWrongValuesAndCombinationsWithAReason) {
    const struct {
        std::vector<std::string> args;
        const char* reason;
    } cases[] = {
        {{"--fps", "0", "--log", "l"}, "--fps"}, {{"--fps", "1001", "--log", "l"}, "--fps"},
        {{"--fps", "6O", "--log", "l"}, "6O"}, {{"--log", "l", "--until", "-1"}, "--until"},
        {{"--log", "l", "--until", "nan"}, "--until"},
        {{"--log", "l", "--until", "inf"}, "--until"}, {{"--log", "l", "--until", "1x"}, "--until"},
        {{"--log", "l", "--until", ""}, "--until"}, {{"--log", "l", "--until", "2s"}, "--until"},
        {{"--frames", "d", "--at", "1,,2"}, "--at"}, {{"--frames", "d", "--at", "1,2,"}, "--at"},
        {{"--log"}, "needs a value"}, {{"--log", ""}, "path"}, {{"--time-frames"}, "needs a value"},
        {{"--time-frames", ""}, "path"}, {{"--log", "l", "--bogus"}, "--bogus"},
        {{"--log", "l", "stray"}, "stray"}, {{"--fps", "30"}, "nothing to do"},
        {{"--log", "l", "--at", "3"}, "--frames"}, {{"--log", "l", "--from", "3"}, "--frames"},
        {{"--frames", "d"}, "--at"}, {{"--log", "l", "--until", "0"}, "no frame"},
        {{"--frames", "d", "--from", "5", "--to", "4"}, "after"},
        {{"--log", "l", "--step", "2"}, "--sheet"},
        {{"--sheet", "s", "--step", "0.001"}, "one frame"},
        {{"--video", "v", "--screen", "800x600"}, "1280x720"},
    };
    for (const char* bad : {"1024", "1024x", "x768", "8x8", "1024x99999", "1e3x768", "1024X768"}) {
        EXPECT_NE(errorOf({"--log", "l", "--screen", bad}).find("--screen"), std::string::npos)
            << bad;
    }
    for (const auto& c : cases) {
        EXPECT_NE(errorOf(c.args).find(c.reason), std::string::npos) << c.args[0] << c.reason;
    }
    EXPECT_NE(parseCaptureOptions({}).error.find("nothing to do"), std::string::npos);
}

// Every member of SceneStates as declared in the driver, arrays spelled name[i], in order.
std::vector<std::string> declaredSceneStates() {
    std::ifstream in(ZANDAR_SOURCE_DIR "/driver/demo_globals.h");
    const std::string source((std::istreambuf_iterator<char>(in)), {});
    const std::size_t begin = source.find("struct SceneStates {");
    EXPECT_NE(begin, std::string::npos);
    const std::string body = source.substr(begin, source.find("\n};", begin) - begin);
    std::vector<std::string> names;
    const std::regex member(
        R"(\n\s*(?:bool|int|float|double|long|unsigned)\s+(\w+)(?:\[(\d+)\])?\s*[=;{])");
    for (auto it = std::sregex_iterator(body.begin(), body.end(), member);
         it != std::sregex_iterator(); ++it) {
        const int count = (*it)[2].matched ? std::stoi((*it)[2]) : 0;
        for (int i = 0; i < std::max(count, 1); ++i) {
            names.push_back((*it)[1].str() + (count ? "[" + std::to_string(i) + "]" : ""));
        }
    }
    return names;
}

TEST(CaptureStateLog, ColumnsCoverEverySceneStateInOrder) {
    const std::vector<std::string> columns = StateLog::columns();
    const std::vector<std::string> first = {"frame",     "time",      "sceneIndex",
                                            "frameTime", "beatPulse", "row"};
    ASSERT_GE(columns.size(), first.size());
    EXPECT_TRUE(std::equal(first.begin(), first.end(), columns.begin()));
    const std::vector<std::string> declared = declaredSceneStates();
    ASSERT_GT(declared.size(), 40u);  // the parse found the record
    EXPECT_EQ(std::vector<std::string>(columns.begin() + 6, columns.end()), declared);
}

}  // namespace

TEST(VideoFrames, RgbBecomesYuv420AtVideoLevelsWithChromaFromEachTwoByTwo) {
    // A 4 x 2 picture: a white and black 2 x 2 block on the left, a red one on the right.
    const std::vector<std::uint8_t> rgb = {255, 255, 255, 0, 0, 0, 255, 0, 0, 255, 0, 0,
                                           0,   0,   0,   255, 255, 255, 255, 0, 0, 255, 0, 0};
    std::vector<std::uint8_t> yuv(12);
    rgbToYuv420(rgb.data(), 4, 2, yuv.data());
    EXPECT_EQ(yuv, (std::vector<std::uint8_t>{235, 16, 82, 82, 16, 235, 82, 82,  // Y
                                              128, 90,                           // U
                                              128, 240}));                       // V
}
