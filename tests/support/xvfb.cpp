#include "tests/support/xvfb.h"

#include <X11/Xlib.h>
#include <signal.h>

#include "tests/support/process.h"

// Xvfb writes its display number and a line end on -displayfd once it accepts connections; what
// it reports of the display numbers it finds taken is none of the test's business.
XvfbServer::XvfbServer()
    : server_({"sh", "-c",
               "exec Xvfb -displayfd 1 -screen 0 1280x720x24 -nolisten tcp -noreset 2>/dev/null"}) {
    if (server_.waitForOutput("\n", 10.0)) display_ = ":" + splitLines(server_.out())[0];
}

XvfbServer::~XvfbServer() {
    kill(server_.pid(), SIGTERM);
    server_.wait(10.0);
}

bool XvfbServer::key(const std::string& keys) const {
    return runProcess({"xdotool", "key", keys}, 10.0, {environment()}).exitStatus == 0;
}

bool XvfbServer::closeWindows() const {
    Display* x = XOpenDisplay(display_.c_str());
    if (!x) return false;
    const Atom protocols = XInternAtom(x, "WM_PROTOCOLS", False);
    const Atom deleteWindow = XInternAtom(x, "WM_DELETE_WINDOW", False);
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
