// The night oasis of scene 8: a pool ringed by palms, two tents and a camp fire, in a bowl of
// dunes. The scene starts the eye 0.75 model units from the middle and flies it through the
// oasis while the model turns, so the eye's path is kept clear of trunks and dunes.
#include <cmath>
#include <vector>

#include "tools/assetgen/model_builders.h"
#include "tools/assetgen/model_parts.h"

namespace modelgen {

namespace {

constexpr float kPi = 3.14159265358979f;
constexpr float kRadius = 30;       // the land's rim; half a model unit is kRadius / 2
constexpr float kEyeHeight = 2.6f;  // above the ground round the pool

float smoothstep(float a, float b, float x) {
    const float t = std::fmin(1.0f, std::fmax(0.0f, (x - a) / (b - a)));
    return t * t * (3 - 2 * t);
}

// Where the eye is at scene time t (seconds), in this model's units: the scene moves the model
// from 0.75 units in front of the eye towards it at 0.05 units per second while turning it at
// 5 degrees per second.
Vec3 eyeAt(float t) {
    const float d = (0.75f - t / 20) * kRadius;
    const float a = 5 * t * kPi / 180;
    return {d * std::sin(a), kEyeHeight, d * std::cos(a)};
}

float distanceToPath(float x, float z) {
    float best = 1e9f;
    for (float t = 0; t <= 21; t += 0.1f) {
        const Vec3 e = eyeAt(t);
        best = std::fmin(best, std::hypot(e.x - x, e.z - z));
    }
    return best;
}

// The pool's basin in the middle, level ground round it, dunes rising towards the rim except
// along the eye's way in, where they stay low.
float oasisHeight(float x, float z) {
    const float r = std::sqrt(x * x + z * z);
    const float a = std::atan2(z, x);
    const float basin = -1.8f * (1 - smoothstep(3, 9.5f, r));
    const float ripple = 0.3f * std::sin(x * 0.35f + 0.7f) * std::sin(z * 0.29f + 1.9f);
    float dunes = 3.6f + 2.0f * std::sin(3 * a + 1.0f) + 1.2f * std::sin(7 * a + 0.3f);
    // The way in (from +z, where the eye starts) keeps the dunes below eye height.
    const float wayIn =
        std::exp(-std::pow(std::fabs(std::remainder(a - kPi / 2, 2 * kPi)) / 0.5f, 2));
    dunes *= 1 - 0.8f * wayIn * (1 - smoothstep(22, 28, r));
    return basin + ripple * smoothstep(6, 10, r) + smoothstep(15, 26, r) * dunes;
}

Vec3 ground(float x, float z, float sink = 0.1f) {
    return {x, oasisHeight(x, z) - sink, z};
}

// Orients a triangle of an open surface so that its front looks upwards.
void upTriangle(Mesh& mesh, int a, int b, int c) {
    const auto& v = mesh.vertices();
    if (cross(v[b] - v[a], v[c] - v[a]).y >= 0) {
        mesh.triangle(a, b, c);
    } else {
        mesh.triangle(a, c, b);
    }
}

void addPalm(Mesh& mesh, Rng& rng, float x, float z, float height, float leanAngle, float lean) {
    const Vec3 base = ground(x, z, 0.3f);
    const Vec3 leanDir{std::cos(leanAngle), 0, std::sin(leanAngle)};
    auto spine = [&](float s) {
        return base + Vec3{0, height * s, 0} + leanDir * (lean * std::pow(s, 1.7f));
    };

    // Trunk: rings along the curved spine, shared round and along so that it shades round.
    mesh.group("palm_trunk", "palm_trunk");
    const int sides = 8, segments = 12;
    std::vector<std::vector<int>> rings;
    for (int k = 0; k <= segments; ++k) {
        const float s = float(k) / segments;
        const Vec3 c = spine(s);
        const float r = (0.5f - 0.22f * s) * (k % 2 == 0 ? 1.0f : 0.9f);
        std::vector<int> ring(sides);
        for (int i = 0; i < sides; ++i) {
            const float a = 2 * kPi * float(i) / sides;
            ring[i] = mesh.vertex(c + Vec3{r * std::cos(a), 0, -r * std::sin(a)});
        }
        rings.push_back(ring);
    }
    for (int k = 0; k < segments; ++k) {
        for (int i = 0; i < sides; ++i) {
            const int j = (i + 1) % sides;
            mesh.quad(rings[k][i], rings[k][j], rings[k + 1][j], rings[k + 1][i]);
        }
    }
    const Vec3 top = spine(1);
    const int tip = mesh.vertex(top + Vec3{0, 0.5f, 0});
    for (int i = 0; i < sides; ++i) {
        mesh.triangle(rings[segments][i], rings[segments][(i + 1) % sides], tip);
    }
    // The foot, under the ground, closes the trunk; on corners of its own, so that the trunk's
    // shading stays as it is.
    const int foot = mesh.vertex(spine(0));
    std::vector<int> sole(sides);
    for (int i = 0; i < sides; ++i) sole[i] = mesh.vertex(mesh.vertices()[rings[0][i]]);
    for (int i = 0; i < sides; ++i) mesh.triangle(foot, sole[(i + 1) % sides], sole[i]);

    // Fronds: folded blades arching out and down from the crown, edges notched into leaflets.
    mesh.group("palm_frond", "palm_frond");
    const int fronds = 9;
    const float turn = rng.range(0, 2 * kPi);
    for (int f = 0; f < fronds; ++f) {
        const float az = turn + 2 * kPi * float(f) / fronds + rng.range(-0.2f, 0.2f);
        const Vec3 out{std::cos(az), 0, std::sin(az)};
        const Vec3 side{-out.z, 0, out.x};
        const float len = rng.range(3.8f, 4.8f);
        const float rise = rng.range(0.5f, 0.9f);
        const int steps = 12;
        std::vector<int> rachis, left, right;
        for (int k = 0; k <= steps; ++k) {
            const float u = float(k) / steps;
            const float along = len * u;
            const Vec3 p =
                top + out * along + Vec3{0, rise * along - 0.75f * along * along / len, 0};
            const float w = 0.95f * std::sin(kPi * std::pow(u, 0.7f)) * (k % 2 == 0 ? 1.0f : 0.55f);
            rachis.push_back(mesh.vertex(p));
            left.push_back(mesh.vertex(p + side * w - Vec3{0, 0.35f * w, 0}));
            right.push_back(mesh.vertex(p - side * w - Vec3{0, 0.35f * w, 0}));
        }
        for (int k = 0; k < steps; ++k) {
            upTriangle(mesh, rachis[k], left[k], left[k + 1]);
            upTriangle(mesh, rachis[k], left[k + 1], rachis[k + 1]);
            upTriangle(mesh, rachis[k], right[k + 1], right[k]);
            upTriangle(mesh, rachis[k], rachis[k + 1], right[k + 1]);
        }
    }
    mesh.group("palm_dates", "palm_dates");
    for (int i = 0; i < 4; ++i) {
        const float a = rng.range(0, 2 * kPi);
        addEllipsoid(mesh, top + Vec3{0.45f * std::cos(a), -0.35f, 0.45f * std::sin(a)},
                     {0.22f, 0.3f, 0.22f}, 6, 4);
    }
}

void addTent(Mesh& mesh, float x, float z, float yaw) {
    const Transform at = Transform::translate(ground(x, z, 0.05f)) * Transform::rotateY(yaw);
    const float w = 3.2f, d = 2.4f, h = 1.9f, eave = 1.0f;
    auto v = [&](float px, float py, float pz) { return mesh.vertex(at.apply({px, py, pz})); };
    mesh.group("tent_cloth", "tent_cloth");
    // Low walls under a ridged roof; each face has its own corners (hard edges).
    mesh.quad(v(-w, 0, d), v(w, 0, d), v(w, eave, d), v(-w, eave, d));
    mesh.quad(v(w, 0, -d), v(-w, 0, -d), v(-w, eave, -d), v(w, eave, -d));
    mesh.quad(v(w, 0, d), v(w, 0, -d), v(w, eave, -d), v(w, eave, d));
    mesh.quad(v(-w, 0, -d), v(-w, 0, d), v(-w, eave, d), v(-w, eave, -d));
    mesh.triangle(v(w, eave, d), v(w, eave, -d), v(w, h, 0));
    mesh.triangle(v(-w, eave, -d), v(-w, eave, d), v(-w, h, 0));
    mesh.group("tent_roof", "tent_roof");
    mesh.quad(v(-w - 0.3f, eave - 0.1f, d + 0.3f), v(w + 0.3f, eave - 0.1f, d + 0.3f),
              v(w + 0.3f, h, 0), v(-w - 0.3f, h, 0));
    mesh.quad(v(w + 0.3f, eave - 0.1f, -d - 0.3f), v(-w - 0.3f, eave - 0.1f, -d - 0.3f),
              v(-w - 0.3f, h, 0), v(w + 0.3f, h, 0));
    mesh.group("tent_door", "tent_door");
    mesh.quad(v(-0.6f, 0, d + 0.02f), v(0.6f, 0, d + 0.02f), v(0.6f, eave * 0.95f, d + 0.02f),
              v(-0.6f, eave * 0.95f, d + 0.02f));
}

void addCampFire(Mesh& mesh, Rng& rng, float x, float z) {
    const Vec3 c = ground(x, z, 0);
    mesh.group("fire_stone", "fire_stone");
    for (int i = 0; i < 9; ++i) {
        const float a = 2 * kPi * float(i) / 9;
        addEllipsoid(mesh, c + Vec3{1.0f * std::cos(a), 0, 1.0f * std::sin(a)},
                     {0.3f, 0.22f, 0.26f}, 6, 3, true);
    }
    mesh.group("fire_outer", "fire_outer");
    for (int i = 0; i < 3; ++i) {
        const Transform flame =
            Transform::translate(c + Vec3{rng.range(-0.2f, 0.2f), 0, rng.range(-0.2f, 0.2f)}) *
            Transform::rotateZ(rng.range(-12, 12)) * Transform::scale(1, rng.range(1.2f, 1.8f), 1);
        addFrustum(mesh, flame, 0.45f, 0, 8);
    }
    mesh.group("fire_inner", "fire_inner");
    addFrustum(mesh, Transform::translate(c) * Transform::scale(1, 0.9f, 1), 0.3f, 0, 8);
}

}  // namespace

Mesh buildOasis() {
    Mesh mesh;
    mesh.addMaterial(makeMaterial("dune", 0x4F8C96, "dune.tga"));
    mesh.addMaterial(makeMaterial("water", 0x9FD8FF));
    mesh.addMaterial(makeMaterial("moonlight", 0xE6F4FF));
    mesh.addMaterial(makeMaterial("reeds", 0x2F7A5E));
    mesh.addMaterial(makeMaterial("palm_trunk", 0x6B4630, "palm.tga"));
    mesh.addMaterial(makeMaterial("palm_frond", 0x2E8C6A));
    mesh.addMaterial(makeMaterial("palm_dates", 0xC98E4A));
    mesh.addMaterial(makeMaterial("tent_cloth", 0xC98E4A));
    mesh.addMaterial(makeMaterial("tent_roof", 0x8A5A3A));
    mesh.addMaterial(makeMaterial("tent_door", 0x0B2E3A));
    mesh.addMaterial(makeMaterial("fire_stone", 0x6B6B73));
    mesh.addMaterial(makeMaterial("fire_outer", 0xFF9A30));
    mesh.addMaterial(makeMaterial("fire_inner", 0xFFE680));

    Rng rng(0x0A515u);

    // The pool: a still surface over the basin, a pale streak where the moon lies on it.
    mesh.group("water", "water");
    addPatch(
        mesh, [](float, float) { return -0.9f; }, 0, 0, 7.6f, 0, rng, 28);
    mesh.group("moonlight", "moonlight");
    addPatch(
        mesh, [](float, float) { return -0.88f; }, -1.5f, -2.0f, 1.4f, 0, rng, 12);

    // Palms round the pool, never where the eye flies.
    int planted = 0;
    std::vector<Vec3> trunks;
    for (int attempt = 0; attempt < 600 && planted < 20; ++attempt) {
        const float a = rng.range(0, 2 * kPi);
        const float r = rng.range(8.5f, 19.0f);
        const float x = r * std::cos(a), z = r * std::sin(a);
        if (distanceToPath(x, z) < 5.0f)
            continue;
        bool crowded = false;
        for (const Vec3& t : trunks) crowded = crowded || std::hypot(t.x - x, t.z - z) < 2.6f;
        if (crowded)
            continue;
        trunks.push_back({x, 0, z});
        // Palms lean out over the water or away from it.
        const float lean = rng.range(0.6f, 2.0f);
        const float leanAngle = (planted % 3 == 0 ? a + kPi : a) + rng.range(-0.5f, 0.5f);
        addPalm(mesh, rng, x, z, rng.range(5.0f, 7.5f), leanAngle, lean);
        ++planted;
    }

    // Reeds at the water's edge.
    mesh.group("reeds", "reeds");
    for (int i = 0; i < 40; ++i) {
        const float a = rng.range(0, 2 * kPi);
        const float r = rng.range(7.0f, 8.2f);
        const Vec3 foot = ground(r * std::cos(a), r * std::sin(a), 0.2f);
        const Vec3 tipOff{rng.range(-0.3f, 0.3f), rng.range(1.0f, 1.8f), rng.range(-0.3f, 0.3f)};
        addFrustum(mesh, Transform::alongY(foot, tipOff), 0.09f, 0, 4);
    }

    addTent(mesh, -13.5f, -9.0f, 35);
    addTent(mesh, -6.0f, -15.5f, 10);
    addCampFire(mesh, rng, -9.5f, -9.5f);

    // The land goes in last, its skirt deep enough to set the eye's height (see the oil field).
    Vec3 lo, hi;
    mesh.bounds(lo, hi);
    std::vector<float> radii;
    for (float r = 1.0f; r < kRadius; r += r < 10 ? 0.8f : 1.2f) radii.push_back(r);
    radii.push_back(kRadius);
    mesh.group("land", "dune");
    addLand(mesh, oasisHeight, radii, 96, 2 * kEyeHeight - hi.y, "land_skirt", "dune");

    mesh.centre();
    return mesh;
}

}  // namespace modelgen
