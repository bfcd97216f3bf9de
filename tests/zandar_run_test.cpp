// The real program, run from a copy of its asset folder on a private X server: what it writes,
// how it ends, and what a missing file does to it.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/process.h"
#include "tests/support/xvfb.h"

namespace {

const std::vector<std::string> kLoadingLines = {
    "starting demo (grobblers says hi!)",
    "created render window",
    "cred_1.png = 1",
    "cred_2.png = 1",
    "cred_3.png = 1",
    "cred_4.png = 1",
    "cross.png = 1",
    "weed3-1.jpg = 1",
    "weed3-2.jpg = 1",
    "weed3-3.jpg = 1",
    "weed3-4.jpg = 1",
    "weed3-5.jpg = 1",
    "weed3-6.jpg = 1",
    "1",
    "generic data loaded",
};

// True while the child has not ended; leaves it to be reaped by the runner.
bool stillRunning(int pid) {
    siginfo_t info = {};
    return waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == 0;
}

struct Run : ::testing::Test {
    void SetUp() override {
        ASSERT_TRUE(x.running());
        assets = copyAssets();
    }
    void TearDown() override { std::filesystem::remove_all(assets); }

    // Runs zandar; pressEscape sends Escape once the window is up, until the program ends.
    ProcessResult play(bool pressEscape, double timeout) {
        ProcessOptions options;
        options.workingDirectory = assets;
        options.environment = {x.environment(), "ALSOFT_DRIVERS=null"};
        options.timeoutSeconds = timeout;
        if (pressEscape) {
            options.whileRunning = [this](int pid) {
                if (!x.waitForWindow(30.0)) return;
                for (int i = 0; i < 20 && stillRunning(pid); ++i) {
                    x.key("Escape");
                    usleep(500000);
                }
            };
        }
        return runProcess({ZANDAR_EXE}, options);
    }

    XvfbServer x;
    std::string assets;
};

TEST_F(Run, PlaysAllNineScenesAndEndsByItself) {
    ProcessResult r = play(false, 300.0);
    ASSERT_FALSE(r.timedOut);
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    EXPECT_EQ(splitLines(r.out), kLoadingLines);
    // The scenes take 122 s of demo time; loading and the first frame come on top.
    EXPECT_GT(r.seconds, 120.0);
    EXPECT_LT(r.seconds, 150.0);
}

TEST_F(Run, MissingImagesAreLoggedAndTheShowGoesOn) {
    std::filesystem::remove(assets + "/cred_2.png");
    std::filesystem::remove(assets + "/filter.png");
    std::filesystem::remove(assets + "/bg_blue.png");
    ProcessResult r = play(true, 90.0);
    EXPECT_EQ(r.exitStatus, 0) << r.err;
    std::vector<std::string> expected = kLoadingLines;
    expected[3] = "cred_2.png = 0";
    expected[13] = "0";
    EXPECT_EQ(splitLines(r.out), expected);
}

TEST_F(Run, MissingModelEndsWithStatusOneBeforeAnyFrame) {
    std::filesystem::remove(assets + "/models/oasis.obj");
    ProcessResult r = play(false, 60.0);
    EXPECT_EQ(r.exitStatus, 1);
    EXPECT_NE(r.err.find("glmReadOBJ() failed: can't open data file \"models/oasis.obj\"."),
              std::string::npos)
        << r.err;
    EXPECT_EQ(r.out.find("generic data loaded"), std::string::npos);
    EXPECT_EQ(r.out.find("cred_1.png"), std::string::npos);
}

}  // namespace
