// The CSV state log: one row per frame with the driver's timing, the beat and every scene's
// phase machine, so a whole run can be checked without looking at a single picture.
#pragma once

#include <fstream>
#include <string>
#include <vector>

#include "tools/capture/offline_timeline.h"

class StateLog : public FrameConsumer {
public:
    explicit StateLog(const std::string& path);  // throws CaptureError

    void consume(const FrameRecord& record, const Picture* picture) override;
    void finish(long frames) override;

    // The header's column names, in order.
    static std::vector<std::string> columns();

private:
    std::string path_;
    std::ofstream out_;
};
