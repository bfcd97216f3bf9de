#include "driver/sprites.h"

#include <cstdio>

#include "driver/demo_globals.h"

namespace {

// The sprite's own defaults made explicit, as the factories promise them.
sf::Sprite* newSprite(sf::Texture& image, float centreX, float centreY) {
    auto* sprite = new sf::Sprite(image);
    sprite->setPosition(0.0f, 0.0f);
    sprite->setScale(1.0f, 1.0f);
    sprite->setRotation(0.0f);
    sprite->setColor(sf::Color(255, 255, 255, 255));
    sprite->setOrigin(centreX, centreY);
    return sprite;
}

// Half of each side as whole pixels: an odd size loses its half pixel.
sf::Sprite* newCenteredSprite(sf::Texture& image) {
    sf::Vector2u size = image.getSize();
    return newSprite(image, static_cast<float>(size.x / 2u), static_cast<float>(size.y / 2u));
}

}  // namespace

sf::Sprite* createSpriteFromFile(const char* path) {
    auto* image = new sf::Texture();  // owned by its sprite for the whole run
    bool loaded = image->loadFromFile(path);
    image->setSmooth(true);
    std::printf("%s = %d\n", path, loaded ? 1 : 0);
    return newCenteredSprite(*image);
}

sf::Sprite* createCenteredSprite(sf::Texture& image) {
    return newCenteredSprite(image);
}

sf::Sprite* createSpriteWithCenter(sf::Texture& image, int x, int y) {
    return newSprite(image, static_cast<float>(x), static_cast<float>(y));
}

void drawSprite(sf::Sprite* sprite) {
    sf::RenderWindow* window = demo.renderWindow;
    window->pushGLStates();
    window->draw(*sprite);
    window->popGLStates();
}

void setSpriteRotation(sf::Sprite* sprite, float degrees) {
    // The window library turns clockwise for positive angles; the scenes count the other way.
    sprite->setRotation(-degrees);
}

void flipSpriteX(sf::Sprite* sprite, bool flipped) {
    sf::Vector2u size = sprite->getTexture() ? sprite->getTexture()->getSize() : sf::Vector2u();
    int w = static_cast<int>(size.x);
    int h = static_cast<int>(size.y);
    sprite->setTextureRect(flipped ? sf::IntRect(w, 0, -w, h) : sf::IntRect(0, 0, w, h));
}

sf::Vector2f spriteSize(const sf::Sprite* sprite) {
    sf::FloatRect bounds = sprite->getGlobalBounds();
    return {bounds.width, bounds.height};
}

void setSpriteAlpha(sf::Sprite* sprite, float fade) {
    int alpha = static_cast<int>(fade);  // truncation toward zero
    if (alpha < 0) alpha = 0;
    if (alpha > 255) alpha = 255;
    sprite->setColor(sf::Color(255, 255, 255, static_cast<sf::Uint8>(alpha)));
}
