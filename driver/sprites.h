// Sprites: the three factories the loader makes them with, and the few sprite operations the
// scenes need, in the terms the scenes are written in.
#pragma once

#include <SFML/Graphics.hpp>

// A sprite over a new heap texture loaded from path, centred on the image's middle. Writes
// "<path> = 1" (or 0 when the file could not be loaded) to standard output.
sf::Sprite* createSpriteFromFile(const char* path);
// A sprite over image, centred on the image's middle (half sizes truncated to whole pixels).
sf::Sprite* createCenteredSprite(sf::Texture& image);
// A sprite over image with its centre at (x, y).
sf::Sprite* createSpriteWithCenter(sf::Texture& image, int x, int y);

// Loads an image file into a smoothed texture and notes whether every pixel of it is opaque.
// False, with the texture left empty, when the file cannot be read.
bool loadSpriteTexture(sf::Texture& texture, const char* path);
// The same from pixels already decoded (an empty image leaves the texture empty).
bool loadSpriteTexture(sf::Texture& texture, const sf::Image& image);
// Whether the texture was loaded by loadSpriteTexture from pixels that are all opaque.
bool isOpaqueTexture(const sf::Texture* texture);

// Draws a sprite through renderWindow and leaves the OpenGL state of the 3D passes as it was.
// A draw that cannot change a pixel (tint alpha 0, empty picture) is skipped; an opaque picture
// with an opaque tint replaces what is under it, so it is drawn without blending; a picture with
// wide transparent parts is only rasterised where its alpha can reach. The pixels are always
// those of the plain blended draw.
void drawSprite(sf::Sprite* sprite);
// drawSprite behind what the 3D pass has drawn: only where the depth buffer still holds its
// cleared value. After an opaque 3D pass this gives exactly the pixels of drawing the sprite
// first, without filling what the 3D pass then covers.
void drawSpriteBehind(sf::Sprite* sprite);

// Rotation in degrees, counter-clockwise on screen for positive angles.
void setSpriteRotation(sf::Sprite* sprite, float degrees);
// Mirrors the picture left to right (or restores it) without touching the scale.
void flipSpriteX(sf::Sprite* sprite, bool flipped);
// Width and height in window pixels, after scaling.
sf::Vector2f spriteSize(const sf::Sprite* sprite);
// Tint, with the fade value truncated toward zero and kept within 0..255.
void setSpriteAlpha(sf::Sprite* sprite, float fade);
