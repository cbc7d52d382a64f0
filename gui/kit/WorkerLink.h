#pragma once
// Work on a worker thread whose result goes back to a window-thread object
// by a queued call, and never reaches it once the object is gone. The
// object owns a CWorkerLink and cuts it first thing in its destructor; the
// workers hold the link's state, which may outlive the object. A result
// that is not delivered is destroyed unrun, so what it owns is released by
// its destructor.
#include <QObject>
#include <functional>
#include <memory>
#include <mutex>

class QThreadPool;

class CWorkerLink {
public:
    // Runs on the owner's thread with what the worker found.
    using Done = std::function<void()>;
    // Runs on a worker: no widget, no member of the owner.
    using Work = std::function<Done()>;

    explicit CWorkerLink(QObject* owner);
    ~CWorkerLink();
    CWorkerLink(const CWorkerLink&) = delete;
    CWorkerLink& operator=(const CWorkerLink&) = delete;

    // Runs work on pool and queues the function it returns to the owner
    // (nothing when it returns none).
    void Start(QThreadPool& pool, Work work) const;
    // Nothing started earlier reaches the owner after this.
    void Cut();

private:
    struct State {
        std::mutex lock;
        QObject* owner = nullptr;
    };
    std::shared_ptr<State> m_state;
};
