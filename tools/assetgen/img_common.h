// What the picture painters share: the demo's palette, the credits, a few drawing habits (lit
// parts with outlines, leaves, speech bubbles) and the painter of each picture.
#pragma once

#include <string>

#include "tools/assetgen/canvas.h"
#include "tools/assetgen/text.h"

// ---------------------------------------------------------------------------------------------
// Palette: desert day, cobalt sky, night teal, and fog magenta as a sparing accent.

namespace pal {
constexpr uint32_t sandHigh = 0xF6DDA8;
constexpr uint32_t sandLight = 0xE8C07A;
constexpr uint32_t sandMid = 0xD9A760;
constexpr uint32_t sandDark = 0xC98E4A;
constexpr uint32_t sandShadow = 0x8A5A3A;
constexpr uint32_t ink = 0x2E1C14;  // outlines: a warm near-black
constexpr uint32_t skyTop = 0x1F4FBF;
constexpr uint32_t skyHorizon = 0x6FA8FF;
constexpr uint32_t nightTop = 0x0B2E3A;
constexpr uint32_t nightBottom = 0x14505E;
constexpr uint32_t magenta = 0xFF00FF;
constexpr uint32_t cream = 0xFFF4DC;
constexpr uint32_t leaf = 0x5E8C3A;
constexpr uint32_t leafDark = 0x2F5A2A;
constexpr uint32_t leafLight = 0x9CC25A;
}  // namespace pal

// The demo and its makers, wherever names appear.
namespace credits {
constexpr const char* group = "Tovlek Zere";
constexpr const char* title = "Vorn Ekka Trudel Mips Oo Zandar?";
constexpr const char* edition = "(party edition)";
constexpr const char* code = "vorn";
constexpr const char* graphics = "ekka";
constexpr const char* music = "trudel";
constexpr const char* models = "mips & oo";
constexpr const char* organiser = "grobbler";
}  // namespace credits

// ---------------------------------------------------------------------------------------------
// Drawing habits

struct PartStyle {
    float bevel = 6;         // depth of the rounded relief, pixels (0: flat)
    float highlight = 0.35;  // strength of the lit edge
    float darkness = 0.4;    // strength of the shaded edge
    Color outline{0, 0, 0, 0};
    float outlineWidth = 0;
};

// Fills a path as one lit part of a figure or prop: outline (if any), base paint, relief lit
// from the upper left. Returns the part's mask.
Mask drawPart(Canvas& c, const Path& path, const Paint& paint, const PartStyle& style = {});

// The usual outlined cartoon style: ink outline `width` wide, relief `bevel` deep.
PartStyle inked(float width = 2.5f, float bevel = 6);

// A soft shadow under a whole figure, offset down and to the right (light from the upper left).
void castShadow(Canvas& c, const Path& silhouette, float dx, float dy, float blur, float alpha);

// A smooth closed curve through the given points (Catmull-Rom), as a polygon.
std::vector<Vec2> smoothClosed(const std::vector<Vec2>& points, int stepsPerSegment = 10);
// A smooth open curve through the given points, ends included.
std::vector<Vec2> smoothOpen(const std::vector<Vec2>& points, int stepsPerSegment = 10);
// Mirrors points about the vertical line x = axis.
std::vector<Vec2> mirrorX(const std::vector<Vec2>& points, float axis);

// A pointed leaf (two arcs meeting at base and tip) of the given widest width.
void addLeaf(Path& path, Vec2 base, Vec2 tip, float width, float bend = 0);

// A speech bubble filling most of a w x h canvas, its tail pointing at (tailX, tailY) (which may
// lie on the canvas edge), with the lines of text centred inside.
Canvas speechBubble(int w, int h, Vec2 tail, const std::vector<std::string>& lines, float textSize,
                    uint32_t seed);

// ---------------------------------------------------------------------------------------------
// The pictures

Canvas paintSkyDay();     // bg_blue.png
Canvas paintSkyNight();   // bg_night.png
Canvas paintSand();       // sand.png
Canvas paintPalm();       // palm.png
Canvas paintFilter();     // filter.png
Canvas paintLoading();    // loading.png
Canvas paintTraveller();  // arab.png
Canvas paintSaz();        // ak47.png
Canvas paintCar();        // bmw.png
Canvas paintCamel();      // quistel.png
Canvas paintCamelBubble();
Canvas paintBrumlo();  // brumlo.png
Canvas paintBrumloBubble();
Canvas paintCreditCard(int index);  // cred_1.png .. cred_4.png, index 1..4
Canvas paintEmblem(int size);       // cross.png at 200
Canvas paintPlantFrame(int frame);  // weed3-1.jpg .. weed3-6.jpg, frame 1..6
Canvas paintNightScroll();          // scroll.png
Canvas paintFinalScroll();          // scroll2.png

// Angle of the flip-book plant's sway in frame 1..6: one half swing of a pendulum, so playing
// the frames 1..6..1 swings smoothly there and back.
float plantSway(int frame);
