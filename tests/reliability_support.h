// Watching the real programs while they run: a child whose output can be waited for line by line
// (so a test can act at a moment of the demo's own timeline), whose end is collected with wait4
// (exit status, running time and peak memory), and which is killed if it outlives its time.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

struct ChildEnd {
    int exitStatus = -1;  // the exit status, or -1 when it did not exit normally
    int signal = 0;       // the signal that ended it, if any
    bool timedOut = false;
    long maxRssKiB = 0;  // peak resident set size (wait4's ru_maxrss)
    double seconds = 0.0;  // from start to end
};

class WatchedChild {
public:
    // Starts argv[0] (searched in PATH) in workingDirectory with NAME=value entries added to the
    // test's own environment (a bare NAME removes it); standard input is /dev/null.
    WatchedChild(const std::vector<std::string>& argv, const std::string& workingDirectory,
                 const std::vector<std::string>& environment);
    ~WatchedChild();  // kills and reaps a child still running
    WatchedChild(const WatchedChild&) = delete;
    WatchedChild& operator=(const WatchedChild&) = delete;

    bool started() const { return pid_ > 0; }
    pid_t pid() const { return pid_; }

    // Reads output until standard output holds `text`; false when the child ended or the time ran
    // out first.
    bool waitForOutput(const std::string& text, double timeoutSeconds);
    // Reads output for up to `seconds` or until the child ends; true when it has ended.
    bool watch(double seconds);
    // Reads output until the child ends, killing it after timeoutSeconds from now.
    ChildEnd wait(double timeoutSeconds);
    bool ended() const { return ended_; }

    double secondsSinceStart() const;
    const std::string& out() const { return out_; }
    const std::string& err() const { return err_; }

private:
    // Reads what is ready on both pipes, waiting at most `milliseconds`; reaps the child if it
    // ended.
    void pump(int milliseconds);

    pid_t pid_ = -1;
    int outFd_ = -1;
    int errFd_ = -1;
    bool outOpen_ = true;
    bool errOpen_ = true;
    bool ended_ = false;
    ChildEnd end_;
    std::string out_;
    std::string err_;
    std::chrono::steady_clock::time_point start_;
};

// A process that keeps one core busy until it is destroyed.
class BusyLoop {
public:
    BusyLoop();
    ~BusyLoop();
    BusyLoop(const BusyLoop&) = delete;
    BusyLoop& operator=(const BusyLoop&) = delete;

private:
    pid_t pid_ = -1;
};

// The bytes of a file, and a file made of bytes.
std::string readBytes(const std::string& path);
void writeBytes(const std::string& path, const std::string& bytes);

// Seed for the tests' random choices: ZANDAR_TEST_SEED when set, else the clock. Printed by the
// caller so that a failing run can be repeated.
unsigned testSeed();

// Median and maximum of a set of figures (0 for an empty set).
double median(std::vector<double> values);
double maximum(const std::vector<double>& values);
