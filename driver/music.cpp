#include "driver/music.h"

#include "driver/demo_globals.h"
#include "driver/timeline.h"
#include "platform/bass.h"

int initAudio(void* window) {
    return BASS_Init(-1, 44100, 0, window, nullptr);
}

void playStream(const char* path) {
    demo.streamHandle = BASS_StreamCreateFile(0, path, 0, 0, 0);
    BASS_ChannelPlay(demo.streamHandle, 0);
}

void playModule(const char* path) {
    demo.musicHandle = BASS_MusicLoad(0, path, 0, 0, BASS_MUSIC_LOOP, 0);
    BASS_ChannelPlay(demo.musicHandle, 0);
}

int musicRow(Timeline& timeline) {
    std::uint64_t position = timeline.modulePosition(demo.musicHandle);
    return static_cast<int>((position >> 16) & 0xFFFFu);
}

void updateBeatPulses(Timeline& timeline) {
    int row = musicRow(timeline);
    if (row % 4 == 0) {
        demo.beatPulse = 1.0f;
    }
    if (demo.beatPulse > 0.0f) {
        demo.beatPulse = demo.beatPulse - 3.0f * demo.frameTime;
        if (demo.beatPulse < 0.0f) {
            demo.beatPulse = 0.0f;
        }
    }
}
