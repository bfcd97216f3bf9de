#include "tools/assetgen/letters.h"

#include <GL/gl.h>
#include <GL/glu.h>
#include FT_OUTLINE_H

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <memory>

#ifndef CALLBACK
#define CALLBACK  // the tessellator's callbacks use the platform's default convention here
#endif

namespace modelgen {

namespace {

// ---------------------------------------------------------------------------------------------
// Glyph outlines

struct Decomposer {
    Outline* outline;
    float scale;    // font units to em
    float originX;  // pen position, em
    Point2 last;

    Point2 at(const FT_Vector* v) const {
        return {originX + float(v->x) * scale, float(v->y) * scale};
    }
    void add(Point2 p) {
        Contour& c = outline->back();
        if (!c.empty() && std::fabs(c.back().x - p.x) < 1e-6f &&
            std::fabs(c.back().y - p.y) < 1e-6f)
            return;
        c.push_back(p);
        last = p;
    }
};

constexpr int kCurveSteps = 8;

int moveTo(const FT_Vector* to, void* user) {
    auto* d = static_cast<Decomposer*>(user);
    d->outline->emplace_back();
    d->add(d->at(to));
    return 0;
}

int lineTo(const FT_Vector* to, void* user) {
    auto* d = static_cast<Decomposer*>(user);
    d->add(d->at(to));
    return 0;
}

int conicTo(const FT_Vector* control, const FT_Vector* to, void* user) {
    auto* d = static_cast<Decomposer*>(user);
    const Point2 p0 = d->last, p1 = d->at(control), p2 = d->at(to);
    for (int i = 1; i <= kCurveSteps; ++i) {
        const float t = float(i) / kCurveSteps, u = 1 - t;
        d->add({u * u * p0.x + 2 * u * t * p1.x + t * t * p2.x,
                u * u * p0.y + 2 * u * t * p1.y + t * t * p2.y});
    }
    return 0;
}

int cubicTo(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
    auto* d = static_cast<Decomposer*>(user);
    const Point2 p0 = d->last, p1 = d->at(c1), p2 = d->at(c2), p3 = d->at(to);
    for (int i = 1; i <= kCurveSteps; ++i) {
        const float t = float(i) / kCurveSteps, u = 1 - t;
        const float a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, e = t * t * t;
        d->add(
            {a * p0.x + b * p1.x + c * p2.x + e * p3.x, a * p0.y + b * p1.y + c * p2.y + e * p3.y});
    }
    return 0;
}

void closeContours(Outline& outline) {
    for (Contour& c : outline) {
        while (c.size() > 1 && std::fabs(c.front().x - c.back().x) < 1e-6f &&
               std::fabs(c.front().y - c.back().y) < 1e-6f) {
            c.pop_back();
        }
    }
    outline.erase(std::remove_if(outline.begin(), outline.end(),
                                 [](const Contour& c) { return c.size() < 3; }),
                  outline.end());
}

// ---------------------------------------------------------------------------------------------
// Tessellation

struct TessVertex {
    GLdouble xyz[3];
};

struct TessState {
    std::deque<TessVertex> extra;  // vertices made where edges cross; addresses must not move
    std::vector<Point2> corners;
    bool failed = false;
};

void CALLBACK tessBegin(GLenum, void*) {}
void CALLBACK tessEdgeFlag(GLboolean, void*) {}  // its presence makes GLU emit plain triangles
void CALLBACK tessEnd(void*) {}

void CALLBACK tessVertex(void* vertex, void* data) {
    auto* v = static_cast<TessVertex*>(vertex);
    static_cast<TessState*>(data)->corners.push_back({float(v->xyz[0]), float(v->xyz[1])});
}

void CALLBACK tessCombine(GLdouble coords[3], void* [4], GLfloat[4], void** out, void* data) {
    auto* state = static_cast<TessState*>(data);
    state->extra.push_back({{coords[0], coords[1], coords[2]}});
    *out = &state->extra.back();
}

void CALLBACK tessError(GLenum code, void* data) {
    std::fprintf(stderr, "zandar-assetgen: tessellation failed: %s\n",
                 reinterpret_cast<const char*>(gluErrorString(code)));
    static_cast<TessState*>(data)->failed = true;
}

struct TessDeleter {
    void operator()(GLUtesselator* t) const { gluDeleteTess(t); }
};

float cross2(Point2 o, Point2 a, Point2 b) {
    return (a.x - o.x) * (b.y - o.y) - (a.y - o.y) * (b.x - o.x);
}

}  // namespace

float signedArea(const Contour& c) {
    double area = 0;
    for (std::size_t i = 0; i < c.size(); ++i) {
        const Point2 a = c[i], b = c[(i + 1) % c.size()];
        area += double(a.x) * b.y - double(b.x) * a.y;
    }
    return float(area / 2);
}

void normaliseOutline(Outline& outline, bool outerClockwise) {
    closeContours(outline);
    if (outerClockwise) {
        for (Contour& c : outline) std::reverse(c.begin(), c.end());
    }
}

Outline textOutline(FT_Face face, const std::string& text, float* advance) {
    Outline outline;
    const float scale = 1.0f / float(face->units_per_EM);
    float pen = 0;
    FT_UInt previous = 0;
    FT_Outline_Funcs funcs{};
    funcs.move_to = moveTo;
    funcs.line_to = lineTo;
    funcs.conic_to = conicTo;
    funcs.cubic_to = cubicTo;
    for (unsigned char ch : text) {
        const FT_UInt glyph = FT_Get_Char_Index(face, ch);
        if (previous != 0 && glyph != 0 && FT_HAS_KERNING(face)) {
            FT_Vector kern;
            if (FT_Get_Kerning(face, previous, glyph, FT_KERNING_UNSCALED, &kern) == 0)
                pen += float(kern.x) * scale;
        }
        if (FT_Load_Glyph(face, glyph, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) !=
            0) {
            std::fprintf(stderr, "zandar-assetgen: no glyph for '%c'\n", ch);
            std::exit(1);
        }
        FT_Outline* glyphOutline = &face->glyph->outline;
        Outline letter;
        Decomposer d{&letter, scale, pen, {}};
        FT_Outline_Decompose(glyphOutline, &funcs, &d);
        normaliseOutline(letter,
                         FT_Outline_Get_Orientation(glyphOutline) == FT_ORIENTATION_TRUETYPE);
        outline.insert(outline.end(), letter.begin(), letter.end());
        pen += float(face->glyph->advance.x) * scale;
        previous = glyph;
    }
    if (advance)
        *advance = pen;
    return outline;
}

std::vector<std::array<Point2, 3>> fillOutline(const Outline& outline) {
    TessState state;
    std::unique_ptr<GLUtesselator, TessDeleter> tess(gluNewTess());
    using Callback = void(CALLBACK*)();
    gluTessCallback(tess.get(), GLU_TESS_BEGIN_DATA, reinterpret_cast<Callback>(tessBegin));
    gluTessCallback(tess.get(), GLU_TESS_EDGE_FLAG_DATA, reinterpret_cast<Callback>(tessEdgeFlag));
    gluTessCallback(tess.get(), GLU_TESS_VERTEX_DATA, reinterpret_cast<Callback>(tessVertex));
    gluTessCallback(tess.get(), GLU_TESS_END_DATA, reinterpret_cast<Callback>(tessEnd));
    gluTessCallback(tess.get(), GLU_TESS_COMBINE_DATA, reinterpret_cast<Callback>(tessCombine));
    gluTessCallback(tess.get(), GLU_TESS_ERROR_DATA, reinterpret_cast<Callback>(tessError));
    gluTessProperty(tess.get(), GLU_TESS_WINDING_RULE, GLU_TESS_WINDING_NONZERO);
    gluTessNormal(tess.get(), 0, 0, 1);

    std::deque<TessVertex> input;
    gluTessBeginPolygon(tess.get(), &state);
    for (const Contour& c : outline) {
        gluTessBeginContour(tess.get());
        for (Point2 p : c) {
            input.push_back({{p.x, p.y, 0.0}});
            gluTessVertex(tess.get(), input.back().xyz, &input.back());
        }
        gluTessEndContour(tess.get());
    }
    gluTessEndPolygon(tess.get());
    if (state.failed)
        std::exit(1);

    std::vector<std::array<Point2, 3>> triangles;
    for (std::size_t i = 0; i + 2 < state.corners.size(); i += 3) {
        std::array<Point2, 3> t{state.corners[i], state.corners[i + 1], state.corners[i + 2]};
        const float area = cross2(t[0], t[1], t[2]);
        if (std::fabs(area) < 1e-12f)
            continue;
        if (area < 0)
            std::swap(t[1], t[2]);
        triangles.push_back(t);
    }
    return triangles;
}

namespace {

// The contour moved `width` into the solid (to the left of each edge), corners mitred, the mitre
// limited so that sharp corners do not throw spikes.
Contour insetContour(const Contour& c, float width) {
    const std::size_t n = c.size();
    Contour out(n);
    for (std::size_t i = 0; i < n; ++i) {
        const Point2 p = c[(i + n - 1) % n], q = c[i], r = c[(i + 1) % n];
        auto leftNormal = [](Point2 a, Point2 b) {
            const float dx = b.x - a.x, dy = b.y - a.y;
            const float len = std::sqrt(dx * dx + dy * dy);
            return Point2{-dy / len, dx / len};
        };
        const Point2 n0 = leftNormal(p, q), n1 = leftNormal(q, r);
        Point2 m{n0.x + n1.x, n0.y + n1.y};
        const float len = std::sqrt(m.x * m.x + m.y * m.y);
        if (len < 1e-4f) {
            m = n0;
        } else {
            m = {m.x / len, m.y / len};
        }
        const float cosHalf = std::max(0.4f, m.x * n0.x + m.y * n0.y);
        out[i] = {q.x + m.x * width / cosHalf, q.y + m.y * width / cosHalf};
    }
    return out;
}

}  // namespace

void extrudeOutline(Mesh& mesh, const Outline& outline, const ExtrudeStyle& style) {
    const bool chamfered = style.chamfer > 0;
    const float shoulder = chamfered ? style.front - style.chamfer : style.front;

    Outline faceOutline = outline;
    if (chamfered) {
        for (Contour& c : faceOutline) c = insetContour(c, style.chamfer);
    }

    mesh.group(style.faceGroup, style.faceMaterial);
    for (const auto& t : fillOutline(faceOutline)) {
        mesh.triangle(mesh.vertex({t[0].x, t[0].y, style.front}),
                      mesh.vertex({t[1].x, t[1].y, style.front}),
                      mesh.vertex({t[2].x, t[2].y, style.front}));
    }

    // Walls: the solid lies left of each edge, so a quad from back to front along the edge faces
    // out to its right.
    mesh.group(style.sideGroup, style.sideMaterial);
    for (const Contour& c : outline) {
        const std::size_t n = c.size();
        for (std::size_t i = 0; i < n; ++i) {
            const Point2 a = c[i], b = c[(i + 1) % n];
            mesh.quad(mesh.vertex({a.x, a.y, style.back}), mesh.vertex({b.x, b.y, style.back}),
                      mesh.vertex({b.x, b.y, shoulder}), mesh.vertex({a.x, a.y, shoulder}));
        }
    }
    if (style.closeBack) {
        for (const auto& t : fillOutline(outline)) {
            mesh.triangle(mesh.vertex({t[0].x, t[0].y, style.back}),
                          mesh.vertex({t[2].x, t[2].y, style.back}),
                          mesh.vertex({t[1].x, t[1].y, style.back}));
        }
    }

    if (!chamfered)
        return;
    mesh.group(style.edgeGroup, style.edgeMaterial);
    for (std::size_t k = 0; k < outline.size(); ++k) {
        const Contour& c = outline[k];
        const Contour& in = faceOutline[k];
        const std::size_t n = c.size();
        for (std::size_t i = 0; i < n; ++i) {
            const std::size_t j = (i + 1) % n;
            mesh.quad(mesh.vertex({c[i].x, c[i].y, shoulder}),
                      mesh.vertex({c[j].x, c[j].y, shoulder}),
                      mesh.vertex({in[j].x, in[j].y, style.front}),
                      mesh.vertex({in[i].x, in[i].y, style.front}));
        }
    }
}

}  // namespace modelgen
