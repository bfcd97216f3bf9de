#include "tests/reliability_support.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <sstream>

WatchedChild::WatchedChild(const std::vector<std::string>& argv,
                           const std::string& workingDirectory,
                           const std::vector<std::string>& environment) {
    int outPipe[2], errPipe[2];
    if (pipe2(outPipe, O_CLOEXEC) != 0) return;
    if (pipe2(errPipe, O_CLOEXEC) != 0) {
        close(outPipe[0]);
        close(outPipe[1]);
        return;
    }
    // Everything the child needs is prepared before fork: the test may run threads.
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::vector<std::string> envStrings;
    for (char** e = environ; *e; ++e) envStrings.emplace_back(*e);
    for (const std::string& entry : environment) {
        const size_t equals = entry.find('=');
        const std::string name = entry.substr(0, equals) + "=";
        envStrings.erase(std::remove_if(envStrings.begin(), envStrings.end(),
                                        [&](const std::string& s) { return s.rfind(name, 0) == 0; }),
                         envStrings.end());
        if (equals != std::string::npos) envStrings.push_back(entry);
    }
    std::vector<char*> env;
    for (std::string& s : envStrings) env.push_back(s.data());
    env.push_back(nullptr);

    start_ = std::chrono::steady_clock::now();
    pid_ = fork();
    if (pid_ == 0) {
        int devNull = open("/dev/null", O_RDONLY);
        if (devNull >= 0) dup2(devNull, 0);
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        if (!workingDirectory.empty() && chdir(workingDirectory.c_str()) != 0) _exit(127);
        execvpe(args[0], args.data(), env.data());
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    outFd_ = outPipe[0];
    errFd_ = errPipe[0];
    fcntl(outFd_, F_SETFL, O_NONBLOCK);
    fcntl(errFd_, F_SETFL, O_NONBLOCK);
    if (pid_ < 0) {
        ended_ = true;
    }
}

WatchedChild::~WatchedChild() {
    if (pid_ > 0 && !ended_) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
    if (outFd_ >= 0) close(outFd_);
    if (errFd_ >= 0) close(errFd_);
}

double WatchedChild::secondsSinceStart() const {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
}

void WatchedChild::pump(int milliseconds) {
    // A pipe at its end is left out of the poll, which would otherwise return at once.
    pollfd fds[2] = {{outOpen_ ? outFd_ : -1, POLLIN, 0}, {errOpen_ ? errFd_ : -1, POLLIN, 0}};
    poll(fds, 2, milliseconds);
    char buffer[4096];
    for (int fd : {outFd_, errFd_}) {
        std::string& into = fd == outFd_ ? out_ : err_;
        ssize_t n;
        while ((n = read(fd, buffer, sizeof buffer)) > 0) {
            into.append(buffer, static_cast<size_t>(n));
        }
        if (n == 0) (fd == outFd_ ? outOpen_ : errOpen_) = false;
    }
    if (ended_ || pid_ <= 0) return;
    int status = 0;
    rusage usage = {};
    if (wait4(pid_, &status, WNOHANG, &usage) == pid_) {
        ended_ = true;
        end_.seconds = secondsSinceStart();
        end_.maxRssKiB = usage.ru_maxrss;
        if (WIFEXITED(status)) end_.exitStatus = WEXITSTATUS(status);
        if (WIFSIGNALED(status)) end_.signal = WTERMSIG(status);
        // What is still in the pipes; the write ends may live on in grandchildren, so only
        // what is there now.
        for (int fd : {outFd_, errFd_}) {
            std::string& into = fd == outFd_ ? out_ : err_;
            for (ssize_t n; (n = read(fd, buffer, sizeof buffer)) > 0;) {
                into.append(buffer, static_cast<size_t>(n));
            }
        }
    }
}

bool WatchedChild::waitForOutput(const std::string& text, double timeoutSeconds) {
    const double until = secondsSinceStart() + timeoutSeconds;
    while (out_.find(text) == std::string::npos) {
        if (ended_ || secondsSinceStart() > until) return false;
        pump(20);
    }
    return true;
}

bool WatchedChild::watch(double seconds) {
    const double until = secondsSinceStart() + seconds;
    while (!ended_ && secondsSinceStart() < until) pump(5);
    return ended_;
}

ChildEnd WatchedChild::wait(double timeoutSeconds) {
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

BusyLoop::BusyLoop() {
    pid_ = fork();
    if (pid_ == 0) {
        volatile unsigned long spin = 0;
        for (;;) spin = spin + 1;
    }
}

BusyLoop::~BusyLoop() {
    if (pid_ > 0) {
        kill(pid_, SIGKILL);
        waitpid(pid_, nullptr, 0);
    }
}

std::string readBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void writeBytes(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

unsigned testSeed() {
    if (const char* seed = std::getenv("ZANDAR_TEST_SEED")) {
        return static_cast<unsigned>(std::strtoul(seed, nullptr, 10));
    }
    return static_cast<unsigned>(
        std::chrono::system_clock::now().time_since_epoch().count() % 1000000007);
}

double median(std::vector<double> values) {
    if (values.empty()) return 0.0;
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2.0;
}

double maximum(const std::vector<double>& values) {
    return values.empty() ? 0.0 : *std::max_element(values.begin(), values.end());
}
