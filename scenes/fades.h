// The full-window overlay fades the scenes share. A fade is the overlay's alpha, 0 (clear) to
// 255 (opaque); when it reaches its end it is set exactly to it, in the same frame, so the
// overlay is never drawn with an alpha that wrapped around.
#pragma once

// Lowers the fade by step; true, with the fade at exactly 0, once the overlay is clear.
inline bool fadeToClear(float& fade, float step) {
    fade -= step;
    if (fade <= 0.0f) {
        fade = 0.0f;
        return true;
    }
    return false;
}

// Raises the fade by step; true, with the fade at exactly 255, once the overlay is opaque.
inline bool fadeToOpaque(float& fade, float step) {
    fade += step;
    if (fade >= 255.0f) {
        fade = 255.0f;
        return true;
    }
    return false;
}
