// The audio layer in a process of its own, for the tests that need one: OpenAL reads its
// configuration once per process, and a clean exit can only be seen from outside.
//
//   audio_child exit DIR                plays DIR's stream and module, returns from main at once
//   audio_child sample DIR SECS [WAV]   plays the module and prints, every 10 ms for SECS seconds,
//                                       the size of WAV and the reported position, with the
//                                       seconds since play before and after asking them
//   audio_child disabled DIR SECS [WAV] the same after bassDisableOutput
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "platform/bass.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        return 2;
    }
    std::string mode = argv[1];
    std::string module = std::string(argv[2]) + "/arabish.xm";
    std::string stream = std::string(argv[2]) + "/desert.mp3";
    if (mode == "disabled") {
        bassDisableOutput();
    }
    std::printf("before init %u\n", BASS_MusicLoad(0, module.c_str(), 0, 0, BASS_MUSIC_LOOP, 0));
    BASS_Init(-1, 44100, 0, nullptr, nullptr);
    HMUSIC music = BASS_MusicLoad(0, module.c_str(), 0, 0, BASS_MUSIC_LOOP, 0);
    if (mode == "exit") {
        BASS_ChannelPlay(BASS_StreamCreateFile(0, stream.c_str(), 0, 0, 0), 0);
        BASS_ChannelPlay(music, 0);
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        return 0;
    }
    double duration = argc > 3 ? std::atof(argv[3]) : 1.0;
    const char* wav = argc > 4 ? argv[4] : nullptr;
    BASS_ChannelPlay(music, 0);
    auto start = std::chrono::steady_clock::now();
    auto since = [start] {
        return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    };
    for (double before = 0.0; before < duration;) {
        before = since();
        struct stat info {};
        long long size = wav && stat(wav, &info) == 0 ? info.st_size : -1;
        auto position = static_cast<unsigned long long>(BASS_ChannelGetPosition(music, 1));
        std::printf("%.6f %.6f %lld %llu\n", before, since(), size, position);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return 0;
}
