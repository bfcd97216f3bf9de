// A flip-book: steps through a caller's table of ready-made sprites, showing each for a fixed time,
// and draws the current one through the demo's window. It owns neither the table nor the sprites.
#pragma once

#include <SFML/Graphics/Sprite.hpp>

class AnimatedSprite {
public:
    // frames must hold at least one entry and outlive the object; every entry is placed at (x, y).
    AnimatedSprite(sf::Sprite** frames, int frameCount, float x, float y, float frameDuration);

    // Moves on by at most one frame per call; time beyond the frame's duration is dropped, so at a
    // low frame rate the animation slows down instead of skipping frames.
    void update(float dt);
    void draw();

    void setScale(float newScale) { scale = newScale; }
    float getX() const { return x; }
    float getY() const { return y; }

    sf::Sprite* currentFrame;
    sf::Sprite** frames;
    float elapsed;
    float frameDuration;
    int frameIndex;
    int frameCount;
    float x;
    float y;
    float scale;
};
