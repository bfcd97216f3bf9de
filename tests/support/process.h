// Running the real programs from tests: a child process with its own working directory and
// environment, its output collected, killed if it outlives its time.
#pragma once

#include <functional>
#include <string>
#include <vector>

struct ProcessResult {
    int exitStatus = -1;  // the exit status, or -1 when it did not exit normally
    int signal = 0;       // the signal that ended it, if any
    bool timedOut = false;
    std::string out;
    std::string err;
    double seconds = 0.0;  // wall-clock running time
};

struct ProcessOptions {
    std::string workingDirectory;
    std::vector<std::string> environment;  // NAME=value entries added to the test's own
    double timeoutSeconds = 60.0;
    // Called in the parent once the child runs, with its pid (for example to send it keys).
    std::function<void(int pid)> whileRunning;
};

ProcessResult runProcess(const std::vector<std::string>& argv, const ProcessOptions& options);

// A fresh copy of the generated asset folder in a temporary directory; returns its path.
std::string copyAssets();

// The lines of a text, without their line ends.
std::vector<std::string> splitLines(const std::string& text);
