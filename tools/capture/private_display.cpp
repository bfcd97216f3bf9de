#include "tools/capture/private_display.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "tools/capture/capture_error.h"

namespace {

constexpr int kStartTimeoutMs = 15000;

}  // namespace

PrivateDisplay::PrivateDisplay(int width, int height) {
    int fds[2];
    if (pipe(fds) != 0) {
        throw CaptureError(std::string("cannot make a pipe: ") + std::strerror(errno));
    }
    // Built before the fork: the child only execs.
    const std::string fd = std::to_string(fds[1]);
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    const pid_t parent = getpid();
    pid_ = fork();
    if (pid_ < 0) {
        close(fds[0]);
        close(fds[1]);
        throw CaptureError(std::string("cannot start Xvfb: ") + std::strerror(errno));
    }
    if (pid_ == 0) {
        // The server goes when the capture goes, however it ends.
        prctl(PR_SET_PDEATHSIG, SIGTERM);
        if (getppid() != parent) {
            _exit(1);
        }
        setpgid(0, 0);  // an interrupt at the terminal is for the capture, which then stops it
        close(fds[0]);
        int quiet = open("/dev/null", O_RDWR);
        dup2(quiet, 0);
        dup2(quiet, 1);
        dup2(quiet, 2);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten",
               "tcp", "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    // Xvfb writes its display number once it accepts connections.
    std::string number;
    pollfd p = {fds[0], POLLIN, 0};
    while (number.find('\n') == std::string::npos && poll(&p, 1, kStartTimeoutMs) > 0) {
        char buffer[16];
        ssize_t n = read(fds[0], buffer, sizeof buffer);
        if (n <= 0) {
            break;
        }
        number.append(buffer, static_cast<std::size_t>(n));
    }
    close(fds[0]);
    if (number.empty() || number.find_first_of("0123456789") != 0) {
        kill(pid_, SIGTERM);
        int status = 0;
        waitpid(pid_, &status, 0);
        pid_ = -1;
        throw CaptureError(WIFEXITED(status) && WEXITSTATUS(status) == 127
                               ? "there is no display and Xvfb is not installed (Debian's xvfb "
                                 "package); set DISPLAY or install it"
                               : "there is no display and Xvfb did not start");
    }
    name_ = ":" + std::to_string(std::atoi(number.c_str()));
    setenv("DISPLAY", name_.c_str(), 1);
}

PrivateDisplay::~PrivateDisplay() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
}
