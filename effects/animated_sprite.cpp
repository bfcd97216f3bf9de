#include "effects/animated_sprite.h"

#include "driver/sprites.h"

AnimatedSprite::AnimatedSprite(sf::Sprite** frames, int frameCount, float x, float y,
                               float frameDuration)
    : currentFrame(frames[0]),
      frames(frames),
      elapsed(0.0f),
      frameDuration(frameDuration),
      frameIndex(0),
      frameCount(frameCount),
      x(x),
      y(y),
      scale(1.0f) {
    for (int i = 0; i < frameCount; ++i) {
        frames[i]->setPosition(x, y);
    }
}

void AnimatedSprite::update(float dt) {
    elapsed += dt;
    if (elapsed >= frameDuration) {
        frameIndex = (frameIndex + 1) % frameCount;
        currentFrame = frames[frameIndex];
        currentFrame->setPosition(x, y);
        elapsed = 0.0f;
    }
}

void AnimatedSprite::draw() {
    currentFrame->setScale(scale, scale);
    drawSprite(currentFrame);
}
