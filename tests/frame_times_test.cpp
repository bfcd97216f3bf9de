// The capture's frame timing: its statistics, its CSV, and a short real run that draws every
// frame.
#include "tools/capture/frame_times.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/process.h"
#include "tools/capture/capture_options.h"

namespace {

using std::chrono::milliseconds;

std::vector<std::string> lines(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::string> result;
    for (std::string line; std::getline(in, line);) {
        result.push_back(line);
    }
    return result;
}

TEST(FrameTimes, MedianAndNearestRank99thPercentile) {
    TimeSummary none = summarise({});
    EXPECT_EQ(none.count, 0u);

    TimeSummary odd = summarise({5.0, 1.0, 3.0});
    EXPECT_EQ(odd.median, 3.0);
    EXPECT_EQ(odd.p99, 5.0);
    EXPECT_EQ(summarise({4.0, 1.0, 3.0, 2.0}).median, 2.5);

    // 200 frames: the 198th smallest is the 99th percentile; two slow frames are above it.
    std::vector<double> ms(200, 10.0);
    ms[17] = 50.0;
    ms[123] = 60.0;
    ms[5] = 20.0;
    TimeSummary s = summarise(ms);
    EXPECT_EQ(s.p99, 20.0);
    EXPECT_EQ(s.worst, 60.0);
    EXPECT_EQ(s.median, 10.0);
}

TEST(FrameTimes, WritesShownFramesAndSummarisesPerScene) {
    const std::string path =
        (std::filesystem::temp_directory_path() / "zandar-frame-times.csv").string();
    FrameTimes times(path);
    EXPECT_TRUE(times.wantsDrawing());
    FrameRecord record;
    for (long frame = 0; frame < 4; ++frame) {
        record.frame = frame;
        record.time = static_cast<double>(frame) / 60.0;
        record.sceneIndex = frame < 3 ? 1 : 2;
        times.consume(record, nullptr);
        if (frame < 3) {  // the last frame is never shown: the run stopped
            times.frameShown(frame, milliseconds(10 + frame), milliseconds(20));
        }
    }
    times.finish(4);
    std::vector<std::string> csv = lines(path);
    ASSERT_EQ(csv.size(), 4u);
    EXPECT_EQ(csv[0], "frame,time,sceneIndex,drawMs,cpuMs");
    EXPECT_EQ(csv[1], "0,0.000000,1,10.000,20.000");
    EXPECT_EQ(csv[3], "2,0.033333,1,12.000,20.000");
    std::vector<TimeSummary> scenes = times.perScene();
    EXPECT_EQ(scenes[1].count, 3u);
    EXPECT_EQ(scenes[1].median, 11.0);
    EXPECT_EQ(scenes[2].count, 0u);
    EXPECT_EQ(times.perScene(true)[1].median, 20.0);
    std::filesystem::remove(path);
}

TEST(FrameTimes, OptionAloneIsEnoughToRunAndNeedsAPath) {
    ParsedOptions p = parseCaptureOptions({"--time-frames", "t.csv"});
    ASSERT_TRUE(p.options) << p.error;
    EXPECT_EQ(p.options->timesFile, "t.csv");
    EXPECT_FALSE(parseCaptureOptions({"--time-frames"}).options);
    EXPECT_FALSE(parseCaptureOptions({"--time-frames", ""}).options);
    EXPECT_NE(captureUsage().find("--time-frames"), std::string::npos);
}

TEST(FrameTimes, RealRunTimesEveryFrameItShows) {
    const std::string path =
        (std::filesystem::temp_directory_path() / "zandar-frame-times-run.csv").string();
    ProcessResult r = runProcess({ZANDAR_CAPTURE_EXE, "--assets", ZANDAR_ASSET_DIR, "-q", "--until",
                                  "0.5", "--time-frames", path},
                                 ProcessOptions{});
    ASSERT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_NE(r.err.find("frame times (ms)"), std::string::npos) << r.err;
    std::vector<std::string> csv = lines(path);
    ASSERT_EQ(csv.size(), 31u);  // header and frames 0..29
    for (std::size_t i = 1; i < csv.size(); ++i) {
        long frame = -1;
        int scene = 0;
        double time = 0, wall = 0, cpu = 0;
        ASSERT_EQ(
            std::sscanf(csv[i].c_str(), "%ld,%lf,%d,%lf,%lf", &frame, &time, &scene, &wall, &cpu),
            5)
            << csv[i];
        EXPECT_EQ(frame, static_cast<long>(i - 1));
        EXPECT_EQ(scene, 1);
        EXPECT_GT(wall, 0.0);
        EXPECT_GE(cpu, 0.0);
    }
    std::filesystem::remove(path);
}

}  // namespace
