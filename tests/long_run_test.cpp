// Whole runs of the real program: three back to back must all end by themselves with status 0
// and use the same memory each time, with no growth while they play.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/reliability_support.h"
#include "tests/support/process.h"
#include "tests/support/xvfb.h"

namespace {

// Resident memory of a running process in KiB, 0 when it cannot be read.
long residentKiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    }
    return 0;
}

struct WholeRun {
    ChildEnd end;
    bool loaded = false;
    double playSeconds = 0.0;  // from "generic data loaded" to the exit
    long earlyRssKiB = 0;      // resident memory 20 s into the scenes
    long lateRssKiB = 0;       // the largest reading after that
    std::string err;
};

WholeRun playWhole(const XvfbServer& x, const std::string& assets) {
    WholeRun run;
    WatchedChild child({ZANDAR_EXE}, assets, {x.environment(), "ALSOFT_DRIVERS=null"});
    run.loaded = child.waitForOutput("generic data loaded\n", 60.0);
    const double loadedAt = child.secondsSinceStart();
    if (run.loaded && !child.watch(20.0)) {
        run.earlyRssKiB = residentKiB(child.pid());
        while (!child.watch(5.0)) {
            run.lateRssKiB = std::max(run.lateRssKiB, residentKiB(child.pid()));
        }
    }
    run.end = child.wait(240.0);
    run.playSeconds = run.end.seconds - loadedAt;
    run.err = child.err();
    return run;
}

TEST(LongRun, ThreeWholeRunsBackToBackUseTheSameMemory) {
    XvfbServer x;
    ASSERT_TRUE(x.running());
    const std::string assets = copyAssets();
    std::vector<WholeRun> runs;
    for (int i = 0; i < 3; ++i) runs.push_back(playWhole(x, assets));
    std::filesystem::remove_all(assets);

    std::printf("run  status  seconds  scenes  peak RSS (wait4)  RSS at 20 s  largest later\n");
    long least = 0, most = 0;
    for (size_t i = 0; i < runs.size(); ++i) {
        const WholeRun& r = runs[i];
        SCOPED_TRACE("run " + std::to_string(i + 1));
        std::printf("%3zu  %6d  %7.1f  %6.1f  %12ld KiB  %7ld KiB  %9ld KiB\n", i + 1,
                    r.end.exitStatus, r.end.seconds, r.playSeconds, r.end.maxRssKiB,
                    r.earlyRssKiB, r.lateRssKiB);
        EXPECT_TRUE(r.loaded);
        EXPECT_FALSE(r.end.timedOut);
        EXPECT_EQ(r.end.exitStatus, 0) << r.err;
        // The scenes take 122 s of demo time; each phase change may add a frame.
        EXPECT_GT(r.playSeconds, 121.0);
        EXPECT_LT(r.playSeconds, 140.0);
        // Nothing piles up while the demo plays: what is resident late in the run is what was
        // resident early on, give or take the allocator's slack.
        EXPECT_LT(r.lateRssKiB, r.earlyRssKiB + r.earlyRssKiB / 10 + 16 * 1024);
        least = i == 0 ? r.end.maxRssKiB : std::min(least, r.end.maxRssKiB);
        most = std::max(most, r.end.maxRssKiB);
    }
    std::printf("peak RSS from %ld to %ld KiB (%.1f %% apart)\n", least, most,
                least > 0 ? 100.0 * static_cast<double>(most - least) / static_cast<double>(least)
                          : 0.0);
    // Runs are alike: their peaks lie within 10 % of each other.
    EXPECT_LT(most, least + least / 10);
}

}  // namespace
