// The demo's flow: start-up, loading, music, and the main loop that calls one scene per frame.
#pragma once

#include <SFML/Graphics/Rect.hpp>
#include <SFML/System/Vector2.hpp>
#include <SFML/Window/Event.hpp>

#include "driver/timeline.h"

// Everything main does, on the given timeline; returns main's exit status.
int runDemo(Timeline& timeline);

// The fixed-function state every scene starts from: projection, light, material, fog.
void setOpenGLState();

// Where the demo's 1280 x 720 picture lies in a window of the given size: as large as fits with
// its aspect kept, centred; left and top counted from the window's top-left corner.
sf::IntRect pictureArea(sf::Vector2u window);
// Draws the picture, 3D and sprites alike, into that rectangle of a window of the given size.
void fitPictureToWindow(sf::Vector2u window);
// Paints the window outside the picture black; scissor and clear colour stay as they were.
void blackenBars();

// One event from the window's queue: close and Escape end the loop, a resize fits the picture to
// the window's new size.
void handleEvent(const sf::Event& event, bool& running);

// Calls the scene that sceneIndex selects; false when sceneIndex says the demo is over.
bool dispatchScene();

// One pass of the main loop; false once the loop has stopped.
bool runFrame(Timeline& timeline);
