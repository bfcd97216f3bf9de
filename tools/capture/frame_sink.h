// Picture outputs: single frames as PNG files, and a contact sheet of the whole run.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "tools/capture/offline_timeline.h"

// PNG files of the frames on screen from `from` to `to` (inclusive, either end open) and at the
// listed moments, named frame-NNNNNN-SS.SSSs.png by frame number and time.
class PngFrames : public FrameConsumer {
public:
    PngFrames(const std::string& dir, int fps, std::optional<double> from, std::optional<double> to,
              const std::vector<double>& at);  // throws CaptureError

    bool wantsPicture(long frame) const override;
    void consume(const FrameRecord& record, const Picture* picture) override;
    // Throws when a moment asked for was never shown (the run ended before it).
    void finish(long frames) override;

    long written() const { return written_; }

    static std::string fileName(long frame, int fps);

private:
    std::string dir_;
    int fps_;
    bool range_ = false;
    long first_ = 0;
    long last_ = -1;  // -1: to the end
    std::optional<double> from_;
    std::set<long> moments_;
    std::vector<double> momentTimes_;
    long written_ = 0;
};

// One PNG with a grid of downscaled frames, one every `step` seconds from the start, each
// labelled with its time and scene.
class ContactSheet : public FrameConsumer {
public:
    static constexpr int kColumns = 8;
    static constexpr int kTileWidth = 160;
    static constexpr int kTileHeight = 90;
    static constexpr int kLabelHeight = 16;

    ContactSheet(const std::string& path, int fps, double step);  // throws CaptureError

    bool wantsPicture(long frame) const override;
    void consume(const FrameRecord& record, const Picture* picture) override;
    void finish(long frames) override;  // composes and writes the sheet

    std::size_t tiles() const { return tiles_.size(); }

private:
    struct Tile {
        double time;
        int sceneIndex;
        std::vector<std::uint8_t> rgba;  // kTileWidth x kTileHeight
    };

    std::string path_;
    int fps_;
    double step_;
    std::vector<Tile> tiles_;
};
