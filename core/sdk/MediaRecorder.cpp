#include "core/sdk/MediaRecorder.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <deque>
#include <vector>

namespace ky::sdk {

namespace {

constexpr auto kCheckpointEvery = std::chrono::seconds(1);

// The muxer's write callback lost its non-const buffer in newer FFmpeg.
#if defined(FF_API_AVIO_WRITE_NONCONST) && !FF_API_AVIO_WRITE_NONCONST
using AvioBuffer = const uint8_t*;
#else
using AvioBuffer = uint8_t*;
#endif

uint32_t Le32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | uint32_t(p[3]) << 24; }
void PutLe32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i) p[i] = uint8_t(v >> (8 * i));
}
bool Tag(const uint8_t* p, const char* tag) { return std::memcmp(p, tag, 4) == 0; }

bool WriteAt(int fd, const uint8_t* p, size_t n, int64_t at) {
    while (n > 0) {
        const ssize_t w = ::pwrite(fd, p, n, at);
        if (w < 0 && errno == EINTR) continue;
        if (w <= 0) return false;
        p += w, n -= size_t(w), at += w;
    }
    return true;
}

// Audio codecs an AVI file can carry as they come from the camera.
bool AviAudio(AVCodecID id) {
    return id == AV_CODEC_ID_PCM_MULAW || id == AV_CODEC_ID_PCM_ALAW || id == AV_CODEC_ID_PCM_S16LE;
}

int BytesPerSample(AVCodecID id) { return id == AV_CODEC_ID_PCM_S16LE ? 2 : 1; }

// True when an Annex B H.264 packet carries a sequence parameter set.
bool HasSps(const uint8_t* p, int size) {
    for (int i = 0; i + 3 < size; ++i)
        if (p[i] == 0 && p[i + 1] == 0 && p[i + 2] == 1 && (p[i + 3] & 0x1F) == 7) return true;
    return false;
}

// False for an Annex B H.264 packet that holds no coded picture (only
// parameter sets, delimiters or SEI), such as the remainder a parser hands
// out when the connection breaks. Other layouts count as pictures.
bool HasPicture(const uint8_t* p, int size) {
    bool annexB = false;
    for (int i = 0; i + 3 < size; ++i) {
        if (p[i] == 0 && p[i + 1] == 0 && p[i + 2] == 1) {
            annexB = true;
            const int type = p[i + 3] & 0x1F;
            if (type >= 1 && type <= 5) return true;
            i += 2;
        }
    }
    return !annexB;
}

int64_t ToUs(int64_t ts, AVRational tb) { return av_rescale_q(ts, tb, AVRational{1, 1000000}); }

}   // namespace

// The file under the muxer. Bytes the muxer writes past what is on disk are
// held in `pending` until the next checkpoint; updates of earlier bytes
// (header fields) go straight to the file. At a checkpoint the new chunks are
// indexed, written out, and followed by an idx1 chunk and fresh header
// counts; the next data overwrites that idx1 and the next checkpoint writes
// it again further on, so a reader always finds one that fits the header.
struct MediaRecorder::File {
    int fd = -1;
    AVIOContext* io = nullptr;
    int64_t cursor = 0;      // where the muxer writes next
    int64_t end = 0;         // bytes the muxer has produced
    int64_t pendingAt = 0;   // file offset of pending[0]: everything before is on disk
    std::vector<uint8_t> pending;
    bool ioFailed = false;

    // Header fields, by file offset (-1: not found).
    int64_t avihFrames = -1, odmlAt = -1, strhLength[2] = {-1, -1};
    int64_t riffAt = 0, moviAt = -1;   // the RIFF being written and the 'movi' fourcc of its list
    bool firstRiff = true;             // past 1 GB the muxer starts 'AVIX' RIFFs
    int64_t walkAt = -1;               // next chunk to index
    std::vector<uint8_t> idx1;         // entries for the first RIFF
    std::deque<int64_t> keys;          // offsets of video key-frame chunks not yet indexed
    int64_t frames = 0, firstRiffFrames = 0, audioBytes = 0;

    ~File() {
        if (io) av_freep(&io->buffer);
        avio_context_free(&io);
        if (fd >= 0) ::close(fd);
    }

    bool Put(const uint8_t* p, size_t n) {
        int64_t at = cursor;
        cursor += int64_t(n);
        end = std::max(end, cursor);
        if (at < pendingAt) {
            const size_t direct = size_t(std::min<int64_t>(int64_t(n), pendingAt - at));
            if (!WriteAt(fd, p, direct, at)) return false;
            p += direct, n -= direct, at += int64_t(direct);
        }
        if (n == 0) return true;
        const size_t off = size_t(at - pendingAt);
        if (pending.size() < off + n) pending.resize(off + n);
        std::memcpy(pending.data() + off, p, n);
        return true;
    }
    // n bytes at `at`, from what is held or from the file.
    bool Read(int64_t at, uint8_t* p, size_t n) const {
        const size_t disk = at < pendingAt ? size_t(std::min<int64_t>(int64_t(n), pendingAt - at)) : 0;
        if (disk && ::pread(fd, p, disk, at) != ssize_t(disk)) return false;
        const int64_t from = at + int64_t(disk) - pendingAt;
        if (from + int64_t(n - disk) > int64_t(pending.size())) return false;
        if (n > disk) std::memcpy(p + disk, pending.data() + from, n - disk);
        return true;
    }
    bool PatchLe32(int64_t at, uint32_t v) {
        uint8_t b[4];
        PutLe32(b, v);
        return at < 0 || WriteAt(fd, b, 4, at);
    }

    static int WriteCb(void* opaque, AvioBuffer buf, int size) {
        auto* f = static_cast<File*>(opaque);
        if (!f->Put(buf, size_t(size))) {
            f->ioFailed = true;
            return AVERROR(EIO);
        }
        return size;
    }
    static int64_t SeekCb(void* opaque, int64_t offset, int whence) {
        auto* f = static_cast<File*>(opaque);
        if (whence & AVSEEK_SIZE) return f->end;
        whence &= ~AVSEEK_FORCE;
        const int64_t to = whence == SEEK_SET   ? offset
                           : whence == SEEK_CUR ? f->cursor + offset
                           : whence == SEEK_END ? f->end + offset
                                                : -1;
        if (to < 0) return AVERROR(EINVAL);
        f->cursor = to;
        return to;
    }

    // Finds the counters of the header the muxer wrote: avih, each strh, the
    // OpenDML header (a JUNK chunk until the file grows past one RIFF) and the
    // movi list.
    bool ParseHeader() {
        uint8_t h[12];
        if (!Read(0, h, 12) || !Tag(h, "RIFF")) return false;
        int stream = 0;
        int64_t at = 12;
        while (moviAt < 0 && Read(at, h, 12)) {
            const int64_t size = Le32(h + 4);
            if (Tag(h, "LIST") && (Tag(h + 8, "hdrl") || Tag(h + 8, "strl"))) {
                at += 12;   // into the list
                continue;
            }
            if (Tag(h, "LIST") && Tag(h + 8, "movi")) {
                moviAt = at + 8;
                walkAt = at + 12;
                break;
            }
            if (Tag(h, "avih")) avihFrames = at + 8 + 16;
            if (Tag(h, "strh") && stream < 2) strhLength[stream++] = at + 8 + 32;
            if (Tag(h, "JUNK") && Tag(h + 8, "odml")) odmlAt = at;
            at += 8 + size + (size & 1);
        }
        return moviAt > 0;
    }

    // Indexes the whole chunks the muxer added since the last walk.
    void Walk(int videoIndex, int audioIndex) {
        uint8_t h[12];
        while (walkAt >= 0 && walkAt + 8 <= end && Read(walkAt, h, 8)) {
            const int64_t size = Le32(h + 4);
            if (Tag(h, "RIFF") || Tag(h, "LIST")) {
                if (!Read(walkAt, h, 12)) break;
                if (Tag(h, "RIFF")) {
                    // The muxer closed the first RIFF with its own index.
                    riffAt = walkAt;
                    firstRiff = false;
                    idx1.clear();
                    idx1.shrink_to_fit();
                } else if (Tag(h + 8, "movi")) {
                    moviAt = walkAt + 8;
                }
                walkAt += 12;
                continue;
            }
            if (walkAt + 8 + size > end) break;
            const bool digits = h[0] >= '0' && h[0] <= '9' && h[1] >= '0' && h[1] <= '9';
            const int stream = digits ? (h[0] - '0') * 10 + (h[1] - '0') : -1;
            if (stream >= 0 && (stream == videoIndex || stream == audioIndex)) {
                uint32_t flags = 0x10;   // key frame; every audio chunk is one
                if (stream == videoIndex) {
                    while (!keys.empty() && keys.front() < walkAt) keys.pop_front();
                    flags = !keys.empty() && keys.front() == walkAt ? 0x10 : 0;
                    ++frames;
                    if (firstRiff) ++firstRiffFrames;
                } else {
                    audioBytes += size;
                }
                if (firstRiff) {
                    uint8_t e[16];
                    std::memcpy(e, h, 4);
                    PutLe32(e + 4, flags);
                    PutLe32(e + 8, uint32_t(walkAt - moviAt));
                    PutLe32(e + 12, uint32_t(size));
                    idx1.insert(idx1.end(), e, e + 16);
                }
            }
            walkAt += 8 + size + (size & 1);
        }
    }
};

MediaRecorder::MediaRecorder() = default;
MediaRecorder::~MediaRecorder() { Finish(); }

int64_t MediaRecorder::RecordedMs() const {
    if (!started_) return 0;
    return av_rescale_q(lastVideoDts_ + 1, av_inv_q(frameRate_), AVRational{1, 1000});
}

bool MediaRecorder::Checkpoint() {
    File& f = *file_;
    lastCheckpoint_ = std::chrono::steady_clock::now();
    avio_flush(out_->pb);
    if (f.ioFailed) return false;
    f.Walk(videoIndex_, audioIndex_);
    if (!f.pending.empty() && !WriteAt(f.fd, f.pending.data(), f.pending.size(), f.pendingAt)) return false;
    f.pendingAt = f.end;
    f.pending.clear();
    if (f.moviAt < 0) return true;   // a header this code does not know: no counts

    // Data first, then the index after it, the header counts last.
    int64_t riffEnd = f.end;
    if (f.firstRiff) {
        uint8_t head[8];
        std::memcpy(head, "idx1", 4);
        PutLe32(head + 4, uint32_t(f.idx1.size()));
        if (!WriteAt(f.fd, head, 8, f.end) || !WriteAt(f.fd, f.idx1.data(), f.idx1.size(), f.end + 8)) return false;
        riffEnd += 8 + int64_t(f.idx1.size());
    }
    bool ok = f.PatchLe32(f.moviAt - 4, uint32_t(f.end - f.moviAt)) &&
              f.PatchLe32(f.riffAt + 4, uint32_t(riffEnd - f.riffAt - 8)) &&
              f.PatchLe32(f.strhLength[videoIndex_], uint32_t(f.frames));
    if (audioIndex_ >= 0) {
        const int align = std::max(1, out_->streams[audioIndex_]->codecpar->block_align);
        ok = ok && f.PatchLe32(f.strhLength[audioIndex_], uint32_t(f.audioBytes / align));
    }
    ok = ok && f.PatchLe32(f.avihFrames, uint32_t(f.firstRiffFrames));
    if (!f.firstRiff && f.odmlAt >= 0) {
        // Past one RIFF the file is OpenDML: its header holds the total.
        ok = ok && WriteAt(f.fd, reinterpret_cast<const uint8_t*>("LIST"), 4, f.odmlAt) &&
             f.PatchLe32(f.odmlAt + 20, uint32_t(f.frames));
    }
    return ok;
}

bool MediaRecorder::Open(const std::string& path, const AVCodecParameters* video, AVRational videoTimeBase, double fps,
                         const AVCodecParameters* audio, AVRational audioTimeBase, std::string* error) {
    Finish();
    auto fail = [&](const char* what, int err) {
        if (error) {
            char text[AV_ERROR_MAX_STRING_SIZE] = {0};
            if (err) av_strerror(err, text, sizeof text);
            *error = std::string(what) + (err ? std::string(": ") + text : std::string());
        }
        CloseFile();
        if (out_) {
            avformat_free_context(out_);
            out_ = nullptr;
        }
        return false;
    };
    if (!video || video->codec_type != AVMEDIA_TYPE_VIDEO) return fail("no video stream", 0);
    if (!(fps > 0 && fps <= 240)) fps = 25;
    frameRate_ = av_d2q(fps, 1001000);
    videoIn_ = videoTimeBase;
    audioIn_ = audioTimeBase;

    int err = avformat_alloc_output_context2(&out_, nullptr, "avi", path.c_str());
    if (err < 0 || !out_) return fail("avi muxer", err);

    AVStream* vs = avformat_new_stream(out_, nullptr);
    if (!vs) return fail("video stream", AVERROR(ENOMEM));
    if ((err = avcodec_parameters_copy(vs->codecpar, video)) < 0) return fail("video parameters", err);
    // The camera's tag (or none) is not an AVI fourcc; let the muxer choose.
    vs->codecpar->codec_tag = 0;
    vs->time_base = av_inv_q(frameRate_);
    vs->avg_frame_rate = frameRate_;
    vs->r_frame_rate = frameRate_;
    videoIndex_ = vs->index;

    if (audio && audio->codec_type == AVMEDIA_TYPE_AUDIO && AviAudio(audio->codec_id) && audio->sample_rate > 0) {
        AVStream* as = avformat_new_stream(out_, nullptr);
        if (!as) return fail("audio stream", AVERROR(ENOMEM));
        if ((err = avcodec_parameters_copy(as->codecpar, audio)) < 0) return fail("audio parameters", err);
        as->codecpar->codec_tag = 0;
        const int channels = std::max(1, as->codecpar->ch_layout.nb_channels);
        as->codecpar->block_align = channels * BytesPerSample(audio->codec_id);
        as->codecpar->bit_rate = static_cast<int64_t>(audio->sample_rate) * 8 * as->codecpar->block_align;
        as->time_base = AVRational{1, audio->sample_rate};
        audioIndex_ = as->index;
    }

    file_ = std::make_unique<File>();
    file_->fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (file_->fd < 0) return fail("cannot create file", AVERROR(errno));
    constexpr int kIoBuffer = 64 * 1024;
    auto* buffer = static_cast<unsigned char*>(av_malloc(kIoBuffer));
    file_->io = buffer ? avio_alloc_context(buffer, kIoBuffer, 1, file_.get(), nullptr, &File::WriteCb, &File::SeekCb)
                       : nullptr;
    if (!file_->io) {
        av_free(buffer);
        std::remove(path.c_str());
        return fail("cannot create file", AVERROR(ENOMEM));
    }
    file_->io->seekable = AVIO_SEEKABLE_NORMAL;
    out_->pb = file_->io;
    out_->flags |= AVFMT_FLAG_CUSTOM_IO;
    if ((err = avformat_write_header(out_, nullptr)) < 0) {
        std::remove(path.c_str());
        return fail("cannot write header", err);
    }
    avio_flush(out_->pb);
    file_->ParseHeader();
    started_ = false;
    failed_ = false;
    lastVideoDts_ = -1;
    lastVideoIn_ = AV_NOPTS_VALUE;
    videoFrames_ = 0;
    audioNext_ = -1;
    // The header is on disk at once: even an empty recording is a file.
    if (!Checkpoint()) {
        std::remove(path.c_str());
        return fail("cannot write header", AVERROR(EIO));
    }
    return true;
}

bool MediaRecorder::Write(AVPacket* pkt) {
    // In arrival order, which the camera interleaves already: nothing is held
    // back in the muxer, and the chunk just written ends where the file does.
    const bool key = pkt->stream_index == videoIndex_ && (pkt->flags & AV_PKT_FLAG_KEY);
    const int64_t size = pkt->size;
    int err = av_write_frame(out_, pkt);
    if (err >= 0 && key) file_->keys.push_back(avio_tell(out_->pb) - 8 - size - (size & 1));
    if (err >= 0 && std::chrono::steady_clock::now() - lastCheckpoint_ >= kCheckpointEvery && !Checkpoint())
        err = AVERROR(EIO);
    if (err < 0) {
        failed_ = true;
        Finish();
        return false;
    }
    return true;
}

bool MediaRecorder::WriteVideo(const AVPacket* in) {
    if (!out_ || failed_) return false;
    const bool key = in->flags & AV_PKT_FLAG_KEY;
    if (!started_ && !key) return true;
    // An AVI video chunk is one frame: a packet without a picture would
    // break the frame count and trip players.
    if (out_->streams[videoIndex_]->codecpar->codec_id == AV_CODEC_ID_H264 && !HasPicture(in->data, in->size))
        return true;

    const int64_t ts = in->dts != AV_NOPTS_VALUE ? in->dts : in->pts;
    const double fps = av_q2d(frameRate_);
    int64_t frame;
    if (ts == AV_NOPTS_VALUE) {
        // The first packet of a stream may come without a timestamp.
        frame = lastVideoDts_ + 1;
    } else {
        if (!started_ || lastVideoIn_ == AV_NOPTS_VALUE)
            startUs_ = ToUs(ts, videoIn_) - static_cast<int64_t>(std::llround((lastVideoDts_ + 1) * 1e6 / fps));
        frame = std::llround((ToUs(ts, videoIn_) - startUs_) * fps / 1e6);
        lastVideoIn_ = ts;
    }
    // AVI counts frames: keep them strictly increasing.
    if (frame <= lastVideoDts_) frame = lastVideoDts_ + 1;
    started_ = true;

    AVPacket* pkt = av_packet_alloc();
    if (!pkt) return false;
    const AVCodecParameters* par = out_->streams[videoIndex_]->codecpar;
    if (key && par->codec_id == AV_CODEC_ID_H264 && par->extradata_size > 4 && par->extradata[0] == 0 &&
        !HasSps(in->data, in->size)) {
        // Parameter sets travelled out of band (SDP); put them in front of
        // each key frame so that any player can start from it.
        if (av_new_packet(pkt, par->extradata_size + in->size) < 0) {
            av_packet_free(&pkt);
            return false;
        }
        std::memcpy(pkt->data, par->extradata, par->extradata_size);
        std::memcpy(pkt->data + par->extradata_size, in->data, in->size);
        pkt->flags = in->flags;
    } else if (av_packet_ref(pkt, in) < 0) {
        av_packet_free(&pkt);
        return false;
    }
    pkt->stream_index = videoIndex_;
    pkt->dts = pkt->pts = frame;
    pkt->duration = 1;
    pkt->pos = -1;
    av_packet_rescale_ts(pkt, av_inv_q(frameRate_), out_->streams[videoIndex_]->time_base);
    lastVideoDts_ = frame;
    ++videoFrames_;
    const bool ok = Write(pkt);
    av_packet_free(&pkt);
    return ok;
}

bool MediaRecorder::WriteAudio(const AVPacket* in) {
    if (!out_ || failed_ || audioIndex_ < 0 || !started_ || in->size <= 0) return !failed_;
    const AVCodecParameters* par = out_->streams[audioIndex_]->codecpar;
    const int rate = par->sample_rate;
    const int64_t samples = in->size / std::max(1, par->block_align);
    if (audioNext_ < 0) {
        // Place the first audio packet where it belongs against the video.
        const int64_t ts = in->pts != AV_NOPTS_VALUE ? in->pts : in->dts;
        int64_t pos = 0;
        if (ts != AV_NOPTS_VALUE && lastVideoIn_ != AV_NOPTS_VALUE)
            pos = av_rescale(ToUs(ts, audioIn_) - startUs_, rate, 1000000);
        if (pos + samples <= 0) return true;   // entirely before the first frame
        audioNext_ = std::max<int64_t>(pos, 0);
    }
    AVPacket* pkt = av_packet_alloc();
    if (!pkt || av_packet_ref(pkt, in) < 0) {
        av_packet_free(&pkt);
        return false;
    }
    pkt->stream_index = audioIndex_;
    pkt->pts = pkt->dts = audioNext_;
    pkt->duration = samples;
    pkt->pos = -1;
    av_packet_rescale_ts(pkt, AVRational{1, rate}, out_->streams[audioIndex_]->time_base);
    audioNext_ += samples;
    const bool ok = Write(pkt);
    av_packet_free(&pkt);
    return ok;
}

void MediaRecorder::CloseFile() {
    if (out_) out_->pb = nullptr;
    file_.reset();
}

void MediaRecorder::Finish() {
    if (!out_) return;
    if (file_) {
        av_write_trailer(out_);
        avio_flush(out_->pb);
        File& f = *file_;
        if (!f.ioFailed && WriteAt(f.fd, f.pending.data(), f.pending.size(), f.pendingAt))
            (void)!::ftruncate(f.fd, f.end);   // a checkpoint's index may reach further
    }
    CloseFile();
    avformat_free_context(out_);
    out_ = nullptr;
    videoIndex_ = audioIndex_ = -1;
}

}   // namespace ky::sdk
