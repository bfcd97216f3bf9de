// The real programs as child processes: output that can be waited for line by line (so a test
// can act at a moment of the demo's own timeline), an end collected with wait4 (status, time,
// peak memory), and a kill for a child that outlives its time.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <vector>

struct ChildEnd {
    int exitStatus = -1;  // -1 when it did not exit normally
    int signal = 0;       // the signal that ended it, if any
    bool timedOut = false;
    long maxRssKiB = 0;
    double seconds = 0.0;  // from start to end
};

class Child {
public:
    // argv[0] (searched in PATH) in workingDirectory (empty: the test's own), with NAME=value
    // entries added to the test's environment (a bare NAME removes it), input from /dev/null.
    explicit Child(const std::vector<std::string>& argv, const std::string& workingDirectory = "",
                   const std::vector<std::string>& environment = {});
    ~Child();  // kills and reaps a child still running
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t pid() const { return pid_; }
    // Reads until standard output holds `text`; false when the child ends or the time runs out.
    bool waitForOutput(const std::string& text, double timeoutSeconds);
    // Reads for up to `seconds` or until the child ends; true when it has ended.
    bool watch(double seconds);
    // Reads until the child ends, killing it after timeoutSeconds from now.
    ChildEnd wait(double timeoutSeconds);
    double secondsSinceStart() const;
    const std::string& out() const { return out_; }
    const std::string& err() const { return err_; }

private:
    void pump(int milliseconds);  // reads what the pipes hold; reaps the child if it ended

    pid_t pid_ = -1;
    int fds_[2] = {-1, -1};  // the read ends of its standard output and error
    bool open_[2] = {true, true};
    bool ended_ = false;
    ChildEnd end_;
    std::string out_, err_;
    std::chrono::steady_clock::time_point start_;
};

struct ProcessResult : ChildEnd {
    std::string out, err;
};

// Runs a program to its end (killed at the timeout).
ProcessResult runProcess(const std::vector<std::string>& argv, double timeoutSeconds = 60.0,
                         const std::vector<std::string>& environment = {},
                         const std::string& workingDirectory = "");

// A fresh copy of the generated asset folder in a temporary directory; returns its path.
std::string copyAssets();
std::vector<std::string> splitLines(const std::string& text);
std::string readBytes(const std::string& path);
void writeBytes(const std::string& path, const std::string& bytes);
