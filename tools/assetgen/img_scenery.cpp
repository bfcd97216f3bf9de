// Scenery: the day and night skies, the dune strip, the palm, the screen filter and the loading
// picture.
#include <algorithm>
#include <cmath>

#include "tools/assetgen/img_common.h"

namespace {

constexpr float kPi = 3.14159265f;

float smoothstep(float e0, float e1, float x) {
    float t = std::clamp((x - e0) / (e1 - e0), 0.0f, 1.0f);
    return t * t * (3 - 2 * t);
}

// Sand tones from deep shadow (0) to sunlit crest (1).
Color sandTone(float t) {
    static const std::vector<GradientStop> ramp = {{0.0f, hexColor(pal::sandShadow)},
                                                   {0.35f, hexColor(pal::sandDark)},
                                                   {0.6f, hexColor(pal::sandMid)},
                                                   {0.8f, hexColor(pal::sandLight)},
                                                   {1.0f, hexColor(pal::sandHigh)}};
    return sampleStops(ramp, t);
}

// One band of dunes: its ridge height at every column, drawn from far (0) to near.
struct DuneBand {
    std::vector<float> ridge;
    float haze;        // how much the distance pales it
    float rippleStep;  // spacing of the wind ripples, pixels
};

std::vector<float> ridgeLine(int width, float base, float amp, float period, float phase,
                             uint32_t seed, float lo, float hi) {
    std::vector<float> r(width + 1);
    for (int x = 0; x <= width; ++x) {
        float fx = static_cast<float>(x);
        // A long swell, a shorter one riding on it, and some noise so no two dunes match.
        float y = base + amp * std::sin(fx / period * 2 * kPi + phase) +
                  amp * 0.45f * std::sin(fx / (period * 0.37f) * 2 * kPi + phase * 2.3f) +
                  amp * 0.5f * fbm(fx / (period * 0.5f), 0.5f, seed, 3);
        // Kept within lo..hi by a soft limit, so the slope (and the shading) stays smooth.
        float mid = (lo + hi) / 2, half = (hi - lo) / 2;
        r[x] = mid + half * std::tanh((y - mid) / half);
    }
    return r;
}

// Paints a band of dunes lit from the upper left: faces that rise to the right face the light,
// the lee sides behind each crest fall into shade.
void paintDuneBand(Canvas& c, const DuneBand& band, uint32_t seed) {
    int w = c.width(), h = c.height();
    std::vector<Vec2> outline;
    for (int x = 0; x <= w; x += 2) outline.push_back({static_cast<float>(x), band.ridge[x]});
    outline.push_back({static_cast<float>(w), static_cast<float>(h + 2)});
    outline.push_back({0, static_cast<float>(h + 2)});
    Path p;
    p.addPolygon(outline);
    Mask m = rasterize(p, w, h);
    // A smoothed slope of the ridge per column.
    std::vector<float> slope(w + 1);
    for (int x = 0; x <= w; ++x) {
        int a = std::max(0, x - 14), b = std::min(w, x + 14);
        slope[x] = (band.ridge[b] - band.ridge[a]) / (b - a);
    }
    auto paint = [&](float fx, float fy) {
        int x = std::clamp(static_cast<int>(fx), 0, w);
        float depth = fy - band.ridge[x];
        // Rising to the right (ridge y falling) faces the light.
        float lit = std::clamp(-slope[x] * 2.2f, -1.0f, 1.0f);
        float reach = std::exp(-depth / 90.0f);
        float t = 0.62f + 0.3f * lit * reach;
        // Sun catching the crest, a thin bright rim.
        t += 0.22f * std::exp(-depth / 2.5f) * (0.6f + 0.4f * std::max(0.0f, lit));
        // Wind ripples: wavy lines roughly following the ridge.
        float warp = 6.0f * fbm(fx / 90.0f, fy / 50.0f, seed, 3);
        float phase = (depth + warp + 3.0f * std::sin(fx / 40.0f)) / band.rippleStep;
        float ripple = std::sin(phase * 2 * kPi);
        t += 0.045f * ripple * (1 - reach * 0.5f);
        // Broad variation and grain.
        t += 0.06f * fbm(fx / 260.0f, fy / 140.0f, seed + 7, 3);
        t += ((hash32(static_cast<uint32_t>(fx) * 7919u + static_cast<uint32_t>(fy) * 104729u +
                      seed) &
               255) /
                  255.0f -
              0.5f) *
             0.05f;
        Color col = sandTone(std::clamp(t, 0.0f, 1.0f));
        return mix(col, hexColor(0xF3DDB0), band.haze);
    };
    // A soft shadow on the band behind, just below this band's crest line.
    c.shadow(m, 0, -3, 4, withAlpha(hexColor(pal::sandShadow), 0.25f));
    c.fill(m, paint);
}

// A field of stars: small dots of varied brightness, a few brighter with a soft glint.
void paintStars(Canvas& c, int count, float maxY, uint32_t seed) {
    Rng rng(seed);
    Path small, medium;
    std::vector<Vec2> bright;
    for (int i = 0; i < count; ++i) {
        float x = rng.uniform(0, static_cast<float>(c.width()));
        // Denser high up, thinning towards the horizon.
        float y = maxY * std::pow(rng.uniform(), 1.4f);
        float kind = rng.uniform();
        if (kind < 0.75f) {
            small.addCircle(x, y, rng.uniform(0.5f, 0.9f));
        } else if (kind < 0.975f) {
            medium.addCircle(x, y, rng.uniform(0.9f, 1.4f));
        } else {
            bright.push_back({x, y});
        }
    }
    c.fill(small, hexColor(0xCFE6F0), 0.7f);
    c.fill(medium, hexColor(0xF4F8FF), 0.9f);
    for (Vec2 s : bright) {
        Path glow, core, rays;
        glow.addCircle(s.x, s.y, 7);
        c.fill(rasterize(glow, c.width(), c.height()).blurred(3), hexColor(0xBFE8FF), 0.35f);
        rays.addTaperedStroke({{s.x - 9, s.y}, {s.x, s.y}, {s.x + 9, s.y}}, 0.4f, 0.4f);
        rays.addTaperedStroke({{s.x, s.y - 9}, {s.x, s.y}, {s.x, s.y + 9}}, 0.4f, 0.4f);
        c.fill(rays, hexColor(0xE8F6FF), 0.5f);
        core.addCircle(s.x, s.y, 1.8f);
        c.fill(core, hexColor(0xFFFFFF));
    }
}

}  // namespace

// ---------------------------------------------------------------------------------------------

Canvas paintSkyDay() {
    const int w = 1280, h = 720;
    Canvas c(w, h);
    c.fillAll(linearGradient(0, 0, 0, h,
                             {{0.0f, hexColor(0x1A46B0)},
                              {0.15f, hexColor(pal::skyTop)},
                              {0.62f, hexColor(0x4F88E6)},
                              {0.86f, hexColor(pal::skyHorizon)},
                              {1.0f, hexColor(0xA9CBFF)}}));
    // The sun, high at the upper left where the light comes from.
    const float sx = 180, sy = 105;
    c.fillAll(radialGradient(sx, sy, 520, 420,
                             {{0, hexColor(0xFFF6D8, 0.55f)},
                              {0.25f, hexColor(0xFFE9B0, 0.22f)},
                              {1, hexColor(0xFFE9B0, 0.0f)}}));
    Path sun;
    sun.addCircle(sx, sy, 38);
    Mask sunMask = rasterize(sun, w, h);
    c.fill(sunMask.blurred(14), hexColor(0xFFF3C8), 0.8f);
    c.fill(sunMask, hexColor(0xFFFBEA));
    // Clouds: drifting fair-weather banks, denser in two layers, shaded underneath.
    auto density = [](float x, float y) {
        float band = std::exp(-std::pow((y - 250) / 90.0f, 2.0f)) +
                     0.8f * std::exp(-std::pow((y - 430) / 60.0f, 2.0f));
        float n = fbm(x / 260.0f, y / 70.0f, 4242, 5) * 0.5f + 0.5f;
        return smoothstep(0.5f, 0.78f, n * (0.55f + 0.6f * band));
    };
    c.fillAll([&](float x, float y) {
        float d = density(x, y);
        if (d <= 0)
            return Color{0, 0, 0, 0};
        // Thicker cloud towards the light means this point is in its shade.
        float towardsLight = density(x - 10, y - 10);
        float lit = std::clamp(1.0f - (towardsLight - d) * 1.5f - 0.25f * towardsLight, 0.0f, 1.0f);
        Color col = mix(hexColor(0x9DB6DE), hexColor(0xFFFFFF), lit);
        return withAlpha(col, d * 0.85f);
    });
    return c;
}

Canvas paintSkyNight() {
    const int w = 1280, h = 720;
    Canvas c(w, h);
    c.fillAll(linearGradient(0, 0, 0, h,
                             {{0.0f, hexColor(0x07202A)},
                              {0.3f, hexColor(pal::nightTop)},
                              {0.8f, hexColor(pal::nightBottom)},
                              {1.0f, hexColor(0x1B6270)}}));
    // A faint band of far stars across the sky.
    c.fillAll([](float x, float y) {
        float along = (y - 120) - (x - 640) * -0.35f;
        float band = std::exp(-along * along / (2 * 90.0f * 90.0f));
        float n = fbm(x / 140.0f, y / 140.0f, 99, 4) * 0.5f + 0.5f;
        return withAlpha(hexColor(0x7FB8C8), band * n * 0.16f);
    });
    paintStars(c, 700, 600, 1234);
    // The moon, full, at the upper right, with a wide soft halo.
    const float mx = 1080, my = 128, mr = 44;
    c.fillAll(radialGradient(mx, my, 260, 260,
                             {{0, hexColor(0xDDEFF0, 0.35f)},
                              {0.3f, hexColor(0x9FD0D8, 0.12f)},
                              {1, hexColor(0x9FD0D8, 0.0f)}}));
    Path moon;
    moon.addCircle(mx, my, mr);
    Mask moonMask = rasterize(moon, w, h);
    c.fill(moonMask, radialGradient(mx - 14, my - 16, mr * 1.5f, mr * 1.5f,
                                    {{0, hexColor(0xFFFBEA)}, {1, hexColor(0xD8D2B8)}}));
    // Soft grey seas on its face.
    c.fill(moonMask, [&](float x, float y) {
        float n = fbm((x - mx) / 22.0f, (y - my) / 22.0f, 77, 3);
        return withAlpha(hexColor(0x9E9A88), std::max(0.0f, n) * 0.9f);
    });
    // Low dunes on the horizon, nearly black against the sky.
    for (int layer = 0; layer < 2; ++layer) {
        std::vector<Vec2> pts;
        for (int x = 0; x <= w; x += 4) {
            float fx = static_cast<float>(x);
            float y = 640 + layer * 30 + 22 * std::sin(fx / 230.0f + layer * 2.0f) +
                      14 * fbm(fx / 160.0f, layer * 3.0f, 300 + layer, 3);
            pts.push_back({fx, y});
        }
        pts.push_back({static_cast<float>(w), h + 2.0f});
        pts.push_back({0, h + 2.0f});
        Path dune;
        dune.addPolygon(pts);
        Color top = layer == 0 ? hexColor(0x0D3440) : hexColor(0x08222B);
        c.fill(dune, linearGradient(0, 620, 0, h, {{0, top}, {1, hexColor(0x051418)}}));
    }
    return c;
}

Canvas paintSand() {
    // Scene 5 scrolls it 840 pixels left over about 14 s; a margin keeps its right end off screen
    // even when the scene runs a few frames long.
    const int w = 2160, h = 720;
    Canvas c(w, h);
    std::vector<DuneBand> bands = {
        {ridgeLine(w, 132, 14, 520, 0.4f, 11, 100, 160), 0.22f, 9},
        {ridgeLine(w, 236, 26, 760, 2.1f, 12, 180, 290), 0.12f, 13},
        {ridgeLine(w, 390, 40, 980, 4.0f, 13, 320, 450), 0.05f, 19},
        {ridgeLine(w, 575, 46, 1300, 1.2f, 14, 500, 640), 0.0f, 26},
    };
    for (size_t i = 0; i < bands.size(); ++i) paintDuneBand(c, bands[i], 500 + i);
    // A few dry tufts of grass on the nearer dunes, for scale.
    Rng rng(808);
    for (int i = 0; i < 18; ++i) {
        int band = 1 + static_cast<int>(rng.uniform(0, 2.99f));
        float x = rng.uniform(20, w - 20.0f);
        float y = bands[band].ridge[static_cast<int>(x)] + rng.uniform(8, 60);
        float size = 6.0f + 5.0f * band;
        Path tuft;
        for (int b = 0; b < 7; ++b) {
            float a = -kPi / 2 + (b - 3) * 0.22f + rng.uniform(-0.08f, 0.08f);
            float len = size * rng.uniform(0.7f, 1.3f);
            tuft.addTaperedStroke({{x, y}, {x + std::cos(a) * len, y + std::sin(a) * len}},
                                  1.6f + band * 0.4f, 0.3f);
        }
        c.shadow(rasterize(tuft, w, h), 3, 2, 1.5f, withAlpha(hexColor(pal::sandShadow), 0.35f));
        c.fill(tuft, hexColor(0x8C7A3A));
    }
    return c;
}

Canvas paintPalm() {
    const int w = 558, h = 614;
    Canvas c(w, h);
    const Vec2 crown{279, 168};
    // Trunk: a gentle curve, thicker at the foot, running off the bottom.
    std::vector<Vec2> spine =
        smoothOpen({{306, h + 20.0f}, {318, 470}, {300, 330}, {284, 220}, crown}, 12);
    Path trunk;
    trunk.addTaperedStroke(spine, 58, 30);
    Mask trunkMask = rasterize(trunk, w, h);
    // Shade across the trunk by the distance from its centre line, lit from the left.
    auto centreAt = [spine](float y) {
        for (size_t i = 1; i < spine.size(); ++i) {
            if ((spine[i - 1].y - y) * (spine[i].y - y) <= 0) {
                float t = (y - spine[i - 1].y) / (spine[i].y - spine[i - 1].y + 1e-6f);
                return spine[i - 1].x + (spine[i].x - spine[i - 1].x) * t;
            }
        }
        return spine.back().x;
    };
    c.fill(trunkMask.dilated(2.5f), hexColor(pal::ink));
    c.fill(trunkMask, [&](float x, float y) {
        float across = (x - centreAt(y)) / (15 + 14 * (y - crown.y) / (h - crown.y));
        float light = std::clamp(0.62f - 0.35f * across, 0.1f, 1.0f);
        // The scars of old fronds: a ring every so often, curved like a smile.
        float ringPhase = (y + 5.0f * across * across) / 17.0f;
        float ring = std::pow(std::fabs(std::sin(ringPhase * kPi)), 6.0f);
        light -= 0.3f * ring;
        light += 0.05f * fbm(x / 6.0f, y / 30.0f, 31, 2);
        return sampleStops({{0, hexColor(0x4A2E1E)},
                            {0.45f, hexColor(pal::sandShadow)},
                            {0.8f, hexColor(pal::sandDark)},
                            {1, hexColor(pal::sandLight)}},
                           std::clamp(light, 0.0f, 1.0f));
    });

    // Fronds: a rib curving out and drooping, lined with leaflets that shorten to the tip.
    struct Frond {
        float angle;  // direction of the rib's start, radians (0 = right, -pi/2 = up)
        float length;
        float droop;
        bool back;
    };
    const Frond fronds[] = {
        {-1.95f, 175, 0.9f, true},  {-1.2f, 180, 0.9f, true},   {-2.7f, 230, 1.3f, true},
        {-0.45f, 235, 1.3f, true},  {-3.05f, 250, 1.6f, false}, {-0.1f, 255, 1.6f, false},
        {-2.3f, 250, 1.1f, false},  {-0.85f, 250, 1.1f, false}, {-1.6f, 150, 0.5f, false},
        {-2.85f, 200, 2.2f, false}, {-0.3f, 205, 2.2f, false},
    };
    auto drawFrond = [&](const Frond& f, uint32_t seed) {
        Rng rng(seed);
        std::vector<Vec2> rib;
        const int n = 24;
        float a = f.angle;
        Vec2 p = crown;
        rib.push_back(p);
        for (int i = 1; i <= n; ++i) {
            // Gravity bends the rib more the further it reaches.
            float t = static_cast<float>(i) / n;
            float down = f.droop * t * t;
            float dirx = std::cos(a), diry = std::sin(a) + down;
            float len = std::hypot(dirx, diry);
            p = {p.x + dirx / len * f.length / n, p.y + diry / len * f.length / n};
            rib.push_back(p);
        }
        Path leaflets;
        for (int i = 3; i < n; ++i) {
            Vec2 q = rib[i], r = rib[i + 1];
            float dx = r.x - q.x, dy = r.y - q.y, len = std::hypot(dx, dy);
            float nx = -dy / len, ny = dx / len;
            float t = static_cast<float>(i) / n;
            float leafLen = 70 * std::sin(kPi * (0.15f + 0.85f * t)) * (1.0f - 0.35f * t) + 10;
            for (int side = -1; side <= 1; side += 2) {
                // Leaflets hang down and sweep towards the tip.
                float lx = nx * side * 0.8f + dx / len * 0.6f;
                float ly = ny * side * 0.8f + dy / len * 0.6f + 0.7f;
                float ll = std::hypot(lx, ly);
                float jitter = rng.uniform(0.85f, 1.1f);
                Vec2 tip{q.x + lx / ll * leafLen * jitter, q.y + ly / ll * leafLen * jitter};
                addLeaf(leaflets, q, tip, 6.5f, side * 2.0f);
            }
        }
        Path ribPath;
        ribPath.addTaperedStroke(rib, 6, 1.5f);
        Color base = f.back ? hexColor(0x3C6B2C) : hexColor(pal::leaf);
        Mask lm = rasterize(leaflets, w, h).unite(rasterize(ribPath, w, h));
        c.shadow(lm, 5, 7, 4, withAlpha(hexColor(0x10200C), f.back ? 0.2f : 0.35f));
        c.fill(lm.dilated(1.5f), hexColor(0x1C3416));
        c.fill(lm, linearGradient(crown.x - 200, crown.y - 150, crown.x + 200, crown.y + 150,
                                  {{0, shade(base, 1.35f)}, {0.5f, base}, {1, shade(base, 0.7f)}}));
        c.bevel(lm, 2.5f, 0.3f, 0.3f);
        c.fill(ribPath, hexColor(f.back ? 0x6E7E3A : 0xA8B45A));
    };
    uint32_t seed = 90;
    for (const Frond& f : fronds) {
        if (f.back)
            drawFrond(f, seed++);
    }
    // Dates hanging under the crown.
    Path dates;
    Rng rng(5);
    for (int i = 0; i < 9; ++i) {
        float dx = rng.uniform(-30, 30), dy = rng.uniform(6, 30);
        dates.addEllipse(crown.x + dx, crown.y + dy, 9, 11);
    }
    drawPart(c, dates,
             radialGradient(crown.x - 10, crown.y, 40, 40,
                            {{0, hexColor(0xD9822B)}, {1, hexColor(0x8A3E1A)}}),
             inked(1.5f, 4));
    for (const Frond& f : fronds) {
        if (!f.back)
            drawFrond(f, seed++);
    }
    return c;
}

Canvas paintFilter() {
    const int w = 1280, h = 720;
    Canvas c(w, h);
    c.fillAll([](float x, float y) {
        float dx = (x - 640) / 640, dy = (y - 360) / 360;
        float r2 = dx * dx + dy * dy;
        // Vignette: nothing in the middle, deep at the corners, with a hint of magenta.
        float vignette = smoothstep(0.35f, 2.0f, r2) * 0.9f;
        // Scanlines: every third row a little darker, barely there in the middle.
        int row = static_cast<int>(y);
        float scan = (row % 3 == 0) ? 0.05f + 0.07f * smoothstep(0.1f, 1.2f, r2) : 0.0f;
        Color dark = mix(hexColor(0x000000), hexColor(0x2A0030), smoothstep(0.6f, 2.0f, r2));
        float shadeAlpha = vignette + scan * (1 - vignette);
        // Grain: sparse specks, light or dark, evenly spread and laid over the darkening.
        uint32_t hgrain = hash32(static_cast<uint32_t>(x) * 73856093u ^
                                 static_cast<uint32_t>(y) * 19349663u ^ 0xF117E5u);
        float speck = (hgrain & 1023) < 60 ? 0.10f : 0.0f;
        Color speckColor = (hgrain >> 12) & 1 ? hexColor(0xFFF0FF) : hexColor(0x000000);
        float a = speck + shadeAlpha * (1 - speck);
        if (a <= 0)
            return Color{0, 0, 0, 0};
        auto channel = [&](float sc, float dc) {
            return (sc * speck + dc * shadeAlpha * (1 - speck)) / a;
        };
        return Color{channel(speckColor.r, dark.r), channel(speckColor.g, dark.g),
                     channel(speckColor.b, dark.b), std::min(a, 0.95f)};
    });
    return c;
}

Canvas paintLoading() {
    const int w = 1280, h = 720;
    Canvas c(w, h);
    // Dusk: night teal above, cobalt, a warm glow over the dunes.
    c.fillAll(linearGradient(0, 0, 0, h,
                             {{0.0f, hexColor(pal::nightTop)},
                              {0.35f, hexColor(0x17407F)},
                              {0.62f, hexColor(pal::skyTop)},
                              {0.74f, hexColor(0xC98E8A)},
                              {0.82f, hexColor(0xF0B070)}}));
    paintStars(c, 260, 300, 77);
    // Dunes in silhouette, two layers.
    for (int layer = 0; layer < 3; ++layer) {
        std::vector<Vec2> pts;
        for (int x = 0; x <= w; x += 4) {
            float fx = static_cast<float>(x);
            float y = 560 + layer * 45 + 26 * std::sin(fx / (260.0f - layer * 40) + layer * 1.7f) +
                      16 * fbm(fx / 180.0f, layer * 5.0f, 60 + layer, 3);
            pts.push_back({fx, y});
        }
        pts.push_back({static_cast<float>(w), h + 2.0f});
        pts.push_back({0, h + 2.0f});
        Path dune;
        dune.addPolygon(pts);
        const uint32_t tops[] = {0xB77A4A, 0x8A5A3A, 0x5A3828};
        c.fill(dune, linearGradient(0, 520 + layer * 45, 0, h,
                                    {{0, hexColor(tops[layer])}, {1, hexColor(0x2A1810)}}));
    }
    // The emblem in a soft glow.
    Canvas emblem = paintEmblem(250);
    Path halo;
    halo.addCircle(640, 235, 130);
    c.fill(rasterize(halo, w, h).blurred(30), hexColor(pal::magenta), 0.22f);
    c.draw(emblem, 640 - 125, 235 - 125);

    TextStyle small;
    small.font = "DejaVuSans.ttf";
    small.size = 22;
    small.tracking = 6;
    small.fill = solid(hexColor(pal::sandLight));
    drawText(c, "TOVLEK ZERE PRESENTS", 640, 70, Align::Centre, small);

    TextStyle title;
    title.size = 54;
    title.fill =
        linearGradient(0, 420, 0, 470, {{0, hexColor(0xFFFFFF)}, {1, hexColor(pal::sandLight)}});
    title.outline = hexColor(0x0B1A33);
    title.outlineWidth = 3;
    title.glow = hexColor(pal::magenta, 0.55f);
    title.glowRadius = 10;
    drawText(c, credits::title, 640, 450, Align::Centre, title);

    TextStyle edition = small;
    edition.size = 28;
    edition.tracking = 2;
    edition.font = "DejaVuSans-Oblique.ttf";
    edition.fill = solid(hexColor(pal::cream));
    drawText(c, credits::edition, 640, 500, Align::Centre, edition);

    TextStyle loading;
    loading.size = 30;
    loading.tracking = 3;
    loading.fill = solid(hexColor(pal::cream));
    loading.shadow = hexColor(0x000000, 0.6f);
    drawText(c, "loading...", 640, 672, Align::Centre, loading);
    return c;
}
