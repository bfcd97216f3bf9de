#include "tools/assetgen/text.h"

#include <ft2build.h>
#include FT_FREETYPE_H
#include FT_OUTLINE_H

#include <cstdio>
#include <cstdlib>
#include <map>

#include "tools/assetgen/fonts.h"

namespace {

// One open face per font file for the whole run.
FT_Face face(const char* font) {
    static std::map<std::string, FT_Face> faces;
    auto it = faces.find(font);
    if (it != faces.end())
        return it->second;
    FT_Face f = openFont(font);
    faces.emplace(font, f);
    return f;
}

std::vector<uint32_t> decodeUtf8(const std::string& s) {
    std::vector<uint32_t> out;
    for (size_t i = 0; i < s.size();) {
        unsigned char c = static_cast<unsigned char>(s[i]);
        uint32_t cp;
        int extra;
        if (c < 0x80) {
            cp = c;
            extra = 0;
        } else if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F;
            extra = 1;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F;
            extra = 2;
        } else {
            cp = c & 0x07;
            extra = 3;
        }
        ++i;
        for (int k = 0; k < extra && i < s.size(); ++k, ++i) {
            cp = (cp << 6) | (static_cast<unsigned char>(s[i]) & 0x3F);
        }
        out.push_back(cp);
    }
    return out;
}

// Glyph outline decomposition into a Path, in font units mapped by (scale, ox, oy), y flipped.
struct OutlineSink {
    Path* path;
    float scale, ox, oy;
    Vec2 map(const FT_Vector* v) const { return {ox + v->x * scale, oy - v->y * scale}; }
};

int moveToCb(const FT_Vector* to, void* user) {
    auto* s = static_cast<OutlineSink*>(user);
    Vec2 p = s->map(to);
    s->path->moveTo(p.x, p.y);
    return 0;
}

int lineToCb(const FT_Vector* to, void* user) {
    auto* s = static_cast<OutlineSink*>(user);
    Vec2 p = s->map(to);
    s->path->lineTo(p.x, p.y);
    return 0;
}

int conicToCb(const FT_Vector* control, const FT_Vector* to, void* user) {
    auto* s = static_cast<OutlineSink*>(user);
    Vec2 c = s->map(control), p = s->map(to);
    s->path->quadTo(c.x, c.y, p.x, p.y);
    return 0;
}

int cubicToCb(const FT_Vector* c1, const FT_Vector* c2, const FT_Vector* to, void* user) {
    auto* s = static_cast<OutlineSink*>(user);
    Vec2 a = s->map(c1), b = s->map(c2), p = s->map(to);
    s->path->cubicTo(a.x, a.y, b.x, b.y, p.x, p.y);
    return 0;
}

// Walks the glyphs of a line: calls visit(glyph index, pen x in pixels) for each and returns
// the advance width.
template <typename Visit>
float layout(const std::string& text, const char* font, float size, float tracking, Visit visit) {
    FT_Face f = face(font);
    float scale = size / f->units_per_EM;
    float pen = 0;
    FT_UInt previous = 0;
    for (uint32_t cp : decodeUtf8(text)) {
        FT_UInt glyph = FT_Get_Char_Index(f, cp);
        if (previous && glyph && FT_HAS_KERNING(f)) {
            FT_Vector kern;
            if (FT_Get_Kerning(f, previous, glyph, FT_KERNING_UNSCALED, &kern) == 0) {
                pen += kern.x * scale;
            }
        }
        if (FT_Load_Glyph(f, glyph, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING) != 0) {
            std::fprintf(stderr, "assetgen: cannot load glyph %u of %s\n", cp, font);
            std::exit(1);
        }
        visit(f, pen, scale);
        pen += f->glyph->advance.x * scale + tracking;
        previous = glyph;
    }
    return pen - (text.empty() ? 0 : tracking);
}

}  // namespace

Path textPath(const std::string& text, const char* font, float size, float x, float baseline,
              float tracking) {
    Path path;
    FT_Outline_Funcs funcs{moveToCb, lineToCb, conicToCb, cubicToCb, 0, 0};
    layout(text, font, size, tracking, [&](FT_Face f, float pen, float scale) {
        if (f->glyph->format != FT_GLYPH_FORMAT_OUTLINE)
            return;
        // Each glyph's contours keep the font's own directions, so counters stay holes.
        OutlineSink sink{&path, scale, x + pen, baseline};
        FT_Outline_Decompose(&f->glyph->outline, &funcs, &sink);
    });
    return path;
}

float textWidth(const std::string& text, const char* font, float size, float tracking) {
    return layout(text, font, size, tracking, [](FT_Face, float, float) {});
}

float fontAscent(const char* font, float size) {
    FT_Face f = face(font);
    return f->ascender * size / f->units_per_EM;
}

float fontDescent(const char* font, float size) {
    FT_Face f = face(font);
    return -f->descender * size / f->units_per_EM;
}

float drawText(Canvas& canvas, const std::string& text, float x, float baseline, Align align,
               const TextStyle& style) {
    float width = textWidth(text, style.font, style.size, style.tracking);
    float left = align == Align::Left ? x : (align == Align::Centre ? x - width / 2 : x - width);
    Path path = textPath(text, style.font, style.size, left, baseline, style.tracking);
    Mask mask = rasterize(path, canvas.width(), canvas.height());
    Mask body =
        style.outline.a > 0 && style.outlineWidth > 0 ? mask.dilated(style.outlineWidth) : mask;
    if (style.glow.a > 0)
        canvas.fill(body.blurred(style.glowRadius), style.glow);
    if (style.shadow.a > 0) {
        canvas.shadow(body, style.shadowDx, style.shadowDy, style.shadowBlur, style.shadow);
    }
    if (style.outline.a > 0 && style.outlineWidth > 0)
        canvas.fill(body, style.outline);
    if (style.fillTop.a > 0) {
        canvas.fill(mask, linearGradient(0, baseline - style.size * 0.75f, 0, baseline,
                                         {{0, style.fillTop}, {1, style.fillBase}}));
    } else {
        canvas.fill(mask, style.fill);
    }
    return width;
}

std::vector<std::string> wrapText(const std::string& text, const char* font, float size,
                                  float maxWidth) {
    std::vector<std::string> lines;
    std::string line, word;
    auto flushWord = [&] {
        if (word.empty())
            return;
        std::string candidate = line.empty() ? word : line + " " + word;
        if (!line.empty() && textWidth(candidate, font, size) > maxWidth) {
            lines.push_back(line);
            line = word;
        } else {
            line = candidate;
        }
        word.clear();
    };
    for (char c : text) {
        if (c == ' ') {
            flushWord();
        } else if (c == '\n') {
            flushWord();
            lines.push_back(line);
            line.clear();
        } else {
            word += c;
        }
    }
    flushWord();
    if (!line.empty())
        lines.push_back(line);
    return lines;
}
