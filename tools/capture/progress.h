// One progress line on standard error, redrawn in place with a carriage return a few times a
// second at most, so that a log of the run does not fill with it.
#pragma once

#include <chrono>
#include <cstdio>

class Progress {
public:
    // expectedFrames: the length the bar is drawn against (the run may end before or after).
    Progress(int fps, long expectedFrames, std::FILE* out = stderr);

    void update(long frames, int sceneIndex);
    // Ends the line with the final count; a complete run fills the bar.
    void finish(bool complete);
    // Takes the line off the screen before another message is written.
    void clear();

private:
    void draw(long frames, int sceneIndex);

    int fps_;
    long expected_;
    std::FILE* out_;
    bool terminal_;
    bool drawn_ = false;
    long lastFrames_ = 0;
    int lastScene_ = 0;
    std::chrono::steady_clock::time_point start_;
    std::chrono::steady_clock::time_point lastDraw_;
};
