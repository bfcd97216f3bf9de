#include "tests/support/test_window.h"

#include <SFML/OpenGL.hpp>

sf::RenderWindow& testWindow() {
    static sf::RenderWindow* window = [] {
        auto* w = new sf::RenderWindow(sf::VideoMode(1280, 720, 32), "zandar test",
                                       sf::Style::Fullscreen, sf::ContextSettings(24, 8, 0));
        w->setActive(true);
        return w;
    }();
    window->setActive(true);
    return *window;
}

std::vector<std::uint8_t> readBackBuffer(int width, int height) {
    testWindow();
    std::vector<std::uint8_t> rows(static_cast<size_t>(width) * height * 4);
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(0, 0, width, height, GL_RGBA, GL_UNSIGNED_BYTE, rows.data());
    // OpenGL counts rows from the bottom.
    std::vector<std::uint8_t> flipped(rows.size());
    const size_t stride = static_cast<size_t>(width) * 4;
    for (int y = 0; y < height; ++y) {
        std::copy_n(rows.begin() + static_cast<long>(y * stride), stride,
                    flipped.begin() + static_cast<long>((height - 1 - y) * stride));
    }
    return flipped;
}

Rgba backBufferPixel(int x, int y) {
    testWindow();
    std::uint8_t p[4] = {};
    glReadBuffer(GL_BACK);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadPixels(x, 719 - y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    return {p[0], p[1], p[2], p[3]};
}
