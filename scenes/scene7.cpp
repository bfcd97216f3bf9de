// Scene 7: a wall of 32 x 16 spinning cubes in white and dark grey stripes that change every
// quarter second, bobbing and swelling with the beat; in front of it four props grow and turn in
// turn, two seconds each, under the filter overlay. Fog goes off here for the rest of the demo.
#include <SFML/OpenGL.hpp>

#include <array>
#include <cmath>
#include <cstdint>

#include "driver/demo_globals.h"
#include "driver/sprites.h"
#include "glm/demo_models.h"
#include "scenes/scenes.h"

namespace {

constexpr int kPatternCount = kScene7PatternCount;
constexpr int kRows = kScene7Rows;
constexpr int kColumns = kScene7Columns;
constexpr int kLastProp = 3;

// Four stripe patterns, pattern by pattern and row by row; 1 is a dark cube. Odd rows, even
// rows, odd columns, even columns.
constexpr std::array<std::int32_t, kPatternCount * kRows * kColumns> makePatterns() {
    std::array<std::int32_t, kPatternCount * kRows * kColumns> cells{};
    for (int pattern = 0; pattern < kPatternCount; ++pattern) {
        for (int row = 0; row < kRows; ++row) {
            for (int column = 0; column < kColumns; ++column) {
                const int along = pattern < 2 ? row : column;
                const bool dark = (pattern % 2 == 0) ? (along % 2 == 1) : (along % 2 == 0);
                cells[pattern * kRows * kColumns + row * kColumns + column] = dark ? 1 : 0;
            }
        }
    }
    return cells;
}

}  // namespace

const std::array<std::int32_t, kScene7PatternCells> scene7Patterns = makePatterns();

namespace {

sf::Sprite* prop(int phase) {
    sf::Sprite* const props[] = {demo.ak47, demo.bmw, demo.arab, demo.palm};
    return props[phase];
}

// The figure and the lute turn one way, the car and the palm the other.
float propTurnSign(int phase) {
    return (phase == 0 || phase == 2) ? 1.0f : -1.0f;
}

void firstFrameSetUp() {
    glDisable(GL_FOG);
    demo.scene7FirstFrame = false;
    for (sf::Sprite* s : {demo.ak47, demo.arab, demo.palm, demo.bmw}) {
        s->setPosition(640.0f, 360.0f);
    }
    for (sf::Sprite* s : {demo.ak47, demo.arab, demo.palm, demo.bmw}) {
        s->setScale(1.0f, 1.0f);
    }
    // The pixel each turns and grows about; the lute keeps the mirroring scene 3 left on it.
    demo.arab->setOrigin(170.0f, 340.0f);
    demo.palm->setOrigin(279.0f, 307.0f);
}

void advancePattern() {
    if (demo.scene7PatternTimer > demo.timeUnitQuarter / 4.0f) {
        demo.scene7PatternTimer = 0.0f;
        demo.scene7Pattern = (demo.scene7Pattern + 1) % kPatternCount;
    }
}

// One cube of the wall exactly as glutSolidCube draws it, so the wall keeps its pixels without
// the toolkit: four corners a face, each with the face's normal, faces in the order +z, +x, +y,
// -x, -y, -z, each as the triangles (0 1 2) and (0 2 3), counter-clockwise seen from outside.
struct Cube {
    GLfloat corners[24][3];
    GLfloat normals[24][3];
    GLushort indices[36];
};

Cube cubeOfEdge(float edge) {
    static const signed char kCorners[24][3] = {
        {1, 1, 1},   {-1, 1, 1},  {-1, -1, 1},  {1, -1, 1},    // +z
        {1, 1, 1},   {1, -1, 1},  {1, -1, -1},  {1, 1, -1},    // +x
        {1, 1, 1},   {1, 1, -1},  {-1, 1, -1},  {-1, 1, 1},    // +y
        {-1, 1, 1},  {-1, 1, -1}, {-1, -1, -1}, {-1, -1, 1},   // -x
        {-1, -1, -1}, {1, -1, -1}, {1, -1, 1},  {-1, -1, 1},   // -y
        {1, -1, -1}, {-1, -1, -1}, {-1, 1, -1}, {1, 1, -1}};   // -z
    static const signed char kNormals[6][3] = {{0, 0, 1},  {1, 0, 0},  {0, 1, 0},
                                               {-1, 0, 0}, {0, -1, 0}, {0, 0, -1}};
    Cube cube{};
    const float half = edge * 0.5f;  // what the toolkit's half of the double edge rounds to
    for (int i = 0; i < 24; ++i) {
        for (int k = 0; k < 3; ++k) {
            cube.corners[i][k] = kCorners[i][k] * half;
            cube.normals[i][k] = kNormals[i / 4][k];
        }
    }
    for (int face = 0; face < 6; ++face) {
        const GLushort first = static_cast<GLushort>(face * 4);
        const GLushort triangles[6] = {0, 1, 2, 0, 2, 3};
        for (int k = 0; k < 6; ++k) {
            cube.indices[face * 6 + k] = static_cast<GLushort>(first + triangles[k]);
        }
    }
    return cube;
}

}  // namespace

void drawScene7CubeWall() {
    const float edge = demo.beatPulse / 4.0f + 0.25f;
    const Cube cube = cubeOfEdge(edge);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glVertexPointer(3, GL_FLOAT, 0, cube.corners);
    glNormalPointer(GL_FLOAT, 0, cube.normals);
    // The cubes are closed and the eye is outside them: every back face lies behind a front face
    // of its own cube, so leaving the back faces out changes no pixel and halves the fill.
    glEnable(GL_CULL_FACE);
    glTranslatef(-8.25f, -4.25f, -4.5f);
    glTranslatef(0.0f, 0.0f, std::sin(demo.scene7Time) / 2.0f);

    // Most of the wall lies outside the view. A cube whose bounding sphere (with room to spare)
    // is wholly outside one of the view's planes draws nothing and is left out; the matrix steps
    // to the next cube are made all the same, so the others are placed exactly as before.
    GLfloat modelview[16], projection[16], planes[6][4];
    glGetFloatv(GL_MODELVIEW_MATRIX, modelview);
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    for (int p = 0; p < 6; ++p) {
        const int axis = p / 2;
        const float sign = p % 2 ? -1.0f : 1.0f;
        float length = 0.0f;
        for (int c = 0; c < 4; ++c) {
            float row3 = 0.0f, rowAxis = 0.0f;  // rows of projection x modelview, column c
            for (int k = 0; k < 4; ++k) {
                row3 += projection[4 * k + 3] * modelview[4 * c + k];
                rowAxis += projection[4 * k + axis] * modelview[4 * c + k];
            }
            planes[p][c] = row3 + sign * rowAxis;
            length += c < 3 ? planes[p][c] * planes[p][c] : 0.0f;
        }
        for (float& v : planes[p]) v /= std::sqrt(length);
    }
    const float reach = edge * 0.8660254f * 1.01f + 0.01f;
    auto inView = [&](float x, float y) {
        for (const auto& plane : planes) {
            if (plane[0] * x + plane[1] * y + plane[3] < -reach) return false;
        }
        return true;
    };

    int lastShade = -1;
    const std::int32_t* shades = &scene7Patterns[demo.scene7Pattern * kRows * kColumns];
    for (int row = kRows - 1; row >= 0; --row) {
        glTranslatef(0.0f, 0.5f, 0.0f);
        glPushMatrix();
        for (int column = 0; column < kColumns; ++column) {
            glTranslatef(0.5f, 0.0f, 0.0f);
            if (!inView(0.5f * (column + 1), 0.5f * (kRows - row))) {
                continue;
            }
            glPushMatrix();
            glRotatef(demo.scene7Time * 50.0f, 1.0f, 1.0f, 1.0f);
            // Setting the material the previous cube already set changes nothing; skipping it
            // spares the rasteriser a state change per cube.
            const int shade = shades[row * kColumns + column];
            if (shade != lastShade) {
                const float grey = shade == 0 ? 1.0f : 0.25f;
                setMaterialColor(grey, grey, grey);
                lastShade = shade;
            }
            glDrawElements(GL_TRIANGLES, 36, GL_UNSIGNED_SHORT, cube.indices);
            glPopMatrix();
        }
        glPopMatrix();
    }
    // The material stays as the last cube of the wall set it.
    if (shades[kColumns - 1] != lastShade) {
        const float grey = shades[kColumns - 1] == 0 ? 1.0f : 0.25f;
        setMaterialColor(grey, grey, grey);
    }
    glDisable(GL_CULL_FACE);
    glDisableClientState(GL_VERTEX_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
}

namespace {

void drawProp() {
    DemoGlobals& d = demo;
    d.scene7Grow += d.frameTime / 2.0f;
    d.scene7Spin += 2.0f * d.frameTime;
    sf::Sprite* current = prop(d.scene7Phase);
    const float s = d.scene7Grow + 0.5f + d.beatPulse / 4.0f;
    current->setScale(s, s);
    setSpriteRotation(current, propTurnSign(d.scene7Phase) * d.scene7Spin);
    drawSprite(current);
    if (d.scene7Time > d.timeUnitHalf) {
        d.scene7Time = 0.0f;
        d.scene7Spin = 0.0f;
        d.scene7Grow = 0.0f;
        if (d.scene7Phase < kLastProp) {
            d.scene7Phase += 1;
        } else {
            d.sceneIndex += 1;
        }
    }
}

}  // namespace

void scene7() {
    if (demo.scene7FirstFrame) {
        firstFrameSetUp();
    }

    demo.scene7Time += demo.frameTime;
    demo.scene7PatternTimer += demo.frameTime;
    // The wrap from the last pattern to the first is drawn like every other frame, so the wall
    // never flashes blank.
    advancePattern();

    demo.renderWindow->clear(sf::Color(128, 128, 128, 255));
    drawScene7CubeWall();
    drawProp();

    const float f = demo.beatPulse / 4.0f + 1.4f;
    demo.filter->setScale(f, f);
    drawSprite(demo.filter);
}
