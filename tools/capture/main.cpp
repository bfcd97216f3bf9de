// zandar-capture: runs the demo's own driver and scenes on a fixed timeline instead of the wall
// clock and writes what it shows: PNG frames, a CSV state log, an MP4 with sound, a contact
// sheet. `zandar-capture --help` lists the options; docs/CAPTURE.md describes them.
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "driver/demo.h"
#include "driver/demo_globals.h"
#include "driver/x_display.h"
#include "platform/bass.h"
#include "tools/capture/capture_error.h"
#include "tools/capture/capture_options.h"
#include "tools/capture/frame_sink.h"
#include "tools/capture/frame_times.h"
#include "tools/capture/module_clock.h"
#include "tools/capture/offline_timeline.h"
#include "tools/capture/private_display.h"
#include "tools/capture/progress.h"
#include "tools/capture/state_log.h"
#include "tools/capture/video_encoder.h"

namespace fs = std::filesystem;

namespace {

constexpr int kExitFailed = 1;
constexpr int kExitUsage = 2;
constexpr int kExitInterrupted = 130;

// The scenes' lengths add up to 30.5 time units (122 s); only the progress bar relies on it.
constexpr double kDemoLengthInTimeUnits = 30.5;

volatile std::sig_atomic_t interrupted = 0;

extern "C" void onInterrupt(int) {
    interrupted = 1;  // the timeline stops at the next frame; a second signal ends at once
}

// The X server of our own, when there is no display or --xvfb asks for one. It is stopped after
// every static object is gone: the window library closes its display connection only then.
PrivateDisplay* privateDisplay = nullptr;

void stopPrivateDisplay() {
    delete privateDisplay;
    privateDisplay = nullptr;
}

double cpuSeconds(int who) {
    rusage usage = {};
    getrusage(who, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
}

void complain(const std::string& message) {
    std::fprintf(stderr, "zandar-capture: %s\n", message.c_str());
}

// The models are what the demo cannot play without; any image may be missing.
bool holdsAssets(const fs::path& dir) {
    std::error_code error;
    return fs::is_directory(dir / "models", error);
}

// The asset folder: --assets, else the current folder when it holds the assets, else the
// folder this build generated them into.
fs::path findAssets(const std::string& given) {
    if (!given.empty()) {
        if (!holdsAssets(given)) {
            throw CaptureError(given +
                               " is not the demo's asset folder (no models/ in it)");
        }
        return fs::absolute(given);
    }
    if (holdsAssets(fs::current_path())) {
        return fs::current_path();
    }
#ifdef ZANDAR_ASSET_DIR
    if (holdsAssets(ZANDAR_ASSET_DIR)) {
        return ZANDAR_ASSET_DIR;
    }
#endif
    throw CaptureError("no demo assets here; run from the asset folder or give --assets DIR");
}

std::string absolute(const std::string& path) {
    return path.empty() ? path : fs::absolute(path).string();
}

}  // namespace

int main(int argc, char** argv) {
    ParsedOptions parsed = parseCaptureOptions(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.options) {
        complain(parsed.error);
        std::fprintf(stderr, "Try 'zandar-capture --help'.\n");
        return kExitUsage;
    }
    CaptureOptions options = *parsed.options;
    if (options.help) {
        std::fputs(captureUsage().c_str(), stdout);
        return 0;
    }
    // Outputs are named from where the command was given, before moving to the assets.
    options.framesDir = absolute(options.framesDir);
    options.logFile = absolute(options.logFile);
    options.videoFile = absolute(options.videoFile);
    options.sheetFile = absolute(options.sheetFile);
    options.timesFile = absolute(options.timesFile);

    std::vector<std::unique_ptr<FrameConsumer>> outputs;
    PngFrames* frames = nullptr;
    ContactSheet* sheet = nullptr;
    try {
        fs::current_path(findAssets(options.assetsDir));
        const char* current = std::getenv("DISPLAY");
        if (options.privateDisplay || !current || !*current) {
            privateDisplay = new PrivateDisplay(options.screenWidth, options.screenHeight);
            std::atexit(stopPrivateDisplay);
        }
        if (!holdDisplay()) {
            throw CaptureError(std::string("cannot open the X display \"") +
                               std::getenv("DISPLAY") +
                               "\"; unset DISPLAY or give --xvfb to render on a private one");
        }
        if (!options.logFile.empty()) {
            outputs.push_back(std::make_unique<StateLog>(options.logFile));
        }
        if (!options.framesDir.empty()) {
            auto png = std::make_unique<PngFrames>(options.framesDir, options.fps, options.from,
                                                   options.to, options.at);
            frames = png.get();
            outputs.push_back(std::move(png));
        }
        if (!options.sheetFile.empty()) {
            auto contact =
                std::make_unique<ContactSheet>(options.sheetFile, options.fps, options.step);
            sheet = contact.get();
            outputs.push_back(std::move(contact));
        }
        if (!options.timesFile.empty()) {
            outputs.push_back(std::make_unique<FrameTimes>(options.timesFile));
        }
        if (!options.videoFile.empty()) {
            auto video =
                std::make_unique<VideoEncoder>(options.videoFile, options.fps, "desert.mp3");
            if (!video->streamProblem().empty()) {
                complain(video->streamProblem() + "; the video has the module alone");
            }
            outputs.push_back(std::move(video));
        }
    } catch (const std::exception& e) {
        complain(e.what());
        return kExitFailed;
    }

    ModuleClock module("arabish.xm");
    if (!module.loaded()) {
        complain(module.error() + "; the beat stays off, as in the live demo");
    }

    struct sigaction action = {};
    action.sa_handler = onInterrupt;
    action.sa_flags = SA_RESETHAND;
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);  // a failed encoder shows as a write error, not a kill

    const long limit = options.until ? framesBefore(*options.until, options.fps) : -1;
    const long expected =
        limit >= 0 ? limit
                   : static_cast<long>(kDemoLengthInTimeUnits * demo.timeUnit * options.fps);
    Progress progress(options.fps, expected);
    std::vector<FrameConsumer*> consumers;
    for (auto& output : outputs) {
        consumers.push_back(output.get());
    }
    OfflineTimeline timeline(options.fps, module, consumers, limit,
                             options.quiet ? nullptr : &progress, &interrupted,
                             sf::Vector2u(static_cast<unsigned>(options.screenWidth),
                                          static_cast<unsigned>(options.screenHeight)));

    const auto started = std::chrono::steady_clock::now();
    bassDisableOutput();  // the live layer plays nothing; the capture renders the sound itself
    runDemo(timeline);
    std::fflush(stdout);

    const OfflineTimeline::Stop stop = timeline.stopReason();
    const bool endedByItself = stop == OfflineTimeline::Stop::None && demo.sceneIndex == 10;
    const bool complete = endedByItself || stop == OfflineTimeline::Stop::Limit;
    if (!options.quiet) {
        progress.finish(complete);
    }
    int status = 0;
    if (stop == OfflineTimeline::Stop::Failed) {
        complain(timeline.error());
        status = kExitFailed;
    } else if (stop == OfflineTimeline::Stop::Interrupted) {
        complain("interrupted; keeping what was captured");
        status = kExitInterrupted;
    } else if (!complete) {
        complain("the window was closed before the demo ended");
        status = kExitFailed;
    }

    // Every output is completed, even after a failure elsewhere: nothing captured is lost.
    const long captured = timeline.framesCaptured();
    for (auto& output : outputs) {
        try {
            output->finish(captured);
        } catch (const std::exception& e) {
            complain(e.what());
            status = status ? status : kExitFailed;
        }
    }

    const double took =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    // Processor time too: on a shared machine it says more about the cost than the clock does.
    std::fprintf(stderr,
                 "zandar-capture: %ld frames, %.3f s at %d fps, in %.1f s (CPU: %.1f s drawing and "
                 "capturing, %.1f s encoding)\n",
                 captured, static_cast<double>(captured) / options.fps, options.fps, took,
                 cpuSeconds(RUSAGE_SELF), cpuSeconds(RUSAGE_CHILDREN));
    // What is there to look at, listing only outputs that exist.
    auto wrote = [](const char* what, const std::string& path, const std::string& more) {
        std::error_code error;
        if (!path.empty() && fs::exists(path, error)) {
            std::fprintf(stderr, "  %-6s %s%s\n", what, path.c_str(), more.c_str());
        }
    };
    wrote("log", options.logFile, "");
    wrote("frames", options.framesDir,
          frames ? " (" + std::to_string(frames->written()) + " PNG)" : "");
    wrote("sheet", options.sheetFile,
          sheet ? " (" + std::to_string(sheet->tiles()) + " frames)" : "");
    wrote("video", options.videoFile, "");
    wrote("times", options.timesFile, "");
    return status;
}
