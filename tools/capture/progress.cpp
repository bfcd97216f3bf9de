#include "tools/capture/progress.h"

#include <unistd.h>

#include <algorithm>
#include <string>

namespace {

constexpr int kBarWidth = 30;

}  // namespace

Progress::Progress(int fps, long expectedFrames, std::FILE* out)
    : fps_(fps),
      expected_(std::max(1L, expectedFrames)),
      out_(out),
      terminal_(isatty(fileno(out)) != 0),
      start_(std::chrono::steady_clock::now()),
      lastDraw_(start_) {}

void Progress::update(long frames, int sceneIndex) {
    lastFrames_ = frames;
    lastScene_ = sceneIndex;
    // A terminal gets five redraws a second; a file or pipe one every ten seconds.
    const auto interval = terminal_ ? std::chrono::milliseconds(200) : std::chrono::seconds(10);
    const auto now = std::chrono::steady_clock::now();
    if (drawn_ && now - lastDraw_ < interval) {
        return;
    }
    if (!drawn_ && !terminal_ && now - start_ < interval) {
        return;
    }
    lastDraw_ = now;
    draw(frames, sceneIndex);
}

void Progress::draw(long frames, int sceneIndex) {
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    const double share = std::min(1.0, static_cast<double>(frames) / expected_);
    const int filled = static_cast<int>(share * kBarWidth);
    std::string bar(static_cast<std::size_t>(filled), '#');
    bar.resize(kBarWidth, '.');
    std::fprintf(out_, "\rcapture [%s] %3d%%  %7.2f s  frame %6ld  scene %d  %5.1f fps",
                 bar.c_str(), static_cast<int>(share * 100.0), static_cast<double>(frames) / fps_,
                 frames, sceneIndex, elapsed > 0.0 ? frames / elapsed : 0.0);
    std::fflush(out_);
    drawn_ = true;
}

void Progress::clear() {
    if (drawn_ && terminal_) {
        std::fprintf(out_, "\r%*s\r", 100, "");
        std::fflush(out_);
    } else if (drawn_) {
        std::fputc('\n', out_);
    }
    drawn_ = false;
}

void Progress::finish(bool complete) {
    if (lastFrames_ > 0) {
        expected_ = complete ? lastFrames_ : std::max(expected_, lastFrames_);
        if (drawn_ || terminal_) {
            draw(lastFrames_, lastScene_);
            std::fputc('\n', out_);
            std::fflush(out_);
        }
    }
    drawn_ = false;
}
