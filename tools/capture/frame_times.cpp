#include "tools/capture/frame_times.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>

#include "tools/capture/capture_error.h"

TimeSummary summarise(std::vector<double> ms) {
    TimeSummary s;
    s.count = ms.size();
    if (ms.empty()) {
        return s;
    }
    std::sort(ms.begin(), ms.end());
    const std::size_t n = ms.size();
    s.median = n % 2 ? ms[n / 2] : (ms[n / 2 - 1] + ms[n / 2]) / 2.0;
    // Nearest rank: the smallest value that at least 99 % of the frames do not exceed.
    const auto rank = static_cast<std::size_t>(std::ceil(0.99 * static_cast<double>(n)));
    s.p99 = ms[std::max<std::size_t>(rank, 1) - 1];
    s.worst = ms.back();
    return s;
}

FrameTimes::FrameTimes(const std::string& path) : path_(path) {
    // Fail before the run, not after two minutes of drawing.
    std::ofstream probe(path_);
    if (!probe) {
        throw CaptureError("cannot write " + path_ + ": " + std::strerror(errno));
    }
}

void FrameTimes::consume(const FrameRecord& record, const Picture*) {
    rows_.push_back(Row{record.frame, record.time, record.sceneIndex});
}

void FrameTimes::frameShown(long frame, std::chrono::nanoseconds wall,
                            std::chrono::nanoseconds cpu) {
    if (!rows_.empty() && rows_.back().frame == frame) {
        rows_.back().ms = std::chrono::duration<double, std::milli>(wall).count();
        rows_.back().cpuMs = std::chrono::duration<double, std::milli>(cpu).count();
    }
}

std::vector<TimeSummary> FrameTimes::perScene(bool cpu) const {
    std::vector<std::vector<double>> byScene(10);
    for (const Row& row : rows_) {
        if (row.ms >= 0.0 && row.sceneIndex >= 1 && row.sceneIndex <= 9) {
            byScene[static_cast<std::size_t>(row.sceneIndex)].push_back(cpu ? row.cpuMs : row.ms);
        }
    }
    std::vector<TimeSummary> result;
    for (auto& times : byScene) {
        result.push_back(summarise(times));
    }
    return result;
}

void FrameTimes::finish(long) {
    std::ofstream out(path_);
    out << "frame,time,sceneIndex,drawMs,cpuMs\n";
    char line[96];
    for (const Row& row : rows_) {
        if (row.ms < 0.0) {
            continue;  // the run stopped before this frame was shown
        }
        std::snprintf(line, sizeof line, "%ld,%.6f,%d,%.3f,%.3f\n", row.frame, row.time,
                      row.sceneIndex, row.ms, row.cpuMs);
        out << line;
    }
    out.close();
    if (!out) {
        throw CaptureError("cannot write " + path_ + ": " + std::strerror(errno));
    }
    std::fprintf(stderr,
                 "frame times (ms): scene  frames  median     p99   worst   CPU median  CPU p99\n");
    const std::vector<TimeSummary> scenes = perScene();
    const std::vector<TimeSummary> cpu = perScene(true);
    for (std::size_t scene = 1; scene < scenes.size(); ++scene) {
        const TimeSummary& s = scenes[scene];
        if (s.count > 0) {
            std::fprintf(
                stderr, "                  %5zu  %6zu  %6.2f  %6.2f  %6.2f   %10.2f  %7.2f\n",
                scene, s.count, s.median, s.p99, s.worst, cpu[scene].median, cpu[scene].p99);
        }
    }
}
