#include "tests/support/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>

Child::Child(const std::vector<std::string>& argv, const std::string& workingDirectory,
             const std::vector<std::string>& environment) {
    // env(1) sets the environment and the folder: nothing is left to do between fork and exec,
    // where a test running threads may do nothing that takes a lock.
    std::vector<std::string> command = {"env"}, set;
    if (!workingDirectory.empty()) command.insert(command.end(), {"-C", workingDirectory});
    for (const std::string& entry : environment) {
        if (entry.find('=') == std::string::npos) {
            command.insert(command.end(), {"-u", entry});  // options before the settings
        } else {
            set.push_back(entry);
        }
    }
    command.insert(command.end(), set.begin(), set.end());
    command.insert(command.end(), argv.begin(), argv.end());
    std::vector<char*> args;
    for (std::string& a : command) args.push_back(a.data());
    args.push_back(nullptr);
    int out[2], err[2];
    if (pipe2(out, O_CLOEXEC) != 0 || pipe2(err, O_CLOEXEC) != 0) {
        ended_ = true;
        return;
    }
    start_ = std::chrono::steady_clock::now();
    pid_ = fork();
    if (pid_ == 0) {
        const int devNull = open("/dev/null", O_RDONLY);
        if (devNull >= 0) dup2(devNull, 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    fds_[0] = out[0];
    fds_[1] = err[0];
    for (int fd : fds_) fcntl(fd, F_SETFL, O_NONBLOCK);
    ended_ = pid_ < 0;
}

Child::~Child() {
    if (pid_ > 0 && !ended_) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    for (int fd : fds_) {
        if (fd >= 0) close(fd);
    }
}

double Child::secondsSinceStart() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

void Child::pump(int milliseconds) {
    // A pipe at its end is left out of the poll, which would otherwise return at once.
    pollfd fds[2] = {{open_[0] ? fds_[0] : -1, POLLIN, 0}, {open_[1] ? fds_[1] : -1, POLLIN, 0}};
    poll(fds, 2, milliseconds);
    auto drain = [this] {
        char buffer[4096];
        for (int i = 0; i < 2; ++i) {
            ssize_t n;
            while ((n = read(fds_[i], buffer, sizeof buffer)) > 0) {
                (i == 0 ? out_ : err_).append(buffer, static_cast<size_t>(n));
            }
            if (n == 0) open_[i] = false;
        }
    };
    drain();
    int status = 0;
    rusage usage = {};
    if (!ended_ && pid_ > 0 && wait4(pid_, &status, WNOHANG, &usage) == pid_) {
        ended_ = true;
        end_.seconds = secondsSinceStart();
        end_.maxRssKiB = usage.ru_maxrss;
        if (WIFEXITED(status)) end_.exitStatus = WEXITSTATUS(status);
        if (WIFSIGNALED(status)) end_.signal = WTERMSIG(status);
        // What is in the pipes now; their write ends may live on in grandchildren.
        drain();
    }
}

bool Child::waitForOutput(const std::string& text, double timeoutSeconds) {
    const double until = secondsSinceStart() + timeoutSeconds;
    while (out_.find(text) == std::string::npos) {
        if (ended_ || secondsSinceStart() > until) return false;
        pump(20);
    }
    return true;
}

bool Child::watch(double seconds) {
    const double until = secondsSinceStart() + seconds;
    while (!ended_ && secondsSinceStart() < until) pump(5);
    return ended_;
}

ChildEnd Child::wait(double timeoutSeconds) {
    const double until = secondsSinceStart() + timeoutSeconds;
    while (!ended_) {
        pump(5);
        if (!ended_ && secondsSinceStart() > until) {
            kill(pid_, SIGKILL);
            while (!ended_) pump(50);
            end_.timedOut = true;
        }
    }
    return end_;
}

ProcessResult runProcess(const std::vector<std::string>& argv, double timeoutSeconds,
                         const std::vector<std::string>& environment,
                         const std::string& workingDirectory) {
    Child child(argv, workingDirectory, environment);
    ProcessResult result;
    static_cast<ChildEnd&>(result) = child.wait(timeoutSeconds);
    result.out = child.out();
    result.err = child.err();
    return result;
}

std::string copyAssets() {
    char pattern[] = "/tmp/zandar-assets-XXXXXX";
    const std::string dir = mkdtemp(pattern);
    std::filesystem::copy(ZANDAR_ASSET_DIR, dir, std::filesystem::copy_options::recursive);
    return dir;
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}
