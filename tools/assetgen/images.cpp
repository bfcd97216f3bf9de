// Every picture the demo opens: backgrounds, overlays, characters, props, texts and the
// flip-book frames, each painted from code at the size its scene needs.
#include <cstdio>
#include <string>

#include "tools/assetgen/assetgen.h"
#include "tools/assetgen/canvas.h"
#include "tools/assetgen/text.h"

namespace {

// A simple stand-in: a framed box in a colour with the file name written on it.
Canvas placeholder(const std::string& name, int w, int h, Color c) {
    Canvas canvas(w, h);
    Path box;
    box.addRoundedRect(2, 2, w - 4.0f, h - 4.0f, 12);
    canvas.fill(box, c);
    TextStyle style;
    style.size = std::min(48.0f, w / (name.size() * 0.7f));
    style.outline = {0, 0, 0, 1};
    style.outlineWidth = 2;
    drawText(canvas, name, w / 2.0f, h / 2.0f, Align::Centre, style);
    return canvas;
}

}  // namespace

void generateImages(const std::string& outDir) {
    auto png = [&](const std::string& name, const Canvas& c, bool opaque = false) {
        c.writePNG(outDir + "/" + name, opaque);
    };

    png("loading.png", placeholder("loading...", 1280, 720, hexColor(0x1F4FBF)), true);
    png("blackscreen.png", Canvas(1280, 720, {0, 0, 0, 1}), true);
    png("whitescreen.png", Canvas(1280, 720, {1, 1, 1, 1}), true);
    {
        Canvas sky(1280, 720);
        sky.fillAll(
            linearGradient(0, 0, 0, 720, {{0, hexColor(0x1F4FBF)}, {1, hexColor(0x6FA8FF)}}));
        png("bg_blue.png", sky, true);
        Canvas night(1280, 720);
        night.fillAll(
            linearGradient(0, 0, 0, 720, {{0, hexColor(0x0B2E3A)}, {1, hexColor(0x14505E)}}));
        png("bg_night.png", night, true);
    }
    for (auto [name, w, h] :
         {std::tuple<const char*, int, int>{"scroll.png", 420, 600}, {"scroll2.png", 1000, 960}}) {
        Canvas c(w, h);
        TextStyle style;
        style.size = 28;
        for (int line = 0; line < h / 60; ++line) {
            drawText(c, std::string(name) + " line " + std::to_string(line + 1), w / 2.0f,
                     40.0f + line * 60, Align::Centre, style);
        }
        png(name, c);
    }
    {
        Canvas sand(2120, 720);
        Path dune;
        dune.addRect(0, 130, 2120, 590);
        sand.fill(dune, hexColor(0xE8C07A));
        drawText(sand, "sand.png", 1060, 400, Align::Centre, TextStyle{});
        png("sand.png", sand);
    }
    png("palm.png", placeholder("palm.png", 558, 614, hexColor(0x3A8A3A)));
    png("arab.png", placeholder("arab.png", 340, 680, hexColor(0xC98E4A)));
    png("ak47.png", placeholder("ak47.png", 500, 200, hexColor(0x8A5A3A)));
    png("bmw.png", placeholder("bmw.png", 600, 300, hexColor(0xB03030)));
    png("quistel.png", placeholder("quistel.png", 640, 480, hexColor(0xD9A860)));
    png("quistel-bubble.png", placeholder("quistel-bubble.png", 520, 300, {1, 1, 1, 1}));
    png("brumlo.png", placeholder("brumlo.png", 514, 614, hexColor(0x6FA84F)));
    png("brumlo-bubble.png", placeholder("brumlo-bubble.png", 420, 260, {1, 1, 1, 1}));
    for (int i = 1; i <= 4; ++i) {
        std::string name = "cred_" + std::to_string(i) + ".png";
        png(name, placeholder(name, 800, 300, hexColor(0x0B2E3A)));
    }
    png("cross.png", placeholder("cross.png", 200, 200, hexColor(0xFF00FF)));
    for (int i = 1; i <= 6; ++i) {
        std::string name = "weed3-" + std::to_string(i) + ".jpg";
        Canvas c(400, 400, {0, 0, 0, 1});
        Path stem;
        float tipX = 200 + (i - 3.5f) * 30;
        stem.addStroke({{200, 380}, {tipX, 120}}, 14);
        c.fill(stem, hexColor(0x3A8A3A));
        drawText(c, name, 200, 60, Align::Centre, TextStyle{});
        c.writeJPEG(outDir + "/" + name, 90);
    }
    {
        Canvas filter(1280, 720);
        filter.fillAll([](float x, float y) {
            float dx = (x - 640) / 640, dy = (y - 360) / 360;
            float d = std::max(0.0f, dx * dx + dy * dy - 0.6f);
            return Color{0, 0, 0, std::min(0.8f, d)};
        });
        png("filter.png", filter);
    }
}
