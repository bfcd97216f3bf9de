// Texts: the four credit cards and the two scrolls, set to be read while they move.
#include <algorithm>
#include <cmath>

#include "tools/assetgen/img_common.h"

namespace {

// One line of a scroll: its text and how it is set.
struct ScrollLine {
    std::string text;
    int kind;  // 0 body, 1 heading, 2 accent, 3 small, -1 blank (half a line)
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Credit cards: a rounded night-teal card with a soft shadow, the emblem, a role and a name.

Canvas paintCreditCard(int index) {
    const int w = 800, h = 300;
    Canvas c(w, h);
    const float x0 = 28, y0 = 26, cw = 736, ch = 240, radius = 30;
    Path card;
    card.addRoundedRect(x0, y0, cw, ch, radius);
    Mask cardMask = rasterize(card, w, h);
    c.shadow(cardMask, 10, 12, 9, hexColor(0x000000, 0.6f));
    // Magenta rim glow, the one loud colour on the card.
    c.fill(cardMask.dilated(3).blurred(4), hexColor(pal::magenta), 0.55f);
    c.fill(cardMask, linearGradient(x0, y0, x0 + cw * 0.6f, y0 + ch * 1.4f,
                                    {{0, hexColor(0x1E6E7E)},
                                     {0.5f, hexColor(pal::nightBottom)},
                                     {1, hexColor(pal::nightTop)}}));
    // Dunes along the bottom of the card, and a few stars above them.
    std::vector<Vec2> dune;
    for (int x = 0; x <= w; x += 4) {
        float fx = static_cast<float>(x);
        dune.push_back({fx, 222 + 14 * std::sin(fx / 90.0f + index) + 8 * std::sin(fx / 37.0f)});
    }
    dune.push_back({static_cast<float>(w), static_cast<float>(h)});
    dune.push_back({0, static_cast<float>(h)});
    Path dunePath;
    dunePath.addPolygon(dune);
    c.fill(rasterize(dunePath, w, h).intersect(cardMask), hexColor(0x08242E), 0.9f);
    Rng rng(100 + index);
    Path stars;
    for (int i = 0; i < 40; ++i) {
        stars.addCircle(rng.uniform(x0 + 200, x0 + cw - 20), rng.uniform(y0 + 12, y0 + 170),
                        rng.uniform(0.6f, 1.6f));
    }
    c.fill(rasterize(stars, w, h).intersect(cardMask), hexColor(0xDFF4F8), 0.6f);
    c.bevel(cardMask, 6, 0.3f, 0.35f);
    // A fine gold line inset from the edge.
    Path inset;
    inset.addRoundedRect(x0 + 10, y0 + 10, cw - 20, ch - 20, radius - 8);
    inset.addRoundedRect(x0 + 12, y0 + 12, cw - 24, ch - 24, radius - 10, true);
    c.fill(inset, hexColor(pal::sandLight), 0.85f);

    Canvas emblem = paintEmblem(150);
    c.draw(emblem, static_cast<int>(x0 + 22), static_cast<int>(y0 + (ch - 150) / 2));

    TextStyle role;
    role.font = "DejaVuSans.ttf";
    role.size = 30;
    role.tracking = 7;
    role.fill = solid(hexColor(pal::sandLight));
    role.shadow = hexColor(0x000000, 0.6f);
    TextStyle name;
    name.size = 92;
    name.fillTop = hexColor(0xFFFFFF);
    name.fillBase = hexColor(pal::sandHigh);
    name.outline = hexColor(0x06161C);
    name.outlineWidth = 3;
    name.glow = hexColor(pal::magenta, 0.6f);
    name.glowRadius = 8;
    const float textX = 470;
    switch (index) {
        case 1:
            drawText(c, "CODE", textX, 100, Align::Centre, role);
            drawText(c, credits::code, textX, 200, Align::Centre, name);
            break;
        case 2:
            drawText(c, "GRAPHICS", textX, 100, Align::Centre, role);
            drawText(c, credits::graphics, textX, 200, Align::Centre, name);
            break;
        case 3:
            drawText(c, "MUSIC", textX, 100, Align::Centre, role);
            drawText(c, credits::music, textX, 200, Align::Centre, name);
            break;
        default: {
            // Two roles share the last card.
            TextStyle smallName = name;
            smallName.size = 56;
            TextStyle smallRole = role;
            smallRole.size = 24;
            smallRole.tracking = 5;
            drawText(c, "3D MODELS", textX, 82, Align::Centre, smallRole);
            drawText(c, credits::models, textX, 140, Align::Centre, smallName);
            drawText(c, "ORGANISING", textX, 184, Align::Centre, smallRole);
            drawText(c, credits::organiser, textX, 240, Align::Centre, smallName);
            break;
        }
    }
    return c;
}

// ---------------------------------------------------------------------------------------------
// Scrolls

namespace {

// Sets lines centred in a w-wide transparent canvas, spread evenly from the top to the bottom
// margin so the text fills the whole scroll. gaps[kind] is a line's natural advance; blank lines
// take half a body line.
Canvas setScroll(int w, int h, float margin, const std::vector<ScrollLine>& lines,
                 const TextStyle styles[4], const float gaps[4]) {
    Canvas c(w, h);
    float natural = 0;
    for (const ScrollLine& l : lines) natural += l.kind < 0 ? gaps[0] * 0.5f : gaps[l.kind];
    // The last line's descenders need room below its baseline.
    const ScrollLine& last = lines.back();
    float tail = last.kind < 0 ? 0 : fontDescent(styles[last.kind].font, styles[last.kind].size);
    float stretch = (h - 2 * margin - tail) / natural;
    float y = margin;
    for (const ScrollLine& l : lines) {
        if (l.kind < 0) {
            y += gaps[0] * 0.5f * stretch;
            continue;
        }
        y += gaps[l.kind] * stretch;
        drawText(c, l.text, w / 2.0f, y, Align::Centre, styles[l.kind]);
    }
    return c;
}

}  // namespace

Canvas paintNightScroll() {
    // Shown three times enlarged over the night oasis: large, plain letters with a dark rim so
    // they stay crisp and readable over the model.
    const int w = 420, h = 600;
    TextStyle body;
    body.size = 25;
    body.fill = solid(hexColor(pal::cream));
    body.outline = hexColor(0x04141A, 0.9f);
    body.outlineWidth = 2;
    TextStyle heading = body;
    heading.size = 34;
    heading.fillTop = hexColor(0xFFFFFF);
    heading.fillBase = hexColor(pal::sandLight);
    TextStyle accent = body;
    accent.fill = solid(hexColor(0xB8F0F8));
    TextStyle small = body;
    small.size = 20;
    small.fill = solid(hexColor(pal::sandLight));
    const TextStyle styles[4] = {body, heading, accent, small};
    const float gaps[4] = {31, 40, 31, 28};
    std::vector<ScrollLine> lines = {
        {"GOOD EVENING,", 1},
        {"DESERT PARTY!", 1},
        {"", -1},
        {"the night is cool,", 0},
        {"the oasis sleeps", 0},
        {"and tovlek zere", 0},
        {"say hello to every", 0},
        {"coder, pixeler and", 0},
        {"tracker in the hall.", 0},
        {"", -1},
        {"greetings to the", 2},
        {"sandpipers, duneware,", 2},
        {"oasis nine and the", 2},
        {"mirage collective!", 2},
        {"", -1},
        {"drink tea, stay up,", 0},
        {"watch the stars.", 0},
        {"", -1},
        {"- vorn, ekka, trudel,", 3},
        {"mips, oo, grobbler -", 3},
    };
    return setScroll(w, h, 6, lines, styles, gaps);
}

Canvas paintFinalScroll() {
    // The end text over the day sky at full size: white with a cobalt rim and a soft shadow.
    const int w = 1040, h = 960;
    TextStyle body;
    body.size = 30;
    body.fill = solid(hexColor(0xFFFFFF));
    body.outline = hexColor(0x0E2A6B);
    body.outlineWidth = 2.5f;
    body.shadow = hexColor(0x0A1A40, 0.55f);
    body.shadowDx = 3;
    body.shadowDy = 4;
    body.shadowBlur = 3;
    TextStyle heading = body;
    heading.size = 54;
    heading.outlineWidth = 3.5f;
    heading.fillTop = hexColor(0xFFFFFF);
    heading.fillBase = hexColor(pal::sandLight);
    heading.glow = hexColor(pal::magenta, 0.5f);
    heading.glowRadius = 9;
    TextStyle accent = body;
    accent.fill = solid(hexColor(pal::sandHigh));
    TextStyle small = body;
    small.size = 26;
    const TextStyle styles[4] = {body, heading, accent, small};
    const float gaps[4] = {38, 62, 38, 33};
    std::vector<ScrollLine> lines = {
        {"THAT'S ALL, FOLKS!", 1},
        {"", -1},
        {credits::title, 2},
        {std::string(credits::edition) + " by " + credits::group, 0},
        {"", -1},
        {std::string("code: ") + credits::code + "    graphics: " + credits::graphics, 0},
        {std::string("music: ") + credits::music + "    3d models: " + credits::models, 0},
        {std::string("organising: ") + credits::organiser, 0},
        {"", -1},
        {"you saw the emblem, the title words, the desert,", 3},
        {"Quistel's oil field, Brumlo's dunes, the credits,", 3},
        {"the cube wall, the night oasis and this scroll.", 3},
        {"", -1},
        {"greetings fly to", 2},
        {"Sandpipers * Duneware * Oasis Nine", 0},
        {"Mirage Collective * Kaleidokamel", 0},
        {"Pixel Nomads * Hexcaravan * Bitdune", 0},
        {"and everyone at the party!", 0},
        {"", -1},
        {"THANKS FOR WATCHING!", 1},
    };
    return setScroll(w, h, 12, lines, styles, gaps);
}
