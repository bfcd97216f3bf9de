// Where a sprite's picture can change the pixels under it. A blended texel of alpha 0 leaves the
// pixel exactly as it was, so a mostly transparent picture (a character, a speech bubble, lines
// of text) need only be rasterised where its texels hold some alpha. The sprite is still drawn
// whole, once per rectangle of window pixels under a scissor: every pixel inside gets exactly
// the value the single draw gives it, and the rectangles never overlap.
#pragma once

#include <SFML/Graphics.hpp>

#include <vector>

// Columns [begin, end) of texels.
struct TexelRun {
    int begin = 0;
    int end = 0;
};

// Texel rows [top, bottom) and the column runs that hold alpha in them or in the two rows on
// either side (which a filtered sample near the band's edge may reach).
struct CoverageBand {
    int top = 0;
    int bottom = 0;
    std::vector<TexelRun> runs;
};

struct Coverage {
    int width = 0;
    int height = 0;
    std::vector<CoverageBand> bands;  // every row of the picture, in order; some without runs
    bool worthIt = false;             // the runs leave out enough of the picture to pay
};

// Bands of `bandRows` texel rows; runs closer than `minGap` columns are joined.
Coverage findCoverage(const sf::Image& image, int bandRows = 8, int minGap = 32);

// Whether the window draws in its own pixels: a view over the whole window, unturned, one unit
// to the pixel (a window at another size than the picture's scales the view to fit).
bool viewIsWindowPixels(const sf::RenderWindow& window);

// Disjoint rectangles of window pixels (left, top from the window's top-left) outside which the
// sprite changes no pixel. False when that cannot be worked out simply (a turned sprite, a
// partial texture rectangle, a view other than the window's own): then draw it whole.
bool coverageRects(const Coverage& coverage, const sf::Sprite& sprite,
                   const sf::RenderWindow& window, std::vector<sf::IntRect>& rects);
