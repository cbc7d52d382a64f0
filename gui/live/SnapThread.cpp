#include "gui/live/SnapThread.h"

#include <QCoreApplication>
#include <QObject>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "gui/kit/AppEvents.h"
#include "core/services/FieldText.h"
#include "core/services/LangText.h"
#include "core/services/Settings.h"
#include "core/services/Trace.h"

namespace {

std::atomic<int> g_snapCounter{0};

}   // namespace

void ResetSnapCounter() { g_snapCounter = 0; }

int NextSnapCounter() { return g_snapCounter.fetch_add(1); }

std::string SnapFileName(const std::tm& t, int counter) {
    char name[96];
    std::snprintf(name, sizeof name, "Snap_%04d%02d%02d-%02d%02d%02d_%d.jpg", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
                  t.tm_hour, t.tm_min, t.tm_sec, counter);
    return name;
}

std::string RecFileName(const std::tm& t) {
    char name[96];
    std::snprintf(name, sizeof name, "RecFile_%04d%02d%02d-%02d%02d%02d.avi", t.tm_year + 1900, t.tm_mon + 1, t.tm_mday,
                  t.tm_hour, t.tm_min, t.tm_sec);
    return name;
}

std::tm LocalNow() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return local;
}

std::string CameraFolderName(const char* ip) {
    std::string name(ky::FieldText(ip, sizeof(DeviceInfo::ip)));
    for (char& c : name)
        if (c == '/' || c == '\\') c = '_';
    if (name.empty() || name == "." || name == "..") name = "_";
    return name;
}

std::string CameraFolder(const std::string& base, const char* ip) {
    std::string folder = base + "/" + CameraFolderName(ip);
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    // A folder that cannot be made is not reported here: the SDK call that
    // writes into it fails and reports.
    if (ec) KY_TRACE("Line-%d create folder [%s] failure: %s\n", __LINE__, folder.c_str(), ec.message().c_str());
    return folder;
}

CSnapThread::CSnapThread(QObject* owner, const DeviceRecord& device, KY_HANDLE handle)
    : m_device(device), m_handle(handle) {
    notifyTarget = owner;
}

CSnapThread::~CSnapThread() {
    // Run uses the members until it has posted its event.
    Join();
}

unsigned CSnapThread::Run() {
    if (m_handle > 0) {
        const std::string folder = CameraFolder(GetSnapDir(), m_device.info.ip);
        m_path = folder + "/" + SnapFileName(LocalNow(), NextSnapCounter());
        if (KY_SDK_CaptureJPEGPicture(m_handle, m_path.c_str()) < 0) {
            KY_TRACE("Line-%d capture [%s] failure\n", __LINE__, m_path.c_str());
            m_result = GetLangText("Capture failed");
        }
    }
    if (auto* owner = static_cast<QObject*>(notifyTarget)) QCoreApplication::postEvent(owner, new CSnapDoneEvent(this));
    return 0;
}

CSnapDoneEvent::CSnapDoneEvent(CSnapThread* worker) : QEvent(ky::msg::Type(ky::msg::kSnapDone)), m_worker(worker) {}
