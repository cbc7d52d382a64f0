#include "core/sdk/MediaSnapshot.h"

#include <cstdio>
#include <memory>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libswscale/swscale.h>
}

namespace ky::sdk {

namespace {

struct CodecCtxFree {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFree {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFree {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct SwsFree {
    void operator()(SwsContext* s) const { sws_freeContext(s); }
};

}   // namespace

int WriteJpeg(const AVFrame* picture, const std::string& path) {
    if (!picture || picture->width <= 0 || picture->height <= 0 || picture->format < 0) return -1;
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_MJPEG);
    if (!codec) return -1;
    std::unique_ptr<AVCodecContext, CodecCtxFree> enc(avcodec_alloc_context3(codec));
    if (!enc) return -1;
    const int w = picture->width, h = picture->height;
    enc->width = w;
    enc->height = h;
    // The JPEG encoder takes full-range YUV only.
    enc->pix_fmt = AV_PIX_FMT_YUVJ420P;
    enc->color_range = AVCOL_RANGE_JPEG;
    enc->time_base = AVRational{1, 25};
    enc->flags |= AV_CODEC_FLAG_QSCALE;
    enc->global_quality = FF_QP2LAMBDA * 3;
    if (avcodec_open2(enc.get(), codec, nullptr) < 0) return -1;

    std::unique_ptr<AVFrame, FrameFree> yuv(av_frame_alloc());
    if (!yuv) return -1;
    yuv->format = AV_PIX_FMT_YUVJ420P;
    yuv->width = w;
    yuv->height = h;
    yuv->color_range = AVCOL_RANGE_JPEG;
    if (av_frame_get_buffer(yuv.get(), 0) < 0) return -1;
    std::unique_ptr<SwsContext, SwsFree> sws(sws_getContext(w, h, static_cast<AVPixelFormat>(picture->format), w, h,
                                                            AV_PIX_FMT_YUVJ420P, SWS_BICUBIC, nullptr, nullptr,
                                                            nullptr));
    if (!sws) return -1;
    // Limited-range camera video is expanded to the full range JPEG uses.
    const int* coeffs = sws_getCoefficients(SWS_CS_ITU601);
    const int srcFull = picture->color_range == AVCOL_RANGE_JPEG || picture->format == AV_PIX_FMT_YUVJ420P ||
                        picture->format == AV_PIX_FMT_YUVJ422P || picture->format == AV_PIX_FMT_YUVJ444P;
    sws_setColorspaceDetails(sws.get(), coeffs, srcFull, coeffs, 1, 0, 1 << 16, 1 << 16);
    if (sws_scale(sws.get(), picture->data, picture->linesize, 0, h, yuv->data, yuv->linesize) != h) return -1;

    std::unique_ptr<AVPacket, PacketFree> pkt(av_packet_alloc());
    if (!pkt) return -1;
    if (avcodec_send_frame(enc.get(), yuv.get()) < 0 || avcodec_receive_packet(enc.get(), pkt.get()) < 0) return -1;

    // Write beside the target and rename, so a failed write leaves no
    // truncated picture under the final name.
    const std::string tmp = path + ".part";
    FILE* f = std::fopen(tmp.c_str(), "wb");
    if (!f) return -2;
    const bool written = std::fwrite(pkt->data, 1, static_cast<size_t>(pkt->size), f) == static_cast<size_t>(pkt->size);
    const bool closed = std::fclose(f) == 0;
    if (!written || !closed || std::rename(tmp.c_str(), path.c_str()) != 0) {
        std::remove(tmp.c_str());
        return -2;
    }
    return 0;
}

}   // namespace ky::sdk
