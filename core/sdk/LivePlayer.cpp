#include "core/sdk/LivePlayer.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

#include "core/sdk/ControlHttp.h"
#include "core/sdk/MediaDrawLayer.h"
#include "core/sdk/MediaRecorder.h"
#include "core/sdk/MediaSnapshot.h"
#include "core/sdk/SdkSession.h"

namespace ky::sdk {

namespace {

constexpr int kOutRate = 8000;

int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

void InitFfmpeg() {
    static std::once_flag once;
    std::call_once(once, [] {
        avformat_network_init();
        // Keep FFmpeg's chatter (mid-GOP starts, reconnects) off the
        // caller's terminal unless the program chose a level itself.
        if (av_log_get_level() == AV_LOG_INFO) av_log_set_level(AV_LOG_ERROR);
    });
}

// Whether the session description gave every stream's decoding parameters:
// the codec of each, the parameter sets of the video (sprop-parameter-sets),
// the rate and channels of the sound.
bool DescribedBySdp(const AVFormatContext* in) {
    bool video = false;
    for (unsigned i = 0; i < in->nb_streams; ++i) {
        const AVCodecParameters* p = in->streams[i]->codecpar;
        if (p->codec_type == AVMEDIA_TYPE_VIDEO) {
            if (p->codec_id == AV_CODEC_ID_NONE || p->extradata_size <= 0) return false;
            video = true;
        } else if (p->codec_type == AVMEDIA_TYPE_AUDIO) {
            if (p->codec_id == AV_CODEC_ID_NONE || p->sample_rate <= 0 || p->ch_layout.nb_channels <= 0) return false;
        }
    }
    return video;
}

// The own splitting needs H.264 and sound that needs no parser either.
bool OwnUnitsFit(const AVFormatContext* in) {
    for (unsigned i = 0; i < in->nb_streams; ++i) {
        const AVCodecParameters* p = in->streams[i]->codecpar;
        if (p->codec_type == AVMEDIA_TYPE_VIDEO && p->codec_id != AV_CODEC_ID_H264) return false;
        if (p->codec_type == AVMEDIA_TYPE_AUDIO && p->codec_id != AV_CODEC_ID_PCM_MULAW &&
            p->codec_id != AV_CODEC_ID_PCM_ALAW && p->codec_id != AV_CODEC_ID_AAC)
            return false;
    }
    return true;
}

}   // namespace

std::string BuildRtspUrl(const std::string& host, int port, const std::string& user, const std::string& password,
                         const std::string& path) {
    std::string url = "rtsp://";
    if (!user.empty() || !password.empty()) url += EncodeUriComponent(user) + ":" + EncodeUriComponent(password) + "@";
    url += host.find(':') != std::string::npos && host.front() != '[' ? "[" + host + "]" : host;
    url += ":" + std::to_string(port) + path;
    return url;
}

// ---- AudioSlot ----------------------------------------------------------------

AudioSlot::~AudioSlot() { Clear(); }

void AudioSlot::Set(KySdkAudioOutput* output) {
    KySdkAudioOutput* old;
    {
        std::lock_guard lock(mutex_);
        old = out_;
        out_ = output;
        on_.store(output != nullptr, std::memory_order_release);
    }
    if (old) {
        old->Close();
        delete old;
    }
}

void AudioSlot::Clear() { Set(nullptr); }

void AudioSlot::Write(const int16_t* samples, int count) {
    std::lock_guard lock(mutex_);
    if (out_ && count > 0) out_->Write(samples, count);
}

// ---- LivePlayer -----------------------------------------------------------------

std::shared_ptr<LivePlayer> LivePlayer::Create(PlayerConfig config) {
    return std::shared_ptr<LivePlayer>(new LivePlayer(std::move(config)));
}

LivePlayer::LivePlayer(PlayerConfig config) : config_(std::move(config)) {
    url_ = BuildRtspUrl(config_.host, config_.rtspPort, config_.user, config_.password, config_.path);
}

LivePlayer::~LivePlayer() {
    Stop();
    av_frame_free(&latest_);
    avcodec_parameters_free(&videoPar_);
    avcodec_parameters_free(&audioPar_);
}

void LivePlayer::Start() {
    InitFfmpeg();
    // The thread keeps the player alive, so that a stop requested from a
    // surface callback (on this very thread) cannot free it underneath.
    auto self = shared_from_this();
    thread_ = std::thread([self] { self->Run(); });
}

void LivePlayer::Stop() {
    {
        std::lock_guard lock(waitMutex_);
        stop_ = true;
    }
    waitCv_.notify_all();
    pictureCv_.notify_all();
    if (!thread_.joinable()) return;
    if (thread_.get_id() == std::this_thread::get_id())
        thread_.detach();
    else
        thread_.join();
}

int LivePlayer::Interrupt(void* opaque) {
    auto* self = static_cast<LivePlayer*>(opaque);
    return self->stop_.load(std::memory_order_relaxed) || NowNs() > self->deadlineNs_.load(std::memory_order_relaxed);
}

void LivePlayer::SetDeadline(int ms) { deadlineNs_ = NowNs() + static_cast<int64_t>(ms) * 1000000; }

void LivePlayer::Run() {
    int backoff = config_.minBackoffMs;
    while (!stop_) {
        gotFrame_ = false;
        if (Open()) {
            ReadLoop();
        }
        Close();
        if (gotFrame_) backoff = config_.minBackoffMs;
        if (stop_) break;
        // The login was released while the camera was away: end quietly.
        if (config_.session && FindSession(config_.handle) != config_.session) break;
        if (!lost_) {
            lost_ = true;
            if (config_.surface) config_.surface->StreamState(false);
        }
        std::unique_lock lock(waitMutex_);
        waitCv_.wait_for(lock, std::chrono::milliseconds(backoff), [this] { return stop_.load(); });
        backoff = std::min(backoff * 2, config_.maxBackoffMs);
    }
    sws_freeContext(sws_);
    sws_ = nullptr;
}

bool LivePlayer::Open() {
    in_ = avformat_alloc_context();
    if (!in_) return false;
    in_->interrupt_callback.callback = &LivePlayer::Interrupt;
    in_->interrupt_callback.opaque = this;
    AVDictionary* opts = nullptr;
    av_dict_set(&opts, "rtsp_transport", "tcp", 0);
    av_dict_set_int(&opts, "timeout", static_cast<int64_t>(config_.ioTimeoutMs) * 1000, 0);
    // Small probing for a stream that its description leaves open; the
    // defaults cost more than a second before the first frame.
    av_dict_set_int(&opts, "analyzeduration", 100000, 0);
    av_dict_set_int(&opts, "probesize", 32768, 0);
    SetDeadline(config_.ioTimeoutMs * 2);
    int err = avformat_open_input(&in_, url_.c_str(), nullptr, &opts);
    av_dict_free(&opts);
    if (err < 0) return false;   // avformat_open_input freed in_
    // Without probing the decoder starts at the first key picture, which
    // the camera sends at once; probing would wait for its window first.
    const bool described = DescribedBySdp(in_);
    if (!described && avformat_find_stream_info(in_, nullptr) < 0) return false;
    // Described H.264 is taken apart here instead of by FFmpeg's parser,
    // which would hold every picture back for a frame interval.
    ownUnits_ = described && OwnUnitsFit(in_);
    if (ownUnits_) in_->flags |= AVFMT_FLAG_NOPARSE | AVFMT_FLAG_NOFILLIN;
    units_ = H264Units{};

    videoIndex_ = av_find_best_stream(in_, AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    audioIndex_ = av_find_best_stream(in_, AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (videoIndex_ < 0) return false;
    AVStream* vs = in_->streams[videoIndex_];
    const AVCodec* vcodec = avcodec_find_decoder(vs->codecpar->codec_id);
    if (!vcodec) return false;
    video_ = avcodec_alloc_context3(vcodec);
    if (!video_ || avcodec_parameters_to_context(video_, vs->codecpar) < 0) return false;
    video_->flags |= AV_CODEC_FLAG_LOW_DELAY;
    // A picture comes out as soon as all its slices are decoded.
    if (ownUnits_) video_->flags2 |= AV_CODEC_FLAG2_CHUNKS;
    // Slice threads add no delay; frame threads would hold pictures back.
    video_->thread_type = FF_THREAD_SLICE;
    video_->thread_count = 0;
    if (avcodec_open2(video_, vcodec, nullptr) < 0) return false;

    if (audioIndex_ >= 0) {
        AVStream* as = in_->streams[audioIndex_];
        if (const AVCodec* acodec = avcodec_find_decoder(as->codecpar->codec_id)) {
            audioDec_ = avcodec_alloc_context3(acodec);
            if (!audioDec_ || avcodec_parameters_to_context(audioDec_, as->codecpar) < 0 ||
                avcodec_open2(audioDec_, acodec, nullptr) < 0)
                avcodec_free_context(&audioDec_);
        }
    }
    frame_ = av_frame_alloc();
    audioFrame_ = av_frame_alloc();
    if (!frame_ || !audioFrame_) return false;
    waitKey_ = true;

    // Unknown without probing: then taken from the first picture's parameter
    // sets (the recorder assumes 25 without any).
    double fps = av_q2d(vs->avg_frame_rate);
    if (!(fps > 1 && fps <= 120)) fps = av_q2d(vs->r_frame_rate);
    if (!(fps > 1 && fps <= 120)) fps = 0;
    {
        std::lock_guard lock(recordMutex_);
        avcodec_parameters_free(&videoPar_);
        avcodec_parameters_free(&audioPar_);
        videoPar_ = avcodec_parameters_alloc();
        if (videoPar_) avcodec_parameters_copy(videoPar_, vs->codecpar);
        videoTbNum_ = vs->time_base.num;
        videoTbDen_ = vs->time_base.den;
        if (audioIndex_ >= 0) {
            AVStream* as = in_->streams[audioIndex_];
            audioPar_ = avcodec_parameters_alloc();
            if (audioPar_) avcodec_parameters_copy(audioPar_, as->codecpar);
            audioTbNum_ = as->time_base.num;
            audioTbDen_ = as->time_base.den;
        }
        fps_ = fps;
        streamOpen_ = videoPar_ != nullptr;
    }
    return true;
}

void LivePlayer::ReadLoop() {
    AVPacket* pkt = av_packet_alloc();
    if (!pkt) return;
    int64_t nextCheck = NowNs();
    while (!stop_) {
        if (config_.session && NowNs() >= nextCheck) {
            // A play started while its login was being closed must not
            // outlive the login.
            if (FindSession(config_.handle) != config_.session) {
                stop_ = true;
                break;
            }
            nextCheck = NowNs() + 2'000'000'000;
        }
        SetDeadline(config_.ioTimeoutMs);
        const int err = av_read_frame(in_, pkt);
        if (err == AVERROR(EAGAIN)) continue;
        if (err < 0) break;
        if (Interrupt(this)) {
            // An interrupted read flushes the parser: what comes out is a
            // cut-off access unit, not worth recording or decoding.
            av_packet_unref(pkt);
            break;
        }
        if (pkt->size > 0) bytes_.fetch_add(pkt->size, std::memory_order_relaxed);
        if (pkt->stream_index == videoIndex_ && ownUnits_) {
            VideoUnits(pkt);
        } else if (pkt->stream_index == videoIndex_) {
            {
                std::lock_guard lock(recordMutex_);
                if (recorder_ && !recorder_->WriteVideo(pkt)) recorder_.reset();
            }
            DecodeVideo(pkt);
        } else if (pkt->stream_index == audioIndex_) {
            {
                std::lock_guard lock(recordMutex_);
                if (recorder_ && !recorder_->WriteAudio(pkt)) recorder_.reset();
            }
            if (config_.audio && config_.audio->On()) DecodeAudio(pkt);
        }
        av_packet_unref(pkt);
    }
    av_packet_free(&pkt);
}

void LivePlayer::Close() {
    {
        // A recording ends with the stream, as a complete file.
        std::lock_guard lock(recordMutex_);
        recorder_.reset();
        streamOpen_ = false;
    }
    avcodec_free_context(&video_);
    avcodec_free_context(&audioDec_);
    av_frame_free(&frame_);
    av_frame_free(&audioFrame_);
    av_packet_free(&scratch_);
    swr_free(&swr_);
    if (in_) avformat_close_input(&in_);
    videoIndex_ = audioIndex_ = -1;
}

void LivePlayer::VideoUnits(const AVPacket* pkt) {
    chunks_.clear();
    doneUnits_.clear();
    bool recording;
    {
        std::lock_guard lock(recordMutex_);
        recording = recorder_ != nullptr;
    }
    units_.Push(pkt->data, static_cast<size_t>(pkt->size), pkt->pts, &chunks_, recording ? &doneUnits_ : nullptr);
    if (!scratch_ && !(scratch_ = av_packet_alloc())) return;
    auto fill = [&](const std::vector<uint8_t>& data, int64_t pts, bool key) {
        av_packet_unref(scratch_);
        if (av_new_packet(scratch_, static_cast<int>(data.size())) < 0) return false;
        std::memcpy(scratch_->data, data.data(), data.size());
        scratch_->pts = pts;
        scratch_->flags = key ? AV_PKT_FLAG_KEY : 0;
        scratch_->stream_index = videoIndex_;
        return true;
    };
    for (const H264Units::Unit& u : doneUnits_) {
        std::lock_guard lock(recordMutex_);
        if (recorder_ && fill(u.data, u.pts, u.key) && !recorder_->WriteVideo(scratch_)) recorder_.reset();
    }
    for (const H264Units::Chunk& c : chunks_)
        if (fill(c.data, pkt->pts, c.key)) DecodeVideo(scratch_);
    av_packet_unref(scratch_);
}

void LivePlayer::DecodeVideo(const AVPacket* pkt) {
    if (waitKey_) {
        // Joining mid-GOP: frames before the first key frame only decode
        // to garbage.
        if (!(pkt->flags & AV_PKT_FLAG_KEY)) return;
        waitKey_ = false;
    }
    if (avcodec_send_packet(video_, pkt) < 0) return;
    while (avcodec_receive_frame(video_, frame_) == 0) {
        if (!gotFrame_) {
            const double fps = av_q2d(video_->framerate);
            std::lock_guard lock(recordMutex_);
            if (fps_ <= 0 && fps > 1 && fps <= 120) fps_ = fps;
        }
        if (frame_->width > 0 && frame_->height > 0) Present(frame_);
        av_frame_unref(frame_);
    }
}

void LivePlayer::Present(const AVFrame* frame) {
    const bool first = !gotFrame_;
    gotFrame_ = true;
    {
        std::lock_guard lock(pictureMutex_);
        if (!latest_) latest_ = av_frame_alloc();
        if (latest_) {
            av_frame_unref(latest_);
            if (av_frame_ref(latest_, frame) < 0) av_frame_unref(latest_);
        }
        width_ = frame->width;
        height_ = frame->height;
    }
    if (first) pictureCv_.notify_all();
    frames_.fetch_add(1, std::memory_order_relaxed);

    KySdkSurface* surface = config_.surface;
    if (first && lost_) {
        // Back after a loss; the first connection reports nothing.
        lost_ = false;
        if (surface) surface->StreamState(true);
    }
    if (!surface) return;
    const int w = frame->width, h = frame->height;
    const int stride = w * 4;
    sws_ = sws_getCachedContext(sws_, w, h, static_cast<AVPixelFormat>(frame->format), w, h, AV_PIX_FMT_BGRA,
                                SWS_BILINEAR, nullptr, nullptr, nullptr);
    if (!sws_) return;
    pixels_.resize(static_cast<size_t>(stride) * h);
    uint8_t* dst[4] = {pixels_.data(), nullptr, nullptr, nullptr};
    const int dstStride[4] = {stride, 0, 0, 0};
    if (sws_scale(sws_, frame->data, frame->linesize, 0, h, dst, dstStride) != h) return;
    if (config_.draw) config_.draw->Paint(pixels_.data(), w, h, stride);
    int mode = 0;
    if (config_.session) {
        std::lock_guard lock(config_.session->mutex);
        mode = config_.session->displayMode;
    }
    surface->PresentFrame(pixels_.data(), w, h, stride, mode);
}

void LivePlayer::DecodeAudio(const AVPacket* pkt) {
    if (!audioDec_ || avcodec_send_packet(audioDec_, pkt) < 0) return;
    while (avcodec_receive_frame(audioDec_, audioFrame_) == 0) {
        const AVFrame* f = audioFrame_;
        const bool direct =
            f->format == AV_SAMPLE_FMT_S16 && f->sample_rate == kOutRate && f->ch_layout.nb_channels == 1;
        if (direct) {
            config_.audio->Write(reinterpret_cast<const int16_t*>(f->data[0]), f->nb_samples);
        } else {
            if (!swr_) {
                AVChannelLayout mono = AV_CHANNEL_LAYOUT_MONO;
                if (swr_alloc_set_opts2(&swr_, &mono, AV_SAMPLE_FMT_S16, kOutRate, &audioFrame_->ch_layout,
                                        static_cast<AVSampleFormat>(f->format), f->sample_rate, 0, nullptr) < 0 ||
                    swr_init(swr_) < 0) {
                    swr_free(&swr_);
                    av_frame_unref(audioFrame_);
                    return;
                }
            }
            const int cap = swr_get_out_samples(swr_, f->nb_samples);
            if (cap > 0) {
                samples_.resize(static_cast<size_t>(cap));
                uint8_t* out[1] = {reinterpret_cast<uint8_t*>(samples_.data())};
                const int n = swr_convert(swr_, out, cap, const_cast<const uint8_t**>(f->extended_data), f->nb_samples);
                if (n > 0) config_.audio->Write(samples_.data(), n);
            }
        }
        av_frame_unref(audioFrame_);
    }
}

bool LivePlayer::PictureSize(int* width, int* height, int waitMs) const {
    std::unique_lock lock(pictureMutex_);
    if (width_ <= 0 && waitMs > 0)
        pictureCv_.wait_for(lock, std::chrono::milliseconds(waitMs), [this] { return width_ > 0 || stop_.load(); });
    if (width_ <= 0) return false;
    if (width) *width = width_;
    if (height) *height = height_;
    return true;
}

int LivePlayer::Snapshot(const std::string& path) const {
    AVFrame* copy = nullptr;
    {
        std::lock_guard lock(pictureMutex_);
        if (latest_ && latest_->width > 0) copy = av_frame_clone(latest_);
    }
    if (!copy) return -1;
    const int r = WriteJpeg(copy, path);
    av_frame_free(&copy);
    return r;
}

int LivePlayer::StartRecord(const std::string& path, std::string* error) {
    int w = 0, h = 0;
    PictureSize(&w, &h, 0);
    std::lock_guard lock(recordMutex_);
    if (!streamOpen_ || !videoPar_) {
        if (error) *error = "stream not open";
        return -1;
    }
    // Short probing may leave the size unknown until the first picture.
    if (videoPar_->width <= 0 && w > 0) {
        videoPar_->width = w;
        videoPar_->height = h;
    }
    recorder_.reset();
    auto rec = std::make_unique<MediaRecorder>();
    if (!rec->Open(path, videoPar_, AVRational{videoTbNum_, videoTbDen_}, fps_, audioPar_,
                   AVRational{audioTbNum_, audioTbDen_}, error))
        return -1;
    recorder_ = std::move(rec);
    return 0;
}

void LivePlayer::StopRecord() {
    std::unique_ptr<MediaRecorder> rec;
    {
        std::lock_guard lock(recordMutex_);
        rec = std::move(recorder_);
    }
    // Finished outside the lock, so the player thread is not held up.
    if (rec) rec->Finish();
}

bool LivePlayer::Recording() const {
    std::lock_guard lock(recordMutex_);
    return recorder_ != nullptr;
}

int64_t LivePlayer::RecordedMs() const {
    std::lock_guard lock(recordMutex_);
    return recorder_ ? recorder_->RecordedMs() : -1;
}

}   // namespace ky::sdk
