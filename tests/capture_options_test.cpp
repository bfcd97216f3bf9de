// The capture's command line, its frame arithmetic, the state log's columns against the scene
// state record they must cover, and the colours the video is given.
#include "tools/capture/capture_options.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tools/capture/state_log.h"
#include "tools/capture/video_encoder.h"

namespace {

ParsedOptions parse(std::vector<std::string> args) {
    return parseCaptureOptions(args);
}

std::string errorOf(std::vector<std::string> args) {
    ParsedOptions parsed = parse(std::move(args));
    EXPECT_FALSE(parsed.options.has_value());
    return parsed.error;
}

TEST(CaptureFrames, TimesPickTheFrameOnScreen) {
    // 0.1 * 60 is 5.999... in floating point; the frame on screen at 0.1 s is still 6.
    EXPECT_EQ(frameAt(0.1, 60), 6);
    EXPECT_EQ(frameAt(0.0, 60), 0);
    EXPECT_EQ(frameAt(12.0, 60), 720);
    EXPECT_EQ(frameAt(12.01, 60), 720);
    EXPECT_EQ(frameAt(1.0 / 3.0, 30), 10);
    // --until counts the frames shown before the time: 2 s at 60 fps is frames 0..119.
    EXPECT_EQ(framesBefore(2.0, 60), 120);
    EXPECT_EQ(framesBefore(0.1, 60), 6);
    EXPECT_EQ(framesBefore(0.001, 60), 1);
    EXPECT_EQ(framesBefore(2.0, 7), 14);
}

TEST(CaptureOptions, ReadsEveryOutputAndItsSettings) {
    ParsedOptions p =
        parse({"--fps",  "30",      "--frames", "out",   "--from",   "1.5",   "--to",    "3",
               "--at",   "12,28.5", "--log",    "l.csv", "--video",  "v.mp4", "--sheet", "s.png",
               "--step", "2",       "--until",  "40",    "--assets", "a",     "--xvfb",  "-q"});
    ASSERT_TRUE(p.options) << p.error;
    const CaptureOptions& o = *p.options;
    EXPECT_EQ(o.fps, 30);
    EXPECT_EQ(o.framesDir, "out");
    EXPECT_EQ(*o.from, 1.5);
    EXPECT_EQ(*o.to, 3.0);
    EXPECT_EQ(o.at, (std::vector<double>{12.0, 28.5}));
    EXPECT_EQ(o.logFile, "l.csv");
    EXPECT_EQ(o.videoFile, "v.mp4");
    EXPECT_EQ(o.sheetFile, "s.png");
    EXPECT_EQ(o.step, 2.0);
    EXPECT_EQ(*o.until, 40.0);
    EXPECT_EQ(o.assetsDir, "a");
    EXPECT_TRUE(o.privateDisplay);
    EXPECT_TRUE(o.quiet);

    ParsedOptions defaults = parse({"--sheet", "s.png"});
    ASSERT_TRUE(defaults.options);
    EXPECT_EQ(defaults.options->fps, 60);
    EXPECT_EQ(defaults.options->step, 1.0);
    EXPECT_FALSE(defaults.options->until);

    ParsedOptions screen = parse({"--log", "l", "--screen", "1024x768"});
    ASSERT_TRUE(screen.options) << screen.error;
    EXPECT_EQ(screen.options->screenWidth, 1024);
    EXPECT_EQ(screen.options->screenHeight, 768);
    EXPECT_TRUE(screen.options->privateDisplay);

    ASSERT_TRUE(parse({"--help"}).options);
    EXPECT_TRUE(parse({"--log", "x", "-h"}).options->help);
}

TEST(CaptureOptions, RefusesWrongValuesWithAReason) {
    EXPECT_NE(errorOf({"--fps", "0", "--log", "l"}).find("--fps"), std::string::npos);
    EXPECT_NE(errorOf({"--fps", "1001", "--log", "l"}).find("--fps"), std::string::npos);
    EXPECT_NE(errorOf({"--fps", "6O", "--log", "l"}).find("6O"), std::string::npos);
    for (const char* bad : {"-1", "nan", "inf", "1x", "", "2s"}) {
        EXPECT_NE(errorOf({"--log", "l", "--until", bad}).find("--until"), std::string::npos)
            << bad;
    }
    for (const char* bad : {"1024", "1024x", "x768", "8x8", "1024x99999", "1e3x768", "1024X768"}) {
        EXPECT_NE(errorOf({"--log", "l", "--screen", bad}).find("--screen"), std::string::npos)
            << bad;
    }
    EXPECT_NE(errorOf({"--frames", "d", "--at", "1,,2"}).find("--at"), std::string::npos);
    EXPECT_NE(errorOf({"--frames", "d", "--at", "1,2,"}).find("--at"), std::string::npos);
    EXPECT_NE(errorOf({"--log"}).find("needs a value"), std::string::npos);
    EXPECT_NE(errorOf({"--log", ""}).find("path"), std::string::npos);
    EXPECT_NE(errorOf({"--log", "l", "--bogus"}).find("--bogus"), std::string::npos);
    EXPECT_NE(errorOf({"--log", "l", "stray"}).find("stray"), std::string::npos);
}

TEST(CaptureOptions, RefusesCombinationsThatCannotBeMeant) {
    EXPECT_NE(errorOf({}).find("nothing to do"), std::string::npos);
    EXPECT_NE(errorOf({"--fps", "30"}).find("nothing to do"), std::string::npos);
    EXPECT_NE(errorOf({"--log", "l", "--at", "3"}).find("--frames"), std::string::npos);
    EXPECT_NE(errorOf({"--log", "l", "--from", "3"}).find("--frames"), std::string::npos);
    EXPECT_NE(errorOf({"--frames", "d"}).find("--at"), std::string::npos);
    EXPECT_NE(errorOf({"--frames", "d", "--from", "5", "--to", "4"}).find("after"),
              std::string::npos);
    EXPECT_NE(errorOf({"--log", "l", "--step", "2"}).find("--sheet"), std::string::npos);
    EXPECT_NE(errorOf({"--sheet", "s", "--step", "0.001"}).find("one frame"), std::string::npos);
    EXPECT_NE(errorOf({"--log", "l", "--until", "0"}).find("no frame"), std::string::npos);
    EXPECT_NE(errorOf({"--video", "v", "--screen", "800x600"}).find("1280x720"), std::string::npos);
    // Open-ended ranges are fine: from a time to the end, or from the start to a time.
    EXPECT_TRUE(parse({"--frames", "d", "--from", "100"}).options);
    EXPECT_TRUE(parse({"--frames", "d", "--to", "1"}).options);
}

TEST(CaptureOptions, HelpNamesEveryOption) {
    const std::string usage = captureUsage();
    for (const char* option :
         {"--fps", "--frames", "--from", "--to", "--at", "--log", "--video", "--sheet", "--step",
          "--until", "--assets", "--xvfb", "--screen", "--quiet", "--help"}) {
        EXPECT_NE(usage.find(option), std::string::npos) << option;
    }
}

// Every member of SceneStates as declared in the driver, arrays spelled name[i], in order.
std::vector<std::string> declaredSceneStates() {
    std::ifstream in(ZANDAR_SOURCE_DIR "/driver/demo_globals.h");
    std::stringstream text;
    text << in.rdbuf();
    const std::string source = text.str();
    const std::size_t begin = source.find("struct SceneStates {");
    const std::size_t end = source.find("\n};", begin);
    EXPECT_NE(begin, std::string::npos);
    const std::string body = source.substr(begin, end - begin);

    std::vector<std::string> names;
    const std::regex member(
        R"(\n\s*(?:bool|int|float|double|long|unsigned)\s+(\w+)(?:\[(\d+)\])?\s*[=;{])");
    for (auto it = std::sregex_iterator(body.begin(), body.end(), member);
         it != std::sregex_iterator(); ++it) {
        const std::string name = (*it)[1];
        if ((*it)[2].matched) {
            for (int i = 0; i < std::stoi((*it)[2]); ++i) {
                names.push_back(name + "[" + std::to_string(i) + "]");
            }
        } else {
            names.push_back(name);
        }
    }
    return names;
}

TEST(CaptureStateLog, ColumnsCoverEverySceneStateInOrder) {
    const std::vector<std::string> columns = StateLog::columns();
    ASSERT_GE(columns.size(), 6u);
    EXPECT_EQ(
        std::vector<std::string>(columns.begin(), columns.begin() + 6),
        (std::vector<std::string>{"frame", "time", "sceneIndex", "frameTime", "beatPulse", "row"}));
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
