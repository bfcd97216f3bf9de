#include "tools/assetgen/canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

// The writer comes from Debian's prebuilt libstb: its JPEG encoder shifts negative numbers, which
// a sanitizer build would stop on if it were compiled here.
#include <stb_image_write.h>

namespace {

constexpr float kPi = 3.14159265358979f;

float clamp01(float v) {
    return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Colours and transforms

Color hexColor(uint32_t rgb, float alpha) {
    return {((rgb >> 16) & 0xFF) / 255.0f, ((rgb >> 8) & 0xFF) / 255.0f, (rgb & 0xFF) / 255.0f,
            alpha};
}

Color mix(const Color& a, const Color& b, float t) {
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t,
            a.a + (b.a - a.a) * t};
}

Color withAlpha(Color c, float alpha) {
    c.a = alpha;
    return c;
}

Color shade(Color c, float k) {
    return {clamp01(c.r * k), clamp01(c.g * k), clamp01(c.b * k), c.a};
}

Affine Affine::rotate(float radians, float cx, float cy) {
    float cs = std::cos(radians), sn = std::sin(radians);
    // Translate to the pivot, turn, translate back.
    return {cs, -sn, cx - cs * cx + sn * cy, sn, cs, cy - sn * cx - cs * cy};
}

Affine Affine::operator*(const Affine& q) const {
    return {a * q.a + b * q.d, a * q.b + b * q.e, a * q.c + b * q.f + c,
            d * q.a + e * q.d, d * q.b + e * q.e, d * q.c + e * q.f + f};
}

// ---------------------------------------------------------------------------------------------
// Paths

namespace {

// Signed area: positive for contours that turn clockwise on screen (y down).
float signedArea(const std::vector<Vec2>& pts) {
    double s = 0;
    for (size_t i = 0, n = pts.size(); i < n; ++i) {
        const Vec2& p = pts[i];
        const Vec2& q = pts[(i + 1) % n];
        s += static_cast<double>(p.x) * q.y - static_cast<double>(q.x) * p.y;
    }
    return static_cast<float>(s * 0.5);
}

// Orients a contour: clockwise on screen for solid parts, anticlockwise for holes.
void orient(std::vector<Vec2>& pts, bool hole) {
    float area = signedArea(pts);
    if ((area < 0) != hole)
        std::reverse(pts.begin(), pts.end());
}

int curveSteps(float length) {
    return std::clamp(static_cast<int>(std::sqrt(length) * 1.6f), 4, 200);
}

}  // namespace

std::vector<Vec2> cubicPoints(Vec2 p0, Vec2 p1, Vec2 p2, Vec2 p3, int steps) {
    std::vector<Vec2> out;
    out.reserve(steps + 1);
    for (int i = 0; i <= steps; ++i) {
        float t = static_cast<float>(i) / steps, u = 1 - t;
        float a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
        out.push_back(
            {a * p0.x + b * p1.x + c * p2.x + d * p3.x, a * p0.y + b * p1.y + c * p2.y + d * p3.y});
    }
    return out;
}

void Path::moveTo(float x, float y) {
    contours_.push_back({{x, y}});
    pen_ = {x, y};
}

void Path::lineTo(float x, float y) {
    if (contours_.empty())
        contours_.push_back({pen_});
    contours_.back().push_back({x, y});
    pen_ = {x, y};
}

void Path::quadTo(float cx, float cy, float x, float y) {
    Vec2 p0 = pen_;
    float len = std::hypot(cx - p0.x, cy - p0.y) + std::hypot(x - cx, y - cy);
    int n = curveSteps(len);
    for (int i = 1; i <= n; ++i) {
        float t = static_cast<float>(i) / n, u = 1 - t;
        lineTo(u * u * p0.x + 2 * u * t * cx + t * t * x,
               u * u * p0.y + 2 * u * t * cy + t * t * y);
    }
}

void Path::cubicTo(float c1x, float c1y, float c2x, float c2y, float x, float y) {
    Vec2 p0 = pen_;
    float len = std::hypot(c1x - p0.x, c1y - p0.y) + std::hypot(c2x - c1x, c2y - c1y) +
                std::hypot(x - c2x, y - c2y);
    auto pts = cubicPoints(p0, {c1x, c1y}, {c2x, c2y}, {x, y}, curveSteps(len));
    for (size_t i = 1; i < pts.size(); ++i) lineTo(pts[i].x, pts[i].y);
}

void Path::close() {
    if (!contours_.empty() && !contours_.back().empty())
        pen_ = contours_.back().front();
}

void Path::addPolygon(const std::vector<Vec2>& points, bool hole) {
    if (points.size() < 3)
        return;
    contours_.push_back(points);
    orient(contours_.back(), hole);
}

void Path::addRect(float x, float y, float w, float h, bool hole) {
    addPolygon({{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}}, hole);
}

void Path::addRoundedRect(float x, float y, float w, float h, float r, bool hole) {
    r = std::min({r, w / 2, h / 2});
    if (r <= 0) {
        addRect(x, y, w, h, hole);
        return;
    }
    std::vector<Vec2> pts;
    int n = curveSteps(r * 1.6f);
    const float cx[4] = {x + w - r, x + w - r, x + r, x + r};
    const float cy[4] = {y + r, y + h - r, y + h - r, y + r};
    for (int corner = 0; corner < 4; ++corner) {
        float start = -kPi / 2 + corner * kPi / 2;
        for (int i = 0; i <= n; ++i) {
            float t = start + (kPi / 2) * i / n;
            pts.push_back({cx[corner] + r * std::cos(t), cy[corner] + r * std::sin(t)});
        }
    }
    addPolygon(pts, hole);
}

void Path::addEllipse(float cx, float cy, float rx, float ry, bool hole) {
    if (rx <= 0 || ry <= 0)
        return;
    int n = std::clamp(static_cast<int>(std::sqrt(std::max(rx, ry)) * 10.0f), 16, 400);
    std::vector<Vec2> pts(n);
    for (int i = 0; i < n; ++i) {
        float t = 2 * kPi * i / n;
        pts[i] = {cx + rx * std::cos(t), cy + ry * std::sin(t)};
    }
    addPolygon(pts, hole);
}

void Path::addRing(float cx, float cy, float outer, float inner) {
    addEllipse(cx, cy, outer, outer);
    addEllipse(cx, cy, inner, inner, true);
}

void Path::addStroke(const std::vector<Vec2>& points, float width) {
    addTaperedStroke(points, width, width);
}

void Path::addTaperedStroke(const std::vector<Vec2>& pts, float w0, float w1) {
    if (pts.empty())
        return;
    size_t n = pts.size();
    // Cumulative length, so the width follows the distance along the line.
    std::vector<float> along(n, 0.0f);
    for (size_t i = 1; i < n; ++i) {
        along[i] = along[i - 1] + std::hypot(pts[i].x - pts[i - 1].x, pts[i].y - pts[i - 1].y);
    }
    float total = along.back() > 0 ? along.back() : 1.0f;
    auto radius = [&](size_t i) { return 0.5f * (w0 + (w1 - w0) * along[i] / total); };
    // Round joins and caps: a disc at every point; each segment a quad between two discs.
    for (size_t i = 0; i < n; ++i) addCircle(pts[i].x, pts[i].y, radius(i));
    for (size_t i = 0; i + 1 < n; ++i) {
        Vec2 p = pts[i], q = pts[i + 1];
        float dx = q.x - p.x, dy = q.y - p.y, len = std::hypot(dx, dy);
        if (len < 1e-4f)
            continue;
        float nx = -dy / len, ny = dx / len, rp = radius(i), rq = radius(i + 1);
        addPolygon({{p.x + nx * rp, p.y + ny * rp},
                    {q.x + nx * rq, q.y + ny * rq},
                    {q.x - nx * rq, q.y - ny * rq},
                    {p.x - nx * rp, p.y - ny * rp}});
    }
}

void Path::addPath(const Path& other) {
    contours_.insert(contours_.end(), other.contours_.begin(), other.contours_.end());
}

Path Path::transformed(const Affine& m) const {
    Path out;
    // A mirroring map turns every contour's direction round; turn it back so holes stay holes.
    bool mirrors = (m.a * m.e - m.b * m.d) < 0;
    for (const auto& c : contours_) {
        std::vector<Vec2> pts;
        pts.reserve(c.size());
        for (const Vec2& p : c) pts.push_back(m.apply(p));
        if (mirrors)
            std::reverse(pts.begin(), pts.end());
        out.contours_.push_back(std::move(pts));
    }
    return out;
}

void Path::bounds(float& x0, float& y0, float& x1, float& y1) const {
    x0 = y0 = 1e30f;
    x1 = y1 = -1e30f;
    for (const auto& c : contours_) {
        for (const Vec2& p : c) {
            x0 = std::min(x0, p.x);
            y0 = std::min(y0, p.y);
            x1 = std::max(x1, p.x);
            y1 = std::max(y1, p.y);
        }
    }
}

// ---------------------------------------------------------------------------------------------
// Rasterising: signed area and cover accumulated per cell, summed along each row.

namespace {

class Accumulator {
public:
    Accumulator(int w, int h) : w_(w), h_(h), acc_(static_cast<size_t>(w + 2) * h, 0.0f) {}

    // A segment in local pixel coordinates; x must already lie within 0..w.
    void line(Vec2 p0, Vec2 p1) {
        if (p0.y == p1.y)
            return;
        float dir = 1.0f;
        if (p0.y > p1.y) {
            std::swap(p0, p1);
            dir = -1.0f;
        }
        if (p1.y <= 0 || p0.y >= h_)
            return;
        float dxdy = (p1.x - p0.x) / (p1.y - p0.y);
        float x = p0.x;
        if (p0.y < 0)
            x -= p0.y * dxdy;
        int yStart = std::max(0, static_cast<int>(std::floor(p0.y)));
        int yEnd = std::min(h_, static_cast<int>(std::ceil(p1.y)));
        const size_t stride = static_cast<size_t>(w_) + 2;
        for (int y = yStart; y < yEnd; ++y) {
            float* row = &acc_[y * stride];
            float dy =
                std::min(static_cast<float>(y + 1), p1.y) - std::max(static_cast<float>(y), p0.y);
            float xnext = x + dxdy * dy;
            float d = dy * dir;
            float xa = std::min(x, xnext), xb = std::max(x, xnext);
            xa = std::clamp(xa, 0.0f, static_cast<float>(w_));
            xb = std::clamp(xb, 0.0f, static_cast<float>(w_));
            float xaFloor = std::floor(xa);
            int xai = static_cast<int>(xaFloor);
            float xbCeil = std::ceil(xb);
            int xbi = static_cast<int>(xbCeil);
            if (xbi <= xai + 1) {
                float xm = 0.5f * (xa + xb) - xaFloor;
                row[xai] += d - d * xm;
                row[xai + 1] += d * xm;
            } else {
                float s = 1.0f / (xb - xa);
                float xaf = xa - xaFloor;
                float a0 = 0.5f * s * (1 - xaf) * (1 - xaf);
                float xbf = xb - xbCeil + 1;
                float am = 0.5f * s * xbf * xbf;
                row[xai] += d * a0;
                if (xbi == xai + 2) {
                    row[xai + 1] += d * (1 - a0 - am);
                } else {
                    float a1 = s * (1.5f - xaf);
                    row[xai + 1] += d * (a1 - a0);
                    for (int xi = xai + 2; xi < xbi - 1; ++xi) row[xi] += d * s;
                    float a2 = a1 + (xbi - xai - 3) * s;
                    row[xbi - 1] += d * (1 - a2 - am);
                }
                row[xbi] += d * am;
            }
            x = xnext;
        }
    }

    // A segment clipped to 0..w horizontally: parts beyond an edge run along that edge, which
    // leaves the cover inside unchanged.
    void clippedLine(Vec2 p, Vec2 q) {
        const float lo = 0.0f, hi = static_cast<float>(w_);
        // Split at the crossings of x = lo and x = hi.
        float ts[4] = {0, 1, 1, 1};  // the pieces' bounds along the segment
        int n = 1;
        if (p.x != q.x) {
            for (float edge : {lo, hi}) {
                float t = (edge - p.x) / (q.x - p.x);
                if (t > 0 && t < 1)
                    ts[n++] = t;
            }
        }
        if (n == 3 && ts[2] < ts[1])
            std::swap(ts[1], ts[2]);
        ts[n++] = 1;
        for (int i = 0; i + 1 < n; ++i) {
            Vec2 a{p.x + (q.x - p.x) * ts[i], p.y + (q.y - p.y) * ts[i]};
            Vec2 b{p.x + (q.x - p.x) * ts[i + 1], p.y + (q.y - p.y) * ts[i + 1]};
            a.x = std::clamp(a.x, lo, hi);
            b.x = std::clamp(b.x, lo, hi);
            line(a, b);
        }
    }

    std::vector<float> cover() const {
        std::vector<float> out(static_cast<size_t>(w_) * h_);
        const size_t stride = static_cast<size_t>(w_) + 2;
        for (int y = 0; y < h_; ++y) {
            float sum = 0;
            for (int x = 0; x < w_; ++x) {
                sum += acc_[y * stride + x];
                out[static_cast<size_t>(y) * w_ + x] = std::min(1.0f, std::fabs(sum));
            }
        }
        return out;
    }

private:
    int w_, h_;
    std::vector<float> acc_;
};

}  // namespace

Mask rasterize(const Path& path, int clipW, int clipH) {
    Mask m;
    if (path.empty())
        return m;
    float bx0, by0, bx1, by1;
    path.bounds(bx0, by0, bx1, by1);
    int x0 = std::max(0, static_cast<int>(std::floor(bx0)));
    int y0 = std::max(0, static_cast<int>(std::floor(by0)));
    int x1 = std::min(clipW, static_cast<int>(std::ceil(bx1)) + 1);
    int y1 = std::min(clipH, static_cast<int>(std::ceil(by1)) + 1);
    if (x1 <= x0 || y1 <= y0)
        return m;
    m.x0 = x0;
    m.y0 = y0;
    m.w = x1 - x0;
    m.h = y1 - y0;
    Accumulator acc(m.w, m.h);
    for (const auto& c : path.contours()) {
        for (size_t i = 0, n = c.size(); i < n; ++i) {
            Vec2 p{c[i].x - x0, c[i].y - y0};
            Vec2 q{c[(i + 1) % n].x - x0, c[(i + 1) % n].y - y0};
            acc.clippedLine(p, q);
        }
    }
    m.a = acc.cover();
    return m;
}

// ---------------------------------------------------------------------------------------------
// Mask operations

namespace {

// One box-filter pass of half-width r along rows (horizontal) or columns, in place, over a
// buffer already padded so nothing is lost at the edges.
void boxPass(std::vector<float>& a, int w, int h, int r, bool horizontal) {
    if (r <= 0)
        return;
    int len = horizontal ? w : h, lines = horizontal ? h : w;
    size_t step = horizontal ? 1 : static_cast<size_t>(w);
    std::vector<float> line(len), out(len);
    float inv = 1.0f / (2 * r + 1);
    for (int l = 0; l < lines; ++l) {
        size_t base = horizontal ? static_cast<size_t>(l) * w : static_cast<size_t>(l);
        for (int i = 0; i < len; ++i) line[i] = a[base + i * step];
        // Running sum over the window [i - r, i + r], zero outside.
        double sum = 0;
        for (int i = 0; i <= std::min(r, len - 1); ++i) sum += line[i];
        for (int i = 0; i < len; ++i) {
            out[i] = static_cast<float>(sum) * inv;
            int add = i + r + 1, sub = i - r;
            if (add < len)
                sum += line[add];
            if (sub >= 0)
                sum -= line[sub];
        }
        for (int i = 0; i < len; ++i) a[base + i * step] = out[i];
    }
}

// Three box passes approximate a Gaussian of standard deviation sigma.
int boxRadius(float sigma) {
    return std::max(0,
                    static_cast<int>(std::lround(std::sqrt(4.0f * sigma * sigma / 3.0f + 1) / 2)));
}

}  // namespace

Mask Mask::blurred(float radius) const {
    if (empty() || radius <= 0)
        return *this;
    int r = std::max(1, boxRadius(radius));
    int pad = 3 * r;
    Mask m;
    m.x0 = x0 - pad;
    m.y0 = y0 - pad;
    m.w = w + 2 * pad;
    m.h = h + 2 * pad;
    m.a.assign(static_cast<size_t>(m.w) * m.h, 0.0f);
    for (int y = 0; y < h; ++y) {
        std::copy(&a[static_cast<size_t>(y) * w], &a[static_cast<size_t>(y) * w] + w,
                  &m.a[static_cast<size_t>(y + pad) * m.w + pad]);
    }
    for (int i = 0; i < 3; ++i) {
        boxPass(m.a, m.w, m.h, r, true);
        boxPass(m.a, m.w, m.h, r, false);
    }
    return m;
}

Mask Mask::shifted(int dx, int dy) const {
    Mask m = *this;
    m.x0 += dx;
    m.y0 += dy;
    return m;
}

Mask Mask::dilated(float radius) const {
    if (empty() || radius <= 0)
        return *this;
    int r = static_cast<int>(std::ceil(radius));
    Mask m;
    m.x0 = x0 - r;
    m.y0 = y0 - r;
    m.w = w + 2 * r;
    m.h = h + 2 * r;
    m.a.assign(static_cast<size_t>(m.w) * m.h, 0.0f);
    // The disc's offsets, each with a weight that softens its rim for a smooth outline.
    struct Tap {
        int dx, dy;
        float weight;
    };
    std::vector<Tap> taps;
    for (int dy = -r; dy <= r; ++dy) {
        for (int dx = -r; dx <= r; ++dx) {
            float d = std::sqrt(static_cast<float>(dx * dx + dy * dy));
            // A covered pixel spans one unit, so its neighbour d away is reached in full
            // when the shape grows by d, and in part when it grows by d - 1 .. d.
            float wgt = clamp01(radius + 1.0f - d);
            if (wgt > 0)
                taps.push_back({dx, dy, wgt});
        }
    }
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            float v = a[static_cast<size_t>(y) * w + x];
            if (v <= 0)
                continue;
            for (const Tap& t : taps) {
                float& dst = m.a[static_cast<size_t>(y + r + t.dy) * m.w + (x + r + t.dx)];
                dst = std::max(dst, v * t.weight);
            }
        }
    }
    return m;
}

Mask Mask::scaled(float k) const {
    Mask m = *this;
    for (float& v : m.a) v = clamp01(v * k);
    return m;
}

Mask Mask::minus(const Mask& other) const {
    Mask m = *this;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            float& v = m.a[static_cast<size_t>(y) * w + x];
            v *= 1.0f - other.at(x + x0, y + y0);
        }
    }
    return m;
}

Mask Mask::intersect(const Mask& other) const {
    Mask m = *this;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            m.a[static_cast<size_t>(y) * w + x] *= other.at(x + x0, y + y0);
        }
    }
    return m;
}

Mask Mask::unite(const Mask& other) const {
    if (empty())
        return other;
    if (other.empty())
        return *this;
    Mask m;
    m.x0 = std::min(x0, other.x0);
    m.y0 = std::min(y0, other.y0);
    m.w = std::max(x0 + w, other.x0 + other.w) - m.x0;
    m.h = std::max(y0 + h, other.y0 + other.h) - m.y0;
    m.a.resize(static_cast<size_t>(m.w) * m.h);
    for (int y = 0; y < m.h; ++y) {
        for (int x = 0; x < m.w; ++x) {
            int gx = x + m.x0, gy = y + m.y0;
            m.a[static_cast<size_t>(y) * m.w + x] = std::max(at(gx, gy), other.at(gx, gy));
        }
    }
    return m;
}

// ---------------------------------------------------------------------------------------------
// Paints

Color sampleStops(const std::vector<GradientStop>& stops, float t) {
    if (stops.empty())
        return {};
    if (t <= stops.front().t)
        return stops.front().color;
    for (size_t i = 1; i < stops.size(); ++i) {
        if (t <= stops[i].t) {
            float span = stops[i].t - stops[i - 1].t;
            float k = span > 0 ? (t - stops[i - 1].t) / span : 1.0f;
            return mix(stops[i - 1].color, stops[i].color, k);
        }
    }
    return stops.back().color;
}

Paint solid(Color c) {
    return [c](float, float) { return c; };
}

Paint linearGradient(float x0, float y0, float x1, float y1, std::vector<GradientStop> stops) {
    float dx = x1 - x0, dy = y1 - y0, len2 = dx * dx + dy * dy;
    if (len2 <= 0)
        len2 = 1;
    return [=](float x, float y) {
        float t = ((x - x0) * dx + (y - y0) * dy) / len2;
        return sampleStops(stops, t);
    };
}

Paint radialGradient(float cx, float cy, float rx, float ry, std::vector<GradientStop> stops) {
    return [=](float x, float y) {
        float u = (x - cx) / rx, v = (y - cy) / ry;
        return sampleStops(stops, std::sqrt(u * u + v * v));
    };
}

// ---------------------------------------------------------------------------------------------
// Noise

uint32_t hash32(uint32_t x) {
    x ^= x >> 16;
    x *= 0x7FEB352Du;
    x ^= x >> 15;
    x *= 0x846CA68Bu;
    x ^= x >> 16;
    return x;
}

namespace {

float lattice(int x, int y, uint32_t seed) {
    uint32_t h = hash32(static_cast<uint32_t>(x) * 0x8DA6B343u ^
                        static_cast<uint32_t>(y) * 0xD8163841u ^ seed * 0xCB1AB31Fu);
    return (h & 0xFFFFFF) / static_cast<float>(0x800000) - 1.0f;
}

}  // namespace

float valueNoise(float x, float y, uint32_t seed) {
    float fx = std::floor(x), fy = std::floor(y);
    int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
    float tx = x - fx, ty = y - fy;
    tx = tx * tx * (3 - 2 * tx);
    ty = ty * ty * (3 - 2 * ty);
    float a = lattice(ix, iy, seed), b = lattice(ix + 1, iy, seed);
    float c = lattice(ix, iy + 1, seed), d = lattice(ix + 1, iy + 1, seed);
    return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

float fbm(float x, float y, uint32_t seed, int octaves) {
    float sum = 0, amp = 0.5f, norm = 0;
    for (int i = 0; i < octaves; ++i) {
        sum += amp * valueNoise(x, y, seed + i * 1013u);
        norm += amp;
        x *= 2.03f;
        y *= 2.03f;
        amp *= 0.5f;
    }
    return sum / norm;
}

uint32_t Rng::next() {
    s_ ^= s_ << 13;
    s_ ^= s_ >> 17;
    s_ ^= s_ << 5;
    return s_;
}

float Rng::uniform(float lo, float hi) {
    return lo + (hi - lo) * ((next() >> 8) / static_cast<float>(1u << 24));
}

// ---------------------------------------------------------------------------------------------
// Canvas

Canvas::Canvas(int w, int h, Color c) : w_(w), h_(h), px_(static_cast<size_t>(w) * h * 4) {
    clear(c);
}

Color Canvas::pixel(int x, int y) const {
    const float* p = &px_[(static_cast<size_t>(y) * w_ + x) * 4];
    if (p[3] <= 0)
        return {0, 0, 0, 0};
    return {p[0] / p[3], p[1] / p[3], p[2] / p[3], p[3]};
}

void Canvas::clear(Color c) {
    for (size_t i = 0; i < px_.size(); i += 4) {
        px_[i] = c.r * c.a;
        px_[i + 1] = c.g * c.a;
        px_[i + 2] = c.b * c.a;
        px_[i + 3] = c.a;
    }
}

namespace {

// Composites a straight colour with coverage k onto a premultiplied pixel.
inline void blendPixel(float* d, const Color& c, float k, Blend blend) {
    float a = c.a * k;
    if (a <= 0)
        return;
    switch (blend) {
        case Blend::Over:
            d[0] = c.r * a + d[0] * (1 - a);
            d[1] = c.g * a + d[1] * (1 - a);
            d[2] = c.b * a + d[2] * (1 - a);
            d[3] = a + d[3] * (1 - a);
            break;
        case Blend::Add:
            // Light added to what is there; alpha grows so a glow on transparency shows.
            d[0] = std::min(1.0f, d[0] + c.r * a);
            d[1] = std::min(1.0f, d[1] + c.g * a);
            d[2] = std::min(1.0f, d[2] + c.b * a);
            d[3] = std::min(1.0f, std::max(d[3], std::max({d[0], d[1], d[2]})));
            break;
        case Blend::Multiply:
            d[0] *= 1 - a + a * c.r;
            d[1] *= 1 - a + a * c.g;
            d[2] *= 1 - a + a * c.b;
            break;
    }
}

}  // namespace

void Canvas::fillAll(const Paint& paint, Blend blend) {
    for (int y = 0; y < h_; ++y) {
        for (int x = 0; x < w_; ++x) {
            blendPixel(&px_[(static_cast<size_t>(y) * w_ + x) * 4], paint(x + 0.5f, y + 0.5f), 1.0f,
                       blend);
        }
    }
}

void Canvas::fill(const Mask& mask, const Paint& paint, float opacity, Blend blend) {
    int xa = std::max(0, mask.x0), ya = std::max(0, mask.y0);
    int xb = std::min(w_, mask.x0 + mask.w), yb = std::min(h_, mask.y0 + mask.h);
    for (int y = ya; y < yb; ++y) {
        const float* row = mask.a.data() + static_cast<size_t>(y - mask.y0) * mask.w;
        for (int x = xa; x < xb; ++x) {
            float k = row[x - mask.x0] * opacity;
            if (k <= 0)
                continue;
            blendPixel(&px_[(static_cast<size_t>(y) * w_ + x) * 4], paint(x + 0.5f, y + 0.5f), k,
                       blend);
        }
    }
}

void Canvas::shadow(const Mask& mask, float dx, float dy, float blur, Color c) {
    Mask s = mask.blurred(blur).shifted(static_cast<int>(std::lround(dx)),
                                        static_cast<int>(std::lround(dy)));
    fill(s, c);
}

void Canvas::bevel(const Mask& mask, float depth, float highlight, float darkness) {
    if (mask.empty())
        return;
    Mask soft = mask.blurred(depth);
    // Light from the upper left: a surface whose outward normal points that way is lit. The
    // blurred mask's gradient points inwards, so the lit edges are where it points down-right.
    const float lx = -0.7071f, ly = -0.7071f;
    int xa = std::max(0, mask.x0), ya = std::max(0, mask.y0);
    int xb = std::min(w_, mask.x0 + mask.w), yb = std::min(h_, mask.y0 + mask.h);
    float gain = depth * 2.2f;
    for (int y = ya; y < yb; ++y) {
        for (int x = xa; x < xb; ++x) {
            float k = mask.at(x, y);
            if (k <= 0)
                continue;
            float gx = (soft.at(x + 1, y) - soft.at(x - 1, y)) * 0.5f;
            float gy = (soft.at(x, y + 1) - soft.at(x, y - 1)) * 0.5f;
            // Outward normal is minus the gradient.
            float l = (-gx * lx - gy * ly) * gain;
            l = std::clamp(l, -1.0f, 1.0f);
            float* d = &px_[(static_cast<size_t>(y) * w_ + x) * 4];
            if (l > 0) {
                blendPixel(d, {1, 1, 0.92f, 1}, k * l * highlight, Blend::Over);
            } else if (l < 0) {
                blendPixel(d, {0.08f, 0.04f, 0.1f, 1}, k * -l * darkness, Blend::Over);
            }
        }
    }
}

void Canvas::draw(const Canvas& src, int dx, int dy, float opacity, Blend blend) {
    for (int y = 0; y < src.h_; ++y) {
        int ty = y + dy;
        if (ty < 0 || ty >= h_)
            continue;
        for (int x = 0; x < src.w_; ++x) {
            int tx = x + dx;
            if (tx < 0 || tx >= w_)
                continue;
            const float* s = &src.px_[(static_cast<size_t>(y) * src.w_ + x) * 4];
            if (s[3] <= 0)
                continue;
            Color c{s[0] / s[3], s[1] / s[3], s[2] / s[3], s[3]};
            blendPixel(&px_[(static_cast<size_t>(ty) * w_ + tx) * 4], c, opacity, blend);
        }
    }
}

void Canvas::blur(float radius) {
    if (radius <= 0)
        return;
    int r = std::max(1, boxRadius(radius));
    std::vector<float> ch(static_cast<size_t>(w_) * h_);
    for (int c = 0; c < 4; ++c) {
        for (size_t i = 0; i < ch.size(); ++i) ch[i] = px_[i * 4 + c];
        for (int i = 0; i < 3; ++i) {
            boxPass(ch, w_, h_, r, true);
            boxPass(ch, w_, h_, r, false);
        }
        for (size_t i = 0; i < ch.size(); ++i) px_[i * 4 + c] = ch[i];
    }
}

void Canvas::multiplyAlpha(const std::function<float(float, float)>& m) {
    for (int y = 0; y < h_; ++y) {
        for (int x = 0; x < w_; ++x) {
            float k = clamp01(m(x + 0.5f, y + 0.5f));
            float* d = &px_[(static_cast<size_t>(y) * w_ + x) * 4];
            for (int c = 0; c < 4; ++c) d[c] *= k;
        }
    }
}

void Canvas::clipTo(const Mask& mask) {
    for (int y = 0; y < h_; ++y) {
        for (int x = 0; x < w_; ++x) {
            float k = mask.at(x, y);
            float* d = &px_[(static_cast<size_t>(y) * w_ + x) * 4];
            for (int c = 0; c < 4; ++c) d[c] *= k;
        }
    }
}

std::vector<uint8_t> Canvas::rgba8() const {
    std::vector<uint8_t> out(px_.size());
    for (size_t i = 0; i < px_.size(); i += 4) {
        float a = clamp01(px_[i + 3]);
        for (int c = 0; c < 3; ++c) {
            float v = a > 0 ? clamp01(px_[i + c] / a) : 0.0f;
            out[i + c] = static_cast<uint8_t>(std::lround(v * 255.0f));
        }
        out[i + 3] = static_cast<uint8_t>(std::lround(a * 255.0f));
    }
    return out;
}

void Canvas::writePNG(const std::string& path, bool opaque) const {
    std::vector<uint8_t> rgba = rgba8();
    int ok;
    if (opaque) {
        std::vector<uint8_t> rgb(static_cast<size_t>(w_) * h_ * 3);
        for (size_t i = 0, j = 0; i < rgba.size(); i += 4, j += 3) {
            // Over black, so a stray transparent pixel cannot turn into a colour.
            float a = rgba[i + 3] / 255.0f;
            for (int c = 0; c < 3; ++c)
                rgb[j + c] = static_cast<uint8_t>(std::lround(rgba[i + c] * a));
        }
        ok = stbi_write_png(path.c_str(), w_, h_, 3, rgb.data(), w_ * 3);
    } else {
        ok = stbi_write_png(path.c_str(), w_, h_, 4, rgba.data(), w_ * 4);
    }
    if (!ok) {
        std::fprintf(stderr, "assetgen: cannot write %s\n", path.c_str());
        std::exit(1);
    }
}

void Canvas::writeJPEG(const std::string& path, int quality) const {
    std::vector<uint8_t> rgb(static_cast<size_t>(w_) * h_ * 3);
    for (size_t i = 0, j = 0; i < px_.size(); i += 4, j += 3) {
        // Premultiplied colour is the colour over black.
        for (int c = 0; c < 3; ++c) {
            rgb[j + c] = static_cast<uint8_t>(std::lround(clamp01(px_[i + c]) * 255.0f));
        }
    }
    if (!stbi_write_jpg(path.c_str(), w_, h_, 3, rgb.data(), quality)) {
        std::fprintf(stderr, "assetgen: cannot write %s\n", path.c_str());
        std::exit(1);
    }
}
