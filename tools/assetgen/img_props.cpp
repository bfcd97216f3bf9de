// Props: the group's emblem, the long-necked lute, the vintage car and the swaying desert plant
// of the flip-book.
#include <algorithm>
#include <cmath>

#include "tools/assetgen/img_common.h"

namespace {

constexpr float kPi = 3.14159265f;

Paint gold(float cx, float cy, float r) {
    return radialGradient(cx - r * 0.35f, cy - r * 0.4f, r * 1.5f, r * 1.5f,
                          {{0, hexColor(0xFFF1B8)},
                           {0.35f, hexColor(0xF2C14E)},
                           {0.75f, hexColor(pal::sandDark)},
                           {1, hexColor(pal::sandShadow)}});
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// The emblem: a sun disc with sixteen rays like a compass rose, "TZ" on its face.

Canvas paintEmblem(int size) {
    Canvas c(size, size);
    const float k = size / 200.0f;  // drawn on a 200-unit grid
    const float cx = size / 2.0f, cy = size / 2.0f;
    // Rays: eight long and eight short, alternating, each a slim diamond lit on one flank.
    Path longRays, shortRays;
    for (int i = 0; i < 16; ++i) {
        float a = -kPi / 2 + i * kPi / 8 + kPi / 16;
        bool isLong = i % 2 == 0;
        float r0 = 50 * k, r1 = (isLong ? 92 : 72) * k, half = (isLong ? 0.16f : 0.13f);
        Vec2 tip{cx + std::cos(a) * r1, cy + std::sin(a) * r1};
        Vec2 l{cx + std::cos(a - half) * r0, cy + std::sin(a - half) * r0};
        Vec2 r{cx + std::cos(a + half) * r0, cy + std::sin(a + half) * r0};
        Vec2 inner{cx + std::cos(a) * r0 * 0.8f, cy + std::sin(a) * r0 * 0.8f};
        (isLong ? longRays : shortRays).addPolygon({inner, l, tip, r});
    }
    Mask rays = rasterize(longRays, size, size).unite(rasterize(shortRays, size, size));
    c.fill(rays.blurred(5 * k), hexColor(pal::magenta), 0.55f);
    c.shadow(rays, 3 * k, 4 * k, 3 * k, hexColor(0x1A0E08, 0.5f));
    c.fill(rays.dilated(1.6f * k), hexColor(pal::ink));
    c.fill(rays, gold(cx, cy, 90 * k));
    c.bevel(rays, 3 * k, 0.5f, 0.45f);

    // The disc: a teal ring around a golden face.
    Path ring;
    ring.addCircle(cx, cy, 56 * k);
    drawPart(c, ring,
             linearGradient(cx - 50 * k, cy - 50 * k, cx + 50 * k, cy + 50 * k,
                            {{0, hexColor(0x2E8C9C)}, {1, hexColor(pal::nightTop)}}),
             inked(1.8f * k, 4 * k));
    Path face;
    face.addCircle(cx, cy, 46 * k);
    drawPart(c, face, gold(cx, cy, 46 * k), inked(1.2f * k, 6 * k));
    // Twelve studs on the ring.
    Path studs;
    for (int i = 0; i < 12; ++i) {
        float a = i * kPi / 6;
        studs.addCircle(cx + std::cos(a) * 51 * k, cy + std::sin(a) * 51 * k, 2.2f * k);
    }
    c.fill(studs, hexColor(pal::sandHigh));

    TextStyle mono;
    mono.font = "DejaVuSerif-Bold.ttf";
    mono.size = 46 * k;
    mono.fill = solid(hexColor(0x5A2E14));
    mono.shadow = hexColor(0xFFF1B8, 0.7f);
    mono.shadowDx = -1.2f * k;
    mono.shadowDy = -1.2f * k;
    mono.shadowBlur = 0.6f * k;
    drawText(c, "TZ", cx, cy + 16 * k, Align::Centre, mono);
    return c;
}

// ---------------------------------------------------------------------------------------------
// The lute: a saz lying on its side, bowl on the right, long neck to the left.

Canvas paintSaz() {
    const int w = 500, h = 200;
    Canvas c(w, h);
    const float cy = 100;
    // The bowl's outline: a pear whose narrow end meets the neck.
    std::vector<Vec2> bowl = smoothClosed({{268, cy},
                                           {300, cy - 44},
                                           {360, cy - 70},
                                           {430, cy - 66},
                                           {476, cy - 34},
                                           {486, cy},
                                           {476, cy + 34},
                                           {430, cy + 66},
                                           {360, cy + 70},
                                           {300, cy + 44}},
                                          12);
    Path bowlPath;
    bowlPath.addPolygon(bowl);
    // Neck and pegbox.
    Path neck;
    neck.addRoundedRect(52, cy - 11, 236, 22, 6);
    Path pegbox;
    pegbox.addPolygon(smoothClosed(
        {{8, cy - 13}, {60, cy - 15}, {64, cy}, {60, cy + 15}, {8, cy + 13}, {4, cy}}, 6));
    Path all;
    all.addPath(bowlPath);
    all.addPath(neck);
    all.addPath(pegbox);
    castShadow(c, all, 6, 9, 6, 0.45f);

    // Pegs: three knobs on each side of the pegbox.
    Path pegs;
    for (int i = 0; i < 3; ++i) {
        float x = 16 + i * 16;
        pegs.addRoundedRect(x - 3, cy - 30, 6, 18, 2);
        pegs.addEllipse(x, cy - 32, 6, 5);
        pegs.addRoundedRect(x - 3 + 6, cy + 12, 6, 18, 2);
        pegs.addEllipse(x + 6, cy + 32, 6, 5);
    }
    drawPart(c, pegs, solid(hexColor(0x5A3018)), inked(1.5f, 2));

    Paint darkWood = linearGradient(
        0, cy - 15, 0, cy + 15,
        {{0, hexColor(0xA8683A)}, {0.45f, hexColor(0x7A4526)}, {1, hexColor(0x4A2616)}});
    drawPart(c, neck, darkWood, inked(1.8f, 3));
    drawPart(c, pegbox, darkWood, inked(1.8f, 3));

    // The bowl: the ribbed back shows as a dark rim around the lighter soundboard.
    Mask bowlMask = drawPart(
        c, bowlPath,
        radialGradient(380, cy - 30, 140, 100, {{0, hexColor(0xB0703A)}, {1, hexColor(0x5A2E16)}}),
        inked(2.2f, 8));
    std::vector<Vec2> board;
    for (Vec2 p : bowl) board.push_back({380 + (p.x - 380) * 0.9f, cy + (p.y - cy) * 0.86f});
    Path boardPath;
    boardPath.addPolygon(board);
    Mask boardMask = rasterize(boardPath, w, h);
    c.fill(boardMask, [](float x, float y) {
        // Spruce with fine grain running along the instrument.
        float grain = 0.5f + 0.5f * std::sin(y * 1.7f + 3.0f * fbm(x / 60.0f, y / 8.0f, 3, 3));
        Color base = mix(hexColor(0xE8B878), hexColor(0xD49A58), grain * 0.6f);
        return base;
    });
    c.bevel(boardMask, 5, 0.4f, 0.3f);
    // Inlay around the soundboard, a thin magenta line for the party.
    Path inlay;
    for (size_t i = 0; i < board.size(); ++i) {
        Vec2 p = board[i], q = board[(i + 1) % board.size()];
        inlay.addPolygon({p,
                          q,
                          {q.x + (380 - q.x) * 0.03f, q.y + (cy - q.y) * 0.03f},
                          {p.x + (380 - p.x) * 0.03f, p.y + (cy - p.y) * 0.03f}});
    }
    c.fill(inlay, hexColor(0xC040A0), 0.8f);
    // Sound holes: a rosette of small holes near the neck.
    Path holes;
    holes.addCircle(318, cy, 6);
    for (int i = 0; i < 6; ++i) {
        float a = i * kPi / 3;
        holes.addCircle(318 + std::cos(a) * 12, cy + std::sin(a) * 12, 2.6f);
    }
    c.fill(holes, hexColor(0x2A140A));
    // Bridge and tailpiece.
    Path bridge;
    bridge.addRoundedRect(430, cy - 16, 7, 32, 2);
    drawPart(c, bridge, solid(hexColor(0x3A1E0E)), inked(1, 2));
    Path tail;
    tail.addRoundedRect(474, cy - 8, 10, 16, 3);
    drawPart(c, tail, solid(hexColor(0xE8DCC0)), inked(1, 2));
    // Frets: tied gut frets, closer together towards the body.
    Path frets;
    float x = 70;
    for (int i = 0; i < 14; ++i) {
        frets.addRect(x, cy - 11, 2.2f, 22);
        x += 22 - i * 0.9f;
    }
    c.fill(frets, hexColor(0xE8DCC0), 0.9f);
    // Pearl dots on the neck.
    Path dots;
    for (float d : {120.0f, 170.0f, 220.0f}) dots.addCircle(d, cy, 2.5f);
    c.fill(dots, hexColor(0xFFF8E8));
    // Strings: three courses, from tailpiece to pegs.
    for (int s = -1; s <= 1; ++s) {
        Path str;
        str.addStroke({{478, cy + s * 4.5f},
                       {434, cy + s * 5.0f},
                       {60, cy + s * 3.5f},
                       {24 + (s + 1) * 12.0f, cy + s * 2.0f}},
                      1.1f);
        c.fill(str, hexColor(0xF4F0E8), 0.95f);
    }
    // A tassel hangs from the pegbox end.
    Path tassel;
    tassel.addStroke(smoothOpen({{8, cy + 6}, {2, cy + 30}, {6, cy + 52}}, 8), 2);
    for (int i = -2; i <= 2; ++i) {
        tassel.addTaperedStroke({{6, cy + 50}, {6 + i * 3.0f, cy + 78}}, 3, 1);
    }
    drawPart(c, tassel, solid(hexColor(0xD22FB0)), inked(1, 1.5f));
    return c;
}

// ---------------------------------------------------------------------------------------------
// The car: a rounded fifties coupé in two tones, facing left, no badges.

Canvas paintCar() {
    const int w = 600, h = 300;
    Canvas c(w, h);
    const float ground = 282;
    const Vec2 frontWheel{150, 232}, rearWheel{452, 232};
    const float wheelR = 44;

    // Shadow on the road.
    Path road;
    road.addEllipse(300, ground - 2, 272, 14);
    c.fill(rasterize(road, w, h).blurred(6), hexColor(0x1A0E08), 0.5f);

    Path body;
    body.addPolygon(smoothClosed({{40, 238},
                                  {26, 206},
                                  {34, 176},
                                  {70, 160},
                                  {140, 150},
                                  {210, 146},
                                  {420, 146},
                                  {500, 150},
                                  {556, 162},
                                  {578, 190},
                                  {574, 226},
                                  {550, 240},
                                  {300, 242}},
                                 10));
    body.addEllipse(frontWheel.x + 6, 196, 88, 50);  // flowing front wing
    body.addEllipse(rearWheel.x - 6, 192, 90, 52);   // rear wing
    Path cabin;
    cabin.addPolygon(
        smoothClosed({{186, 154}, {214, 104}, {262, 76}, {340, 70}, {398, 88}, {436, 154}}, 10));
    Path silhouette;
    silhouette.addPath(body);
    silhouette.addPath(cabin);
    castShadow(c, silhouette, 4, 6, 5, 0.35f);

    drawPart(c, cabin,
             linearGradient(0, 70, 0, 154, {{0, hexColor(pal::cream)}, {1, hexColor(0xE6D3AE)}}),
             inked(2.5f, 7));
    // Windows: glass with a bright streak of sky.
    Path windows;
    {
        // Both panes share one arc under the roof line, split by the door pillar.
        std::vector<Vec2> arc = smoothOpen(
            {{208, 146}, {228, 108}, {264, 88}, {308, 82}, {352, 84}, {388, 100}, {414, 146}}, 10);
        std::vector<Vec2> front{{302, 146}}, rear{{414, 146}};
        for (Vec2 p : arc) {
            if (p.x <= 302)
                front.push_back(p);
            if (p.x >= 314)
                rear.push_back(p);
        }
        front.push_back({302, 82});
        rear.insert(rear.begin() + 1, Vec2{314, 146});
        rear.insert(rear.begin() + 2, Vec2{314, 82});
        windows.addPolygon(front);
        windows.addPolygon(rear);
    }
    Mask glass = drawPart(
        c, windows,
        linearGradient(0, 84, 0, 146, {{0, hexColor(pal::skyHorizon)}, {1, hexColor(pal::skyTop)}}),
        inked(1.8f, 0));
    Path streak;
    streak.addPolygon({{246, 146}, {286, 84}, {300, 84}, {260, 146}});
    streak.addPolygon({{340, 146}, {372, 92}, {390, 100}, {352, 146}});
    c.fill(rasterize(streak, w, h).intersect(glass), hexColor(0xFFFFFF), 0.45f);

    Mask bodyMask = drawPart(
        c, body,
        linearGradient(
            0, 146, 0, 244,
            {{0, hexColor(0x7FE0D6)}, {0.35f, hexColor(0x3FB8B0)}, {1, hexColor(0x1E6F70)}}),
        inked(2.5f, 10));
    // A long bright reflection along the body's shoulder.
    Path shine;
    shine.addStroke(smoothOpen({{70, 168}, {200, 158}, {420, 158}, {540, 170}}, 8), 5);
    c.fill(rasterize(shine, w, h).blurred(1.5f).intersect(bodyMask), hexColor(0xFFFFFF), 0.5f);
    // Chrome trim, door line and handle.
    Path trim;
    trim.addStroke(smoothOpen({{44, 196}, {200, 192}, {420, 192}, {566, 200}}, 8), 4);
    drawPart(c, trim,
             linearGradient(0, 190, 0, 198, {{0, hexColor(0xFFFFFF)}, {1, hexColor(0x8A9AA8)}}),
             inked(1, 0));
    Path door;
    door.addStroke({{214, 152}, {220, 236}}, 1.6f);
    door.addStroke({{412, 152}, {404, 236}}, 1.6f);
    c.fill(door, hexColor(0x14484A), 0.8f);
    Path handle;
    handle.addRoundedRect(372, 176, 22, 6, 3);
    drawPart(c, handle, solid(hexColor(0xDDE6EE)), inked(1, 2));

    // Wheel arches: the dark inside of the wings.
    Path arches;
    arches.addCircle(frontWheel.x, frontWheel.y, wheelR + 6);
    arches.addCircle(rearWheel.x, rearWheel.y, wheelR + 6);
    c.fill(rasterize(arches, w, h).intersect(bodyMask), hexColor(0x10181A));
    // Wheels: tyre, white wall, chrome hub cap.
    for (Vec2 wh : {frontWheel, rearWheel}) {
        Path tyre;
        tyre.addCircle(wh.x, wh.y, wheelR);
        drawPart(c, tyre, solid(hexColor(0x1C1C20)), inked(2, 6));
        Path wall;
        wall.addRing(wh.x, wh.y, wheelR * 0.78f, wheelR * 0.56f);
        c.fill(wall, hexColor(0xF2EEE4));
        Path hub;
        hub.addCircle(wh.x, wh.y, wheelR * 0.5f);
        drawPart(c, hub,
                 radialGradient(wh.x - 8, wh.y - 8, wheelR * 0.7f, wheelR * 0.7f,
                                {{0, hexColor(0xFFFFFF)}, {1, hexColor(0x7A8A98)}}),
                 inked(1.2f, 5));
        Path nut;
        nut.addCircle(wh.x, wh.y, 5);
        c.fill(nut, hexColor(0x5A6670));
    }
    // Bumpers, headlamp with its glow, tail lamp.
    Path bumpers;
    bumpers.addRoundedRect(12, 222, 62, 14, 7);
    bumpers.addRoundedRect(540, 220, 52, 14, 7);
    drawPart(c, bumpers,
             linearGradient(0, 220, 0, 236, {{0, hexColor(0xFFFFFF)}, {1, hexColor(0x7A8A98)}}),
             inked(1.8f, 3));
    Path lamp;
    lamp.addCircle(44, 180, 12);
    Mask lampMask = rasterize(lamp, w, h);
    c.fill(lampMask.blurred(8), hexColor(0xFFF2B0), 0.5f);
    drawPart(c, lamp,
             radialGradient(40, 176, 14, 14, {{0, hexColor(0xFFFFFF)}, {1, hexColor(0xF2D070)}}),
             inked(1.8f, 3));
    Path tail;
    tail.addRoundedRect(566, 176, 10, 20, 4);
    drawPart(c, tail, solid(hexColor(0xD8302A)), inked(1.5f, 2));
    return c;
}

// ---------------------------------------------------------------------------------------------
// The flip-book plant: a desert shrub with a few blooms, swaying on black.

Canvas paintPlantFrame(int frame) {
    const int size = 400;
    Canvas c(size, size, {0, 0, 0, 1});
    const float sway = plantSway(frame);
    const Vec2 root{200, 330};

    // A faint warm glow behind, so the dark leaves read against black.
    c.fillAll(radialGradient(200, 215, 190, 170,
                             {{0, hexColor(0x3A2A14, 0.9f)}, {1, hexColor(0x000000, 0.0f)}}));

    struct Stem {
        float angle;   // at the root, radians from straight up (positive to the right)
        float length;  // pixels
        float give;    // how much of the sway this stem takes
        bool flower;
    };
    const Stem stems[] = {
        {-0.55f, 170, 0.8f, false}, {0.6f, 165, 0.8f, false}, {-0.25f, 235, 1.0f, true},
        {0.28f, 225, 1.0f, true},   {0.0f, 270, 1.15f, true}, {-0.8f, 120, 0.6f, false},
        {0.85f, 115, 0.6f, false},
    };
    Path leaves, stalks, blooms, centres;
    uint32_t seed = 11;
    for (const Stem& s : stems) {
        Rng rng(seed++);
        // The stem bends more towards its tip: the root stays put, the top swings furthest.
        std::vector<Vec2> pts{root};
        const int n = 16;
        Vec2 p = root;
        for (int i = 1; i <= n; ++i) {
            float t = static_cast<float>(i) / n;
            float a = s.angle * (1 + 0.4f * t) + sway * s.give * t * t * 1.6f;
            p = {p.x + std::sin(a) * s.length / n, p.y - std::cos(a) * s.length / n};
            pts.push_back(p);
        }
        stalks.addTaperedStroke(pts, 7, 2.2f);
        for (int i = 3; i < n; i += 2) {
            Vec2 q = pts[i], r = pts[i + 1];
            float dx = r.x - q.x, dy = r.y - q.y, len = std::hypot(dx, dy);
            float nx = -dy / len, ny = dx / len;
            int side = (i / 2) % 2 ? 1 : -1;
            float leafLen = 30 * (1.0f - 0.5f * i / n) * rng.uniform(0.85f, 1.15f);
            Vec2 tip{q.x + (nx * side * 0.9f + dx / len * 0.6f) * leafLen,
                     q.y + (ny * side * 0.9f + dy / len * 0.6f) * leafLen};
            addLeaf(leaves, q, tip, 6, side * 2.0f);
        }
        if (s.flower) {
            Vec2 top = pts.back();
            for (int k = 0; k < 6; ++k) {
                float a = k * kPi / 3 + sway;
                Vec2 tip{top.x + std::cos(a) * 15, top.y + std::sin(a) * 15};
                addLeaf(blooms, top, tip, 6.5f);
            }
            centres.addCircle(top.x, top.y, 4.5f);
        }
    }
    Mask stalkMask = rasterize(stalks, size, size);
    Mask leafMask = rasterize(leaves, size, size);
    Mask plant = stalkMask.unite(leafMask);
    c.fill(plant.dilated(1.2f), hexColor(0x0E1A08));
    c.fill(stalkMask,
           linearGradient(0, 360, 0, 80, {{0, hexColor(0x6A5A2A)}, {1, hexColor(0x8CA048)}}));
    c.fill(leafMask, linearGradient(110, 90, 290, 360,
                                    {{0, hexColor(pal::leafLight)},
                                     {0.5f, hexColor(0x6E9A40)},
                                     {1, hexColor(pal::leafDark)}}));
    c.bevel(plant, 2.5f, 0.45f, 0.4f);
    Mask bloomMask = rasterize(blooms, size, size);
    c.fill(bloomMask.blurred(5), hexColor(pal::magenta), 0.35f);
    c.fill(bloomMask.dilated(1), hexColor(0x3A0830));
    c.fill(bloomMask,
           radialGradient(200, 120, 200, 200, {{0, hexColor(0xFF9AE8)}, {1, hexColor(0xD02CA8)}}));
    c.bevel(bloomMask, 2, 0.4f, 0.3f);
    c.fill(centres, hexColor(0xF6C744));

    // The sand mound the plant grows from, lit from the upper left.
    Path mound;
    mound.addEllipse(200, 350, 120, 32);
    Mask moundMask = rasterize(mound, size, size);
    c.fill(moundMask, radialGradient(170, 328, 140, 50,
                                     {{0, hexColor(pal::sandLight)},
                                      {0.6f, hexColor(pal::sandDark)},
                                      {1, hexColor(0x4A2E1A)}}));
    c.fill(moundMask, [](float x, float y) {
        float g = (hash32(static_cast<uint32_t>(x) * 31u + static_cast<uint32_t>(y) * 977u) & 255) /
                  255.0f;
        return withAlpha(hexColor(0x000000), g * 0.12f);
    });
    // Stones at its foot.
    Path stones;
    stones.addEllipse(128, 350, 12, 8);
    stones.addEllipse(268, 354, 15, 9);
    stones.addEllipse(290, 344, 8, 6);
    drawPart(c, stones, solid(hexColor(0x8A7A6A)), inked(1.2f, 4));
    return c;
}
