// A private X server for one test: its own display, so that keys sent to it reach only the
// program under test, whatever else runs beside it.
#pragma once

#include <string>

class XvfbServer {
public:
    XvfbServer();  // starts Xvfb at 1280 x 720 x 24 on a free display
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    bool running() const { return pid_ > 0 && !display_.empty(); }
    const std::string& display() const { return display_; }  // e.g. ":42"
    std::string environment() const { return "DISPLAY=" + display_; }

    // Waits until some window is mapped on this display; false if none came within the time.
    bool waitForWindow(double seconds) const;
    // xdotool's key command on this display, e.g. key("Escape").
    bool key(const std::string& keys) const;
    // Asks every top-level window to close, as a window manager's close button does.
    bool closeWindows() const;

private:
    int pid_ = -1;
    int readEnd_ = -1;
    std::string display_;
};
