// The loading sequence: the loading picture first, then every image, model and the flip-book.
#pragma once

// Runs once, after the window and the OpenGL state exist and before the music starts.
void loadDemoAssets();
