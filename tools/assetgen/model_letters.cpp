// The group's emblem and the six title words: solid letters from DejaVu Sans Bold.
#include <cmath>
#include <vector>

#include "tools/assetgen/fonts.h"
#include "tools/assetgen/letters.h"
#include "tools/assetgen/model_builders.h"

namespace modelgen {

namespace {

constexpr float kTau = 6.28318530717959f;

FT_Face boldFace() {
    static FT_Face face = openFont("DejaVuSans-Bold.ttf");
    return face;
}

// Text outline scaled to `height` em-relative units and centred on (cx, cy).
Outline placedText(const std::string& text, float emSize, float cx, float cy) {
    float advance = 0;
    Outline outline = textOutline(boldFace(), text, &advance);
    float lo = 1e9f, hi = -1e9f, bottom = 1e9f, top = -1e9f;
    for (const Contour& c : outline) {
        for (Point2 p : c) {
            lo = std::min(lo, p.x);
            hi = std::max(hi, p.x);
            bottom = std::min(bottom, p.y);
            top = std::max(top, p.y);
        }
    }
    for (Contour& c : outline) {
        for (Point2& p : c) {
            p = {cx + (p.x - (lo + hi) / 2) * emSize, cy + (p.y - (bottom + top) / 2) * emSize};
        }
    }
    return outline;
}

float outlineWidth(const Outline& outline) {
    float lo = 1e9f, hi = -1e9f;
    for (const Contour& c : outline) {
        for (Point2 p : c) {
            lo = std::min(lo, p.x);
            hi = std::max(hi, p.x);
        }
    }
    return hi - lo;
}

Contour circle(float cx, float cy, float r, int sides) {
    Contour c;
    for (int i = 0; i < sides; ++i) {
        const float a = kTau * float(i) / float(sides);
        c.push_back({cx + r * std::cos(a), cy + r * std::sin(a)});
    }
    return c;
}

// A compass rose: four long points on the axes, four short ones between.
Contour compassRose(float cx, float cy, float longR, float shortR, float innerR) {
    Contour c;
    for (int i = 0; i < 16; ++i) {
        const float a = kTau * float(i) / 16.0f + kTau / 4;
        const float r = (i % 2 == 1) ? innerR : (i % 4 == 0 ? longR : shortR);
        c.push_back({cx + r * std::cos(a), cy + r * std::sin(a)});
    }
    return c;
}

// Rectangle with its corners cut at 45 degrees.
Contour cutCornerRect(float halfW, float halfH, float cut) {
    return {{-halfW + cut, -halfH}, {halfW - cut, -halfH}, {halfW, -halfH + cut},
            {halfW, halfH - cut},   {halfW - cut, halfH},  {-halfW + cut, halfH},
            {-halfW, halfH - cut},  {-halfW, -halfH + cut}};
}

ExtrudeStyle layer(const std::string& part, float back, float front, float chamfer) {
    ExtrudeStyle s;
    s.back = back;
    s.front = front;
    s.chamfer = chamfer;
    s.faceGroup = s.faceMaterial = part + "_face";
    s.edgeGroup = s.edgeMaterial = part + "_edge";
    s.sideGroup = s.sideMaterial = part + "_side";
    return s;
}

void addLayerMaterials(Mesh& mesh, const std::string& part, std::uint32_t face, std::uint32_t edge,
                       std::uint32_t side) {
    mesh.addMaterial(makeMaterial(part + "_face", face));
    mesh.addMaterial(makeMaterial(part + "_edge", edge));
    mesh.addMaterial(makeMaterial(part + "_side", side));
}

}  // namespace

Mesh buildEmblem() {
    // Laid out in the emblem's own plane (x right, y up, front towards +z), then stood up so
    // that its front faces +y and its top points to -z: the opening scene's turn about x shows
    // the front to the viewer with the top upwards.
    Mesh flat;
    addLayerMaterials(flat, "plate", 0x1F4FBF, 0xFF00FF, 0x0B2E3A);
    addLayerMaterials(flat, "sun", 0xE8C07A, 0xFFE3A0, 0xC98E4A);
    addLayerMaterials(flat, "rose", 0xFFF4D6, 0xE8C07A, 0x8A5A3A);
    addLayerMaterials(flat, "name", 0xE8C07A, 0xFFE3A0, 0x8A5A3A);

    extrudeOutline(flat, {cutCornerRect(1.0f, 0.34f, 0.12f)}, layer("plate", -0.06f, 0.06f, 0.03f));

    const float sunX = -0.66f;
    extrudeOutline(flat, {circle(sunX, 0, 0.29f, 48)}, layer("sun", 0.0f, 0.12f, 0.025f));
    extrudeOutline(flat, {compassRose(sunX, 0, 0.25f, 0.15f, 0.055f)},
                   layer("rose", 0.08f, 0.17f, 0.018f));

    // The group's name in two lines beside the sun, both lines set at the same size.
    const float textLeft = -0.28f, textRight = 0.9f;
    const float available = textRight - textLeft;
    const float em = std::min(available / outlineWidth(textOutline(boldFace(), "TOVLEK")),
                              available / outlineWidth(textOutline(boldFace(), "ZERE")));
    const float cx = (textLeft + textRight) / 2;
    Outline name = placedText("TOVLEK", em * 0.98f, cx, 0.125f);
    Outline second = placedText("ZERE", em * 0.98f, cx, -0.135f);
    name.insert(name.end(), second.begin(), second.end());
    extrudeOutline(flat, name, layer("name", 0.0f, 0.11f, 0.015f));

    Mesh mesh;
    Transform stand;
    stand.m = {1, 0, 0, 0, 0, 1, 0, -1, 0};  // (x, y, z) -> (x, z, -y)
    mesh.append(flat, stand);
    mesh.centre();
    return mesh;
}

Mesh buildWord(const std::string& text, int index) {
    // Warm sand faces for the first row, sky blues for the second, and the last row in gold and
    // cream; walls in the shadow brown, chamfers lighter than the face.
    static const std::uint32_t faces[6] = {0xE8C07A, 0xD9A55E, 0x6FA8FF,
                                           0x4F86E8, 0xFFE3A0, 0xF2C66D};
    static const std::uint32_t edges[6] = {0xFFE8B5, 0xF5CE8E, 0xC4DCFF,
                                           0xA9C8FF, 0xFFFFFF, 0xFF00FF};
    static const std::uint32_t sides[6] = {0x8A5A3A, 0x8A5A3A, 0x1F4FBF,
                                           0x1F4FBF, 0xC98E4A, 0x8A5A3A};
    Mesh mesh;
    addLayerMaterials(mesh, "letter", faces[index % 6], edges[index % 6], sides[index % 6]);
    const Outline outline = textOutline(boldFace(), text);
    extrudeOutline(mesh, outline, layer("letter", -0.14f, 0.14f, 0.04f));
    mesh.centre();
    return mesh;
}

}  // namespace modelgen
