// Characters: the robed traveller, Quistel the camel, Brumlo who lives in the sand, and their
// speech bubbles.
#include <algorithm>
#include <cmath>

#include "tools/assetgen/img_common.h"

namespace {

constexpr float kPi = 3.14159265f;

Path polygonPath(const std::vector<Vec2>& pts) {
    Path p;
    p.addPolygon(pts);
    return p;
}

Path smoothShape(const std::vector<Vec2>& pts, int steps = 10) {
    return polygonPath(smoothClosed(pts, steps));
}

// Colour lit from the upper left across a part's bounding box.
Paint litGradient(const Path& p, Color light, Color dark) {
    float x0, y0, x1, y1;
    p.bounds(x0, y0, x1, y1);
    return linearGradient(x0, y0, x1, y1, {{0, light}, {1, dark}});
}

// A cartoon eye: white, iris, pupil and a catch-light, looking along (lookX, lookY).
void drawEye(Canvas& c, Vec2 at, float rx, float ry, float lookX, float lookY, Color iris) {
    Path white;
    white.addEllipse(at.x, at.y, rx, ry);
    Mask m = drawPart(c, white, solid(hexColor(0xFFFFFF)), inked(1.8f, 2));
    Path irisPath;
    float ir = std::min(rx, ry) * 0.62f;
    irisPath.addCircle(at.x + lookX * rx * 0.35f, at.y + lookY * ry * 0.3f, ir);
    c.fill(rasterize(irisPath, c.width(), c.height()).intersect(m), iris);
    Path pupil;
    pupil.addCircle(at.x + lookX * rx * 0.42f, at.y + lookY * ry * 0.34f, ir * 0.55f);
    c.fill(rasterize(pupil, c.width(), c.height()).intersect(m), hexColor(0x140A06));
    Path glint;
    glint.addCircle(at.x + lookX * rx * 0.35f - ir * 0.35f, at.y - ir * 0.35f, ir * 0.28f);
    c.fill(glint, hexColor(0xFFFFFF));
}

void drawStroke(Canvas& c, const std::vector<Vec2>& pts, float width, Color col) {
    Path p;
    p.addStroke(pts, width);
    c.fill(p, col);
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The traveller: a robed figure with a head wrap and a staff, standing, facing us.

Canvas paintTraveller() {
    const int w = 340, h = 680;
    Canvas c(w, h);
    const Color skin = hexColor(0xB97A4A), skinDark = hexColor(0x7A4A2A);
    const Color cloak = hexColor(0x2A7F8C), cloakDark = hexColor(0x0B2E3A);
    const Color cream = hexColor(pal::cream), creamDark = hexColor(0xC9B48A);

    Path robe = smoothShape({{100, 150},
                             {240, 150},
                             {266, 250},
                             {284, 450},
                             {306, 640},
                             {312, 700},
                             {28, 700},
                             {34, 640},
                             {56, 450},
                             {74, 250}});
    Path staff;
    staff.addTaperedStroke({{58, 70}, {50, 400}, {42, 700}}, 11, 9);
    Path staffHead;
    staffHead.addCircle(60, 64, 13);

    // Outer cloak, open at the front over a cream robe.
    drawPart(c, staff,
             linearGradient(40, 0, 64, 0, {{0, hexColor(0xC98E4A)}, {1, hexColor(0x5A3420)}}),
             inked(2, 3));
    drawPart(c, staffHead,
             radialGradient(55, 58, 16, 16, {{0, hexColor(0xE8C07A)}, {1, hexColor(0x8A5A3A)}}),
             inked(2, 3));
    Mask robeMask = drawPart(c, robe, litGradient(robe, cloak, cloakDark), inked(2.6f, 10));
    std::vector<Vec2> innerPts = smoothOpen({{154, 150}, {144, 330}, {130, 520}, {120, 702}}, 8);
    std::vector<Vec2> right = smoothOpen({{186, 150}, {198, 330}, {214, 520}, {226, 702}}, 8);
    innerPts.insert(innerPts.end(), right.rbegin(), right.rend());
    Mask innerMask =
        drawPart(c, polygonPath(innerPts),
                 linearGradient(120, 0, 226, 0, {{0, cream}, {1, creamDark}}), inked(1.8f, 5));
    // Folds in the cloak and the robe: soft darker creases.
    for (float fx : {88.0f, 110.0f, 250.0f, 270.0f}) {
        Path fold;
        float lean = (fx - 170) * 0.3f;
        fold.addTaperedStroke(smoothOpen({{fx, 300}, {fx + lean * 0.3f, 480}, {fx + lean, 690}}, 6),
                              1, 7);
        c.fill(rasterize(fold, w, h).blurred(2).intersect(robeMask.minus(innerMask)),
               hexColor(0x06181E), 0.5f);
    }
    for (float fx : {150.0f, 192.0f}) {
        Path fold;
        fold.addTaperedStroke(
            smoothOpen({{fx, 360}, {fx + (fx - 170) * 0.4f, 530}, {fx + (fx - 170), 690}}, 6), 1,
            5);
        c.fill(rasterize(fold, w, h).blurred(2).intersect(innerMask), hexColor(0x8A6A40), 0.5f);
    }
    // Hem trim in ochre with a magenta thread.
    Path hem;
    hem.addRect(0, 664, w, 12);
    c.fill(rasterize(hem, w, h).intersect(robeMask), hexColor(pal::sandDark));
    Path thread;
    thread.addRect(0, 668, w, 2.5f);
    c.fill(rasterize(thread, w, h).intersect(robeMask), hexColor(0xE040C0));

    // Sash.
    Path sash =
        smoothShape({{92, 318}, {170, 330}, {252, 318}, {254, 348}, {170, 360}, {90, 348}}, 6);
    drawPart(c, sash, litGradient(sash, hexColor(pal::sandLight), hexColor(pal::sandShadow)),
             inked(2, 4));
    // The knot: two ribbon ends hanging from a small bow, fringed at the tips.
    Path ends;
    addLeaf(ends, {206, 344}, {196, 430}, 26, -4);
    addLeaf(ends, {214, 344}, {232, 420}, 22, 4);
    drawPart(c, ends, litGradient(ends, hexColor(pal::sandLight), hexColor(pal::sandShadow)),
             inked(1.8f, 3));
    Path fringe;
    for (int i = -2; i <= 2; ++i) {
        fringe.addTaperedStroke({{196 + i * 2.0f, 424}, {194 + i * 3.0f, 440}}, 2.2f, 1.2f);
        fringe.addTaperedStroke({{232 + i * 2.0f, 414}, {234 + i * 3.0f, 430}}, 2.2f, 1.2f);
    }
    c.fill(fringe, hexColor(0xE040C0));
    Path bow;
    bow.addEllipse(210, 340, 13, 11);
    drawPart(c, bow, litGradient(bow, hexColor(pal::sandLight), hexColor(pal::sandShadow)),
             inked(1.8f, 4));

    // Arms: the left hand holds the staff, the right hangs by the side.
    Path leftSleeve =
        smoothShape({{104, 160}, {124, 200}, {96, 300}, {72, 318}, {48, 300}, {60, 220}}, 8);
    drawPart(c, leftSleeve, litGradient(leftSleeve, cloak, cloakDark), inked(2.2f, 7));
    Path leftHand;
    leftHand.addEllipse(56, 312, 17, 15);
    drawPart(c, leftHand, litGradient(leftHand, skin, skinDark), inked(2, 4));
    drawStroke(c, {{42, 306}, {68, 304}}, 2, hexColor(0x5A3420));
    Path rightSleeve =
        smoothShape({{236, 160}, {268, 230}, {286, 380}, {262, 420}, {236, 400}, {226, 240}}, 8);
    drawPart(c, rightSleeve, litGradient(rightSleeve, cloak, cloakDark), inked(2.2f, 7));
    Path rightHand;
    rightHand.addEllipse(262, 428, 16, 19);
    drawPart(c, rightHand, litGradient(rightHand, skin, skinDark), inked(2, 4));

    // Collar wrap, head, head wrap with its tail.
    Path scarfTail =
        smoothShape({{214, 70}, {252, 110}, {262, 190}, {246, 250}, {226, 200}, {210, 120}}, 8);
    drawPart(c, scarfTail, litGradient(scarfTail, cream, creamDark), inked(2, 5));
    Path collar;
    collar.addEllipse(170, 152, 66, 22);
    drawPart(c, collar, litGradient(collar, cream, creamDark), inked(2.2f, 6));
    Path face;
    face.addEllipse(170, 96, 42, 50);
    drawPart(c, face, radialGradient(155, 80, 70, 70, {{0, hexColor(0xD09060)}, {1, skinDark}}),
             inked(2.2f, 6));
    Path wrap = smoothShape({{122, 104},
                             {118, 60},
                             {140, 26},
                             {172, 14},
                             {206, 24},
                             {226, 58},
                             {222, 104},
                             {206, 86},
                             {196, 58},
                             {172, 52},
                             {146, 60},
                             {134, 86}},
                            8);
    Mask wrapMask = drawPart(c, wrap, litGradient(wrap, cream, creamDark), inked(2.4f, 7));
    // Ochre stripes wound around the wrap.
    for (float y : {30.0f, 44.0f}) {
        Path band;
        band.addStroke(smoothOpen({{110, y + 16}, {170, y - 4}, {230, y + 16}}, 8), 5);
        c.fill(rasterize(band, w, h).intersect(wrapMask), hexColor(pal::sandDark));
    }
    // Face: eyes, brows, nose, a short beard and a friendly smile.
    drawEye(c, {154, 96}, 8, 9, 0, 0.1f, hexColor(0x3A2414));
    drawEye(c, {188, 96}, 8, 9, 0, 0.1f, hexColor(0x3A2414));
    drawStroke(c, {{144, 80}, {154, 76}, {163, 79}}, 3, hexColor(0x2A1810));
    drawStroke(c, {{179, 79}, {188, 76}, {198, 80}}, 3, hexColor(0x2A1810));
    drawStroke(c, smoothOpen({{171, 100}, {168, 112}, {174, 116}}, 6), 2.2f, hexColor(0x6A3A1E));
    Path beard = smoothShape({{132, 112},
                              {150, 134},
                              {170, 146},
                              {192, 134},
                              {210, 112},
                              {204, 136},
                              {186, 150},
                              {170, 152},
                              {154, 150},
                              {136, 136}},
                             6);
    c.fill(beard, hexColor(0x3A2216));
    drawStroke(c, smoothOpen({{154, 124}, {170, 132}, {187, 124}}, 6), 3, hexColor(0x2A1008));
    return c;
}

// ---------------------------------------------------------------------------------------------
// Quistel: a one-humped camel with a saddle blanket and a scarf, facing left.

Canvas paintCamel() {
    const int w = 640, h = 500;
    Canvas c(w, h);
    const Color fur = hexColor(0xDDAA66), furDark = hexColor(0x9A6438);
    const Color farFur = hexColor(0xB07E48), farDark = hexColor(0x6E4426);

    auto leg = [&](float x, float bend, bool farSide) {
        // Thigh to knee to foot; the knee is a knob, the foot a broad pad.
        std::vector<Vec2> pts = smoothOpen({{x, 290}, {x + bend, 400}, {x + bend * 0.4f, 484}}, 8);
        Path p;
        p.addTaperedStroke(pts, 40, 20);
        p.addCircle(x + bend, 400, 15);
        Path foot;
        foot.addEllipse(x + bend * 0.4f - 6, 486, 26, 12);
        Color a = farSide ? farFur : fur, b = farSide ? farDark : furDark;
        drawPart(c, p, linearGradient(x - 20, 0, x + 20, 0, {{0, a}, {1, b}}), inked(2.4f, 5));
        drawPart(c, foot, linearGradient(0, 474, 0, 498, {{0, a}, {1, b}}), inked(2.4f, 3));
    };
    // The shadow on the ground.
    Path ground;
    ground.addEllipse(400, 492, 230, 12);
    c.fill(rasterize(ground, w, h).blurred(5), hexColor(0x1A0E08), 0.35f);

    leg(330, 8, true);
    leg(540, -8, true);
    Path tail;
    tail.addTaperedStroke(smoothOpen({{582, 220}, {606, 270}, {604, 330}}, 8), 12, 6);
    drawPart(c, tail, solid(furDark), inked(2, 3));
    Path tuft;
    addLeaf(tuft, {604, 318}, {600, 360}, 9);
    drawPart(c, tuft, solid(hexColor(0x5A3420)), inked(1.6f, 2));

    Path body = smoothShape({{252, 250},
                             {286, 196},
                             {346, 150},
                             {400, 72},
                             {462, 92},
                             {526, 168},
                             {584, 204},
                             {598, 262},
                             {574, 310},
                             {520, 326},
                             {420, 334},
                             {312, 322},
                             {262, 296}},
                            12);
    Path neck;
    neck.addTaperedStroke(
        smoothOpen({{300, 262}, {236, 250}, {186, 214}, {156, 160}, {136, 104}}, 10), 96, 44);
    Path head = smoothShape({{160, 86},
                             {138, 54},
                             {98, 46},
                             {58, 60},
                             {26, 80},
                             {14, 104},
                             {28, 126},
                             {64, 132},
                             {104, 128},
                             {150, 118}},
                            10);
    Path ear;
    addLeaf(ear, {148, 60}, {168, 30}, 9, 2);
    Path silhouette;
    silhouette.addPath(body);
    silhouette.addPath(neck);
    silhouette.addPath(head);
    castShadow(c, silhouette, 6, 8, 6, 0.3f);
    drawPart(c, ear, solid(furDark), inked(2, 3));
    Mask bodyMask =
        drawPart(c, body, litGradient(body, hexColor(0xF0C484), furDark), inked(2.6f, 14));
    Mask neckMask =
        drawPart(c, neck, litGradient(neck, hexColor(0xF0C484), furDark), inked(2.6f, 10));
    // A fuzzy coat: a little noise in the fur.
    Mask coat = bodyMask.unite(neckMask);
    c.fill(coat, [](float x, float y) {
        float n = fbm(x / 9.0f, y / 14.0f, 17, 3);
        return n > 0 ? withAlpha(hexColor(0xFFE6B0), n * 0.25f)
                     : withAlpha(hexColor(0x6A3A1A), -n * 0.25f);
    });

    leg(300, 10, false);
    leg(510, -10, false);

    // Saddle blanket draped over the hump: stripes and a tasselled edge.
    Path blanket = smoothShape(
        {{356, 130}, {404, 96}, {456, 108}, {488, 170}, {470, 238}, {364, 242}, {334, 186}}, 10);
    Mask bm = drawPart(c, blanket, solid(hexColor(pal::nightBottom)), inked(2.4f, 8));
    for (float y : {150.0f, 190.0f, 226.0f}) {
        Path stripe;
        stripe.addRect(300, y, 220, 10);
        c.fill(rasterize(stripe, w, h).intersect(bm), hexColor(pal::sandLight));
    }
    Path stripe2;
    stripe2.addRect(300, 206, 220, 5);
    c.fill(rasterize(stripe2, w, h).intersect(bm), hexColor(0xE040C0));
    c.bevel(bm, 8, 0.3f, 0.4f);
    Path tassels;
    for (int i = 0; i < 8; ++i) {
        float x = 372 + i * 14.0f;
        tassels.addTaperedStroke({{x, 238}, {x - 2, 256}}, 5, 3);
        tassels.addCircle(x - 2, 258, 4);
    }
    drawPart(c, tassels, solid(hexColor(pal::sandDark)), inked(1.4f, 2));

    // Head: muzzle, big eye with lashes, nostril and a wide smile.
    drawPart(c, head, litGradient(head, hexColor(0xF4CC8E), furDark), inked(2.6f, 10));
    Path muzzle;
    muzzle.addEllipse(44, 106, 32, 22);
    c.fill(rasterize(muzzle, w, h).blurred(3), hexColor(0xF8DDB0), 0.6f);
    drawEye(c, {104, 82}, 14, 16, -0.6f, 0.1f, hexColor(0x4A2A14));
    drawStroke(c, smoothOpen({{88, 70}, {104, 62}, {120, 68}}, 6), 3.5f, hexColor(0x3A2010));
    for (float dx : {-10.0f, -2.0f, 6.0f}) {
        drawStroke(c, {{104 + dx, 66}, {100 + dx * 1.4f, 56}}, 2.2f, hexColor(0x3A2010));
    }
    Path nostril;
    nostril.addEllipse(30, 96, 5, 3.5f);
    c.fill(nostril, hexColor(0x4A2410));
    drawStroke(c, smoothOpen({{22, 116}, {44, 124}, {74, 118}}, 8), 3, hexColor(0x4A2410));
    Path cheek;
    cheek.addEllipse(78, 112, 10, 6);
    c.fill(rasterize(cheek, w, h).blurred(3), hexColor(0xE8706A), 0.45f);

    // Scarf wound round the neck, its end flying back over the shoulder.
    const Vec2 knot{196, 222};
    const Vec2 along{-0.62f, -0.78f}, across{0.78f, -0.62f};  // the neck's direction there
    auto at = [&](float a, float b) {
        return Vec2{knot.x + along.x * a + across.x * b, knot.y + along.y * a + across.y * b};
    };
    Path scarfEnd = smoothShape(
        {at(6, 30), at(-10, 70), at(-40, 110), at(-62, 104), at(-30, 64), at(-8, 30)}, 8);
    drawPart(c, scarfEnd, solid(hexColor(0x2456C8)), inked(2, 4));
    Path scarf =
        smoothShape({at(16, -44), at(18, 0), at(16, 44), at(-16, 46), at(-18, 0), at(-16, -46)}, 6);
    Mask sm = drawPart(c, scarf, solid(hexColor(pal::skyTop)), inked(2.2f, 5));
    Path scarfStripe;
    scarfStripe.addStroke({at(0, -50), at(0, 50)}, 5);
    c.fill(rasterize(scarfStripe, w, h).intersect(sm), hexColor(0xE040C0));
    return c;
}

// ---------------------------------------------------------------------------------------------
// Brumlo: a round, cheerful fellow of the dunes in a sun hat, waving, rising out of a sand pile.

Canvas paintBrumlo() {
    const int w = 514, h = 614;
    Canvas c(w, h);
    const Color body = hexColor(0xE0874A), bodyDark = hexColor(0x8E4424);
    const Color belly = hexColor(0xF6C890);

    Path torso = smoothShape({{150, 640},
                              {112, 480},
                              {120, 330},
                              {168, 236},
                              {258, 206},
                              {348, 236},
                              {396, 330},
                              {404, 480},
                              {366, 640}},
                             12);
    Path headPath;
    headPath.addEllipse(250, 170, 118, 104);
    Path wave;  // the raised arm, waving
    wave.addTaperedStroke(smoothOpen({{150, 320}, {92, 270}, {60, 200}, {52, 150}}, 8), 48, 34);
    Path rest;  // the other arm, hand on the belly
    rest.addTaperedStroke(smoothOpen({{372, 320}, {430, 400}, {404, 458}, {350, 470}}, 8), 46, 32);
    Path all;
    all.addPath(torso);
    all.addPath(headPath);
    all.addPath(wave);
    castShadow(c, all, 8, 10, 8, 0.3f);

    Mask torsoMask =
        drawPart(c, torso, litGradient(torso, hexColor(0xF4A060), bodyDark), inked(3, 16));
    Path bellyPath;
    bellyPath.addEllipse(262, 470, 108, 130);
    c.fill(rasterize(bellyPath, w, h).intersect(torsoMask).blurred(2), belly, 0.85f);
    drawPart(c, wave, litGradient(wave, hexColor(0xF4A060), bodyDark), inked(3, 10));
    Path waveHand;
    waveHand.addEllipse(52, 136, 30, 34);
    for (int f = 0; f < 4; ++f) {
        float a = -kPi / 2 - 0.7f + f * 0.42f;
        waveHand.addTaperedStroke({{52, 136}, {52 + std::cos(a) * 46, 136 + std::sin(a) * 46}}, 17,
                                  14);
    }
    drawPart(c, waveHand, litGradient(waveHand, hexColor(0xF4A060), bodyDark), inked(3, 6));
    // Little lines around the waving hand.
    for (float a : {-2.5f, -2.1f, -1.0f, -0.6f}) {
        Vec2 p{52 + std::cos(a) * 72, 120 + std::sin(a) * 72};
        Vec2 q{52 + std::cos(a) * 90, 120 + std::sin(a) * 90};
        drawStroke(c, {p, q}, 4, hexColor(pal::ink));
    }
    drawPart(c, rest, litGradient(rest, hexColor(0xF4A060), bodyDark), inked(3, 10));
    Path restHand;
    restHand.addEllipse(346, 468, 28, 24);
    drawPart(c, restHand, litGradient(restHand, hexColor(0xF4A060), bodyDark), inked(3, 6));

    // Neckerchief in night teal.
    Path kerchief =
        smoothShape({{150, 250}, {258, 272}, {362, 250}, {300, 330}, {258, 360}, {216, 330}}, 6);
    Mask km = drawPart(c, kerchief, solid(hexColor(0x1E6E7E)), inked(2.6f, 7));
    Path dots;
    Rng rng(3);
    for (int i = 0; i < 24; ++i) dots.addCircle(rng.uniform(150, 362), rng.uniform(250, 360), 4);
    c.fill(rasterize(dots, w, h).intersect(km), hexColor(pal::sandHigh));

    // Head and face.
    drawPart(
        c, headPath,
        radialGradient(210, 120, 190, 190, {{0, hexColor(0xF8B070)}, {0.6f, body}, {1, bodyDark}}),
        inked(3, 16));
    Path cheeks;
    cheeks.addEllipse(170, 200, 24, 15);
    cheeks.addEllipse(318, 200, 24, 15);
    c.fill(rasterize(cheeks, w, h).blurred(5), hexColor(0xFF5A7A), 0.5f);
    drawEye(c, {208, 150}, 24, 28, -0.5f, 0.15f, hexColor(0x3A5A1A));
    drawEye(c, {284, 150}, 24, 28, -0.5f, 0.15f, hexColor(0x3A5A1A));
    drawStroke(c, smoothOpen({{180, 110}, {204, 98}, {228, 106}}, 6), 6, hexColor(0x4A2010));
    drawStroke(c, smoothOpen({{262, 106}, {286, 98}, {310, 110}}, 6), 6, hexColor(0x4A2010));
    Path mouth =
        smoothShape({{188, 196}, {246, 206}, {306, 196}, {292, 236}, {246, 254}, {202, 236}}, 8);
    Mask mm = drawPart(c, mouth, solid(hexColor(0x6A1A1A)), inked(3, 0));
    Path tongue;
    tongue.addEllipse(248, 250, 34, 22);
    c.fill(rasterize(tongue, w, h).intersect(mm), hexColor(0xF06070));
    Path teeth;
    teeth.addRect(200, 196, 96, 10);
    c.fill(rasterize(teeth, w, h).intersect(mm), hexColor(0xFFFFFF));
    Path freckles;
    for (Vec2 f : {Vec2{160, 186}, Vec2{172, 180}, Vec2{168, 194}, Vec2{326, 180}, Vec2{334, 192},
                   Vec2{318, 188}}) {
        freckles.addCircle(f.x, f.y, 2.5f);
    }
    c.fill(freckles, hexColor(0x8E4424), 0.8f);

    // Straw sun hat with a magenta band, tipped back.
    Path brim;
    brim.addEllipse(250, 84, 160, 30);
    Path crown = smoothShape({{172, 86}, {176, 34}, {210, 10}, {292, 10}, {324, 34}, {328, 86}}, 8);
    Paint straw = linearGradient(
        100, 0, 400, 120,
        {{0, hexColor(0xFCE6A4)}, {0.6f, hexColor(0xE8C07A)}, {1, hexColor(0xA8783A)}});
    Mask brimMask = drawPart(c, brim, straw, inked(3, 8));
    Mask crownMask = drawPart(c, crown, straw, inked(3, 10));
    Mask hatMask = brimMask.unite(crownMask);
    c.fill(hatMask, [](float x, float y) {
        // Woven straw: a fine criss-cross.
        float weave = std::sin(x * 0.9f + y * 0.9f) * std::sin(x * 0.9f - y * 0.9f);
        return withAlpha(hexColor(0x8A5A2A), std::max(0.0f, weave) * 0.18f);
    });
    // The hat band follows the crown's round: its edges bow down like the brim.
    std::vector<Vec2> bandPts = smoothOpen({{174, 60}, {250, 68}, {326, 60}}, 10);
    std::vector<Vec2> lower = smoothOpen({{174, 78}, {250, 88}, {326, 78}}, 10);
    bandPts.insert(bandPts.end(), lower.rbegin(), lower.rend());
    drawPart(c, polygonPath(bandPts), solid(hexColor(0xE020B0)), inked(2, 3));

    // The sand pile he rises from, with grains trickling off his shoulders.
    Path pile = smoothShape({{-40, 700},
                             {-30, 590},
                             {60, 560},
                             {160, 548},
                             {260, 556},
                             {380, 546},
                             {470, 566},
                             {560, 596},
                             {560, 700}},
                            10);
    Mask pm = rasterize(pile, w, h);
    c.shadow(pm, 0, -4, 5, hexColor(0x4A2A14, 0.35f));
    c.fill(pm.dilated(2.5f), hexColor(pal::ink));
    c.fill(pm, linearGradient(0, 540, 0, 614,
                              {{0, hexColor(pal::sandHigh)},
                               {0.4f, hexColor(pal::sandLight)},
                               {1, hexColor(pal::sandDark)}}));
    c.fill(pm, [](float x, float y) {
        float r = std::sin((y + 6 * std::sin(x / 30.0f)) / 5.0f);
        return withAlpha(hexColor(pal::sandShadow), std::max(0.0f, r) * 0.18f);
    });
    c.bevel(pm, 8, 0.3f, 0.3f);
    Path grains;
    Rng grainRng(21);
    for (int i = 0; i < 26; ++i) {
        bool left = i % 2 == 0;
        float x = left ? grainRng.uniform(108, 130) : grainRng.uniform(392, 414);
        float y = grainRng.uniform(360, 540);
        grains.addCircle(x, y, grainRng.uniform(1.5f, 3.2f));
    }
    drawPart(c, grains, solid(hexColor(pal::sandLight)), inked(1, 0));
    return c;
}

// ---------------------------------------------------------------------------------------------
// Speech bubbles: each tail points right, towards its speaker.

Canvas paintCamelBubble() {
    return speechBubble(520, 300, {519, 196},
                        {"Hi! I'm Quistel.", "Best oil field", "in the desert!"}, 32, 41);
}

Canvas paintBrumloBubble() {
    return speechBubble(420, 260, {419, 150},
                        {"Hello from", "the dunes! Come,", "the sand is warm!"}, 26, 42);
}
