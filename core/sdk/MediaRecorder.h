#pragma once
// Local recording: the camera's own video and audio packets copied, without
// re-encoding, into an AVI file. Writing starts at the first video key frame;
// players of AVI expect a video time base of 1/fps and zero-based frame
// numbers, so timestamps are rebased onto that. Not thread-safe: the player
// serialises access.
//
// An AVI is only readable once its header counts and index are written, which
// the muxer does at the end. A process that is killed never gets there, so
// the muxer's output is held back and written out once a second together
// with an index and header counts of its own: the file on disk is always a
// complete AVI up to its last checkpoint.
#include <chrono>
#include <cstdint>
#include <memory>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
}

namespace ky::sdk {

class MediaRecorder {
public:
    MediaRecorder();
    ~MediaRecorder();   // Finish()
    MediaRecorder(const MediaRecorder&) = delete;
    MediaRecorder& operator=(const MediaRecorder&) = delete;

    // Creates the file and writes its header. audio may be null (no audio
    // track). fps <= 0 falls back to 25. False when the file cannot be
    // created or the streams cannot be stored in AVI.
    bool Open(const std::string& path, const AVCodecParameters* video, AVRational videoTimeBase, double fps,
              const AVCodecParameters* audio, AVRational audioTimeBase, std::string* error);

    // One packet as read from the stream (its timestamps in the stream's time
    // base given to Open). Packets before the first video key frame are
    // dropped. False once writing failed (the file is then finished).
    bool WriteVideo(const AVPacket* pkt);
    bool WriteAudio(const AVPacket* pkt);

    // Writes the index and closes the file; safe to call more than once.
    void Finish();

    bool IsOpen() const { return out_ != nullptr; }
    int64_t VideoFrames() const { return videoFrames_; }
    // Milliseconds of picture in the file so far.
    int64_t RecordedMs() const;

private:
    struct File;
    bool Write(AVPacket* pkt);
    // Writes out what the muxer produced, an index and the header counts.
    bool Checkpoint();
    void CloseFile();

    AVFormatContext* out_ = nullptr;
    std::unique_ptr<File> file_;
    std::chrono::steady_clock::time_point lastCheckpoint_{};
    int videoIndex_ = -1, audioIndex_ = -1;
    AVRational videoIn_{1, 90000}, audioIn_{1, 8000};
    AVRational frameRate_{25, 1};
    bool started_ = false;
    bool failed_ = false;
    int64_t startUs_ = 0;   // input time of the first key frame
    int64_t lastVideoDts_ = -1;
    int64_t lastVideoIn_ = AV_NOPTS_VALUE;
    int64_t videoFrames_ = 0;
    int64_t audioNext_ = -1;   // next audio sample position in the file
};

}   // namespace ky::sdk
