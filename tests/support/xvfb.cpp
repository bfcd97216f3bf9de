#include "tests/support/xvfb.h"

#include <X11/Xlib.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "tests/support/process.h"

XvfbServer::XvfbServer() {
    int fds[2];
    if (pipe(fds) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
        close(fds[0]);
        // It reports every display number it finds taken; none of that is the test's business.
        int devNull = open("/dev/null", O_WRONLY);
        if (devNull >= 0) dup2(devNull, 2);
        const std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x720x24",
               "-nolisten", "tcp", "-noreset", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    // Xvfb writes its display number and a line end once it accepts connections; the pipe stays
    // open while it runs, since it may write the two separately.
    readEnd_ = fds[0];
    std::string number;
    char c = 0;
    pollfd p = {fds[0], POLLIN, 0};
    while (poll(&p, 1, 10000) > 0 && read(fds[0], &c, 1) == 1 && c != '\n') {
        number += c;
    }
    if (!number.empty()) {
        display_ = ":" + number;
    }
}

XvfbServer::~XvfbServer() {
    if (pid_ > 0) {
        kill(pid_, SIGTERM);
        waitpid(pid_, nullptr, 0);
    }
    if (readEnd_ >= 0) {
        close(readEnd_);
    }
}

namespace {

// Top-level windows on the display that are mapped.
int mappedWindows(Display* x) {
    Window root = DefaultRootWindow(x), parent = 0, *children = nullptr;
    unsigned count = 0;
    XQueryTree(x, root, &root, &parent, &children, &count);
    int mapped = 0;
    for (unsigned i = 0; i < count; ++i) {
        XWindowAttributes attributes;
        if (XGetWindowAttributes(x, children[i], &attributes) &&
            attributes.map_state == IsViewable) {
            ++mapped;
        }
    }
    if (children) XFree(children);
    return mapped;
}

}  // namespace

bool XvfbServer::waitForWindow(double seconds) const {
    Display* x = XOpenDisplay(display_.c_str());
    if (!x) return false;
    bool found = false;
    for (double waited = 0.0; !found && waited < seconds; waited += 0.05) {
        found = mappedWindows(x) > 0;
        if (!found) usleep(50000);
    }
    XCloseDisplay(x);
    return found;
}

bool XvfbServer::key(const std::string& keys) const {
    ProcessOptions options;
    options.environment = {environment()};
    options.timeoutSeconds = 10.0;
    return runProcess({"xdotool", "key", keys}, options).exitStatus == 0;
}

bool XvfbServer::closeWindows() const {
    Display* x = XOpenDisplay(display_.c_str());
    if (!x) return false;
    Atom protocols = XInternAtom(x, "WM_PROTOCOLS", False);
    Atom deleteWindow = XInternAtom(x, "WM_DELETE_WINDOW", False);
    Window root = DefaultRootWindow(x), parent = 0, *children = nullptr;
    unsigned count = 0;
    XQueryTree(x, root, &root, &parent, &children, &count);
    for (unsigned i = 0; i < count; ++i) {
        XEvent event = {};
        event.xclient.type = ClientMessage;
        event.xclient.window = children[i];
        event.xclient.message_type = protocols;
        event.xclient.format = 32;
        event.xclient.data.l[0] = static_cast<long>(deleteWindow);
        event.xclient.data.l[1] = CurrentTime;
        XSendEvent(x, children[i], False, NoEventMask, &event);
    }
    if (children) XFree(children);
    XCloseDisplay(x);
    return count > 0;
}
