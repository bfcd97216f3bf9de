// How late the picture follows the music: for every row that is a multiple of 4, the time from
// the moment that row becomes audible to the moment the first frame whose beatPulse it set is on
// screen. The live program's own driver runs (runDemo, the wall clock, the audio layer), with
// OpenAL's wave driver writing what would be heard to a file at the pace of a sound card.
//
//   xvfb-run -a -s "-screen 0 1280x720x24" build-perf/bench/sync_bench [SECONDS]
//
// - The frames: the main loop asks for the module's position right after each display; the
//   timeline below stamps that moment (frame n on screen) and keeps the row it answered, which
//   sets the pulse of frame n + 1.
// - The sound: a thread watches the WAV file grow; a sample becomes audible when the driver has
//   written it out. Where the module starts in the file is found by matching the module rendered
//   offline against the recording; the rows' start samples come from that offline rendering.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "driver/demo.h"
#include "driver/demo_globals.h"
#include "driver/timeline.h"
#include "platform/audio_module.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr unsigned kRate = 44100;

double seconds(Clock::time_point t) {
    return std::chrono::duration<double>(t.time_since_epoch()).count();
}

struct Reading {
    double at;  // the frame before it is on screen
    int order;
    int row;
};

// The live timeline, stamping each pulse update and ending the demo after a while.
class SyncTimeline : public LiveTimeline {
public:
    explicit SyncTimeline(double limit) : limit_(limit) {}
    void start() override {
        started_ = Clock::now();
        LiveTimeline::start();
    }
    float measureFrame() override {
        if (std::chrono::duration<double>(Clock::now() - started_).count() > limit_) {
            demo.sceneIndex = 10;
        }
        return LiveTimeline::measureFrame();
    }
    std::uint64_t modulePosition(std::uint32_t handle) override {
        const double at = seconds(Clock::now());
        const std::uint64_t position = LiveTimeline::modulePosition(handle);
        readings.push_back(
            {at, static_cast<int>(position & 0xFFFF), static_cast<int>((position >> 16) & 0xFFFF)});
        return position;
    }
    std::vector<Reading> readings;

private:
    double limit_;
    Clock::time_point started_;
};

// The WAV file's size over time, polled every 200 microseconds.
struct Growth {
    std::vector<std::pair<double, long>> points;  // (time, bytes), one per change
    std::atomic<bool> stop{false};
    void watch(const std::string& path) {
        long last = -1;
        while (!stop) {
            struct stat st {};
            if (stat(path.c_str(), &st) == 0 && st.st_size != last) {
                last = st.st_size;
                points.emplace_back(seconds(Clock::now()), last);
            }
            usleep(200);
        }
    }
};

struct Wav {
    long dataOffset = -1;
    int channels = 0;
    std::vector<std::int16_t> samples;  // interleaved
};

Wav readWav(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    Wav wav;
    for (std::size_t at = 12; at + 8 <= bytes.size();) {
        std::uint32_t size = 0;
        std::memcpy(&size, &bytes[at + 4], 4);
        if (std::memcmp(&bytes[at], "fmt ", 4) == 0) {
            std::uint16_t channels = 0, bits = 0;
            std::memcpy(&channels, &bytes[at + 10], 2);
            std::memcpy(&bits, &bytes[at + 22], 2);
            wav.channels = bits == 16 ? channels : 0;
        } else if (std::memcmp(&bytes[at], "data", 4) == 0) {
            wav.dataOffset = static_cast<long>(at + 8);
            const std::size_t count = (bytes.size() - at - 8) / 2;
            wav.samples.resize(count);
            std::memcpy(wav.samples.data(), &bytes[at + 8], count * 2);
            break;
        }
        at += 8 + size + (size & 1);
    }
    return wav;
}

struct RowStart {
    std::uint64_t frame;  // first sample of the row, counted from the module's start
    int order;
    int row;
};

// The module rendered offline as the audio layer renders it for the speakers: its samples and
// the sample at which each row begins (to within 16 samples).
void renderModule(double length, std::vector<std::int16_t>& audio, std::vector<RowStart>& rows) {
    std::ifstream in("arabish.xm", std::ios::binary);
    AudioBytes bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto renderer = ModuleRenderer::load(bytes, true, kRate, 2);
    if (!renderer) {
        std::fprintf(stderr, "sync_bench: cannot load arabish.xm\n");
        std::exit(1);
    }
    const std::size_t total = static_cast<std::size_t>(length * kRate);
    audio.resize(total * 2);
    std::uint64_t last = ~std::uint64_t{0};
    for (std::size_t done = 0; done < total;) {
        const std::size_t step = std::min<std::size_t>(16, total - done);
        const std::uint64_t before = renderer->positionAt(done);
        if (before != last) {
            rows.push_back({done, static_cast<int>(before & 0xFFFF),
                            static_cast<int>((before >> 16) & 0xFFFF)});
            last = before;
        }
        done += renderer->render(&audio[done * 2], step);
    }
}

// The sample of the recording where the module's first sample lies: the best match of the
// module's opening second against the recording, near where sound begins.
long findModuleStart(const Wav& wav, const std::vector<std::int16_t>& module) {
    const long frames = static_cast<long>(wav.samples.size()) / 2;
    long firstSound = 0;
    while (firstSound < frames && std::abs(wav.samples[firstSound * 2]) < 64 &&
           std::abs(wav.samples[firstSound * 2 + 1]) < 64) {
        ++firstSound;
    }
    const long window = 16384;
    long best = -1;
    double bestScore = -1e300;
    for (long offset = std::max(0L, firstSound - 4410); offset < firstSound + 8820; ++offset) {
        if (offset + window > frames) {
            break;
        }
        double dot = 0, energy = 0;
        for (long k = 0; k < window; k += 2) {
            for (int c = 0; c < 2; ++c) {
                const double m = module[static_cast<std::size_t>(k * 2 + c)];
                const double w = wav.samples[static_cast<std::size_t>((offset + k) * 2 + c)];
                dot += m * w;
                energy += w * w;
            }
        }
        const double score = energy > 0 ? dot / std::sqrt(energy) : -1e300;
        if (score > bestScore) {
            bestScore = score;
            best = offset;
        }
    }
    return best;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    if (v.empty()) {
        return 0.0;
    }
    return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2.0;
}

}  // namespace

int main(int argc, char** argv) {
    const double limit = argc > 1 ? std::atof(argv[1]) : 30.0;
    char dirTemplate[] = "/tmp/zandar-sync-XXXXXX";
    const std::string dir = mkdtemp(dirTemplate);
    const std::string wavPath = dir + "/heard.wav";
    {
        std::ofstream conf(dir + "/alsoft.conf");
        conf << "[general]\ndrivers = wave\nfrequency = " << kRate
             << "\nchannels = stereo\nsample-type = int16\n[wave]\nfile = " << wavPath << "\n";
    }
    setenv("ALSOFT_CONF", (dir + "/alsoft.conf").c_str(), 1);
    unsetenv("ALSOFT_DRIVERS");
    if (chdir(ZANDAR_ASSET_DIR) != 0) {
        std::perror(ZANDAR_ASSET_DIR);
        return 1;
    }

    Growth growth;
    std::thread watcher([&] { growth.watch(wavPath); });
    SyncTimeline timeline(limit);
    runDemo(timeline);
    growth.stop = true;
    watcher.join();

    Wav wav = readWav(wavPath);
    if (wav.dataOffset < 0 || wav.channels != 2) {
        std::fprintf(stderr, "sync_bench: the recording %s is not 16-bit stereo\n",
                     wavPath.c_str());
        return 1;
    }
    std::vector<std::int16_t> module;
    std::vector<RowStart> rows;
    renderModule(limit + 2.0, module, rows);
    const long moduleStart = findModuleStart(wav, module);

    // When a sample of the recording was written out: the first size seen past it.
    auto heardAt = [&](long frame) {
        const long byte = wav.dataOffset + (frame + 1) * 4;
        for (const auto& [at, size] : growth.points) {
            if (size >= byte) {
                return at;
            }
        }
        return -1.0;
    };
    // How far apart the writes come: the driver's period.
    std::vector<double> writeGaps;
    for (std::size_t i = 1; i < growth.points.size(); ++i) {
        writeGaps.push_back((growth.points[i].second - growth.points[i - 1].second) / 4.0 / kRate *
                            1000.0);
    }

    const std::vector<Reading>& readings = timeline.readings;
    std::vector<double> delays, reportLags, periods;
    std::size_t next = 0;
    for (std::size_t k = 0; k + 1 < rows.size(); ++k) {
        if (rows[k].row % 4 != 0) {
            continue;
        }
        const double audible = heardAt(moduleStart + static_cast<long>(rows[k].frame));
        const double ends = heardAt(moduleStart + static_cast<long>(rows[k + 1].frame));
        if (audible < 0 || ends < 0) {
            break;
        }
        // The first pulse update that reads this row, not before the previous row was heard.
        while (next < readings.size() && readings[next].at < audible - 0.25) {
            ++next;
        }
        std::size_t i = next;
        while (i < readings.size() && readings[i].at < ends + 0.25 &&
               !(readings[i].order == rows[k].order && readings[i].row == rows[k].row)) {
            ++i;
        }
        if (i + 1 >= readings.size() || readings[i].at >= ends + 0.25) {
            continue;  // never read (a frame longer than the row)
        }
        reportLags.push_back((readings[i].at - audible) * 1000.0);
        delays.push_back((readings[i + 1].at - audible) * 1000.0);
        periods.push_back((readings[i + 1].at - readings[i].at) * 1000.0);
        next = i;
    }
    if (delays.empty()) {
        std::fprintf(stderr, "sync_bench: no beat was matched (module start %ld)\n", moduleStart);
        return 1;
    }
    std::printf(
        "sync over %.0f s: %zu beats, %zu frames, module starts at sample %ld of the "
        "recording\n",
        limit, delays.size(), readings.size(), moduleStart);
    std::printf("  sound card period (driver writes): median %.1f ms\n", median(writeGaps));
    std::printf("  row heard -> row reported by the audio layer: median %.1f ms, worst %.1f ms\n",
                median(reportLags), *std::max_element(reportLags.begin(), reportLags.end()));
    std::printf("  frame period then: median %.1f ms\n", median(periods));
    const double m = median(delays);
    std::printf(
        "  row heard -> first frame with its pulse on screen: median %.1f ms, worst "
        "%.1f ms (target: median <= 17)\n",
        m, *std::max_element(delays.begin(), delays.end()));
    std::remove(wavPath.c_str());
    std::remove((dir + "/alsoft.conf").c_str());
    rmdir(dir.c_str());
    return m <= 17.0 ? 0 : 1;
}
