// Per-frame drawing times: every frame drawn in full, nothing read back, and the time the main
// loop spent on it (clear, scene, display) written out, with a summary per scene. The processor
// time beside it is what a busy machine cannot inflate.
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "tools/capture/offline_timeline.h"

// Median, 99th percentile (nearest rank) and worst of a set of durations, in milliseconds.
struct TimeSummary {
    std::size_t count = 0;
    double median = 0.0;
    double p99 = 0.0;
    double worst = 0.0;
};
TimeSummary summarise(std::vector<double> milliseconds);

class FrameTimes : public FrameConsumer {
public:
    explicit FrameTimes(const std::string& path);  // throws CaptureError

    bool wantsDrawing() const override { return true; }
    void consume(const FrameRecord& record, const Picture* picture) override;
    void frameShown(long frame, std::chrono::nanoseconds wall,
                    std::chrono::nanoseconds cpu) override;
    // Writes the CSV (frame,time,sceneIndex,drawMs,cpuMs) and prints a summary per scene on
    // standard error.
    void finish(long frames) override;

    // Indexed by scene 1..9 (entries for scenes never shown have count 0): wall-clock drawing
    // times, or processor times.
    std::vector<TimeSummary> perScene(bool cpu = false) const;

private:
    struct Row {
        long frame;
        double time;
        int sceneIndex;
        double ms = -1.0;  // not shown yet
        double cpuMs = 0.0;
    };
    std::string path_;
    std::vector<Row> rows_;
};
