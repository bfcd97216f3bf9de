// The demo's sound: the MP3 stream played once, the looping module, and beatPulse, the one link
// between the music and the picture.
#pragma once

#include <cstdint>

class Timeline;

// Opens the default output at 44.1 kHz; returns the audio library's result unchanged.
int initAudio(void* window);
void playStream(const char* path);  // sets streamHandle and starts it, once, never looped
void playModule(const char* path);  // sets musicHandle and starts it, looping

// The row of the module now playing on the timeline (bits 16-31 of its position), 0..65535.
int musicRow(Timeline& timeline);

// Once per displayed frame: 1 on rows that are a multiple of 4, then falling by 3 per second.
void updateBeatPulses(Timeline& timeline);
