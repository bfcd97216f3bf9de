#include "tools/assetgen/img_common.h"

#include <algorithm>
#include <cmath>

Mask drawPart(Canvas& c, const Path& path, const Paint& paint, const PartStyle& style) {
    Mask mask = rasterize(path, c.width(), c.height());
    if (style.outline.a > 0 && style.outlineWidth > 0) {
        c.fill(mask.dilated(style.outlineWidth), style.outline);
    }
    c.fill(mask, paint);
    if (style.bevel > 0)
        c.bevel(mask, style.bevel, style.highlight, style.darkness);
    return mask;
}

PartStyle inked(float width, float bevel) {
    PartStyle s;
    s.bevel = bevel;
    s.outline = hexColor(pal::ink);
    s.outlineWidth = width;
    return s;
}

void castShadow(Canvas& c, const Path& silhouette, float dx, float dy, float blur, float alpha) {
    c.shadow(rasterize(silhouette, c.width(), c.height()), dx, dy, blur,
             withAlpha(hexColor(0x1A0E08), alpha));
}

namespace {

Vec2 catmullRom(Vec2 p0, Vec2 p1, Vec2 p2, Vec2 p3, float t) {
    float t2 = t * t, t3 = t2 * t;
    auto f = [&](float a, float b, float c, float d) {
        return 0.5f * (2 * b + (-a + c) * t + (2 * a - 5 * b + 4 * c - d) * t2 +
                       (-a + 3 * b - 3 * c + d) * t3);
    };
    return {f(p0.x, p1.x, p2.x, p3.x), f(p0.y, p1.y, p2.y, p3.y)};
}

}  // namespace

std::vector<Vec2> smoothClosed(const std::vector<Vec2>& p, int steps) {
    std::vector<Vec2> out;
    size_t n = p.size();
    if (n < 3)
        return p;
    for (size_t i = 0; i < n; ++i) {
        const Vec2 &a = p[(i + n - 1) % n], &b = p[i], &c = p[(i + 1) % n], &d = p[(i + 2) % n];
        for (int s = 0; s < steps; ++s) out.push_back(catmullRom(a, b, c, d, float(s) / steps));
    }
    return out;
}

std::vector<Vec2> smoothOpen(const std::vector<Vec2>& p, int steps) {
    std::vector<Vec2> out;
    size_t n = p.size();
    if (n < 3)
        return p;
    for (size_t i = 0; i + 1 < n; ++i) {
        // The ends repeat themselves as their outer neighbours.
        const Vec2& a = p[i == 0 ? 0 : i - 1];
        const Vec2& d = p[i + 2 < n ? i + 2 : n - 1];
        for (int s = 0; s < steps; ++s)
            out.push_back(catmullRom(a, p[i], p[i + 1], d, float(s) / steps));
    }
    out.push_back(p.back());
    return out;
}

std::vector<Vec2> mirrorX(const std::vector<Vec2>& points, float axis) {
    std::vector<Vec2> out;
    out.reserve(points.size());
    for (const Vec2& q : points) out.push_back({2 * axis - q.x, q.y});
    return out;
}

void addLeaf(Path& path, Vec2 base, Vec2 tip, float width, float bend) {
    float dx = tip.x - base.x, dy = tip.y - base.y, len = std::hypot(dx, dy);
    if (len < 1e-3f)
        return;
    float nx = -dy / len, ny = dx / len;
    // Control points on both sides of the mid-line; `bend` pushes both to one side.
    Vec2 mid{base.x + dx * 0.45f + nx * bend, base.y + dy * 0.45f + ny * bend};
    float h = width;  // a quadratic's apex reaches half of its control offset
    std::vector<Vec2> pts;
    const int n = 14;
    for (int i = 0; i <= n; ++i) {
        float t = static_cast<float>(i) / n, u = 1 - t;
        Vec2 ctl{mid.x + nx * h, mid.y + ny * h};
        pts.push_back({u * u * base.x + 2 * u * t * ctl.x + t * t * tip.x,
                       u * u * base.y + 2 * u * t * ctl.y + t * t * tip.y});
    }
    for (int i = n - 1; i >= 1; --i) {
        float t = static_cast<float>(i) / n, u = 1 - t;
        Vec2 ctl{mid.x - nx * h, mid.y - ny * h};
        pts.push_back({u * u * base.x + 2 * u * t * ctl.x + t * t * tip.x,
                       u * u * base.y + 2 * u * t * ctl.y + t * t * tip.y});
    }
    path.addPolygon(pts);
}

Canvas speechBubble(int w, int h, Vec2 tail, const std::vector<std::string>& lines, float textSize,
                    uint32_t seed) {
    Canvas c(w, h);
    // The bubble body: a rounded blob (a few overlapping ellipses for a soft cloud edge), kept
    // clear of the tail's corner so the tail has room.
    const float margin = 22;
    float bx0 = margin, by0 = margin, bx1 = w - margin, by1 = h - margin;
    // Leave room on the tail's side.
    if (tail.x >= w - 1)
        bx1 -= 46;
    if (tail.x <= 1)
        bx0 += 46;
    if (tail.y >= h - 1)
        by1 -= 40;
    float cx = (bx0 + bx1) / 2, cy = (by0 + by1) / 2;
    float rx = (bx1 - bx0) / 2, ry = (by1 - by0) / 2;

    Path body;
    body.addEllipse(cx, cy, rx, ry * 0.92f);
    body.addRoundedRect(bx0 + rx * 0.18f, by0 + ry * 0.22f, rx * 1.64f, ry * 1.56f, ry * 0.6f);
    Rng rng(seed);
    for (int i = 0; i < 9; ++i) {
        float a = 6.2831853f * i / 9 + rng.uniform(-0.15f, 0.15f);
        float px = cx + std::cos(a) * rx * 0.74f, py = cy + std::sin(a) * ry * 0.7f;
        float r = std::min(rx, ry) * rng.uniform(0.36f, 0.44f);
        body.addEllipse(px, py, r * 1.15f, r);
    }
    // The tail: a curved wedge from inside the body to the point.
    Vec2 base{cx + (tail.x - cx) * 0.45f, cy + (tail.y - cy) * 0.45f};
    float dx = tail.x - base.x, dy = tail.y - base.y, len = std::hypot(dx, dy);
    float nx = -dy / len, ny = dx / len, wBase = std::min(rx, ry) * 0.32f;
    Vec2 tip{tail.x - dx / len * 4, tail.y - dy / len * 4};
    body.moveTo(base.x + nx * wBase, base.y + ny * wBase);
    body.quadTo((base.x + tip.x) / 2 + nx * wBase * 0.2f, (base.y + tip.y) / 2 + ny * wBase * 0.2f,
                tip.x, tip.y);
    body.quadTo((base.x + tip.x) / 2 - nx * wBase * 0.1f, (base.y + tip.y) / 2 - ny * wBase * 0.1f,
                base.x - nx * wBase, base.y - ny * wBase);
    body.close();
    // The hand-made contour's direction may differ from the ellipses': make it agree.
    Path merged;
    for (const auto& contour : body.contours()) merged.addPolygon(contour);

    Mask mask = rasterize(merged, w, h);
    c.shadow(mask, 5, 7, 6, withAlpha(hexColor(0x10202A), 0.45f));
    c.fill(mask.dilated(3.0f), hexColor(pal::ink));
    c.fill(mask,
           linearGradient(
               0, by0, 0, by1,
               {{0, hexColor(0xFFFFFF)}, {0.7f, hexColor(0xFFF8EA)}, {1, hexColor(0xF3E2C2)}}));
    c.bevel(mask, 7, 0.25f, 0.22f);

    // Text, centred as a block in the body.
    TextStyle style;
    style.font = "DejaVuSans-Bold.ttf";
    style.size = textSize;
    style.fill = solid(hexColor(0x1B2F6B));
    float lineGap = textSize * 1.22f;
    float ascent = fontAscent(style.font, textSize) * 0.78f;
    float blockH = lineGap * (lines.size() - 1) + ascent;
    float top = cy - blockH / 2 + ascent;
    for (size_t i = 0; i < lines.size(); ++i) {
        drawText(c, lines[i], cx, top + lineGap * i, Align::Centre, style);
    }
    return c;
}

float plantSway(int frame) {
    // Frames evenly spaced in time over half a period: cos runs from +1 to -1.
    const float amplitude = 0.42f;  // radians at the ends of the swing
    return amplitude * std::cos(3.14159265f * (frame - 1) / 5.0f);
}
