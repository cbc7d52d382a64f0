#include "core/sdk/MediaRecorder.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace ky::sdk {

namespace {

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

MediaRecorder::~MediaRecorder() { Finish(); }

bool MediaRecorder::Open(const std::string& path, const AVCodecParameters* video, AVRational videoTimeBase, double fps,
                         const AVCodecParameters* audio, AVRational audioTimeBase, std::string* error) {
    Finish();
    auto fail = [&](const char* what, int err) {
        if (error) {
            char text[AV_ERROR_MAX_STRING_SIZE] = {0};
            if (err) av_strerror(err, text, sizeof text);
            *error = std::string(what) + (err ? std::string(": ") + text : std::string());
        }
        if (out_) {
            if (out_->pb) avio_closep(&out_->pb);
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

    if ((err = avio_open(&out_->pb, path.c_str(), AVIO_FLAG_WRITE)) < 0) return fail("cannot create file", err);
    if ((err = avformat_write_header(out_, nullptr)) < 0) {
        avio_closep(&out_->pb);
        std::remove(path.c_str());
        return fail("cannot write header", err);
    }
    started_ = false;
    failed_ = false;
    lastVideoDts_ = -1;
    lastVideoIn_ = AV_NOPTS_VALUE;
    videoFrames_ = 0;
    audioNext_ = -1;
    return true;
}

bool MediaRecorder::Write(AVPacket* pkt) {
    const int err = av_interleaved_write_frame(out_, pkt);
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

void MediaRecorder::Finish() {
    if (!out_) return;
    if (out_->pb) {
        av_write_trailer(out_);
        avio_closep(&out_->pb);
    }
    avformat_free_context(out_);
    out_ = nullptr;
    videoIndex_ = audioIndex_ = -1;
}

}   // namespace ky::sdk
