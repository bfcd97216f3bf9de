// The oil field of scene 4: a panorama of derricks, pumpjacks, tank farms, pipes and sheds on a
// disc of desert, seen from inside at a little above head height while it turns round the eye.
#include <cmath>
#include <vector>

#include "tools/assetgen/letters.h"
#include "tools/assetgen/model_builders.h"
#include "tools/assetgen/model_parts.h"

namespace modelgen {

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr float kRadius = 48;    // the land's rim
constexpr float kEyeHeight = 3;  // above the flat middle of the field

float smoothstep(float a, float b, float x) {
    const float t = std::fmin(1.0f, std::fmax(0.0f, (x - a) / (b - a)));
    return t * t * (3 - 2 * t);
}

// Nearly flat where the field stands; a ring of dunes at the rim hides the land's edge and
// faces the eye, so the light along the view catches it.
float fieldHeight(float x, float z) {
    const float r = std::sqrt(x * x + z * z);
    const float a = std::atan2(z, x);
    const float ripple = 0.5f * std::sin(x * 0.15f + 1.3f) * std::sin(z * 0.13f + 0.4f) +
                         0.2f * std::sin((x + z) * 0.31f);
    const float dunes = smoothstep(35, 47, r) *
                        (2.6f + 1.1f * std::sin(a * 7 + 0.5f) + 0.7f * std::sin(a * 13 + 2.1f));
    return ripple + dunes;
}

Vec3 onGround(float x, float z, float sink = 0.15f) {
    return {x, fieldHeight(x, z) - sink, z};
}

// Local frame of a structure: placed on the ground at (x, z), turned by yaw about the vertical.
Transform siteFrame(float x, float z, float yawDegrees) {
    return Transform::translate(onGround(x, z)) * Transform::rotateY(yawDegrees);
}

void addDerrick(Mesh& mesh, float x, float z, float yaw, float height) {
    const Transform at = siteFrame(x, z, yaw);
    const int levels = 8;
    const float baseHalf = 2.3f, topHalf = 0.55f;
    auto corner = [&](int level, int i) {
        const float t = float(level) / levels;
        const float h = baseHalf + (topHalf - baseHalf) * t;
        const float sx = (i == 0 || i == 3) ? -h : h;
        const float sz = (i < 2) ? -h : h;
        return at.apply({sx, height * t, sz});
    };
    mesh.group("derrick_steel", "derrick_steel");
    for (int level = 0; level < levels; ++level) {
        for (int i = 0; i < 4; ++i) {
            const int j = (i + 1) % 4;
            addStrut(mesh, corner(level, i), corner(level + 1, i), 0.24f);
            addStrut(mesh, corner(level + 1, i), corner(level + 1, j), 0.13f);
            // Braces cross each side's bay in alternating directions.
            if (level % 2 == 0) {
                addStrut(mesh, corner(level, i), corner(level + 1, j), 0.1f);
            } else {
                addStrut(mesh, corner(level, j), corner(level + 1, i), 0.1f);
            }
        }
    }
    addBox(mesh, {0, height + 0.45f, 0}, {1.6f, 0.9f, 1.6f}, at);  // crown block
    mesh.group("derrick_floor", "derrick_floor");
    addBox(mesh, {0, 3.2f, 0}, {6.2f, 0.35f, 6.2f}, at);
    addBox(mesh, {4.6f, 1.5f, 0.5f}, {3.0f, 3.0f, 2.4f}, at);  // doghouse
    for (int i = 0; i < 4; ++i) {
        const float sx = (i & 1) ? 2.9f : -2.9f, sz = (i & 2) ? 2.9f : -2.9f;
        addBox(mesh, {sx, 1.6f, sz}, {0.35f, 3.2f, 0.35f}, at);  // floor posts
    }
    mesh.group("derrick_trim", "derrick_trim");
    addBox(mesh, {4.6f, 3.15f, 0.5f}, {3.3f, 0.3f, 2.7f}, at);  // doghouse roof
    addPipe(mesh, at.apply({0, 3.3f, 0}), at.apply({0, 5.0f, 0}), 0.35f, 10);
}

void addPumpjack(Mesh& mesh, Rng& rng, float x, float z, float yaw) {
    const Transform at = siteFrame(x, z, yaw);
    const float tilt = rng.range(-12, 12);
    const Vec3 pivot{0.2f, 4.4f, 0};

    mesh.group("pump_frame", "pump_frame");
    addBox(mesh, {0.3f, 0.3f, 0}, {8.0f, 0.6f, 1.6f}, at);  // skid
    for (float side : {-0.7f, 0.7f}) {
        addStrut(mesh, at.apply({-0.8f, 0.55f, side}), at.apply({0.2f, 4.2f, side * 0.3f}), 0.28f);
        addStrut(mesh, at.apply({1.6f, 0.55f, side}), at.apply({0.2f, 4.2f, side * 0.3f}), 0.28f);
    }
    addBox(mesh, {2.9f, 1.2f, 0}, {1.3f, 1.3f, 0.9f}, at);                            // gearbox
    addBox(mesh, {4.4f, 1.0f, 0}, {1.1f, 0.9f, 0.9f}, at);                            // motor
    addPipe(mesh, at.apply({-4.3f, 0.2f, 0}), at.apply({-4.3f, 1.4f, 0}), 0.22f, 8);  // wellhead
    addBox(mesh, {-4.3f, 1.0f, 0}, {0.3f, 0.3f, 1.1f}, at);

    // Beam and horse head, drawn level and then tipped about the saddle bearing.
    Mesh beam;
    beam.addMaterial(makeMaterial("pump_beam", 0x1F4FBF));
    beam.addMaterial(makeMaterial("pump_head", 0xE8C07A));
    beam.group("pump_beam", "pump_beam");
    addBox(beam, {0, 0.1f, 0}, {7.6f, 0.5f, 0.45f});
    Contour head;
    for (int i = 0; i <= 10; ++i) {
        const float a = (70.0f + 130.0f * float(i) / 10.0f) * kPi / 180;
        head.push_back({-3.2f + 1.7f * std::cos(a), 0.1f + 1.7f * std::sin(a)});
    }
    head.push_back({-3.2f, -0.4f});
    ExtrudeStyle headStyle;
    headStyle.front = 0.35f;
    headStyle.back = -0.35f;
    headStyle.faceGroup = headStyle.sideGroup = "pump_head";
    headStyle.faceMaterial = headStyle.sideMaterial = "pump_head";
    Outline headOutline{head};
    normaliseOutline(headOutline, signedArea(head) < 0);
    extrudeOutline(beam, headOutline, headStyle);
    const Transform tip = Transform::translate(pivot) * Transform::rotateZ(tilt);
    mesh.append(beam, at * tip);

    // Bridle from the head's face to the wellhead, and the pitman arms to the cranks.
    const float a = 200.0f * kPi / 180;
    const Vec3 headBottom =
        (at * tip).apply({-3.2f + 1.7f * std::cos(a), 0.1f + 1.7f * std::sin(a), 0});
    mesh.group("pump_frame", "pump_frame");
    addStrut(mesh, headBottom, at.apply({-4.3f, 1.4f, 0}), 0.08f);
    const Vec3 beamEnd = (at * tip).apply({3.6f, -0.1f, 0});
    for (float side : {-0.6f, 0.6f}) {
        const Vec3 local = {3.6f, 0, side};
        addStrut(mesh, at.apply({2.9f + 0.5f, 1.9f, side}),
                 Vec3{beamEnd.x, beamEnd.y, beamEnd.z} + at.applyLinear(local - Vec3{3.6f, 0, 0}),
                 0.14f);
    }
    mesh.group("pump_weight", "pump_weight");
    for (float side : {-0.75f, 0.6f}) {
        const Transform disc = at * Transform::translate({2.9f, 1.6f, side}) *
                               Transform::rotateX(90) * Transform::scale(1, 0.15f, 1);
        addFrustum(mesh, disc, 1.2f, 1.2f, 16);
    }
}

void addTank(Mesh& mesh, float x, float z, float radius, float height) {
    const Transform base = Transform::translate(onGround(x, z, 0.3f));
    // Closed (its ends lie inside the roof and under the ground), so that its inside may be
    // left out when drawn.
    mesh.group("tank_wall", "tank_wall");
    addFrustum(mesh, base * Transform::scale(1, height, 1), radius, radius, 36);
    mesh.group("tank_band", "tank_band");
    addFrustum(mesh,
               base * Transform::translate({0, height * 0.62f, 0}) * Transform::scale(1, 0.7f, 1),
               radius * 1.015f, radius * 1.015f, 36, false);
    mesh.group("tank_roof", "tank_roof");
    addFrustum(mesh,
               base * Transform::translate({0, height, 0}) * Transform::scale(1, radius * 0.22f, 1),
               radius * 1.03f, 0, 36, true);
    // A ladder up the side facing the middle of the field.
    mesh.group("pipe", "pipe");
    const float a = std::atan2(-z, -x);
    const Vec3 out{std::cos(a), 0, std::sin(a)};
    const Vec3 across{-out.z, 0, out.x};
    const Vec3 foot = base.apply({0, 0.3f, 0}) + out * (radius + 0.25f);
    for (float s : {-0.35f, 0.35f}) {
        addStrut(mesh, foot + across * s, foot + across * s + Vec3{0, height + 0.8f, 0}, 0.08f);
    }
    for (float h = 0.6f; h < height; h += 0.7f) {
        addStrut(mesh, foot + across * -0.35f + Vec3{0, h, 0},
                 foot + across * 0.35f + Vec3{0, h, 0}, 0.06f);
    }
}

// A pipe on short supports, following the ground from a to b.
void addPipeline(Mesh& mesh, Vec3 a, Vec3 b) {
    mesh.group("pipe", "pipe");
    const float lift = 0.7f;
    const int spans = std::max(1, int(length(b - a) / 4.0f));
    Vec3 previous{};
    for (int i = 0; i <= spans; ++i) {
        const Vec3 p = lerp(a, b, float(i) / float(spans));
        const Vec3 top = {p.x, fieldHeight(p.x, p.z) + lift, p.z};
        addStrut(mesh, {p.x, fieldHeight(p.x, p.z) - 0.2f, p.z}, top - Vec3{0, 0.2f, 0}, 0.14f);
        if (i > 0)
            addPipe(mesh, previous, top, 0.2f, 8);
        previous = top;
    }
}

void addShed(Mesh& mesh, float x, float z, float yaw, Vec3 size) {
    const Transform at = siteFrame(x, z, yaw);
    mesh.group("shed_wall", "shed_wall");
    addBox(mesh, {0, size.y / 2, 0}, size, at);
    mesh.group("shed_roof", "shed_roof");
    addBox(mesh, {0, size.y + 0.15f, 0}, {size.x + 0.6f, 0.3f, size.z + 0.6f}, at);
    mesh.group("shed_door", "shed_door");
    addBox(mesh, {size.x * 0.2f, 1.1f, size.z / 2 + 0.05f}, {1.2f, 2.2f, 0.12f}, at);
}

void addFlareStack(Mesh& mesh, float x, float z) {
    const Vec3 foot = onGround(x, z);
    const float height = 19;
    mesh.group("derrick_steel", "derrick_steel");
    addPipe(mesh, foot, foot + Vec3{0, height, 0}, 0.45f, 12);
    for (int i = 0; i < 3; ++i) {  // guy legs
        const float a = float(i) * 2 * kPi / 3 + 0.3f;
        addStrut(mesh, onGround(x + 4.5f * std::cos(a), z + 4.5f * std::sin(a)),
                 foot + Vec3{0, height * 0.45f, 0}, 0.16f);
    }
    mesh.group("flame_outer", "flame_outer");
    addFrustum(mesh, Transform::translate(foot + Vec3{0, height, 0}) * Transform::scale(1, 3.2f, 1),
               0.9f, 0.0f, 12);
    mesh.group("flame_inner", "flame_inner");
    addFrustum(mesh,
               Transform::translate(foot + Vec3{0.25f, height, 0.2f}) * Transform::rotateZ(-12) *
                   Transform::scale(1, 4.2f, 1),
               0.5f, 0.0f, 10);
}

// Low lumps of rock and tufts of scrub scattered over the open ground, so that the flat land
// between the structures has something to catch the light as the field turns.
void addScatter(Mesh& mesh, Rng& rng) {
    for (int i = 0; i < 90; ++i) {
        const float a = rng.range(0, 2 * kPi);
        const float r = 6.0f + 30.0f * std::sqrt(rng.uniform());
        const float x = r * std::cos(a), z = r * std::sin(a);
        if (i % 3 == 0) {
            mesh.group("scrub", "scrub");
            const float s = rng.range(0.5f, 1.1f);
            addEllipsoid(mesh, onGround(x, z, 0.1f), {s, s * 0.55f, s * rng.range(0.8f, 1.2f)}, 7,
                         3, true);
        } else {
            mesh.group("rock", "rock");
            const float s = rng.range(0.25f, 0.7f);
            addEllipsoid(mesh, onGround(x, z, 0.05f), {s * 1.3f, s * 0.6f, s}, 6, 3, true);
        }
    }
}

Vec3 polar(float degrees, float distance) {
    const float a = degrees * kPi / 180;
    return {distance * std::cos(a), 0, -distance * std::sin(a)};
}

}  // namespace

Mesh buildOilField() {
    Mesh mesh;
    mesh.addMaterial(makeMaterial("sand", 0xF4D396, "ground.tga"));
    mesh.addMaterial(makeMaterial("stain", 0x5A3A26));
    mesh.addMaterial(makeMaterial("track", 0xFFE9C4));
    mesh.addMaterial(makeMaterial("rock", 0x8A5A3A));
    mesh.addMaterial(makeMaterial("scrub", 0x14505E));
    mesh.addMaterial(makeMaterial("derrick_steel", 0x14505E));
    mesh.addMaterial(makeMaterial("derrick_floor", 0xC98E4A));
    mesh.addMaterial(makeMaterial("derrick_trim", 0x8A5A3A));
    mesh.addMaterial(makeMaterial("pump_frame", 0x2E3B4A));
    mesh.addMaterial(makeMaterial("pump_beam", 0x1F4FBF));
    mesh.addMaterial(makeMaterial("pump_head", 0xE8C07A));
    mesh.addMaterial(makeMaterial("pump_weight", 0x8A5A3A));
    mesh.addMaterial(makeMaterial("tank_wall", 0xF4EBD9, "tank.tga"));
    mesh.addMaterial(makeMaterial("tank_band", 0x1F4FBF));
    mesh.addMaterial(makeMaterial("tank_roof", 0xC98E4A));
    mesh.addMaterial(makeMaterial("pipe", 0xB9B3A6));
    mesh.addMaterial(makeMaterial("shed_wall", 0xD9B47C));
    mesh.addMaterial(makeMaterial("shed_roof", 0x8A5A3A));
    mesh.addMaterial(makeMaterial("shed_door", 0x14505E));
    mesh.addMaterial(makeMaterial("flame_outer", 0xFF9A30));
    mesh.addMaterial(makeMaterial("flame_inner", 0xFFE680));

    // The land's groups come first in the file: the demo draws the groups last to first, so it
    // draws the land after what stands on it, and the land is not shaded where that hides it.
    mesh.group("ground", "sand");
    mesh.group("ground_skirt", "sand");

    Rng rng(0x0113FA17u);

    struct Site {
        float angle, distance;
    };
    const Site derricks[] = {{12, 30}, {88, 38}, {163, 24}, {232, 34}, {303, 41}};
    const float derrickHeights[] = {17, 21, 15, 19, 22};
    const Site pumps[] = {{38, 17},  {62, 27},  {124, 16}, {141, 31},
                          {203, 18}, {262, 17}, {284, 28}, {333, 19}};
    const Site tankFarms[] = {{103, 24}, {186, 36}, {350, 33}};
    const Site sheds[] = {{18, 20}, {214, 27}, {316, 24}};

    for (int i = 0; i < 5; ++i) {
        const Vec3 p = polar(derricks[i].angle, derricks[i].distance);
        addDerrick(mesh, p.x, p.z, derricks[i].angle + 15, derrickHeights[i]);
    }
    std::vector<Vec3> wellheads;
    for (const Site& s : pumps) {
        const Vec3 p = polar(s.angle, s.distance);
        const float yaw = s.angle + 90 + rng.range(-30, 30);
        addPumpjack(mesh, rng, p.x, p.z, yaw);
        wellheads.push_back(siteFrame(p.x, p.z, yaw).apply({-4.3f, 0, 0}));
        mesh.group("stain", "stain");
        addPatch(mesh, fieldHeight, wellheads.back().x, wellheads.back().z, 1.8f, 0.12f, rng);
    }
    std::vector<Vec3> farms;
    for (const Site& s : tankFarms) {
        const Vec3 c = polar(s.angle, s.distance);
        farms.push_back(c);
        const int count = 2 + int(rng.uniform() * 2);
        for (int k = 0; k < count; ++k) {
            const Vec3 off = polar(s.angle + 90 + 180 * float(k), 5.5f * float(k > 0));
            const Vec3 side = polar(s.angle, 6.5f * float(k == 2));
            const float r = rng.range(3.2f, 4.4f);
            addTank(mesh, c.x + off.x + side.x, c.z + off.z + side.z, r, rng.range(4.5f, 6.5f));
        }
    }
    // Each pumpjack sends its oil to the nearest tank farm.
    for (const Vec3& w : wellheads) {
        const Vec3* best = &farms[0];
        for (const Vec3& f : farms) {
            if (length(f - w) < length(*best - w))
                best = &f;
        }
        const Vec3 towards = normalized(w - *best);
        addPipeline(mesh, *best + towards * 5.2f, w + Vec3{0, 0, 0} - towards * 0.6f);
    }
    for (const Site& s : sheds) {
        const Vec3 p = polar(s.angle, s.distance);
        addShed(mesh, p.x, p.z, s.angle + rng.range(-20, 20),
                {rng.range(3.5f, 5), rng.range(2.4f, 2.9f), rng.range(2.6f, 3.4f)});
    }
    const Vec3 flare = polar(52, 40);
    addScatter(mesh, rng);
    // A graded track circles the field between the wells.
    mesh.group("track", "track");
    for (int i = 0; i < 96; ++i) {
        const float a0 = float(i) * 2 * kPi / 96, a1 = float(i + 1) * 2 * kPi / 96;
        const float r0 = 12.5f, r1 = 14.5f;
        auto p = [&](float r, float a) {
            const float x = r * std::cos(a), z = -r * std::sin(a);
            return mesh.vertex({x, fieldHeight(x, z) + 0.06f, z});
        };
        mesh.quad(p(r0, a0), p(r1, a0), p(r1, a1), p(r0, a1));
    }
    addFlareStack(mesh, flare.x, flare.z);

    // The land goes in last: its skirt reaches down just far enough that, once the model is
    // centred on its bounding box, the eye stands kEyeHeight above the middle of the field.
    Vec3 lo, hi;
    mesh.bounds(lo, hi);
    std::vector<float> radii;
    for (float r = 1.5f; r < kRadius; r *= 1.16f) radii.push_back(r);
    radii.push_back(kRadius);
    mesh.group("ground", "sand");
    addLand(mesh, fieldHeight, radii, 72, 2 * kEyeHeight - hi.y, "ground_skirt", "sand");

    mesh.centre();
    return mesh;
}

}  // namespace modelgen
