#include "gui/live/CameraWebView.h"

#include <QApplication>
#include <QMetaObject>
#include <QUrl>
#include <cstdlib>
#include <cstring>

#include "core/services/Utf8.h"
#include "gui/kit/MessagePresenter.h"
#include "core/discovery/SearchProto.h"
#include "core/services/FieldText.h"

namespace {

bool IsRedirect(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::string LowerAscii(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

}   // namespace

CameraAddress CameraAddressOf(const DeviceRecord& device) {
    CameraAddress a;
    a.ip = ky::FieldText(device.info.ip);
    const std::string port(ky::FieldText(device.info.httpPort));
    const long v = std::atol(port.c_str());
    a.port = static_cast<uint16_t>(v > 0 && v <= 65535 ? v : 80);
    a.user = ky::FieldText(device.user);
    a.password = ky::FieldText(device.password);
    return a;
}

std::string CameraWebErrorKey(HttpFetchResult result, int status) {
    switch (result) {
        case HttpFetchResult::Ok: break;
        case HttpFetchResult::Cancelled: return {};
        case HttpFetchResult::Connect:
        case HttpFetchResult::Send: return "Failed to connect to the camera!";
        case HttpFetchResult::TimedOut: return "The camera did not answer in time!";
        case HttpFetchResult::TooLarge: return "The camera's page is too large to show!";
        case HttpFetchResult::Malformed: return "The camera's reply cannot be read!";
        case HttpFetchResult::BadRequest: return "The camera address cannot be opened!";
    }
    if (status == 200) return {};
    if (status == 401 || status == 403) return "The camera rejected the user name or password!";
    if (status == 404) return "The camera has no such page (is an SD card inserted?)";
    return "The camera could not show this page!";
}

struct CCameraWebView::Job {
    CameraAddress camera;
    std::string path;
    int redirects = 0;
    std::atomic<bool> cancel{false};
    HttpFetchResult result = HttpFetchResult::Cancelled;
    HttpPage page;
};

CCameraWebView::CCameraWebView(QWidget* parent) : QTextBrowser(parent) {
    // Links are judged and followed by FollowLink alone.
    setOpenLinks(false);
    setOpenExternalLinks(false);
    connect(this, &QTextBrowser::anchorClicked, this, &CCameraWebView::FollowLink);
}

CCameraWebView::~CCameraWebView() { StopWorker(); }

void CCameraWebView::SetCamera(const CameraAddress& camera) { m_camera = camera; }

void CCameraWebView::OpenPath(const QString& path) { Start(path.toStdString(), 0); }

void CCameraWebView::Reload() {
    if (!m_path.isEmpty()) Start(m_path.toStdString(), 0);
}

void CCameraWebView::ClearPage() {
    StopWorker();
    m_loading = false;
    m_path.clear();
    m_lastError.clear();
    clear();
}

QVariant CCameraWebView::loadResource(int /*type*/, const QUrl& /*name*/) {
    // Camera pages may name images, style sheets or local files; none is
    // loaded, so a page can never make the tool read anything else.
    return {};
}

void CCameraWebView::FollowLink(const QUrl& link) {
    const std::string href = link.toEncoded().toStdString();
    auto path = ResolveCameraLink(m_path.isEmpty() ? "/" : m_path.toStdString(), href, m_camera.ip, m_camera.port);
    if (!path) return;   // leaves the camera: never followed
    if (IsRecordingPath(*path)) {
        emit recordingClicked(QString::fromStdString(*path));
        return;
    }
    Start(*path, 0);
}

void CCameraWebView::StopWorker() {
    if (m_job) m_job->cancel = true;
    if (m_worker.joinable()) m_worker.join();
    m_job.reset();
}

void CCameraWebView::Start(const std::string& path, int redirects) {
    StopWorker();
    m_path = QString::fromStdString(path);
    m_loading = true;
    auto job = std::make_shared<Job>();
    job->camera = m_camera;
    job->path = path;
    job->redirects = redirects;
    m_job = job;
    m_worker = std::thread([this, job] {
        HttpFetchOptions options;
        options.connectTimeoutMs = 1000;
        options.idleTimeoutMs = 5000;
        options.totalTimeoutMs = 30000;
        options.maxBodyBytes = kMaxPageBytes;
        options.cancel = &job->cancel;
        job->result = CHttpFetch::Get(job->camera.ip, job->camera.port, job->camera.user, job->camera.password,
                                      job->path, options, &job->page);
        // Dropped by Qt when the view is gone; the view joins this thread first.
        QMetaObject::invokeMethod(
            this, [this, job] { Finish(job); }, Qt::QueuedConnection);
    });
}

void CCameraWebView::Finish(const std::shared_ptr<Job>& job) {
    if (job != m_job) return;   // a later request replaced it
    if (m_worker.joinable()) m_worker.join();
    m_job.reset();
    m_loading = false;

    const HttpPage& page = job->page;
    if (job->result == HttpFetchResult::Ok && IsRedirect(page.status)) {
        auto target = ResolveCameraLink(job->path, page.Header("Location"), m_camera.ip, m_camera.port);
        if (target && job->redirects < kMaxRedirects && !IsRecordingPath(*target)) {
            Start(*target, job->redirects + 1);
            return;
        }
    }
    const std::string key = CameraWebErrorKey(job->result, page.status);
    if (job->result == HttpFetchResult::Cancelled) return;
    if (!key.empty()) {
        m_lastError = QString::fromStdString(key);
        emit loadFailed(m_path, m_lastError);
        if (m_reportErrors) KyError(window(), key);
        return;
    }
    const std::string type = LowerAscii(page.ContentType());
    if (!type.empty() && type.compare(0, 5, "text/") != 0) {
        m_lastError = QStringLiteral("The camera sent a file that cannot be shown here!");
        emit loadFailed(m_path, m_lastError);
        if (m_reportErrors) KyError(window(), m_lastError.toStdString());
        return;
    }
    m_lastError.clear();
    ShowPage(page);
    emit pageLoaded(m_path);
}

void CCameraWebView::ShowPage(const HttpPage& page) {
    const std::string type = LowerAscii(page.ContentType());
    const QString text = QString::fromStdString(ky::Utf8Repair(page.body));
    bool html = type.find("text/html") != std::string::npos;
    if (type.empty()) html = LowerAscii(page.body.substr(0, 512)).find("<html") != std::string::npos;
    if (html)
        setHtml(text);
    else
        setPlainText(text);
}
