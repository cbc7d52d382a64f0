#include "core/discovery/UGDThread.h"

#include <chrono>
#include <cstring>
#include <thread>

#include "core/cgi/CgiClient.h"
#include "core/services/FieldText.h"
#include "core/services/Trace.h"

std::atomic<int> UpgradeRunning{0};

CUGDThread::CUGDThread(const UpgradeTask& task, const DeviceRecord& device) : m_task(task), m_device(device) {
    UpgradeRunning.exchange(1);
}

CUGDThread::~CUGDThread() {
    Join();
    UpgradeRunning.exchange(0);
}

unsigned CUGDThread::Run() {
    const UpgradeTask task = m_task;
    if (ky::FieldText(m_device.info.deviceId).empty()) IdentifyByAddress();
    const auto start = std::chrono::steady_clock::now();
    CCgiClient client;
    const int uploaded = client.UploadFile(task);
    KY_TRACE(
        "Line-%d Upload took %lld ms\n", __LINE__,
        static_cast<long long>(
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count()));
    int result = kUploadFailed;
    if (uploaded == 0) result = WaitForReturn(task) ? kConfirmed : kNotConfirmed;
    // A copy: onEnd may delete this object.
    if (const auto end = onEnd) end(result, this);
    return 0;
}

// A camera opened by address, not picked from the device list, has no
// identifier, MAC or version to recognise it by after its restart: ask the LAN
// who answers at its address before the upload changes anything.
void CUGDThread::IdentifyByAddress() {
    const std::string ip(ky::FieldText(m_device.info.ip));
    const std::string port(ky::FieldText(m_device.info.httpPort));
    if (ip.empty()) return;
    ky::DeviceFinder finder(finderOptions);
    if (finder.Open() != 0) return;
    DeviceInfo found{};
    if (finder.WaitFor(
            [&](const DeviceInfo& d) {
                return ky::FieldText(d.ip) == ip && (port.empty() || ky::FieldText(d.httpPort) == port);
            },
            &found)) {
        KY_TRACE("Line-%d Upgrading %s, found as %s\n", __LINE__, ip.c_str(),
                 std::string(ky::FieldText(found.deviceId)).c_str());
        m_device.info = found;
    }
}

bool CUGDThread::WaitForReturn(const UpgradeTask& task) {
    KY_TRACE("Line-%d Waiting for the end of upgrade and restart!\n", __LINE__);
    auto report = [&](int value) {
        if (task.progress) task.progress(task.context, value, task.userData);
    };
    ky::DeviceFinder finder(finderOptions);
    finder.Open();
    const auto start = std::chrono::steady_clock::now();
    const std::string id(ky::FieldText(m_device.info.deviceId));
    int last = -1;
    for (int pass = 1;; ++pass) {
        std::this_thread::sleep_for(std::chrono::milliseconds(limits.passMs));
        const auto elapsed =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        // Out of time: 100 all the same, the caller says it was not confirmed.
        if (pass >= limits.maxPasses || elapsed.count() >= limits.maxMs) {
            report(100);
            return false;
        }
        DeviceInfo found{};
        if (pass >= limits.firstLookPass && finder.Wait(id.c_str(), &found) &&
            ky::FieldText(found.mac) == ky::FieldText(m_device.info.mac) &&
            (ky::FieldText(found.version) != ky::FieldText(m_device.info.version) ||
             ky::FieldText(found.ip) != ky::FieldText(m_device.info.ip))) {
            std::this_thread::sleep_for(std::chrono::milliseconds(limits.passMs));
            report(100);
            return true;
        }
        const int value = pass / 3 + 50;
        if (value != last) report(last = value);
    }
}
