#include "driver/x_display.h"

#include <X11/Xlib.h>

bool holdDisplay() {
    static Display* const held = XOpenDisplay(nullptr);  // closed by the process's exit
    return held != nullptr;
}
