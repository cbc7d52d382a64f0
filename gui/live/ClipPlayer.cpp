#include "gui/live/ClipPlayer.h"

#include <QDir>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

#include "gui/live/CameraWebView.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/mathematics.h>
#include <libswscale/swscale.h>
}

namespace {

int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

constexpr const char* kUnplayable = "The recording cannot be played!";
constexpr const char* kNoVideo = "The recording holds no video!";
constexpr const char* kTempFailed = "The recording cannot be saved to a temporary file!";
constexpr uint64_t kProgressStep = 256 * 1024;

}   // namespace

CClipPlayer::CClipPlayer(QObject* parent) : QObject(parent) {}

CClipPlayer::~CClipPlayer() {
    Stop();
    DropCache();
}

int CClipPlayer::Play(const CameraAddress& camera, const std::string& path) {
    Stop();
    const int session = ++m_session;
    const std::string key = camera.ip + ":" + std::to_string(camera.port) + ":" + camera.user + path;
    std::string cached;
    {
        std::lock_guard lock(m_mutex);
        if (key == m_cacheKey && !m_cacheFile.empty() && access(m_cacheFile.c_str(), R_OK) == 0) cached = m_cacheFile;
        m_frame = QImage();
    }
    if (cached.empty()) {
        DropCache();
        std::lock_guard lock(m_mutex);
        m_cacheKey = key;
    }
    m_framesShown = 0;
    m_seekMs = -1;
    m_paused = false;
    m_running = true;
    m_worker = std::thread(&CClipPlayer::Run, this, session, camera, path, cached);
    return session;
}

void CClipPlayer::SetPaused(bool paused) {
    {
        std::lock_guard lock(m_mutex);
        m_paused = paused;
    }
    m_wake.notify_all();
}

void CClipPlayer::Seek(qint64 ms) {
    {
        std::lock_guard lock(m_mutex);
        m_seekMs = ms < 0 ? 0 : ms;
    }
    m_wake.notify_all();
}

void CClipPlayer::Stop() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    if (m_worker.joinable()) m_worker.join();
    m_stop = false;
    m_running = false;
    m_paused = false;
}

QImage CClipPlayer::LatestFrame() const {
    std::lock_guard lock(m_mutex);
    m_framePending = false;
    return m_frame;
}

std::string CClipPlayer::CachedFile() const {
    std::lock_guard lock(m_mutex);
    return m_cacheFile;
}

void CClipPlayer::DropCache() {
    std::lock_guard lock(m_mutex);
    if (!m_cacheFile.empty()) unlink(m_cacheFile.c_str());
    m_cacheFile.clear();
    m_cacheKey.clear();
}

int CClipPlayer::Interrupt(void* self) { return static_cast<CClipPlayer*>(self)->m_stop.load() ? 1 : 0; }

void CClipPlayer::Run(int session, CameraAddress camera, std::string path, std::string cached) {
    std::string error;
    std::string file = cached;
    if (file.empty()) {
        file = Download(session, camera, path, &error);
        if (!file.empty()) {
            std::lock_guard lock(m_mutex);
            m_cacheFile = file;
        }
    }
    if (!file.empty() && !m_stop) error = Decode(session, file);
    m_running = false;
    if (!m_stop) emit finished(session, QString::fromStdString(error));
}

std::string CClipPlayer::Download(int session, const CameraAddress& camera, const std::string& path,
                                  std::string* errorKey) {
    std::string name = QDir::tempPath().toStdString() + "/kycam-clip-XXXXXX";
    const int fd = mkstemp(name.data());
    FILE* out = fd >= 0 ? fdopen(fd, "wb") : nullptr;
    if (!out) {
        if (fd >= 0) {
            close(fd);
            unlink(name.c_str());
        }
        *errorKey = kTempFailed;
        return {};
    }

    HttpPage page;
    bool writeFailed = false;
    uint64_t received = 0;
    uint64_t reported = 0;
    HttpFetchOptions options;
    options.connectTimeoutMs = 1000;
    options.idleTimeoutMs = 10000;
    options.totalTimeoutMs = 0;   // a large clip may take long; silence is what is bounded
    options.maxBodyBytes = kMaxClipBytes;
    options.cancel = &m_stop;
    options.sink = [&](const char* data, size_t len) {
        // Only a complete reply of status 200 is a recording; error pages are
        // kept in memory to be judged, not written out.
        if (page.status != 200) {
            page.body.append(data, std::min<size_t>(len, 4096));
            return true;
        }
        if (fwrite(data, 1, len, out) != len) {
            writeFailed = true;
            return false;
        }
        received += len;
        if (received - reported >= kProgressStep) {
            reported = received;
            emit downloadProgress(session, static_cast<qint64>(received), page.contentLength);
        }
        return true;
    };
    const HttpFetchResult r =
        CHttpFetch::Get(camera.ip, camera.port, camera.user, camera.password, path, options, &page);
    const bool closed = fclose(out) == 0;
    if (r == HttpFetchResult::Ok && page.status == 200 && closed && !writeFailed) {
        emit downloadProgress(session, static_cast<qint64>(received), page.contentLength);
        return name;
    }
    unlink(name.c_str());
    if (writeFailed || (!closed && r == HttpFetchResult::Ok))
        *errorKey = kTempFailed;
    else
        *errorKey = CameraWebErrorKey(r, page.status);
    return {};
}

std::string CClipPlayer::Decode(int session, const std::string& file) {
    AVFormatContext* fmt = avformat_alloc_context();
    if (!fmt) return kUnplayable;
    fmt->interrupt_callback.callback = &CClipPlayer::Interrupt;
    fmt->interrupt_callback.opaque = this;
    if (avformat_open_input(&fmt, file.c_str(), nullptr, nullptr) < 0)
        return m_stop ? std::string() : kUnplayable;   // fmt is freed on failure

    AVCodecContext* dec = nullptr;
    AVPacket* pkt = av_packet_alloc();
    AVFrame* frame = av_frame_alloc();
    SwsContext* sws = nullptr;
    std::string error;
    int vs = -1;
    const AVCodec* codec = nullptr;

    if (!pkt || !frame || avformat_find_stream_info(fmt, nullptr) < 0) {
        error = kUnplayable;
    } else if ((vs = av_find_best_stream(fmt, AVMEDIA_TYPE_VIDEO, -1, -1, &codec, 0)) < 0 || !codec) {
        error = kNoVideo;
    } else {
        dec = avcodec_alloc_context3(codec);
        if (!dec || avcodec_parameters_to_context(dec, fmt->streams[vs]->codecpar) < 0 ||
            (dec->thread_count = 1, avcodec_open2(dec, codec, nullptr)) < 0)
            error = kUnplayable;
    }

    if (error.empty()) {
        const int64_t durationMs =
            fmt->duration != AV_NOPTS_VALUE && fmt->duration > 0 ? fmt->duration / (AV_TIME_BASE / 1000) : 0;
        emit opened(session, durationMs);

        const AVRational tb = fmt->streams[vs]->time_base;
        int64_t baseWall = -1;
        int64_t basePts = 0;
        int64_t lastMs = 0;
        int64_t skipUntil = -1;
        bool showNow = false;
        bool eof = false;

        // Shows one decoded frame when its time has come; false on stop.
        auto present = [&](AVFrame* f) -> bool {
            int64_t ts = f->best_effort_timestamp;
            if (ts == AV_NOPTS_VALUE) ts = f->pts;
            const int64_t ms = ts == AV_NOPTS_VALUE ? lastMs + 40 : av_rescale_q(ts, tb, AVRational{1, 1000});
            if (skipUntil >= 0 && ms < skipUntil) return true;   // decoded on the way to a seek target, not shown
            skipUntil = -1;
            if (showNow || baseWall < 0) {
                baseWall = NowMs();
                basePts = ms;
                showNow = false;
            } else {
                std::unique_lock lock(m_mutex);
                int64_t pausedAt = -1;
                for (;;) {
                    if (m_stop) return false;
                    if (m_seekMs >= 0) return true;   // dropped; the loop seeks
                    if (m_paused) {
                        if (pausedAt < 0) pausedAt = NowMs();
                        m_wake.wait(lock);
                        continue;
                    }
                    if (pausedAt >= 0) {
                        baseWall += NowMs() - pausedAt;
                        pausedAt = -1;
                    }
                    const int64_t due = baseWall + (ms - basePts);
                    const int64_t now = NowMs();
                    if (now >= due) break;
                    m_wake.wait_for(lock, std::chrono::milliseconds(due - now));
                }
            }
            if (f->width <= 0 || f->height <= 0) return true;
            sws = sws_getCachedContext(sws, f->width, f->height, static_cast<AVPixelFormat>(f->format), f->width,
                                       f->height, AV_PIX_FMT_RGB32, SWS_BILINEAR, nullptr, nullptr, nullptr);
            if (!sws) return true;
            QImage image(f->width, f->height, QImage::Format_RGB32);
            if (image.isNull()) return true;
            uint8_t* dst[4] = {image.bits(), nullptr, nullptr, nullptr};
            int dstStride[4] = {static_cast<int>(image.bytesPerLine()), 0, 0, 0};
            sws_scale(sws, f->data, f->linesize, 0, f->height, dst, dstStride);
            {
                std::lock_guard lock(m_mutex);
                m_frame = std::move(image);
            }
            ++m_framesShown;
            lastMs = ms;
            if (!m_framePending.exchange(true)) emit frameReady(session);
            emit positionChanged(session, ms);
            return true;
        };

        while (!m_stop) {
            const int64_t seek = m_seekMs.exchange(-1);
            if (seek >= 0) {
                av_seek_frame(fmt, -1, av_rescale(seek, AV_TIME_BASE, 1000), AVSEEK_FLAG_BACKWARD);
                avcodec_flush_buffers(dec);
                skipUntil = seek;
                showNow = true;
                eof = false;
            }
            if (eof) break;
            const int rc = av_read_frame(fmt, pkt);
            if (rc < 0) {
                if (m_stop) break;
                eof = true;
                avcodec_send_packet(dec, nullptr);   // drain what the decoder holds
            } else if (pkt->stream_index != vs) {
                av_packet_unref(pkt);
                continue;
            } else {
                avcodec_send_packet(dec, pkt);
                av_packet_unref(pkt);
            }
            bool go = true;
            while (go && avcodec_receive_frame(dec, frame) == 0) {
                go = present(frame) && m_seekMs < 0;
                av_frame_unref(frame);
            }
        }
    }

    sws_freeContext(sws);
    av_frame_free(&frame);
    av_packet_free(&pkt);
    avcodec_free_context(&dec);
    avformat_close_input(&fmt);
    return m_stop ? std::string() : error;
}
