// A private X server for one test: its own display, so that keys sent to it reach only the
// program under test, whatever else runs beside it.
#pragma once

#include <string>

#include "tests/support/process.h"

class XvfbServer {
public:
    XvfbServer();  // starts Xvfb at 1280 x 720 x 24 on a free display
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    bool running() const { return !display_.empty(); }
    std::string environment() const { return "DISPLAY=" + display_; }

    // xdotool's key command on this display, e.g. key("Escape").
    bool key(const std::string& keys) const;
    // Asks every top-level window to close, as a window manager's close button does.
    bool closeWindows() const;

private:
    Child server_;
    std::string display_;
};
