// One real window with an OpenGL context per test process, like the demo's own: 1280 x 720,
// depth 24, stencil 8. Needs an X display (Xvfb in the tests).
#pragma once

#include <SFML/Graphics/RenderWindow.hpp>

#include <cstdint>
#include <vector>

sf::RenderWindow& testWindow();

// The back buffer's pixels as RGBA rows, top row first (what the next display would show); the
// whole window, or a part of it from its bottom-left corner.
std::vector<std::uint8_t> readBackBuffer(int width = 1280, int height = 720, int left = 0,
                                         int bottom = 0);

// The RGBA colour of one pixel of the back buffer, (0, 0) at the top-left.
struct Rgba {
    std::uint8_t r, g, b, a;
};
Rgba backBufferPixel(int x, int y);
