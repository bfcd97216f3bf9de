// The demo's flow: start-up, loading, music, and the main loop that calls one scene per frame.
#pragma once

#include <SFML/Window/Event.hpp>

#include "driver/timeline.h"

// Everything main does, on the given timeline; returns main's exit status.
int runDemo(Timeline& timeline);

// The fixed-function state every scene starts from: projection, light, material, fog.
void setOpenGLState();

// One event from the window's queue: close and Escape end the loop, a resize sets the viewport.
void handleEvent(const sf::Event& event, bool& running);

// Calls the scene that sceneIndex selects; false when sceneIndex says the demo is over.
bool dispatchScene();

// One pass of the main loop; false once the loop has stopped.
bool runFrame(Timeline& timeline);
