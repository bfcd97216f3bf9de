// The five entry points of the audio library the demo is written against, with the meanings the
// demo relies on, implemented over OpenAL (through SFML's audio streams), libmpg123 for MP3
// streams and libopenmpt for tracker modules.
//
// Handles are small nonzero integers, never reused; 0 means failure. All calls may come from any
// thread. Without a sound device (or after bassDisableOutput) nothing is played, but handles stay
// valid and a playing module advances on a steady clock, so its position answers exactly as if it
// were heard. docs/AUDIO.md describes the layer.
#pragma once

#include <cstdint>

using DWORD = std::uint32_t;
using QWORD = std::uint64_t;
using BOOL = int;
using HSTREAM = DWORD;
using HMUSIC = DWORD;

constexpr DWORD BASS_SAMPLE_LOOP = 4;      // BASS_StreamCreateFile flag: loop the stream
constexpr DWORD BASS_MUSIC_LOOP = 4;       // BASS_MusicLoad flag: the module loops forever
constexpr DWORD BASS_POS_MUSIC_ORDER = 1;  // position mode: order in bits 0-15, row in 16-31
constexpr QWORD BASS_POSITION_INVALID = ~QWORD{0};  // what a handle that is not playing answers

// Opens the output. device -1 or 1 is the default output, 0 is "no sound" (everything plays
// silently, without a warning); other numbers fail. freq is the rate modules are rendered at when
// BASS_MusicLoad gets 0 (44100 when 0 here too). Without a sound device it still succeeds in the
// sense the demo needs, after one warning line on standard error. A second call changes nothing
// and returns TRUE.
BOOL BASS_Init(int device, DWORD freq, DWORD flags, void* win, const void* dsguid);

// An MP3 (or MP2) file as a stream: file is a path, or with mem TRUE a memory block of length
// bytes, copied. offset skips bytes at the start; length 0 reads a file to its end. 0 when the
// data cannot be read or decoded, or before BASS_Init. BASS_SAMPLE_LOOP loops it; otherwise it
// plays once.
HSTREAM BASS_StreamCreateFile(BOOL mem, const void* file, QWORD offset, QWORD length, DWORD flags);

// A tracker module (XM and the other formats libopenmpt knows), with the same file, mem, offset
// and length rules. BASS_MUSIC_LOOP makes it loop forever; freq 0 renders at BASS_Init's rate.
HMUSIC BASS_MusicLoad(BOOL mem, const void* file, QWORD offset, DWORD length, DWORD flags,
                      DWORD freq);

// Starts playback in the background and returns at once; FALSE for a handle that is not a stream
// or module. On a channel already playing it changes nothing unless restart is TRUE, which starts
// it again from the beginning. A stream that has played to its end starts again.
BOOL BASS_ChannelPlay(DWORD handle, BOOL restart);

// With BASS_POS_MUSIC_ORDER on a playing module: the order and row being heard now (on the silent
// clock when there is no output). Anything else (0, an unknown handle, a stream, a module not
// started or played to its end, another mode) answers BASS_POSITION_INVALID.
QWORD BASS_ChannelGetPosition(DWORD handle, DWORD mode);

// For tools that render offline: call before BASS_Init. No device is opened and nothing is ever
// played; handles stay valid and modules advance on the silent clock from BASS_ChannelPlay on.
void bassDisableOutput();
