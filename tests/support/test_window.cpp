#include "tests/support/test_window.h"

#include <SFML/OpenGL.hpp>

sf::RenderWindow& testWindow() {
    static sf::RenderWindow* window =
        new sf::RenderWindow(sf::VideoMode(1280, 720, 32), "zandar test", sf::Style::Fullscreen,
                             sf::ContextSettings(24, 8, 0));
    window->setActive(true);
    return *window;
}

std::vector<std::uint8_t> readBackBuffer(int width, int height, int left, int bottom) {
    testWindow();
    std::vector<std::uint8_t> rows(static_cast<size_t>(width) * height * 4), flipped(rows.size());
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(left, bottom, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rows.data());
    const size_t stride = static_cast<size_t>(width) * 4;  // OpenGL counts rows from the bottom
    for (int y = 0; y < height; ++y) {
        std::copy_n(rows.begin() + static_cast<long>(y * stride), stride,
                    flipped.begin() + static_cast<long>((height - 1 - y) * stride));
    }
    return flipped;
}

Rgba backBufferPixel(int x, int y) {
    const std::vector<std::uint8_t> p = readBackBuffer(1, 1, x, 719 - y);
    return {p[0], p[1], p[2], p[3]};
}
