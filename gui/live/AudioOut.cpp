#include "gui/live/AudioOut.h"

#include <QCoreApplication>
#include <QThread>
#include <cstring>
#include <memory>
#include <mutex>

#include "core/services/Trace.h"

#if __has_include(<QAudioSink>)
#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioSink>
#include <QByteArray>
#include <QIODevice>
#include <QMediaDevices>
#define KY_HAVE_QT_AUDIO 1
#endif

#ifdef KY_HAVE_QT_AUDIO
namespace {

// Samples between the SDK's player thread and the audio sink. The sink
// pulls: missing sound is played as silence, so a late camera never stops
// the sink, and more than kMaxBytes of backlog drops the oldest samples to
// keep the delay short.
class CPcmBuffer final : public QIODevice {
public:
    static constexpr qint64 kMaxBytes = 8000 * 2 / 2;   // half a second at 8 kHz, 16 bit

    void Push(const int16_t* samples, int count) {
        std::lock_guard<std::mutex> lock(m_lock);
        m_data.append(reinterpret_cast<const char*>(samples), qsizetype(count) * 2);
        if (m_data.size() > kMaxBytes) m_data.remove(0, m_data.size() - kMaxBytes);
    }
    bool isSequential() const override { return true; }
    qint64 bytesAvailable() const override { return 4096 + QIODevice::bytesAvailable(); }

protected:
    qint64 readData(char* data, qint64 maxSize) override {
        if (maxSize <= 0) return 0;
        std::lock_guard<std::mutex> lock(m_lock);
        const qint64 n = std::min<qint64>(maxSize, m_data.size()) & ~qint64(1);
        std::memcpy(data, m_data.constData(), size_t(n));
        m_data.remove(0, n);
        std::memset(data + n, 0, size_t(maxSize - n));
        return maxSize;
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    std::mutex m_lock;
    QByteArray m_data;
};

class CQtAudioOutput final : public KySdkAudioOutput {
public:
    ~CQtAudioOutput() override { Close(); }

    bool Open(int sampleRate, int channels) override {
        Close();
        // The sink needs the window thread's event loop.
        if (!QCoreApplication::instance() || QThread::currentThread() != QCoreApplication::instance()->thread())
            return false;
        const QAudioDevice device = QMediaDevices::defaultAudioOutput();
        if (device.isNull()) {
            KY_TRACE("Line-%d no audio output device\n", __LINE__);
            return false;
        }
        QAudioFormat format;
        format.setSampleRate(sampleRate);
        format.setChannelCount(channels);
        format.setSampleFormat(QAudioFormat::Int16);
        if (!device.isFormatSupported(format)) {
            KY_TRACE("Line-%d audio format %d Hz x %d not supported\n", __LINE__, sampleRate, channels);
            return false;
        }
        auto buffer = std::make_unique<CPcmBuffer>();
        buffer->open(QIODevice::ReadOnly);
        auto sink = std::make_unique<QAudioSink>(device, format);
        sink->setBufferSize(sampleRate * channels * 2 / 10);   // 100 ms
        sink->start(buffer.get());
        if (sink->error() != QAudio::NoError) {
            KY_TRACE("Line-%d audio sink start failure %d\n", __LINE__, int(sink->error()));
            sink->stop();
            return false;
        }
        std::lock_guard<std::mutex> lock(m_lock);
        m_buffer = buffer.release();
        m_sink = sink.release();
        return true;
    }

    void Write(const int16_t* samples, int count) override {
        std::lock_guard<std::mutex> lock(m_lock);
        if (m_buffer && samples && count > 0) m_buffer->Push(samples, count);
    }

    void Close() override {
        QAudioSink* sink;
        CPcmBuffer* buffer;
        {
            std::lock_guard<std::mutex> lock(m_lock);
            sink = m_sink;
            buffer = m_buffer;
            m_sink = nullptr;
            m_buffer = nullptr;
        }
        if (!sink) return;
        auto teardown = [sink, buffer] {
            sink->stop();
            delete sink;
            delete buffer;
        };
        if (QThread::currentThread() == sink->thread())
            teardown();
        else
            QMetaObject::invokeMethod(sink, teardown, Qt::QueuedConnection);
    }

private:
    std::mutex m_lock;   // Write (player thread) against Open/Close
    QAudioSink* m_sink = nullptr;
    CPcmBuffer* m_buffer = nullptr;
};

}   // namespace

KySdkAudioOutput* CreateQtAudioOutput() { return new CQtAudioOutput; }

#else

// Built without Qt Multimedia: listening is refused (KY_SDK_SetMute fails).
KySdkAudioOutput* CreateQtAudioOutput() { return nullptr; }

#endif

void InstallQtAudioOutput() { KY_SDK_SetAudioOutputFactory(&CreateQtAudioOutput); }
