// Drawing for the generated pictures: an RGBA float canvas with anti-aliased filled paths
// (exact area coverage, non-zero winding), gradients, soft shadows and blur, seeded noise,
// compositing of layers, and PNG/JPEG writing. Everything is deterministic: the same calls give
// the same bytes on every run.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// ---------------------------------------------------------------------------------------------
// Colours and points

// Straight (not premultiplied) colour, each channel 0..1.
struct Color {
    float r = 0, g = 0, b = 0, a = 1;
};

// 0xRRGGBB with an alpha.
Color hexColor(uint32_t rgb, float alpha = 1.0f);
Color mix(const Color& a, const Color& b, float t);
Color withAlpha(Color c, float alpha);
// Multiplies the colour channels (not alpha) by k: k < 1 darkens, k > 1 brightens.
Color shade(Color c, float k);

struct Vec2 {
    float x = 0, y = 0;
};

// Affine map p' = (a x + b y + c, d x + e y + f).
struct Affine {
    float a = 1, b = 0, c = 0, d = 0, e = 1, f = 0;
    static Affine translate(float x, float y) { return {1, 0, x, 0, 1, y}; }
    static Affine scale(float sx, float sy) { return {sx, 0, 0, 0, sy, 0}; }
    // Turn by `radians` (clockwise on screen, where y runs down) about (cx, cy).
    static Affine rotate(float radians, float cx = 0, float cy = 0);
    Vec2 apply(Vec2 p) const { return {a * p.x + b * p.y + c, d * p.x + e * p.y + f}; }
    // The map that applies `first`, then this one.
    Affine operator*(const Affine& first) const;
};

// ---------------------------------------------------------------------------------------------
// Paths

// Closed contours of straight segments; curves are flattened when added. Filling uses the
// non-zero rule with every winding counted as full cover, so overlapping shapes added in the same
// direction merge, and a contour added reversed cuts a hole.
class Path {
public:
    void moveTo(float x, float y);
    void lineTo(float x, float y);
    void quadTo(float cx, float cy, float x, float y);
    void cubicTo(float c1x, float c1y, float c2x, float c2y, float x, float y);
    void close();

    void addPolygon(const std::vector<Vec2>& points, bool hole = false);
    void addRect(float x, float y, float w, float h, bool hole = false);
    void addRoundedRect(float x, float y, float w, float h, float radius, bool hole = false);
    void addEllipse(float cx, float cy, float rx, float ry, bool hole = false);
    void addCircle(float cx, float cy, float r, bool hole = false) {
        addEllipse(cx, cy, r, r, hole);
    }
    // A ring: the area between two circles.
    void addRing(float cx, float cy, float outer, float inner);
    // A thick polyline with round joins and round caps.
    void addStroke(const std::vector<Vec2>& points, float width);
    // A thick polyline whose width goes from w0 at its start to w1 at its end, round ends.
    void addTaperedStroke(const std::vector<Vec2>& points, float w0, float w1);
    void addPath(const Path& other);

    Path transformed(const Affine& m) const;
    bool empty() const { return contours_.empty(); }
    const std::vector<std::vector<Vec2>>& contours() const { return contours_; }
    // Bounding box of all points: x0, y0, x1, y1.
    void bounds(float& x0, float& y0, float& x1, float& y1) const;

private:
    std::vector<std::vector<Vec2>> contours_;
    Vec2 pen_;
};

// Points along a cubic Bézier curve, `steps` + 1 of them including both ends.
std::vector<Vec2> cubicPoints(Vec2 p0, Vec2 p1, Vec2 p2, Vec2 p3, int steps);

// ---------------------------------------------------------------------------------------------
// Masks: coverage 0..1 over a rectangle of pixels

struct Mask {
    int x0 = 0, y0 = 0, w = 0, h = 0;
    std::vector<float> a;

    float at(int x, int y) const {
        x -= x0;
        y -= y0;
        if (x < 0 || y < 0 || x >= w || y >= h)
            return 0.0f;
        return a[static_cast<size_t>(y) * w + x];
    }
    bool empty() const { return w <= 0 || h <= 0; }

    // Gaussian-like blur (three box passes) with standard deviation about `radius`; the mask
    // grows by the blur's reach.
    Mask blurred(float radius) const;
    Mask shifted(int dx, int dy) const;
    // Grown by `radius` pixels in every direction (round).
    Mask dilated(float radius) const;
    Mask scaled(float k) const;
    // Coverage of this mask where `other` does not cover.
    Mask minus(const Mask& other) const;
    // Coverage common to both.
    Mask intersect(const Mask& other) const;
    // Union (the larger coverage at each pixel).
    Mask unite(const Mask& other) const;
};

// Rasterises a path into a mask clipped to the rectangle 0..clipW x 0..clipH.
Mask rasterize(const Path& path, int clipW, int clipH);

// ---------------------------------------------------------------------------------------------
// Paints

// A colour for each pixel centre (x + 0.5, y + 0.5) of the canvas.
using Paint = std::function<Color(float x, float y)>;

struct GradientStop {
    float t;
    Color color;
};

Paint solid(Color c);
// Colour along the line from (x0, y0) to (x1, y1), clamped at both ends.
Paint linearGradient(float x0, float y0, float x1, float y1, std::vector<GradientStop> stops);
// Colour by distance from (cx, cy): t = 0 at the centre, 1 at radius r (elliptical with ry).
Paint radialGradient(float cx, float cy, float rx, float ry, std::vector<GradientStop> stops);
Color sampleStops(const std::vector<GradientStop>& stops, float t);

// ---------------------------------------------------------------------------------------------
// Noise, seeded and repeatable

uint32_t hash32(uint32_t x);
// Smooth value noise in -1..1 with features about 1 unit apart.
float valueNoise(float x, float y, uint32_t seed);
// Sum of `octaves` layers of value noise, roughly -1..1.
float fbm(float x, float y, uint32_t seed, int octaves = 4);

// A small deterministic random generator (xorshift).
class Rng {
public:
    explicit Rng(uint32_t seed) : s_(seed ? seed : 0x9E3779B9u) {}
    uint32_t next();
    // Uniform in [lo, hi).
    float uniform(float lo = 0.0f, float hi = 1.0f);

private:
    uint32_t s_;
};

// ---------------------------------------------------------------------------------------------
// The canvas

enum class Blend { Over, Add, Multiply };

class Canvas {
public:
    Canvas(int w, int h, Color fillColor = {0, 0, 0, 0});

    int width() const { return w_; }
    int height() const { return h_; }

    // Straight colour of a pixel.
    Color pixel(int x, int y) const;

    void clear(Color c);
    // Paints the whole canvas (every pixel) with `paint`, composited over what is there.
    void fillAll(const Paint& paint, Blend blend = Blend::Over);
    void fill(const Mask& mask, const Paint& paint, float opacity = 1.0f,
              Blend blend = Blend::Over);
    void fill(const Mask& mask, Color c, float opacity = 1.0f, Blend blend = Blend::Over) {
        fill(mask, solid(c), opacity, blend);
    }
    void fill(const Path& path, const Paint& paint, float opacity = 1.0f,
              Blend blend = Blend::Over) {
        fill(rasterize(path, w_, h_), paint, opacity, blend);
    }
    void fill(const Path& path, Color c, float opacity = 1.0f, Blend blend = Blend::Over) {
        fill(rasterize(path, w_, h_), solid(c), opacity, blend);
    }

    // A soft shadow of `mask`, offset and blurred, in colour c.
    void shadow(const Mask& mask, float dx, float dy, float blur, Color c);

    // Lights a filled shape as if it were a rounded relief lit from the upper left: brightens
    // the edges that face the light (by `highlight`, 0..1) and darkens the others (by
    // `darkness`), within about `depth` pixels of the edge.
    void bevel(const Mask& mask, float depth, float highlight, float darkness);

    // Draws another canvas with its top-left corner at (dx, dy).
    void draw(const Canvas& src, int dx, int dy, float opacity = 1.0f, Blend blend = Blend::Over);
    // Blurs colour and alpha together.
    void blur(float radius);
    // Multiplies every pixel's alpha (and premultiplied colour) by m(x, y).
    void multiplyAlpha(const std::function<float(float x, float y)>& m);
    // Keeps only the parts covered by the mask (everything else becomes transparent).
    void clipTo(const Mask& mask);

    // Writes 8-bit RGBA PNG (or RGB where `opaque`); exits with a message on failure.
    void writePNG(const std::string& path, bool opaque = false) const;
    // Writes an RGB JPEG, composited over black.
    void writeJPEG(const std::string& path, int quality) const;

    // 8-bit straight RGBA, rounded.
    std::vector<uint8_t> rgba8() const;

private:
    int w_, h_;
    std::vector<float> px_;  // premultiplied RGBA
};
