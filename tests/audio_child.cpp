// The audio layer in a process of its own, for the tests that need their own OpenAL
// configuration (OpenAL reads it once per process):
//
//   audio_child sample DIR SECS [WAV]   plays DIR's module and prints, every 10 ms for SECS
//                                       seconds, the size of WAV and the reported position, with
//                                       the seconds since play before and after asking them
//   audio_child disabled DIR SECS [WAV] the same after bassDisableOutput
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/bass.h"

int main(int argc, char** argv) {
    if (argc < 4) return 2;
    if (std::string(argv[1]) == "disabled") bassDisableOutput();
    const std::string module = std::string(argv[2]) + "/arabish.xm";
    const char* wav = argc > 4 ? argv[4] : nullptr;
    BASS_Init(-1, 44100, 0, nullptr, nullptr);
    const HMUSIC music = BASS_MusicLoad(0, module.c_str(), 0, 0, BASS_MUSIC_LOOP, 0);
    BASS_ChannelPlay(music, 0);
    const auto start = std::chrono::steady_clock::now();
    auto since = [start] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    for (double before = 0.0; before < std::atof(argv[3]);) {
        before = since();
        struct stat info {};
        const long long size = wav && stat(wav, &info) == 0 ? info.st_size : -1;
        const auto position = static_cast<unsigned long long>(BASS_ChannelGetPosition(music, 1));
        std::printf("%.6f %.6f %lld %llu\n", before, since(), size, position);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return 0;
}
