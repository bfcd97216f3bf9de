// Whether there is a sound device at all, asked once before any SFML audio object exists: SFML
// would otherwise report the missing device from its streaming thread, over and over.

#include <AL/alc.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "platform/audio_channel.h"

namespace {

// Standard error pointed at /dev/null for the lifetime of the object: ALSA and OpenAL describe a
// missing device in a dozen lines; the layer says it in one.
class QuietStderr {
public:
    QuietStderr() {
        std::fflush(stderr);
        saved_ = dup(STDERR_FILENO);
        int devNull = open("/dev/null", O_WRONLY | O_CLOEXEC);
        if (saved_ >= 0 && devNull >= 0) {
            dup2(devNull, STDERR_FILENO);
        }
        if (devNull >= 0) {
            close(devNull);
        }
    }

    ~QuietStderr() {
        std::fflush(stderr);
        if (saved_ >= 0) {
            dup2(saved_, STDERR_FILENO);
            close(saved_);
        }
    }

    QuietStderr(const QuietStderr&) = delete;
    QuietStderr& operator=(const QuietStderr&) = delete;

private:
    int saved_ = -1;
};

bool openAndCloseDefaultDevice() {
    ALCdevice* device = alcOpenDevice(nullptr);
    if (!device) {
        return false;
    }
    alcCloseDevice(device);
    return true;
}

}  // namespace

bool probeSoundDevice() {
    // Someone who raised OpenAL's log level wants to read what it says.
    if (std::getenv("ALSOFT_LOGLEVEL")) {
        return openAndCloseDefaultDevice();
    }
    QuietStderr quiet;
    return openAndCloseDefaultDevice();
}
