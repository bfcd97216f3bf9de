// The MP4 output: raw frames piped into ffmpeg (H.264) while the demo runs, the sound mixed
// into a WAV file beside them, and at the end both muxed with the sound as AAC.
//
// Everything is made in a temporary folder next to the output and moved into place only when
// complete, so a failed or interrupted run never leaves a broken file under the output's name.
#pragma once

#include <sys/types.h>

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tools/capture/offline_audio.h"
#include "tools/capture/offline_timeline.h"

// RGB rows (top first) to planar yuv420p: BT.601 at video levels (Y 16..235), each chroma sample
// from the mean of its 2 x 2 pixels. Width and height even.
void rgbToYuv420(const std::uint8_t* rgb, int width, int height, std::uint8_t* yuv);

class VideoEncoder : public FrameConsumer {
public:
    // mp3Path: the stream that plays once from the start, mixed with the module. Throws
    // CaptureError when ffmpeg cannot be started or the output's folder is not writable.
    VideoEncoder(const std::string& path, int fps, const std::string& mp3Path);
    ~VideoEncoder() override;

    bool wantsPicture(long) const override { return true; }
    bool wantsAudio() const override { return true; }
    void consumeAudio(const std::vector<float>& stereo) override;
    void consume(const FrameRecord& record, const Picture* picture) override;
    void finish(long frames) override;

    // The stream could not be read (the video then has the module alone); empty when it could.
    const std::string& streamProblem() const { return streamProblem_; }

private:
    void writeFrames();  // the pipe writer thread
    void stopWriter();
    int waitForEncoder();

    std::string path_;
    int fps_;
    std::string folder_;  // the temporary folder
    Mp3Reader stream_;
    std::string streamProblem_;
    std::unique_ptr<WavWriter> wav_;
    std::vector<float> mix_;

    pid_t encoder_ = -1;
    int pipe_ = -1;
    std::thread writer_;
    std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<std::vector<std::uint8_t>> queue_;   // frames waiting for the pipe
    std::vector<std::vector<std::uint8_t>> spare_;  // buffers to reuse
    bool closing_ = false;
    std::string writeError_;
};
