// Text for the generated pictures: lines set with FreeType glyph outlines (unhinted, so the same
// shapes at any size), kerned, and filled through the canvas with outlines, glows and shadows.
#pragma once

#include <string>
#include <vector>

#include "tools/assetgen/canvas.h"

enum class Align { Left, Centre, Right };

struct TextStyle {
    const char* font = "DejaVuSans-Bold.ttf";
    float size = 32;     // pixels per em
    float tracking = 0;  // extra space after each letter, in pixels
    Paint fill = solid({1, 1, 1, 1});
    // When its alpha is above 0, the letters shade from this colour at their tops to `fillBase`
    // on the baseline instead of using `fill`.
    Color fillTop{0, 0, 0, 0};
    Color fillBase{1, 1, 1, 1};
    Color outline{0, 0, 0, 0};  // drawn when its alpha is above 0
    float outlineWidth = 0;
    Color shadow{0, 0, 0, 0};  // drawn when its alpha is above 0
    float shadowDx = 2, shadowDy = 3, shadowBlur = 2;
    Color glow{0, 0, 0, 0};  // a soft halo, drawn when its alpha is above 0
    float glowRadius = 6;
};

// Outline of a line of UTF-8 text with its pen starting at (x, baseline).
Path textPath(const std::string& text, const char* font, float size, float x, float baseline,
              float tracking = 0);
// Advance width of a line of text, kerning included.
float textWidth(const std::string& text, const char* font, float size, float tracking = 0);
// The font's ascender and descender (positive, pixels) at a size.
float fontAscent(const char* font, float size);
float fontDescent(const char* font, float size);

// Draws one line with its pen on `baseline`, placed by `align` about x; returns its width.
float drawText(Canvas& canvas, const std::string& text, float x, float baseline, Align align,
               const TextStyle& style);

// Breaks text into lines no wider than maxWidth (at word boundaries).
std::vector<std::string> wrapText(const std::string& text, const char* font, float size,
                                  float maxWidth);
