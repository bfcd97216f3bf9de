// The nine scenes in playing order. Each draws one whole frame per call, advances its own phase
// machine by frameTime, and raises sceneIndex when it is done.
#pragma once

#include <array>
#include <cstdint>

void scene1();  // the opening model turns in and fades to black
void scene2();  // the six title words rise and recede
void scene3();  // figure over the sand with guns and car, fade to white
void scene4();  // turning oil field with a character and a rising bubble
void scene5();  // scrolling desert with speech bubble
void scene6();  // spinning credits
void scene7();  // cube wall with spinning props
void scene8();  // night oasis with text scroll
void scene9();  // final text scroll

// Scene 7's stripe patterns: pattern by pattern, row by row (row 0 at the top), column by column;
// 0 is a white cube, 1 a dark one.
constexpr int kScene7PatternCount = 4;
constexpr int kScene7Rows = 16;
constexpr int kScene7Columns = 32;
constexpr int kScene7PatternCells = kScene7PatternCount * kScene7Rows * kScene7Columns;
extern const std::array<std::int32_t, kScene7PatternCells> scene7Patterns;

// Scene 7's wall of cubes for the current scene7Time, scene7Pattern and beatPulse, drawn from the
// modelview matrix as it stands; the scene calls it on the identity matrix.
void drawScene7CubeWall();
