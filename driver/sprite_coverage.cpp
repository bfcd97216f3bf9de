#include "driver/sprite_coverage.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

namespace {

// More draws than this cost more in set-up than the pixels they spare.
constexpr std::size_t kMaxRects = 48;

// The first pixel whose centre lies at or beyond a window coordinate.
int firstPixelFrom(double coordinate, int limit) {
    const double pixel = std::ceil(coordinate - 0.5);
    return static_cast<int>(std::clamp(pixel, 0.0, static_cast<double>(limit)));
}

}  // namespace

Coverage findCoverage(const sf::Image& image, int bandRows, int minGap) {
    Coverage coverage;
    const sf::Vector2u size = image.getSize();
    const sf::Uint8* pixels = image.getPixelsPtr();
    if (!pixels || size.x == 0 || size.y == 0 || bandRows <= 0) {
        return coverage;
    }
    coverage.width = static_cast<int>(size.x);
    coverage.height = static_cast<int>(size.y);
    const int width = coverage.width;
    const int bands = (coverage.height + bandRows - 1) / bandRows;

    // Which columns hold alpha, band by band.
    std::vector<std::uint8_t> columns(static_cast<std::size_t>(bands) * width, 0);
    for (int y = 0; y < coverage.height; ++y) {
        std::uint8_t* band = &columns[static_cast<std::size_t>(y / bandRows) * width];
        const sf::Uint8* alpha = pixels + static_cast<std::size_t>(y) * width * 4 + 3;
        for (int x = 0; x < width; ++x) {
            band[x] |= alpha[static_cast<std::size_t>(x) * 4] != 0;
        }
    }

    long long covered = 0;
    std::vector<std::uint8_t> reach(width);
    for (int b = 0; b < bands; ++b) {
        // A filtered sample near the band's edge reads the neighbouring bands' rows too.
        for (int x = 0; x < width; ++x) {
            const std::size_t at = static_cast<std::size_t>(b) * width + x;
            reach[x] = columns[at] | (b > 0 ? columns[at - width] : 0) |
                       (b + 1 < bands ? columns[at + width] : 0);
        }
        CoverageBand band;
        band.top = b * bandRows;
        band.bottom = std::min(coverage.height, band.top + bandRows);
        for (int x = 0; x < width; ++x) {
            if (!reach[x]) {
                continue;
            }
            if (!band.runs.empty() && x - band.runs.back().end < minGap) {
                band.runs.back().end = x + 1;
            } else {
                band.runs.push_back({x, x + 1});
            }
        }
        for (const TexelRun& run : band.runs) {
            covered += static_cast<long long>(run.end - run.begin) * (band.bottom - band.top);
        }
        coverage.bands.push_back(std::move(band));
    }
    const long long area = static_cast<long long>(width) * coverage.height;
    coverage.worthIt = covered * 100 < area * 85;
    return coverage;
}

bool viewIsWindowPixels(const sf::RenderWindow& window) {
    const sf::View& view = window.getView();
    const sf::Vector2f size(static_cast<float>(window.getSize().x),
                            static_cast<float>(window.getSize().y));
    return view.getViewport() == sf::FloatRect(0.0f, 0.0f, 1.0f, 1.0f) &&
           view.getRotation() == 0.0f && view.getSize() == size &&
           view.getCenter() == size / 2.0f;
}

bool coverageRects(const Coverage& coverage, const sf::Sprite& sprite,
                   const sf::RenderWindow& window, std::vector<sf::IntRect>& rects) {
    rects.clear();
    const sf::Texture* texture = sprite.getTexture();
    if (!texture || !coverage.worthIt || coverage.bands.empty()) {
        return false;
    }
    // The whole picture, mirrored or not.
    const sf::IntRect area = sprite.getTextureRect();
    if (std::abs(area.width) != coverage.width || std::abs(area.height) != coverage.height ||
        area.left != (area.width > 0 ? 0 : coverage.width) ||
        area.top != (area.height > 0 ? 0 : coverage.height) ||
        static_cast<int>(texture->getSize().x) != coverage.width ||
        static_cast<int>(texture->getSize().y) != coverage.height) {
        return false;
    }
    if (!viewIsWindowPixels(window)) {
        return false;
    }
    // Scaled and moved, perhaps mirrored, never turned.
    const float* m = sprite.getTransform().getMatrix();
    if (m[1] != 0.0f || m[4] != 0.0f || m[0] == 0.0f || m[5] == 0.0f) {
        return false;
    }
    const double mirrorX = area.width > 0 ? 1.0 : -1.0;
    const double mirrorY = area.height > 0 ? 1.0 : -1.0;
    auto windowX = [&](double u) { return m[0] * ((u - area.left) * mirrorX) + m[12]; };
    auto windowY = [&](double v) { return m[5] * ((v - area.top) * mirrorY) + m[13]; };
    const sf::Vector2u windowSize = window.getSize();
    const int windowWidth = static_cast<int>(windowSize.x);
    const int windowHeight = static_cast<int>(windowSize.y);

    // Each band's pixel rows run from its top edge's first pixel to the next band's, so the
    // bands share their edges and no pixel row falls into two of them.
    std::vector<int> edges;
    edges.reserve(coverage.bands.size() + 1);
    for (const CoverageBand& band : coverage.bands) {
        edges.push_back(firstPixelFrom(windowY(band.top), windowHeight));
    }
    edges.push_back(firstPixelFrom(windowY(coverage.bands.back().bottom), windowHeight));
    // The picture's own top and bottom edges get a pixel more, against the rasteriser rounding
    // the other way.
    const int outward = edges.front() <= edges.back() ? 1 : -1;
    edges.front() = std::clamp(edges.front() - outward, 0, windowHeight);
    edges.back() = std::clamp(edges.back() + outward, 0, windowHeight);

    std::vector<sf::IntRect> row;
    for (std::size_t b = 0; b < coverage.bands.size(); ++b) {
        const int top = std::min(edges[b], edges[b + 1]);
        const int bottom = std::max(edges[b], edges[b + 1]);
        if (top == bottom) {
            continue;
        }
        row.clear();
        for (const TexelRun& run : coverage.bands[b].runs) {
            // A filtered sample reaches half a texel beyond its own; one more texel and one
            // more pixel on each side leave room for the rasteriser's rounding.
            const double a = windowX(run.begin - 1.5);
            const double z = windowX(run.end + 1.5);
            const int left = std::max(0, firstPixelFrom(std::min(a, z), windowWidth) - 1);
            const int right = std::min(windowWidth, firstPixelFrom(std::max(a, z), windowWidth) + 1);
            if (left >= right) {
                continue;
            }
            row.push_back({left, top, right - left, bottom - top});
        }
        // Margins may make neighbouring runs meet (and a mirrored picture lists them right to
        // left): join what touches.
        std::sort(row.begin(), row.end(),
                  [](const sf::IntRect& a, const sf::IntRect& b) { return a.left < b.left; });
        std::size_t kept = 0;
        for (std::size_t i = 0; i < row.size(); ++i) {
            if (kept > 0 && row[i].left <= row[kept - 1].left + row[kept - 1].width) {
                sf::IntRect& previous = row[kept - 1];
                previous.width =
                    std::max(previous.left + previous.width, row[i].left + row[i].width) -
                    previous.left;
            } else {
                row[kept++] = row[i];
            }
        }
        row.resize(kept);
        for (const sf::IntRect& r : row) {
            // A band with the same columns as the one just above continues its rectangle.
            bool joined = false;
            for (sf::IntRect& earlier : rects) {
                if (earlier.left == r.left && earlier.width == r.width) {
                    if (earlier.top + earlier.height == r.top) {
                        earlier.height += r.height;
                        joined = true;
                        break;
                    }
                    if (r.top + r.height == earlier.top) {
                        earlier.top = r.top;
                        earlier.height += r.height;
                        joined = true;
                        break;
                    }
                }
            }
            if (!joined) {
                rects.push_back(r);
            }
        }
    }
    if (rects.size() > kMaxRects) {
        rects.clear();
        return false;
    }
    return true;
}
