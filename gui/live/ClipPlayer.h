#pragma once
// Plays one recording from the camera's SD card. A worker thread downloads
// the file with the camera web fetcher (credentials in a header) into a
// private temporary file, then decodes its video with FFmpeg at the clip's
// own pace into QImages. The GUI thread takes the latest frame when told
// (frameReady). Stop() returns only after the worker has ended, and ends it
// at once: the download and every wait watch the stop flag.
#include <QImage>
#include <QObject>
#include <QString>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <thread>

#include "core/cgi/CameraWeb.h"

class CClipPlayer : public QObject {
    Q_OBJECT
public:
    static constexpr uint64_t kMaxClipBytes = 4ull << 30;

    explicit CClipPlayer(QObject* parent = nullptr);
    ~CClipPlayer() override;

    // Stops what runs and plays path from the camera; the same clip played
    // again is not downloaded again. Returns the new session number that the
    // signals carry.
    int Play(const CameraAddress& camera, const std::string& path);
    void SetPaused(bool paused);
    void Seek(qint64 ms);
    void Stop();

    bool IsRunning() const { return m_running; }
    bool IsPaused() const { return m_paused; }
    int Session() const { return m_session; }
    QImage LatestFrame() const;
    int FramesShown() const { return m_framesShown; }
    // The downloaded copy of the last clip ("" when none is kept).
    std::string CachedFile() const;

signals:
    void downloadProgress(int session, qint64 received, qint64 total);
    void opened(int session, qint64 durationMs);
    void frameReady(int session);
    void positionChanged(int session, qint64 ms);
    // The clip ended (errorKey "") or could not be played. Not sent after Stop().
    void finished(int session, const QString& errorKey);

private:
    void Run(int session, CameraAddress camera, std::string path, std::string cached);
    std::string Download(int session, const CameraAddress& camera, const std::string& path, std::string* errorKey);
    std::string Decode(int session, const std::string& file);
    static int Interrupt(void* self);
    void DropCache();

    std::thread m_worker;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_paused{false};
    std::atomic<int64_t> m_seekMs{-1};
    mutable std::atomic<bool> m_framePending{false};   // a frameReady not yet taken
    std::atomic<int> m_framesShown{0};
    int m_session = 0;

    mutable std::mutex m_mutex;   // frame, cache and the wait below
    std::condition_variable m_wake;
    QImage m_frame;
    std::string m_cacheKey;
    std::string m_cacheFile;
};
