#include "tests/support/process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>

extern char** environ;

namespace {

void drain(int fd, std::string& into) {
    char buffer[4096];
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0) into.append(buffer, static_cast<size_t>(n));
}

}  // namespace

ProcessResult runProcess(const std::vector<std::string>& argv, const ProcessOptions& options) {
    ProcessResult result;
    int outPipe[2], errPipe[2];
    if (pipe(outPipe) != 0 || pipe(errPipe) != 0) return result;
    const auto start = std::chrono::steady_clock::now();

    pid_t pid = fork();
    if (pid == 0) {
        dup2(outPipe[1], 1);
        dup2(errPipe[1], 2);
        close(outPipe[0]);
        close(errPipe[0]);
        if (!options.workingDirectory.empty() && chdir(options.workingDirectory.c_str()) != 0) {
            _exit(127);
        }
        for (const std::string& entry : options.environment) {
            putenv(strdup(entry.c_str()));
        }
        std::vector<char*> args;
        for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    close(outPipe[1]);
    close(errPipe[1]);
    fcntl(outPipe[0], F_SETFL, O_NONBLOCK);
    fcntl(errPipe[0], F_SETFL, O_NONBLOCK);

    if (options.whileRunning) options.whileRunning(pid);

    int status = 0;
    bool exited = false;
    while (!exited) {
        pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
        poll(fds, 2, 50);
        drain(outPipe[0], result.out);
        drain(errPipe[0], result.err);
        if (waitpid(pid, &status, WNOHANG) == pid) exited = true;
        const double elapsed =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        if (!exited && elapsed > options.timeoutSeconds) {
            result.timedOut = true;
            kill(pid, SIGKILL);
            waitpid(pid, &status, 0);
            exited = true;
        }
    }
    // What is left in the pipes after the child ended, up to their end.
    for (int fd : {outPipe[0], errPipe[0]}) {
        fcntl(fd, F_SETFL, 0);
        std::string& into = fd == outPipe[0] ? result.out : result.err;
        for (size_t before = into.size() + 1; into.size() != before;) {
            before = into.size();
            drain(fd, into);
        }
    }
    close(outPipe[0]);
    close(errPipe[0]);
    result.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (WIFEXITED(status)) result.exitStatus = WEXITSTATUS(status);
    if (WIFSIGNALED(status)) result.signal = WTERMSIG(status);
    return result;
}

std::string copyAssets() {
    char pattern[] = "/tmp/zandar-assets-XXXXXX";
    std::string dir = mkdtemp(pattern);
    std::filesystem::copy(ZANDAR_ASSET_DIR, dir, std::filesystem::copy_options::recursive);
    return dir;
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}
