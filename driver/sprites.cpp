#include "driver/sprites.h"

#include <SFML/OpenGL.hpp>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <unordered_map>
#include <vector>

#include "driver/demo_globals.h"
#include "driver/sprite_coverage.h"

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

// What a picture's pixels let drawSprite leave out, decided once when they were loaded.
struct PictureFacts {
    bool opaque = false;   // every pixel has alpha 255
    bool uniform = false;  // every pixel is `colour`
    sf::Color colour;
    Coverage coverage;     // where a picture that is not opaque holds any alpha
};

std::unordered_map<const sf::Texture*, PictureFacts>& pictureFacts() {
    static std::unordered_map<const sf::Texture*, PictureFacts> pictures;
    return pictures;
}

const PictureFacts* factsOf(const sf::Texture* texture) {
    auto found = pictureFacts().find(texture);
    return found == pictureFacts().end() ? nullptr : &found->second;
}

PictureFacts examine(const sf::Image& image) {
    PictureFacts facts;
    const sf::Vector2u size = image.getSize();
    const sf::Uint8* pixel = image.getPixelsPtr();
    const std::size_t count = static_cast<std::size_t>(size.x) * size.y;
    if (!pixel || count == 0) {
        return facts;
    }
    facts.opaque = true;
    facts.uniform = true;
    for (std::size_t i = 0; i < count && (facts.opaque || facts.uniform); ++i) {
        facts.opaque = facts.opaque && pixel[i * 4 + 3] == 255;
        facts.uniform = facts.uniform && std::memcmp(pixel, pixel + i * 4, 4) == 0;
    }
    facts.uniform = facts.uniform && facts.opaque;
    facts.colour = sf::Color(pixel[0], pixel[1], pixel[2], pixel[3]);
    if (!facts.opaque) {
        facts.coverage = findCoverage(image);
    }
    return facts;
}

// Whether the sprite, unturned and unmirrored, covers every pixel of the window.
bool coversWholeWindow(const sf::Sprite& sprite, const sf::RenderWindow& window) {
    if (!viewIsWindowPixels(window)) {
        return false;
    }
    const float* m = sprite.getTransform().getMatrix();
    const sf::IntRect area = sprite.getTextureRect();
    if (m[1] != 0.0f || m[4] != 0.0f || m[0] <= 0.0f || m[5] <= 0.0f || area.width <= 0 ||
        area.height <= 0) {
        return false;
    }
    const sf::FloatRect bounds = sprite.getGlobalBounds();
    const sf::Vector2u size = window.getSize();
    return bounds.left <= 0.0f && bounds.top <= 0.0f &&
           bounds.left + bounds.width >= static_cast<float>(size.x) &&
           bounds.top + bounds.height >= static_cast<float>(size.y);
}

// A transform that only moves by whole pixels: no scale, no turn.
bool onWholePixels(const sf::Transform& transform) {
    const float* m = transform.getMatrix();
    return m[0] == 1.0f && m[1] == 0.0f && m[4] == 0.0f && m[5] == 1.0f &&
           std::floor(m[12]) == m[12] && std::floor(m[13]) == m[13];
}

// A blended picture with wide transparent parts is drawn once per rectangle of window pixels
// that its alpha can reach, each under a scissor within the one already set: the same triangles
// each time, so every pixel gets exactly what the single draw would give it. False when the
// picture is drawn whole instead.
bool drawWhereCovered(const sf::Sprite& sprite, sf::RenderWindow& window,
                      const sf::RenderStates& states) {
    if (states.blendMode == sf::BlendNone) {
        return false;
    }
    const PictureFacts* facts = factsOf(sprite.getTexture());
    static std::vector<sf::IntRect> rects;
    if (!facts || !coverageRects(facts->coverage, sprite, window, rects)) {
        return false;
    }
    const int height = static_cast<int>(window.getSize().y);
    sf::IntRect limit(0, 0, static_cast<int>(window.getSize().x), height);
    if (glIsEnabled(GL_SCISSOR_TEST)) {
        GLint box[4] = {};
        glGetIntegerv(GL_SCISSOR_BOX, box);
        limit = sf::IntRect(box[0], height - box[1] - box[3], box[2], box[3]);
    }
    glEnable(GL_SCISSOR_TEST);
    for (const sf::IntRect& rect : rects) {
        sf::IntRect part;
        if (rect.intersects(limit, part)) {
            glScissor(part.left, height - part.top - part.height, part.width, part.height);
            window.draw(sprite, states);
        }
    }
    return true;  // the caller's saved state brings the scissor back
}

// Half of each side as whole pixels: an odd size loses its half pixel.
sf::Sprite* newCenteredSprite(sf::Texture& image) {
    sf::Vector2u size = image.getSize();
    return newSprite(image, static_cast<float>(size.x / 2u), static_cast<float>(size.y / 2u));
}

}  // namespace

bool loadSpriteTexture(sf::Texture& texture, const sf::Image& image) {
    pictureFacts().erase(&texture);
    const sf::Vector2u size = image.getSize();
    bool loaded = size.x > 0 && size.y > 0 && texture.loadFromImage(image);
    texture.setSmooth(true);  // scaled sprites keep the soft look they were made for
    if (loaded) {
        pictureFacts()[&texture] = examine(image);
    }
    return loaded;
}

bool loadSpriteTexture(sf::Texture& texture, const char* path) {
    sf::Image image;
    if (!image.loadFromFile(path)) {
        pictureFacts().erase(&texture);
        texture.setSmooth(true);
        return false;
    }
    return loadSpriteTexture(texture, image);
}

bool isOpaqueTexture(const sf::Texture* texture) {
    const PictureFacts* facts = factsOf(texture);
    return facts && facts->opaque;
}

sf::Sprite* createSpriteFromFile(const char* path) {
    auto* image = new sf::Texture();  // owned by its sprite for the whole run
    bool loaded = loadSpriteTexture(*image, path);
    std::printf("%s = %d\n", path, loaded ? 1 : 0);
    return newCenteredSprite(*image);
}

sf::Sprite* createCenteredSprite(sf::Texture& image) {
    return newCenteredSprite(image);
}

sf::Sprite* createSpriteWithCenter(sf::Texture& image, int x, int y) {
    return newSprite(image, static_cast<float>(x), static_cast<float>(y));
}

namespace {

void drawSpriteWhere(sf::Sprite* sprite, bool onlyWhereDepthIsClear) {
    const sf::Color tint = sprite->getColor();
    const sf::IntRect area = sprite->getTextureRect();
    if (tint.a == 0 || area.width == 0 || area.height == 0) {
        return;  // blended at alpha 0, or nothing to cover: every pixel would stay as it is
    }
    sf::RenderStates states;  // blended over what is there
    if (tint.a == 255 && isOpaqueTexture(sprite->getTexture())) {
        // Blending with an alpha of 1 gives the source exactly; the rasteriser is spared
        // reading back every pixel under the sprite.
        states.blendMode = sf::BlendNone;
    }
    sf::RenderWindow* window = demo.renderWindow;
    if (states.blendMode == sf::BlendNone && tint == sf::Color::White && !onlyWhereDepthIsClear) {
        const PictureFacts* facts = factsOf(sprite->getTexture());
        if (facts && facts->uniform && coversWholeWindow(*sprite, *window)) {
            // One opaque colour over every pixel: a clear writes exactly those pixels (within
            // the same scissor and colour mask), without sampling or shading any of them.
            const sf::Color c = facts->colour;
            GLfloat saved[4] = {};
            glGetFloatv(GL_COLOR_CLEAR_VALUE, saved);
            glClearColor(c.r / 255.0f, c.g / 255.0f, c.b / 255.0f, c.a / 255.0f);
            glClear(GL_COLOR_BUFFER_BIT);
            glClearColor(saved[0], saved[1], saved[2], saved[3]);
            return;
        }
    }
    window->pushGLStates();
    // The window library draws at depth 0, where exponential fog leaves the colour exactly as it
    // is; with fog off the rasteriser skips working that out for every pixel. The state saving
    // turns it back on.
    glDisable(GL_FOG);
    if (onlyWhereDepthIsClear) {
        // Every fragment at the far end of the depth range: it passes only where the depth
        // buffer still holds the value it was cleared to, and leaves it so.
        glEnable(GL_DEPTH_TEST);
        glDepthFunc(GL_LEQUAL);
        glDepthMask(GL_FALSE);
        glDepthRange(1.0, 1.0);
    }
    // Drawn unscaled and unturned on whole window pixels, every pixel centre falls on a texel
    // centre, where smoothing reads that one texel: the plain lookup gives the same pixels for
    // half the rasteriser's work. A view that scales the picture to the window breaks that.
    sf::Texture* texture = const_cast<sf::Texture*>(sprite->getTexture());
    const bool unsmooth = texture && texture->isSmooth() && area.width > 0 && area.height > 0 &&
                          onWholePixels(sprite->getTransform()) && viewIsWindowPixels(*window);
    if (unsmooth) {
        texture->setSmooth(false);
    }
    if (!drawWhereCovered(*sprite, *window, states)) {
        window->draw(*sprite, states);
    }
    if (unsmooth) {
        texture->setSmooth(true);
    }
    window->popGLStates();
}

}  // namespace

void drawSprite(sf::Sprite* sprite) {
    drawSpriteWhere(sprite, false);
}

void drawSpriteBehind(sf::Sprite* sprite) {
    drawSpriteWhere(sprite, true);
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
