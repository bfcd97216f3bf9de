#include "tools/capture/capture_options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <sstream>

namespace {

constexpr int kMaxFps = 1000;

bool parseSeconds(const std::string& text, double& value) {
    if (text.empty()) {
        return false;
    }
    const char* begin = text.c_str();
    char* end = nullptr;
    errno = 0;
    value = std::strtod(begin, &end);
    return errno == 0 && end == begin + text.size() && std::isfinite(value) && value >= 0.0;
}

bool parseFps(const std::string& text, int& value) {
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos ||
        text.size() > 4) {
        return false;
    }
    value = std::atoi(text.c_str());
    return value >= 1 && value <= kMaxFps;
}

bool parseTimeList(const std::string& text, std::vector<double>& values) {
    std::stringstream in(text);
    std::string item;
    while (std::getline(in, item, ',')) {
        double seconds = 0.0;
        if (!parseSeconds(item, seconds)) {
            return false;
        }
        values.push_back(seconds);
    }
    // A trailing comma leaves an empty item that getline does not return.
    return !values.empty() && text.back() != ',';
}

// "WIDTHxHEIGHT", each side 16 to 8192 pixels.
bool parseScreen(const std::string& text, int& width, int& height) {
    const std::size_t x = text.find('x');
    auto side = [](const std::string& digits, int& value) {
        if (digits.empty() || digits.size() > 4 ||
            digits.find_first_not_of("0123456789") != std::string::npos) {
            return false;
        }
        value = std::atoi(digits.c_str());
        return value >= 16 && value <= 8192;
    };
    return x != std::string::npos && side(text.substr(0, x), width) &&
           side(text.substr(x + 1), height);
}

}  // namespace

long frameAt(double seconds, int fps) {
    // The small allowance keeps 0.1 s at 60 fps on frame 6 despite 0.1 * 60 = 5.9999...
    return static_cast<long>(std::floor(seconds * fps + 1e-6));
}

long framesBefore(double seconds, int fps) {
    return static_cast<long>(std::ceil(seconds * fps - 1e-6));
}

ParsedOptions parseCaptureOptions(const std::vector<std::string>& args) {
    ParsedOptions result;
    CaptureOptions o;
    bool stepGiven = false;
    auto fail = [&result](const std::string& why) {
        result.error = why;
        return result;
    };

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        // Every option but the switches takes the next argument as its value.
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                return false;
            }
            out = args[++i];
            return true;
        };
        std::string v;
        if (arg == "-h" || arg == "--help") {
            o.help = true;
        } else if (arg == "--xvfb") {
            o.privateDisplay = true;
        } else if (arg == "-q" || arg == "--quiet") {
            o.quiet = true;
        } else if (arg == "--fps" || arg == "--frames" || arg == "--from" || arg == "--to" ||
                   arg == "--at" || arg == "--log" || arg == "--video" || arg == "--sheet" ||
                   arg == "--step" || arg == "--until" || arg == "--assets" ||
                   arg == "--time-frames" || arg == "--screen") {
            if (!value(v)) {
                return fail(arg + " needs a value");
            }
            double seconds = 0.0;
            if (arg == "--fps") {
                if (!parseFps(v, o.fps)) {
                    return fail("--fps takes a whole number from 1 to 1000, not '" + v + "'");
                }
            } else if (arg == "--from" || arg == "--to" || arg == "--until" || arg == "--step") {
                if (!parseSeconds(v, seconds)) {
                    return fail(arg + " takes seconds (a number, 0 or more), not '" + v + "'");
                }
                if (arg == "--from")
                    o.from = seconds;
                if (arg == "--to")
                    o.to = seconds;
                if (arg == "--until")
                    o.until = seconds;
                if (arg == "--step") {
                    o.step = seconds;
                    stepGiven = true;
                }
            } else if (arg == "--screen") {
                if (!parseScreen(v, o.screenWidth, o.screenHeight)) {
                    return fail("--screen takes WIDTHxHEIGHT in pixels, e.g. 1920x1080, not '" +
                                v + "'");
                }
                o.privateDisplay = true;
            } else if (arg == "--at") {
                if (!parseTimeList(v, o.at)) {
                    return fail("--at takes seconds separated by commas, e.g. 12,28.5, not '" + v +
                                "'");
                }
            } else if (v.empty()) {
                return fail(arg + " needs a non-empty path");
            } else if (arg == "--frames") {
                o.framesDir = v;
            } else if (arg == "--log") {
                o.logFile = v;
            } else if (arg == "--video") {
                o.videoFile = v;
            } else if (arg == "--sheet") {
                o.sheetFile = v;
            } else if (arg == "--time-frames") {
                o.timesFile = v;
            } else {
                o.assetsDir = v;
            }
        } else {
            return fail("unknown argument '" + arg + "'");
        }
    }

    if (o.help) {
        result.options = o;
        return result;
    }
    const bool picks = o.from || o.to || !o.at.empty();
    if (o.framesDir.empty() && picks) {
        return fail("--from, --to and --at choose frames for --frames DIR, which is missing");
    }
    if (!o.framesDir.empty() && !picks) {
        return fail("--frames DIR needs --from/--to SECONDS or --at T1,T2,...");
    }
    if (o.from && o.to && *o.from > *o.to) {
        return fail("--from is after --to");
    }
    if (stepGiven && o.sheetFile.empty()) {
        return fail("--step sets the spacing of --sheet FILE, which is missing");
    }
    if (o.step * o.fps < 1.0 - 1e-9) {
        return fail("--step is shorter than one frame");
    }
    if (o.until && framesBefore(*o.until, o.fps) < 1) {
        return fail("--until " + std::to_string(*o.until) + " leaves no frame to capture");
    }
    if ((o.screenWidth != 1280 || o.screenHeight != 720) &&
        (!o.videoFile.empty() || !o.sheetFile.empty())) {
        return fail("--video and --sheet are made at 1280x720; --screen is for --frames, --log "
                    "and --time-frames");
    }
    if (o.framesDir.empty() && o.logFile.empty() && o.videoFile.empty() && o.sheetFile.empty() &&
        o.timesFile.empty()) {
        return fail("nothing to do: give --log, --frames, --video, --sheet or --time-frames");
    }
    result.options = o;
    return result;
}

std::string captureUsage() {
    return R"(Usage: zandar-capture [OPTION]...
Renders the demo offline at a fixed frame rate, frame-exact, with the module's beat taken from
an offline rendering of the music in step with the frames. Outputs, in any combination:

  --frames DIR        PNG pictures of chosen frames, named frame-NNNNNN-SS.SSSs.png
      --from SECONDS  first time to save (default: the start)
      --to SECONDS    last time to save (default: the end)
      --at T1,T2,...  single moments to save (with or instead of --from/--to)
  --log FILE          CSV state log, one row per frame: frame,time,sceneIndex,frameTime,
                      beatPulse,row, then every scene's phase and timers
  --video FILE        MP4 of the run: H.264 picture and AAC sound (the MP3 stream and the
                      module mixed as they play together); needs ffmpeg
  --sheet FILE        contact sheet PNG: 8 columns of 160x90 frames labelled with time and scene
      --step SECONDS  spacing of the sheet's frames (default 1)
  --time-frames FILE  draw every frame in full without reading it back, and write how long
                      each took (clear, scene and display) as CSV: frame,time,sceneIndex,drawMs,
                      cpuMs (processor time of the whole process meanwhile); a summary per scene
                      (median, 99th percentile, worst) goes to standard error

Other options:
  --fps N             frames per second, 1 to 1000 (default 60); every frame lasts 1/N s
  --until SECONDS     stop early: capture only the frames shown before this time
  --assets DIR        the demo's asset folder (default: the current folder if it holds the
                      assets, else the build's own asset folder)
  --xvfb              render on a private X server even when DISPLAY is set (one is started
                      anyway when DISPLAY is unset)
  --screen WxH        render on a private X server with a screen of that size, as such a
                      display shows the demo: the picture scaled to fit, black bars beside it;
                      frames are read back at that size (not with --video or --sheet)
  -q, --quiet         no progress line on standard error
  -h, --help          this text

Times: frame n is on screen from n/N seconds after the music started; a time picks the frame on
screen at that moment. Frames that no output needs are clipped to one pixel while the scenes run
unchanged, so --log alone goes through the whole demo quickly.

Exit status: 0 when the demo ended by itself or --until was reached, 1 when an output failed,
a requested frame was never shown or the window was closed, 2 for a wrong command line,
130 when interrupted (the outputs then hold what was captured).
)";
}
