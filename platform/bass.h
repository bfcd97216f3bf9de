// The five entry points of the audio library the demo is written against, with the meanings the
// demo relies on, implemented over OpenAL (through SFML's audio streams), libmpg123 for MP3
// streams and libopenmpt for tracker modules.
#pragma once

#include <cstdint>

using DWORD = std::uint32_t;
using QWORD = std::uint64_t;
using BOOL = int;
using HSTREAM = DWORD;
using HMUSIC = DWORD;

constexpr DWORD BASS_MUSIC_LOOP = 4;     // BASS_MusicLoad flag: the module loops forever
constexpr DWORD BASS_POS_MUSIC_ORDER = 1;  // position mode: order in bits 0-15, row in 16-31
constexpr QWORD BASS_POSITION_INVALID = ~QWORD{0};  // what a handle that is not playing answers

// Opens the output. Without a sound device it still succeeds in the sense the demo needs: streams
// and modules can be created and played; they are silent, and modules advance on a clock.
BOOL BASS_Init(int device, DWORD freq, DWORD flags, void* win, const void* dsguid);

// An MP3 file (or memory block when mem is true) as a stream; 0 when it cannot be opened.
HSTREAM BASS_StreamCreateFile(BOOL mem, const void* file, QWORD offset, QWORD length, DWORD flags);

// A tracker module (XM and the other formats libopenmpt knows); 0 when it cannot be loaded.
HMUSIC BASS_MusicLoad(BOOL mem, const void* file, QWORD offset, DWORD length, DWORD flags,
                      DWORD freq);

// Starts playback in the background; FALSE for a handle that is not a stream or module.
BOOL BASS_ChannelPlay(DWORD handle, BOOL restart);

// With BASS_POS_MUSIC_ORDER on a playing module: the order and row being heard now.
// Anything else answers BASS_POSITION_INVALID.
QWORD BASS_ChannelGetPosition(DWORD handle, DWORD mode);
