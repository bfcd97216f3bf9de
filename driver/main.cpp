// zandar: a real-time demo. It takes no arguments and reads no configuration; run it from the
// folder that holds its assets.
#include "driver/demo.h"

int main() {
    LiveTimeline timeline;
    return runDemo(timeline);
}
