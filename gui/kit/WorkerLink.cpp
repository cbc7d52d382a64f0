#include "gui/kit/WorkerLink.h"

#include <QMetaObject>
#include <QThreadPool>
#include <utility>

CWorkerLink::CWorkerLink(QObject* owner) : m_state(std::make_shared<State>()) { m_state->owner = owner; }

CWorkerLink::~CWorkerLink() { Cut(); }

void CWorkerLink::Cut() {
    std::lock_guard lock(m_state->lock);
    m_state->owner = nullptr;
}

void CWorkerLink::Start(QThreadPool& pool, Work work) const {
    pool.start([state = m_state, work = std::move(work)] {
        Done done = work();
        if (!done) return;
        // Posted under the lock: the owner cannot finish cutting meanwhile,
        // and Qt drops what is still queued for an object it deletes.
        std::lock_guard lock(state->lock);
        if (state->owner) QMetaObject::invokeMethod(state->owner, std::move(done), Qt::QueuedConnection);
    });
}
