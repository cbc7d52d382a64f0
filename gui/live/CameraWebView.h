#pragma once
// Shows a page of the camera's own web server (SD-card listing, system log)
// and follows the links on it, but only to paths on the same camera. Pages
// are fetched on a worker thread with the credentials in an Authorization
// header; nothing the page names outside the camera (images, style sheets,
// other hosts, local files) is ever loaded. Recordings are not opened here:
// a click on one is handed to the owner (recordingClicked).
#include <QString>
#include <QTextBrowser>
#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "core/cgi/CameraWeb.h"

struct DeviceRecord;

// The connection values of a device record (port: the decimal port text).
CameraAddress CameraAddressOf(const DeviceRecord& device);

// English message key for a failed fetch or a reply that is not 200, or an
// empty text when the page arrived.
std::string CameraWebErrorKey(HttpFetchResult result, int status);

class CCameraWebView : public QTextBrowser {
    Q_OBJECT
public:
    static constexpr int kMaxRedirects = 5;
    static constexpr uint64_t kMaxPageBytes = 8u << 20;

    explicit CCameraWebView(QWidget* parent = nullptr);
    ~CCameraWebView() override;

    void SetCamera(const CameraAddress& camera);
    const CameraAddress& Camera() const { return m_camera; }

    // Fetches path from the camera and shows it; a fetch still running is
    // abandoned.
    void OpenPath(const QString& path);
    void Reload();
    // Empty page, no camera request pending.
    void ClearPage();

    // The path shown (or being fetched), "" when none.
    QString CurrentPath() const { return m_path; }
    bool IsLoading() const { return m_loading; }
    // Message key of the last failure, "" after a page arrived.
    QString LastError() const { return m_lastError; }
    // Whether failures are told through the presenter (on by default).
    void SetReportErrors(bool on) { m_reportErrors = on; }

    QVariant loadResource(int type, const QUrl& name) override;

public slots:
    // A link of the page shown: followed when it stays on the camera.
    void FollowLink(const QUrl& link);

signals:
    void pageLoaded(const QString& path);
    void loadFailed(const QString& path, const QString& errorKey);
    void recordingClicked(const QString& path);

private:
    struct Job;
    void Start(const std::string& path, int redirects);
    void Finish(const std::shared_ptr<Job>& job);
    void StopWorker();
    void ShowPage(const HttpPage& page);

    CameraAddress m_camera;
    QString m_path;
    QString m_lastError;
    bool m_loading = false;
    bool m_reportErrors = true;
    std::shared_ptr<Job> m_job;
    std::thread m_worker;
};
