#pragma once
// The firmware upgrade worker: uploads the package, then watches the LAN
// until the camera answers again with other firmware or another address, or
// a time limit passes. Progress goes through the task's callback; the end
// through onEnd, the last thing Run does.
#include <atomic>
#include <functional>
#include <memory>

#include "core/cgi/Upgrade.h"
#include "core/discovery/DeviceFinder.h"
#include "core/discovery/SearchProto.h"
#include "core/services/KyThread.h"

// 1 while any CUGDThread exists in the process.
extern std::atomic<int> UpgradeRunning;

class CUGDThread : public CKyThread {
public:
    // Results handed to onEnd.
    static constexpr int kConfirmed = 0;   // uploaded, and the camera came back changed
    static constexpr int kUploadFailed = -1;
    static constexpr int kNotConfirmed = 1;   // uploaded, but the camera's return was not seen

    struct Limits {
        int passMs = 1000;        // one pass of the wait
        int firstLookPass = 36;   // the camera needs about this long to restart
        int maxPasses = 150;
        int maxMs = 180000;
    };

    CUGDThread(const UpgradeTask& task, const DeviceRecord& device);
    ~CUGDThread() override;

    unsigned Run() override;

    // Called on the worker as its last act, with the result and the worker.
    std::function<void(int result, CUGDThread* self)> onEnd;
    // Kept alive for as long as the worker runs (what task.userData points to).
    std::shared_ptr<void> keepAlive;
    // Shorter limits for tests; the product keeps the defaults.
    Limits limits;
    ky::DeviceFinder::Options finderOptions;

private:
    void IdentifyByAddress();
    bool WaitForReturn(const UpgradeTask& task);

    UpgradeTask m_task;
    DeviceRecord m_device;
};
