#pragma once
// A small HTTP/1.1 server for many emulated cameras in one process: one epoll
// thread accepts, reads and writes every connection of every camera; request
// handlers that may block (CGI commands, file reads) run on an elastic worker
// pool and hand their reply back to the loop, so one slow command never
// stalls another connection or camera.
//
// The camera logic lives in a `Site` (one per listening port). The server
// knows nothing of routes; it delivers whatever `ReplyPlan` a site returns,
// including the misbehaviours that fault modes ask for (one byte at a time,
// cut in the middle, never answering, keeping the connection open).
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <unordered_map>
#include <vector>

#include "tools/kycam-emulator/HttpParse.h"

namespace emu {

struct ReplyPlan {
    std::string bytes;
    bool keepOpen = false;              // read further requests after this reply
    bool silent = false;                // never answer; hold the connection until the peer leaves
    int byteDelayMs = 0;                // > 0: write one byte per delay
    size_t cutAt = std::string::npos;   // close abruptly after this many bytes
    std::function<void()> afterSent;    // on the loop thread once the bytes are out
};

struct Action;

// Receives a request body as it arrives (on the loop thread).
class BodySink {
public:
    virtual ~BodySink() = default;
    virtual void Feed(std::string_view data) = 0;
    // complete: all Content-Length bytes arrived; false when the peer closed
    // or went quiet first.
    virtual Action Finish(bool complete) = 0;
};

struct Action {
    enum class Kind { Reply, Async, ReadBody, Drop };
    Kind kind = Kind::Reply;
    ReplyPlan reply;                   // Reply
    std::function<ReplyPlan()> work;   // Async: runs on a worker thread
    std::unique_ptr<BodySink> sink;    // ReadBody
    uint64_t bodyLength = 0;           // ReadBody
    bool sendContinue = false;         // ReadBody: "100 Continue" first

    static Action Reply(ReplyPlan p) {
        Action a;
        a.reply = std::move(p);
        return a;
    }
    static Action Async(std::function<ReplyPlan()> w) {
        Action a;
        a.kind = Kind::Async;
        a.work = std::move(w);
        return a;
    }
    static Action Body(std::unique_ptr<BodySink> s, uint64_t length, bool sendContinue) {
        Action a;
        a.kind = Kind::ReadBody;
        a.sink = std::move(s);
        a.bodyLength = length;
        a.sendContinue = sendContinue;
        return a;
    }
};

// One listening endpoint. Every callback runs on the loop thread.
class Site {
public:
    virtual ~Site() = default;
    // False closes the new connection at once (before reading anything).
    virtual bool OnAccept() { return true; }
    virtual Action OnRequest(const RequestHead& head) = 0;
    // A head that cannot be parsed or is over the limits; `status` is the
    // HTTP status to answer with (400, 414, 431, 505, 408, and 503 to a
    // connection that finds the server full).
    virtual ReplyPlan OnBadRequest(int status) = 0;
};

class HttpServer {
public:
    struct Limits {
        int headIdleMs = 15000;       // waiting for (the rest of) a request head
        int headTotalMs = 15000;      // a whole request head, however it trickles in
        int bodyIdleMs = 30000;       // waiting for body bytes
        int keepOpenIdleMs = 30000;   // kept-open connection without a new request
        int writeIdleMs = 60000;      // peer not reading
        int silentMs = 600000;        // silent fault: hold at most this long
        int drainMs = 2000;           // after our FIN, waiting for the peer to close
        int maxWorkers = 64;
        int workerIdleMs = 10000;   // an idle worker thread ends after this
    };

    HttpServer();
    explicit HttpServer(Limits limits);
    ~HttpServer();
    HttpServer(const HttpServer&) = delete;
    HttpServer& operator=(const HttpServer&) = delete;

    bool Start(std::string* error);
    // Closes every listener and connection, waits for running handlers.
    void Stop();

    // Binds addr:port (0 = any free port) for `site` and returns the bound
    // port, or -1 with *error. Callable before Start, on the loop thread or
    // from any other thread.
    int Listen(Site* site, const std::string& addr, int port, std::string* error);
    // Stops listening for `site` and closes its connections (except those
    // that have already sent their whole reply and are only closing).
    void CloseSite(Site* site);

    // Runs fn on the loop thread (after `ms`).
    void Post(std::function<void()> fn);
    void PostDelayed(int ms, std::function<void()> fn);
    bool InLoop() const;

    // Connections currently open and worker threads alive (for tests).
    size_t ConnectionCount() const { return connCount_.load(); }
    size_t WorkerCount() const;

private:
    struct Conn;
    struct Listener {
        int fd = -1;
        Site* site = nullptr;
    };
    struct Timer {
        int64_t when;
        uint64_t seq;
        std::function<void()> fn;
        bool operator>(const Timer& o) const { return when != o.when ? when > o.when : seq > o.seq; }
    };

    void RunLoop();
    void RunSync(const std::function<void()>& fn);
    void DrainPosted();
    void RunTimers();
    int NextTimeoutMs();
    void SweepIdle();
    void AddTimerInLoop(int ms, std::function<void()> fn);

    void OnListenerReady(uint64_t id);
    bool Full() const;
    bool EvictIdle(uint64_t newestId);
    void PauseAccepting(bool paused);
    void OnConnEvent(uint64_t id, uint32_t events);
    void ReadFrom(Conn& c);
    void Process(Conn& c);
    void HandleAction(Conn& c, Action a);
    void StartReply(Conn& c, ReplyPlan plan);
    void WriteSome(Conn& c);
    void ReplyDone(Conn& c);
    void SetEvents(Conn& c, uint32_t events);
    void CloseConn(uint64_t id);
    void Touch(Conn& c);

    void SubmitWork(std::function<void()> fn);
    void WorkerMain();
    void JoinRetiredWorkers();

    Limits limits_;
    int epfd_ = -1;
    int wakefd_ = -1;
    std::thread loop_;
    std::thread::id loopId_;
    std::atomic<bool> running_{false};
    std::atomic<bool> stopping_{false};
    uint64_t nextId_ = 1;

    std::unordered_map<uint64_t, Listener> listeners_;
    std::unordered_map<uint64_t, std::unique_ptr<Conn>> conns_;
    std::vector<std::unique_ptr<Conn>> dead_;   // closed this iteration, freed on the next
    std::atomic<size_t> connCount_{0};
    size_t maxConns_ = 0;    // from the descriptor limit, set by Start
    size_t rejecting_ = 0;   // connections being told 503
    bool acceptPaused_ = false;
    std::vector<Timer> timers_;   // min-heap on (when, seq)
    uint64_t timerSeq_ = 0;
    int64_t lastSweep_ = 0;

    std::mutex postMutex_;
    std::vector<std::function<void()>> posted_;

    mutable std::mutex poolMutex_;
    std::condition_variable poolCv_;
    std::deque<std::function<void()>> jobs_;
    std::vector<std::thread> workers_;
    std::vector<std::thread> retired_;   // ended after idling, not yet joined
    int idleWorkers_ = 0;
    bool poolStop_ = false;
};

// Milliseconds of a monotonic clock.
int64_t NowMs();

}   // namespace emu
