// Runs the demo's own start-up inside a test process: the test window as renderWindow, the OpenGL
// state, and every asset loaded from the generated asset folder, once per process.
#pragma once

#include <functional>
#include <string>
#include <vector>

// Idempotent. Changes the working directory to the asset folder.
void loadDemoOnce();

// Every scene's state back to its starting values; beatPulse 0, sceneIndex as given.
void resetScenes(int sceneIndex);

// One frame as the main loop runs it, without showing it: frameTime, clear, identity, the scene.
void drawSceneFrame(void (*scene)(), float frameTime);

// Frames of dt until pred holds (checked after each frame) or maxSeconds pass; returns the time
// at which it held, or a negative number if it never did.
float runSceneUntil(void (*scene)(), float dt, const std::function<bool()>& pred,
                    float maxSeconds = 60.0f);

// Runs the scene in steps of dt until it raises sceneIndex (or maxSeconds pass). Returns the
// times at which `watched` took a new value, then the time of the hand-over.
std::vector<float> changeTimes(void (*scene)(), float dt, const int& watched,
                               float maxSeconds = 60.0f);

// Checks that the spans between the times changeTimes returned (the first from the scene's start)
// last the expected seconds each, to within the phase rules' one-step slack: a phase that ends
// drops the rest of its last frame.
void expectPhaseDurations(const std::vector<float>& changeTimes,
                          const std::vector<float>& expectedSeconds, float step);

// Mean brightness (0..255) of the back buffer, red, green and blue averaged.
double meanBrightness();

// The text a function writes to standard output.
std::string captureStdout(const std::function<void()>& body);
