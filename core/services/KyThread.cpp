#include "core/services/KyThread.h"

#include <exception>

#include "core/services/Trace.h"

namespace {
// The object the current worker runs, cleared when that object detaches or
// is deleted on its own thread.
thread_local CKyThread* t_current = nullptr;
}   // namespace

CKyThread::~CKyThread() {
    if (!m_thread.joinable()) return;
    if (m_thread.get_id() == std::this_thread::get_id())
        DetachSelf();   // deleted by its own Run
    else
        m_thread.join();
}

int CKyThread::Start() {
    std::lock_guard<std::mutex> lock(m_startLock);
    if (m_thread.joinable()) return 0;
    running = 1;
    try {
        m_thread = std::thread(&CKyThread::ThreadProc, this);
    } catch (const std::exception& e) {   // std::system_error, std::bad_alloc
        running = 0;
        KY_TRACE("Line-%d start thread failure: %s\n", __LINE__, e.what());
        return 0;
    }
    return 1;
}

void CKyThread::Join() {
    if (m_thread.joinable() && m_thread.get_id() != std::this_thread::get_id()) m_thread.join();
}

void CKyThread::DetachSelf() {
    if (t_current != this) return;
    t_current = nullptr;
    if (m_thread.joinable()) m_thread.detach();
}

void CKyThread::ThreadProc(CKyThread* self) {
    // Wait until Start has stored the thread, so Run may delete the object.
    { std::lock_guard<std::mutex> lock(self->m_startLock); }
    t_current = self;
    self->Run();
    if (t_current == self) {
        t_current = nullptr;
        self->running = 0;
    }
}
