// zandar: a real-time demo. It takes no arguments and reads no configuration; run it from the
// folder that holds its assets.
#include <cstdio>
#include <cstdlib>

#include "driver/demo.h"
#include "driver/x_display.h"

int main() {
    // The window library aborts the whole process, core dump and all, when it cannot reach an X
    // display; without one there is nothing to show, so say so and fail cleanly instead.
    if (!holdDisplay()) {
        const char* name = std::getenv("DISPLAY");
        std::fprintf(stderr, "zandar: cannot open the X display \"%s\"; run it on a desktop "
                             "or under xvfb-run\n",
                     name ? name : "");
        return 1;
    }
    LiveTimeline timeline;
    return runDemo(timeline);
}
