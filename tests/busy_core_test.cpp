// The demo beside two processes that keep both cores busy: it draws fewer frames, but every
// motion follows the measured frame time, so the scenes still take their 122 s and the demo
// ends by itself on time.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "tests/reliability_support.h"
#include "tests/support/process.h"
#include "tests/support/xvfb.h"

namespace {

TEST(BusyCores, DemoEndsOnTime) {
    XvfbServer x;
    ASSERT_TRUE(x.running());
    const std::string assets = copyAssets();
    ChildEnd end;
    double loadedAt = 0.0;
    bool loaded = false;
    std::string err;
    {
        std::vector<std::unique_ptr<BusyLoop>> busy;
        busy.push_back(std::make_unique<BusyLoop>());
        busy.push_back(std::make_unique<BusyLoop>());
        WatchedChild child({ZANDAR_EXE}, assets, {x.environment(), "ALSOFT_DRIVERS=null"});
        loaded = child.waitForOutput("generic data loaded\n", 120.0);
        loadedAt = child.secondsSinceStart();
        end = child.wait(300.0);
        err = child.err();
    }
    std::filesystem::remove_all(assets);
    const double playSeconds = end.seconds - loadedAt;
    std::printf("beside two busy loops: loading %.1f s, scenes %.1f s, total %.1f s, status %d\n",
                loadedAt, playSeconds, end.seconds, end.exitStatus);
    RecordProperty("scene_ms", static_cast<int>(playSeconds * 1000));
    EXPECT_TRUE(loaded);
    EXPECT_FALSE(end.timedOut);
    EXPECT_EQ(end.exitStatus, 0) << err;
    EXPECT_GT(playSeconds, 121.0);
    EXPECT_LT(playSeconds, 140.0);
}

}  // namespace
