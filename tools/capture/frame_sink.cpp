#include "tools/capture/frame_sink.h"

#include <unistd.h>

#include <SFML/Graphics.hpp>
#include <cmath>
#include <cstdio>
#include <filesystem>

#include "tools/capture/capture_error.h"
#include "tools/capture/capture_options.h"
#include "tools/capture/output_path.h"

namespace fs = std::filesystem;

namespace {

sf::Image toImage(const Picture& picture) {
    std::vector<std::uint8_t> rgba(static_cast<std::size_t>(picture.width) * picture.height * 4);
    for (std::size_t i = 0, j = 0; i < picture.rgb.size(); i += 3, j += 4) {
        rgba[j] = picture.rgb[i];
        rgba[j + 1] = picture.rgb[i + 1];
        rgba[j + 2] = picture.rgb[i + 2];
        rgba[j + 3] = 255;  // what the screen shows is opaque, whatever the buffer's alpha
    }
    sf::Image image;
    image.create(static_cast<unsigned>(picture.width), static_cast<unsigned>(picture.height),
                 rgba.data());
    return image;
}

std::string timeText(double seconds, const char* format) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, seconds);
    return buffer;
}

// The first of the usual DejaVu faces that is installed.
bool loadLabelFont(sf::Font& font) {
    for (const char* path : {"/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf",
                             "/usr/share/fonts/truetype/dejavu/DejaVuSansMono.ttf",
                             "/usr/share/fonts/truetype/freefont/FreeSans.ttf"}) {
        if (fs::exists(path) && font.loadFromFile(path)) {
            return true;
        }
    }
    return false;
}

}  // namespace

// --- PNG frames -----------------------------------------------------------------------------

PngFrames::PngFrames(const std::string& dir, int fps, std::optional<double> from,
                     std::optional<double> to, const std::vector<double>& at)
    : dir_(dir), fps_(fps), from_(from) {
    std::error_code error;
    fs::create_directories(dir_, error);
    if (error || !fs::is_directory(dir_) || access(dir_.c_str(), W_OK) != 0) {
        throw CaptureError("cannot write frames into " + dir_ +
                           (error ? ": " + error.message() : std::string()));
    }
    range_ = from.has_value() || to.has_value();
    if (range_) {
        first_ = from ? frameAt(*from, fps) : 0;
        last_ = to ? frameAt(*to, fps) : -1;
    }
    for (double t : at) {
        moments_.insert(frameAt(t, fps));
        momentTimes_.push_back(t);
    }
}

std::string PngFrames::fileName(long frame, int fps) {
    char name[64];
    std::snprintf(name, sizeof name, "frame-%06ld-%.3fs.png", frame,
                  static_cast<double>(frame) / fps);
    return name;
}

bool PngFrames::wantsPicture(long frame) const {
    if (range_ && frame >= first_ && (last_ < 0 || frame <= last_)) {
        return true;
    }
    return moments_.count(frame) != 0;
}

void PngFrames::consume(const FrameRecord& record, const Picture* picture) {
    if (!picture || !wantsPicture(record.frame)) {
        return;
    }
    const std::string path = (fs::path(dir_) / fileName(record.frame, fps_)).string();
    if (!toImage(*picture).saveToFile(path)) {
        throw CaptureError("cannot write " + path);
    }
    ++written_;
}

void PngFrames::finish(long frames) {
    std::string missing;
    for (double t : momentTimes_) {
        if (frameAt(t, fps_) >= frames) {
            missing += (missing.empty() ? "" : ", ") + timeText(t, "%g");
        }
    }
    if (range_ && first_ >= frames) {
        missing += (missing.empty() ? "" : ", ") + timeText(*from_, "%g") + " on";
    }
    if (!missing.empty()) {
        throw CaptureError("no frames at " + missing + " s: the run ended after " +
                           timeText(static_cast<double>(frames) / fps_, "%.3f") + " s");
    }
}

// --- Contact sheet --------------------------------------------------------------------------

ContactSheet::ContactSheet(const std::string& path, int fps, double step)
    : path_(path), fps_(fps), step_(step) {
    checkWritable(path_);
}

bool ContactSheet::wantsPicture(long frame) const {
    // Tile k shows the frame on screen at k * step.
    const double perTile = step_ * fps_;
    const long k = static_cast<long>(std::floor(static_cast<double>(frame) / perTile));
    for (long i = std::max(0L, k - 1); i <= k + 1; ++i) {
        if (frameAt(static_cast<double>(i) * step_, fps_) == frame) {
            return true;
        }
    }
    return false;
}

void ContactSheet::consume(const FrameRecord& record, const Picture* picture) {
    if (!picture || !wantsPicture(record.frame)) {
        return;
    }
    // A box filter: each tile pixel is the mean of the block of frame pixels it covers.
    Tile tile{record.time, record.sceneIndex, {}};
    tile.rgba.resize(static_cast<std::size_t>(kTileWidth) * kTileHeight * 4);
    const int bw = picture->width / kTileWidth, bh = picture->height / kTileHeight;
    for (int ty = 0; ty < kTileHeight; ++ty) {
        for (int tx = 0; tx < kTileWidth; ++tx) {
            unsigned sum[3] = {0, 0, 0};
            for (int y = ty * bh; y < (ty + 1) * bh; ++y) {
                const std::uint8_t* p =
                    picture->rgb.data() + (static_cast<std::size_t>(y) * picture->width +
                                           static_cast<std::size_t>(tx) * bw) *
                                              3;
                for (int x = 0; x < bw; ++x, p += 3) {
                    sum[0] += p[0];
                    sum[1] += p[1];
                    sum[2] += p[2];
                }
            }
            const unsigned n = static_cast<unsigned>(bw * bh);
            std::uint8_t* out =
                tile.rgba.data() + (static_cast<std::size_t>(ty) * kTileWidth + tx) * 4;
            for (int c = 0; c < 3; ++c) {
                out[c] = static_cast<std::uint8_t>((sum[c] + n / 2) / n);
            }
            out[3] = 255;
        }
    }
    tiles_.push_back(std::move(tile));
}

void ContactSheet::finish(long) {
    if (tiles_.empty()) {
        throw CaptureError("no frames for the contact sheet " + path_);
    }
    const unsigned cellHeight = kTileHeight + kLabelHeight;
    const unsigned rows = static_cast<unsigned>((tiles_.size() + kColumns - 1) / kColumns);
    sf::Image sheet;
    sheet.create(kColumns * kTileWidth, rows * cellHeight, sf::Color(24, 24, 24));

    sf::Font font;
    const bool labelled = loadLabelFont(font);
    if (!labelled) {
        std::fprintf(stderr, "zandar-capture: no DejaVu font found; the sheet has no labels\n");
    }
    sf::RenderTexture label;
    if (labelled && !label.create(kTileWidth, kLabelHeight)) {
        throw CaptureError("cannot draw the sheet's labels (no OpenGL render texture)");
    }
    for (std::size_t i = 0; i < tiles_.size(); ++i) {
        const Tile& tile = tiles_[i];
        const unsigned x = static_cast<unsigned>(i % kColumns) * kTileWidth;
        const unsigned y = static_cast<unsigned>(i / kColumns) * cellHeight;
        sf::Image image;
        image.create(kTileWidth, kTileHeight, tile.rgba.data());
        sheet.copy(image, x, y);
        if (labelled) {
            label.clear(sf::Color(24, 24, 24));
            sf::Text text(
                timeText(tile.time, "%.2f s") + "   scene " + std::to_string(tile.sceneIndex), font,
                11);
            text.setFillColor(sf::Color(230, 230, 230));
            text.setPosition(4.0f, 1.0f);
            label.draw(text);
            label.display();
            sheet.copy(label.getTexture().copyToImage(), x, y + kTileHeight);
        }
    }
    if (!sheet.saveToFile(path_)) {
        throw CaptureError("cannot write " + path_);
    }
}
