#include "core/services/KyThread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>

namespace {

// Run blocks until released, so tests can look at a running worker.
class GatedThread : public CKyThread {
public:
    ~GatedThread() override { Join(); }
    unsigned Run() override {
        started.set_value(running.load());
        gate.get_future().wait();
        ++runs;
        return 0;
    }
    std::promise<int> started;
    std::promise<void> gate;
    std::atomic<int> runs{0};
};

// The running flag covers Run; a started worker is not started twice, a
// joined one starts again, and Join is harmless when nothing runs.
TEST(KyThread, RunningFlagStartAndJoin) {
    GatedThread t;
    ASSERT_EQ(t.Start(), 1);
    EXPECT_EQ(t.started.get_future().get(), 1);
    EXPECT_EQ(t.running, 1);
    EXPECT_EQ(t.Start(), 0);
    t.gate.set_value();
    t.Join();
    EXPECT_EQ(t.running, 0);
    t.started = {}, t.gate = {};
    ASSERT_EQ(t.Start(), 1);
    t.gate.set_value();
    t.Join();
    t.Join();
    EXPECT_EQ(t.runs, 2);
}

// The owner deletes the worker while Run is still going: delete waits.
TEST(KyThread, DeleteWaitsForRun) {
    std::promise<void> gate;
    std::atomic<bool> finished{false};
    struct Worker : CKyThread {
        Worker(std::shared_future<void> g, std::atomic<bool>& f) : gate(std::move(g)), done(f) {}
        ~Worker() override { Join(); }
        unsigned Run() override {
            gate.wait();
            done = true;
            return 0;
        }
        std::shared_future<void> gate;
        std::atomic<bool>& done;
    };
    auto* w = new Worker(gate.get_future().share(), finished);
    ASSERT_EQ(w->Start(), 1);
    gate.set_value();
    delete w;
    EXPECT_TRUE(finished);
}

// Signals once the worker thread has fully ended (after the thread
// procedure's last step), so a use after free shows under the sanitizers.
struct ExitSignal {
    std::promise<void>* target = nullptr;
    ~ExitSignal() {
        if (target) target->set_value();
    }
};
thread_local ExitSignal t_exitSignal;

TEST(KyThread, RunMayDeleteItsObject) {
    std::promise<void> destroyed;
    std::promise<void> threadEnded;
    struct SelfDeleting : CKyThread {
        explicit SelfDeleting(std::promise<void>& d) : onDestroy(d) {}
        ~SelfDeleting() override { onDestroy.set_value(); }
        unsigned Run() override {
            t_exitSignal.target = ended;
            delete this;
            return 0;
        }
        std::promise<void>& onDestroy;
        std::promise<void>* ended = nullptr;
    };
    auto* w = new SelfDeleting(destroyed);
    w->ended = &threadEnded;
    ASSERT_EQ(w->Start(), 1);
    destroyed.get_future().wait();
    threadEnded.get_future().wait();
}

TEST(KyThread, DetachedWorkerMayBeDeletedByTheReceiver) {
    std::promise<CKyThread*> handedOver;
    std::promise<void> threadEnded;
    std::promise<void> deleted;
    struct Poster : CKyThread {
        unsigned Run() override {
            t_exitSignal.target = ended;
            std::promise<void>* mayFinish = del;   // the object is gone after the hand-over
            DetachSelf();
            out->set_value(this);   // like posting "done" with the pointer
            mayFinish->get_future().wait();
            return 0;
        }
        std::promise<CKyThread*>* out = nullptr;
        std::promise<void>* ended = nullptr;
        std::promise<void>* del = nullptr;
    };
    auto* w = new Poster;
    w->out = &handedOver;
    w->ended = &threadEnded;
    w->del = &deleted;
    ASSERT_EQ(w->Start(), 1);
    CKyThread* received = handedOver.get_future().get();
    delete received;   // must not wait for the worker, nor be touched by it later
    deleted.set_value();
    threadEnded.get_future().wait();
}

}   // namespace
