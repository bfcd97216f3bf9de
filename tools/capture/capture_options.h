// The capture tool's command line: what to render, at which frame rate, and where to put it.
#pragma once

#include <optional>
#include <string>
#include <vector>

struct CaptureOptions {
    int fps = 60;

    // --frames: PNG pictures of the frames on screen from..to (inclusive) and at the listed times.
    std::string framesDir;
    std::optional<double> from;
    std::optional<double> to;
    std::vector<double> at;

    std::string logFile;    // --log: one CSV row of state per frame
    std::string videoFile;  // --video: MP4 of the whole run, picture and sound
    std::string sheetFile;  // --sheet: contact sheet, one tile every `step` seconds
    double step = 1.0;
    std::string timesFile;  // --time-frames: every frame drawn in full, its drawing time in CSV

    std::optional<double> until;  // stop after the frames shown before this time
    std::string assetsDir;        // chdir here first (default: the current folder)
    bool privateDisplay = false;  // render on an X server of our own even when DISPLAY is set
    int screenWidth = 1280;       // --screen: that server's screen, and the frames' size
    int screenHeight = 720;
    bool quiet = false;           // no progress line
    bool help = false;
};

struct ParsedOptions {
    std::optional<CaptureOptions> options;  // empty when the command line is wrong
    std::string error;                      // why, in one line
};

ParsedOptions parseCaptureOptions(const std::vector<std::string>& args);

std::string captureUsage();

// The frame on screen at `seconds` after the music started: frame n is shown from n / fps on.
long frameAt(double seconds, int fps);

// How many frames are shown before `seconds`: frames 0 .. framesBefore - 1.
long framesBefore(double seconds, int fps);
