// An X server of the capture's own (Xvfb, 1280 x 720 x 24 unless asked otherwise), for machines
// without a display or when the picture must not depend on the screen at hand. DISPLAY points to
// it while it lives.
#pragma once

#include <sys/types.h>

#include <string>

class PrivateDisplay {
public:
    // Throws CaptureError when Xvfb cannot be started.
    explicit PrivateDisplay(int width = 1280, int height = 720);
    ~PrivateDisplay();
    PrivateDisplay(const PrivateDisplay&) = delete;
    PrivateDisplay& operator=(const PrivateDisplay&) = delete;

    const std::string& name() const { return name_; }

private:
    pid_t pid_ = -1;
    std::string name_;
};
