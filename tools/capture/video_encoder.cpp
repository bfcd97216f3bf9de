#include "tools/capture/video_encoder.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "tools/capture/capture_error.h"
#include "tools/capture/module_clock.h"
#include "tools/capture/output_path.h"

namespace fs = std::filesystem;

extern char** environ;

namespace {

constexpr std::size_t kQueuedFrames = 3;  // frames rendered ahead of the encoder, at most
constexpr int kWidth = 1280, kHeight = 720;  // the capture's frames

// Starts a program with stdin from `input` (or /dev/null), stdout discarded and stderr appended
// to `log`, in a process group of its own so that an interrupt typed at the terminal reaches
// only the capture, which then closes the encoder's input in good order.
pid_t spawn(const std::vector<std::string>& args, int input, const std::string& log) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    if (input >= 0) {
        posix_spawn_file_actions_adddup2(&actions, input, 0);
    } else {
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    }
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawnattr_t attributes;
    posix_spawnattr_init(&attributes);
    sigset_t defaults;
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    sigaddset(&defaults, SIGINT);
    sigaddset(&defaults, SIGTERM);
    posix_spawnattr_setsigdefault(&attributes, &defaults);
    posix_spawnattr_setpgroup(&attributes, 0);
    posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGDEF);

    std::vector<char*> argv;
    for (const std::string& arg : args) {
        argv.push_back(const_cast<char*>(arg.c_str()));
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    int result = posix_spawnp(&pid, argv[0], &actions, &attributes, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    posix_spawnattr_destroy(&attributes);
    if (result != 0) {
        throw CaptureError("cannot run " + args[0] + ": " + std::strerror(result) +
                           (result == ENOENT ? " (install Debian's ffmpeg package)" : ""));
    }
    return pid;
}

int waitFor(pid_t pid) {
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
        if (errno != EINTR) {
            return -1;
        }
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace

VideoEncoder::VideoEncoder(const std::string& path, int fps, const std::string& mp3Path)
    : path_(fs::absolute(path).string()), fps_(fps), stream_(mp3Path) {
    checkWritable(path_);
    if (!stream_.opened()) {
        streamProblem_ = stream_.error();
    }
    std::string pattern = (fs::path(path_).parent_path() / ".zandar-capture-XXXXXX").string();
    if (!mkdtemp(pattern.data())) {
        throw CaptureError("cannot make a temporary folder beside " + path_ + ": " +
                           std::strerror(errno));
    }
    folder_ = pattern;
    wav_ = std::make_unique<WavWriter>(folder_ + "/sound.wav", ModuleClock::kSampleRate);

    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) {
        throw CaptureError(std::string("cannot make a pipe: ") + std::strerror(errno));
    }
    // The frames arrive as yuv420p (converted by the writer thread, off the drawing thread).
    // ultrafast leaves most of two cores to the software renderer: half the processor time of
    // superfast for a file twice the size, at crf 20 still close to the frames it was given.
    // yuv420p plays everywhere.
    // clang-format off
    const std::vector<std::string> args = {
        "ffmpeg", "-hide_banner", "-nostats", "-loglevel", "error", "-y",
        "-f", "rawvideo", "-pix_fmt", "yuv420p",
        "-video_size", std::to_string(kWidth) + "x" + std::to_string(kHeight),
        "-framerate", std::to_string(fps), "-i", "pipe:0", "-an",
        "-c:v", "libx264", "-preset", "ultrafast", "-crf", "20", "-pix_fmt", "yuv420p",
        "-f", "matroska", folder_ + "/picture.mkv"};
    // clang-format on
    try {
        encoder_ = spawn(args, fds[0], folder_ + "/ffmpeg.log");
    } catch (...) {
        close(fds[0]);
        close(fds[1]);
        throw;
    }
    close(fds[0]);
    pipe_ = fds[1];
    // A bigger pipe lets the encoder take a whole frame while the next one is drawn.
    fcntl(pipe_, F_SETPIPE_SZ, 1 << 20);
    writer_ = std::thread(&VideoEncoder::writeFrames, this);
}

VideoEncoder::~VideoEncoder() {
    stopWriter();
    if (encoder_ > 0) {
        kill(encoder_, SIGTERM);
        waitFor(encoder_);
    }
    if (!folder_.empty()) {
        std::error_code ignored;
        fs::remove_all(folder_, ignored);
    }
}

void rgbToYuv420(const std::uint8_t* rgb, int width, int height, std::uint8_t* yuv) {
    std::uint8_t* y = yuv;
    std::uint8_t* u = yuv + static_cast<std::size_t>(width) * height;
    std::uint8_t* v = u + static_cast<std::size_t>(width / 2) * (height / 2);
    for (std::size_t i = 0, n = static_cast<std::size_t>(width) * height; i < n; ++i) {
        const int r = rgb[3 * i], g = rgb[3 * i + 1], b = rgb[3 * i + 2];
        y[i] = static_cast<std::uint8_t>(((66 * r + 129 * g + 25 * b + 128) >> 8) + 16);
    }
    for (int row = 0; row < height / 2; ++row) {
        const std::uint8_t* top = rgb + static_cast<std::size_t>(2 * row) * width * 3;
        const std::uint8_t* bottom = top + static_cast<std::size_t>(width) * 3;
        for (int column = 0; column < width / 2; ++column, top += 6, bottom += 6) {
            // Sums of four; the offsets keep the numerators positive before the shift.
            const int r = top[0] + top[3] + bottom[0] + bottom[3];
            const int g = top[1] + top[4] + bottom[1] + bottom[4];
            const int b = top[2] + top[5] + bottom[2] + bottom[5];
            *u++ = static_cast<std::uint8_t>((-38 * r - 74 * g + 112 * b + 512 + (128 << 10)) >> 10);
            *v++ = static_cast<std::uint8_t>((112 * r - 94 * g - 18 * b + 512 + (128 << 10)) >> 10);
        }
    }
}

void VideoEncoder::writeFrames() {
    std::vector<std::uint8_t> yuv(kWidth * kHeight * 3 / 2);
    for (;;) {
        std::vector<std::uint8_t> frame;
        {
            std::unique_lock<std::mutex> lock(mutex_);
            changed_.wait(lock, [this] { return !queue_.empty() || closing_; });
            if (queue_.empty()) {
                return;
            }
            frame = std::move(queue_.front());
            queue_.pop_front();
        }
        rgbToYuv420(frame.data(), kWidth, kHeight, yuv.data());
        std::size_t done = 0;
        while (done < yuv.size()) {
            ssize_t n = write(pipe_, yuv.data() + done, yuv.size() - done);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                std::lock_guard<std::mutex> lock(mutex_);
                writeError_ = std::string("ffmpeg stopped taking frames: ") + std::strerror(errno);
                queue_.clear();
                changed_.notify_all();
                return;
            }
            done += static_cast<std::size_t>(n);
        }
        std::lock_guard<std::mutex> lock(mutex_);
        spare_.push_back(std::move(frame));
        changed_.notify_all();
    }
}

void VideoEncoder::stopWriter() {
    if (writer_.joinable()) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            closing_ = true;
        }
        changed_.notify_all();
        writer_.join();
    }
    if (pipe_ >= 0) {
        close(pipe_);  // the encoder sees the end of its input and completes the file
        pipe_ = -1;
    }
}

int VideoEncoder::waitForEncoder() {
    int status = waitFor(encoder_);
    encoder_ = -1;
    return status;
}

void VideoEncoder::consumeAudio(const std::vector<float>& stereo) {
    mix_ = stereo;
    stream_.mixInto(mix_.data(), mix_.size() / 2);
    wav_->write(mix_.data(), mix_.size() / 2);
}

void VideoEncoder::consume(const FrameRecord&, const Picture* picture) {
    if (!picture) {
        return;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    changed_.wait(lock, [this] { return queue_.size() < kQueuedFrames || !writeError_.empty(); });
    if (!writeError_.empty()) {
        const std::string log = tailOfFile(folder_ + "/ffmpeg.log");
        throw CaptureError(writeError_ + (log.empty() ? "" : "\n" + log));
    }
    std::vector<std::uint8_t> frame;
    if (!spare_.empty()) {
        frame = std::move(spare_.back());
        spare_.pop_back();
    }
    frame.assign(picture->rgb.begin(), picture->rgb.end());
    queue_.push_back(std::move(frame));
    changed_.notify_all();
}

void VideoEncoder::finish(long frames) {
    stopWriter();
    const int status = waitForEncoder();
    wav_->close();
    const std::string log = folder_ + "/ffmpeg.log";
    if (!writeError_.empty() || status != 0) {
        const std::string why = tailOfFile(log);
        throw CaptureError("ffmpeg could not encode the video" + (why.empty() ? "" : ":\n" + why));
    }
    if (frames == 0) {
        throw CaptureError("no frames for the video " + path_);
    }
    const std::string muxed = folder_ + "/muxed.mp4";
    // clang-format off
    const std::vector<std::string> args = {
        "ffmpeg", "-hide_banner", "-nostats", "-loglevel", "error", "-y",
        "-i", folder_ + "/picture.mkv", "-i", folder_ + "/sound.wav",
        "-map", "0:v:0", "-map", "1:a:0", "-c:v", "copy", "-c:a", "aac", "-b:a", "160k",
        "-movflags", "+faststart", "-f", "mp4", muxed};
    // clang-format on
    if (waitFor(spawn(args, -1, log)) != 0) {
        const std::string why = tailOfFile(log);
        throw CaptureError("ffmpeg could not write " + path_ + (why.empty() ? "" : ":\n" + why));
    }
    std::error_code error;
    fs::rename(muxed, path_, error);
    if (error) {
        throw CaptureError("cannot move the video to " + path_ + ": " + error.message());
    }
}
