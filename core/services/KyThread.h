#pragma once
// Worker-thread base (snapshots, firmware upload). Start() runs Run() on a
// new thread. Ownership rules, so that no thread outlives what it uses:
// - The owner deletes the object, or Run deletes it as its last act
//   (`delete this`); both are safe. Deleting from another thread waits for
//   Run to return (a worker that posts "done" with its pointer as the last
//   thing in Run is therefore deleted promptly by the receiver).
// - A subclass whose Run uses its own members while the owner might delete
//   the object must call Join() in its own destructor: the base destructor
//   runs after the subclass members are gone.
#include <atomic>
#include <mutex>
#include <thread>

class CKyThread {
public:
    CKyThread() = default;
    virtual ~CKyThread();
    CKyThread(const CKyThread&) = delete;
    CKyThread& operator=(const CKyThread&) = delete;

    // 1 when the thread was started, 0 when it could not be created or a
    // thread of this object was started and has not been joined yet.
    int Start();

    // Waits for Run to return; no effect on the worker itself or when nothing
    // was started.
    void Join();

    // Called from Run only: the worker stops being joinable and will not touch
    // the object after Run returns, so the object may be deleted at any time
    // from then on (by Run itself or by whoever it hands the pointer to).
    void DetachSelf();

    // The thread body; the base does nothing.
    virtual unsigned Run() { return 0; }

    // 1 from Start until Run returns.
    std::atomic<int> running{0};
    // Opaque receiver of the worker's notifications, set by the owner before
    // Start (the GUI stores the page's QObject* here).
    void* notifyTarget = nullptr;

private:
    static void ThreadProc(CKyThread* self);

    std::thread m_thread;
    std::mutex m_startLock;   // held by Start until m_thread is assigned
};
