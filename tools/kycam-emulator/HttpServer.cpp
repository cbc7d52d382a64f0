#include "tools/kycam-emulator/HttpServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <future>

namespace emu {

int64_t NowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

struct HttpServer::Conn {
    enum class St { Head, Body, Working, Writing, Draining, Silent };
    uint64_t id = 0;
    int fd = -1;
    Site* site = nullptr;
    St st = St::Head;
    bool kept = false;   // waiting for a further request on a kept-open connection
    bool peerEof = false;
    bool closed = false;
    uint32_t events = 0;
    int64_t lastActive = 0;
    int64_t headStart = 0;   // first byte of the request head being read
    int64_t silentSince = 0;
    bool rejected = false;   // told 503: the server was full
    std::string in;
    std::unique_ptr<BodySink> sink;
    uint64_t bodyLeft = 0;
    ReplyPlan plan;
    size_t sent = 0;
};

namespace {
constexpr uint64_t kWakeId = 0;
constexpr size_t kReadChunk = 16384;
// Descriptors kept for everything but connections: listeners come on top,
// then event descriptors, state and media files, the RTSP side.
constexpr size_t kSpareFds = 64;
// Connections being told 503 at once; past that accepting pauses.
constexpr size_t kMaxRejecting = 16;
}   // namespace

HttpServer::HttpServer() : HttpServer(Limits{}) {}

HttpServer::HttpServer(Limits limits) : limits_(limits) {
    epfd_ = ::epoll_create1(EPOLL_CLOEXEC);
    wakefd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (epfd_ >= 0 && wakefd_ >= 0) {
        epoll_event ev{};
        ev.events = EPOLLIN;
        ev.data.u64 = kWakeId;
        ::epoll_ctl(epfd_, EPOLL_CTL_ADD, wakefd_, &ev);
    }
}

HttpServer::~HttpServer() {
    Stop();
    for (auto& [id, l] : listeners_) ::close(l.fd);
    listeners_.clear();
    if (wakefd_ >= 0) ::close(wakefd_);
    if (epfd_ >= 0) ::close(epfd_);
}

bool HttpServer::Start(std::string* error) {
    if (epfd_ < 0 || wakefd_ < 0) {
        if (error) *error = std::string("epoll/eventfd: ") + std::strerror(errno);
        return false;
    }
    if (running_) return true;
    rlimit files{};
    maxConns_ = SIZE_MAX;
    if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur != RLIM_INFINITY)
        maxConns_ = files.rlim_cur > 2 * kSpareFds ? files.rlim_cur - kSpareFds : files.rlim_cur / 2;
    {
        std::lock_guard<std::mutex> lock(poolMutex_);
        poolStop_ = false;
    }
    stopping_ = false;
    running_ = true;
    loop_ = std::thread([this] { RunLoop(); });
    return true;
}

void HttpServer::Stop() {
    if (running_) {
        stopping_ = true;
        uint64_t one = 1;
        ssize_t r = ::write(wakefd_, &one, sizeof one);
        (void)r;
        if (loop_.joinable()) loop_.join();
        running_ = false;
    }
    {
        std::lock_guard<std::mutex> lock(poolMutex_);
        poolStop_ = true;
        jobs_.clear();
    }
    poolCv_.notify_all();
    for (auto& t : workers_)
        if (t.joinable()) t.join();
    workers_.clear();
    JoinRetiredWorkers();
    std::lock_guard<std::mutex> lock(postMutex_);
    posted_.clear();
}

bool HttpServer::InLoop() const { return std::this_thread::get_id() == loopId_; }

void HttpServer::Post(std::function<void()> fn) {
    bool wake;
    {
        std::lock_guard<std::mutex> lock(postMutex_);
        wake = posted_.empty();
        posted_.push_back(std::move(fn));
    }
    if (wake) {
        uint64_t one = 1;
        ssize_t r = ::write(wakefd_, &one, sizeof one);
        (void)r;
    }
}

void HttpServer::PostDelayed(int ms, std::function<void()> fn) {
    if (InLoop()) {
        AddTimerInLoop(ms, std::move(fn));
        return;
    }
    Post([this, ms, fn = std::move(fn)]() mutable { AddTimerInLoop(ms, std::move(fn)); });
}

void HttpServer::AddTimerInLoop(int ms, std::function<void()> fn) {
    timers_.push_back(Timer{NowMs() + std::max(ms, 0), ++timerSeq_, std::move(fn)});
    std::push_heap(timers_.begin(), timers_.end(), std::greater<Timer>());
}

void HttpServer::RunSync(const std::function<void()>& fn) {
    if (!running_ || InLoop()) {
        fn();
        return;
    }
    std::promise<void> done;
    auto fut = done.get_future();
    Post([&] {
        fn();
        done.set_value();
    });
    fut.wait();
}

int HttpServer::Listen(Site* site, const std::string& addr, int port, std::string* error) {
    auto fail = [error](const std::string& what, int fd) {
        if (error) *error = what + ": " + std::strerror(errno);
        if (fd >= 0) ::close(fd);
        return -1;
    };
    if (port < 0 || port > 65535) {
        errno = EINVAL;
        return fail("port", -1);
    }
    sockaddr_storage ss{};
    socklen_t len;
    int family;
    if (addr.find(':') != std::string::npos) {
        auto* a6 = reinterpret_cast<sockaddr_in6*>(&ss);
        a6->sin6_family = AF_INET6;
        a6->sin6_port = htons(uint16_t(port));
        if (::inet_pton(AF_INET6, addr.c_str(), &a6->sin6_addr) != 1) {
            errno = EINVAL;
            return fail("bad address " + addr, -1);
        }
        len = sizeof(sockaddr_in6);
        family = AF_INET6;
    } else {
        auto* a4 = reinterpret_cast<sockaddr_in*>(&ss);
        a4->sin_family = AF_INET;
        a4->sin_port = htons(uint16_t(port));
        if (::inet_pton(AF_INET, addr.c_str(), &a4->sin_addr) != 1) {
            errno = EINVAL;
            return fail("bad address " + addr, -1);
        }
        len = sizeof(sockaddr_in);
        family = AF_INET;
    }
    int fd = ::socket(family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) return fail("socket", -1);
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (family == AF_INET6) ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &one, sizeof one);
    if (::bind(fd, reinterpret_cast<sockaddr*>(&ss), len) != 0)
        return fail("bind " + addr + ":" + std::to_string(port), fd);
    if (::listen(fd, 1024) != 0) return fail("listen", fd);
    sockaddr_storage bound{};
    socklen_t blen = sizeof bound;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &blen);
    int actual = family == AF_INET6 ? ntohs(reinterpret_cast<sockaddr_in6*>(&bound)->sin6_port)
                                    : ntohs(reinterpret_cast<sockaddr_in*>(&bound)->sin_port);
    RunSync([&] {
        uint64_t id = nextId_++;
        listeners_[id] = Listener{fd, site};
        epoll_event ev{};
        ev.events = EPOLLIN;
        ev.data.u64 = id;
        ::epoll_ctl(epfd_, EPOLL_CTL_ADD, fd, &ev);
    });
    return actual;
}

void HttpServer::CloseSite(Site* site) {
    RunSync([&] {
        for (auto it = listeners_.begin(); it != listeners_.end();) {
            if (it->second.site == site) {
                ::epoll_ctl(epfd_, EPOLL_CTL_DEL, it->second.fd, nullptr);
                ::close(it->second.fd);
                it = listeners_.erase(it);
            } else {
                ++it;
            }
        }
        std::vector<uint64_t> ids;
        for (auto& [id, c] : conns_)
            if (c->site == site && c->st != Conn::St::Draining) ids.push_back(id);
        for (uint64_t id : ids) CloseConn(id);
    });
}

// ---- loop -----------------------------------------------------------------

void HttpServer::RunLoop() {
    loopId_ = std::this_thread::get_id();
    std::vector<epoll_event> events(256);
    while (!stopping_) {
        dead_.clear();
        int n = ::epoll_wait(epfd_, events.data(), int(events.size()), NextTimeoutMs());
        for (int i = 0; i < n; ++i) {
            uint64_t id = events[i].data.u64;
            if (id == kWakeId) {
                uint64_t v;
                while (::read(wakefd_, &v, sizeof v) > 0) {}
            } else if (listeners_.count(id)) {
                OnListenerReady(id);
            } else {
                OnConnEvent(id, events[i].events);
            }
        }
        DrainPosted();
        RunTimers();
        int64_t now = NowMs();
        if (now - lastSweep_ >= 250) {
            lastSweep_ = now;
            SweepIdle();
        }
    }
    std::vector<uint64_t> ids;
    for (auto& [id, c] : conns_) ids.push_back(id);
    for (uint64_t id : ids) CloseConn(id);
    for (auto& [id, l] : listeners_) {
        ::epoll_ctl(epfd_, EPOLL_CTL_DEL, l.fd, nullptr);
        ::close(l.fd);
    }
    listeners_.clear();
    timers_.clear();
    dead_.clear();
    loopId_ = std::thread::id();
}

void HttpServer::DrainPosted() {
    std::vector<std::function<void()>> batch;
    {
        std::lock_guard<std::mutex> lock(postMutex_);
        batch.swap(posted_);
    }
    for (auto& fn : batch) fn();
}

void HttpServer::RunTimers() {
    int64_t now = NowMs();
    while (!timers_.empty() && timers_.front().when <= now) {
        std::pop_heap(timers_.begin(), timers_.end(), std::greater<Timer>());
        Timer t = std::move(timers_.back());
        timers_.pop_back();
        t.fn();
    }
}

int HttpServer::NextTimeoutMs() {
    int64_t wait = 250;
    {
        std::lock_guard<std::mutex> lock(postMutex_);
        if (!posted_.empty()) return 0;
    }
    if (!timers_.empty()) wait = std::min<int64_t>(wait, timers_.front().when - NowMs());
    return int(std::max<int64_t>(wait, 0));
}

void HttpServer::SweepIdle() {
    // Descriptors may have been freed elsewhere in the process.
    PauseAccepting(false);
    JoinRetiredWorkers();
    int64_t now = NowMs();
    std::vector<uint64_t> expired;
    for (auto& [id, c] : conns_) {
        int64_t idle = now - c->lastActive;
        switch (c->st) {
            case Conn::St::Head:
                // A head that has begun must end in time, however slowly
                // its bytes keep coming.
                if (c->in.empty() ? idle > (c->kept ? limits_.keepOpenIdleMs : limits_.headIdleMs)
                                  : idle > limits_.headIdleMs || now - c->headStart > limits_.headTotalMs)
                    expired.push_back(id);
                break;
            case Conn::St::Body:
                if (idle > limits_.bodyIdleMs) expired.push_back(id);
                break;
            case Conn::St::Writing:
                if (idle > limits_.writeIdleMs) expired.push_back(id);
                break;
            case Conn::St::Draining:
                if (idle > limits_.drainMs) expired.push_back(id);
                break;
            case Conn::St::Silent:
                if (now - c->silentSince > limits_.silentMs) expired.push_back(id);
                break;
            case Conn::St::Working: break;
        }
    }
    for (uint64_t id : expired) {
        auto it = conns_.find(id);
        if (it == conns_.end()) continue;
        Conn& c = *it->second;
        if (c.st == Conn::St::Head && !c.in.empty() && !c.kept) {
            StartReply(c, c.site->OnBadRequest(408));
        } else if (c.st == Conn::St::Body) {
            auto sink = std::move(c.sink);
            c.st = Conn::St::Working;   // Finish may hand the reply to a worker
            HandleAction(c, sink->Finish(false));
        } else {
            CloseConn(id);
        }
    }
}

bool HttpServer::Full() const { return conns_.size() + listeners_.size() >= maxConns_; }

bool HttpServer::EvictIdle(uint64_t newestId) {
    for (int tries = 0; tries < 8; ++tries) {
        Conn* oldest = nullptr;
        for (auto& [id, c] : conns_)
            if (id < newestId && c->st == Conn::St::Head && c->in.empty() &&
                (!oldest || c->lastActive < oldest->lastActive))
                oldest = c.get();
        if (!oldest) return false;
        char byte;
        if (::recv(oldest->fd, &byte, 1, MSG_PEEK | MSG_DONTWAIT) < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            CloseConn(oldest->id);
            return true;
        }
        // Its request (or its end) arrived meanwhile: take that instead.
        ReadFrom(*oldest);
        if (oldest->closed) return true;
    }
    return false;
}

void HttpServer::PauseAccepting(bool paused) {
    if (acceptPaused_ == paused) return;
    acceptPaused_ = paused;
    for (auto& [id, l] : listeners_) {
        epoll_event ev{};
        ev.events = paused ? 0u : uint32_t(EPOLLIN);
        ev.data.u64 = id;
        ::epoll_ctl(epfd_, EPOLL_CTL_MOD, l.fd, &ev);
    }
}

void HttpServer::OnListenerReady(uint64_t id) {
    // Connections accepted in this round get a chance to send before any of
    // them counts as idle.
    const uint64_t round = nextId_;
    for (int i = 0; i < 64; ++i) {
        auto it = listeners_.find(id);
        if (it == listeners_.end()) return;
        // When full, a newcomer takes the place of the connection that has
        // waited longest without sending anything, or is told 503.
        const bool reject = Full() && !EvictIdle(round);
        if (reject && rejecting_ >= kMaxRejecting) {
            PauseAccepting(true);   // until a connection closes
            return;
        }
        int fd = ::accept4(it->second.fd, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd < 0) {
            if (errno == EINTR || errno == ECONNABORTED) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) return;
            // Out of descriptors, held elsewhere in the process: the listener
            // stays readable, so trying again at once would spin.
            if (EvictIdle(round)) continue;
            PauseAccepting(true);
            return;
        }
        Site* site = it->second.site;
        if (!reject && !site->OnAccept()) {
            ::close(fd);
            continue;
        }
        int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        auto c = std::make_unique<Conn>();
        c->id = nextId_++;
        c->fd = fd;
        c->site = site;
        c->lastActive = NowMs();
        c->events = EPOLLIN | EPOLLRDHUP;
        epoll_event ev{};
        ev.events = c->events;
        ev.data.u64 = c->id;
        if (::epoll_ctl(epfd_, EPOLL_CTL_ADD, fd, &ev) != 0) {
            ::close(fd);
            continue;
        }
        Conn& conn = *c;
        conns_[c->id] = std::move(c);
        ++connCount_;
        if (reject) {
            conn.rejected = true;
            ++rejecting_;
            StartReply(conn, site->OnBadRequest(503));
        } else {
            ReadFrom(conn);   // a request already waiting no longer looks idle
        }
    }
}

void HttpServer::OnConnEvent(uint64_t id, uint32_t events) {
    auto it = conns_.find(id);
    if (it == conns_.end()) return;
    Conn& c = *it->second;
    if (events & EPOLLERR) {
        CloseConn(id);
        return;
    }
    if (c.st == Conn::St::Working) {
        // Not reading while a handler runs; a peer that went away entirely
        // makes the reply pointless.
        if (events & EPOLLHUP) CloseConn(id);
        return;
    }
    if ((events & EPOLLOUT) && c.st == Conn::St::Writing) {
        WriteSome(c);
        return;
    }
    if (events & (EPOLLIN | EPOLLRDHUP | EPOLLHUP)) ReadFrom(c);
}

void HttpServer::ReadFrom(Conn& c) {
    char buf[kReadChunk];
    for (;;) {
        ssize_t n = ::recv(c.fd, buf, sizeof buf, 0);
        if (n > 0) {
            Touch(c);
            if (c.st == Conn::St::Draining || c.st == Conn::St::Silent) continue;
            if (c.st == Conn::St::Head && c.in.empty()) c.headStart = c.lastActive;
            c.in.append(buf, size_t(n));
            // Bound what a peer can make us hold: a head is limited anyway,
            // a body is consumed as it arrives.
            if (c.in.size() >= kMaxHeadBytes + kReadChunk) break;
            continue;
        }
        if (n == 0) {
            c.peerEof = true;
            break;
        }
        if (errno == EINTR) continue;
        if (errno == EAGAIN || errno == EWOULDBLOCK) break;
        CloseConn(c.id);
        return;
    }
    if (c.st == Conn::St::Draining || c.st == Conn::St::Silent) {
        if (c.peerEof) CloseConn(c.id);
        return;
    }
    Process(c);
    if (!c.closed && c.peerEof && (c.st == Conn::St::Head || c.st == Conn::St::Body)) {
        // Nothing more will arrive; Process has handled what it could.
        if (c.st == Conn::St::Head && c.in.empty()) CloseConn(c.id);
    }
}

void HttpServer::Process(Conn& c) {
    while (!c.closed) {
        if (c.st == Conn::St::Head) {
            if (c.in.empty()) return;
            HeadError err;
            size_t n = FindHeadEnd(c.in, &err);
            if (err != HeadError::None) {
                c.in.clear();
                StartReply(c, c.site->OnBadRequest(HeadErrorStatus(err)));
                return;
            }
            if (n == 0) {
                if (c.peerEof) {
                    c.in.clear();
                    StartReply(c, c.site->OnBadRequest(400));
                }
                return;
            }
            RequestHead head;
            err = ParseRequestHead(std::string_view(c.in).substr(0, n), &head);
            c.in.erase(0, n);
            c.kept = false;
            if (err != HeadError::None) {
                c.in.clear();
                StartReply(c, c.site->OnBadRequest(HeadErrorStatus(err)));
                return;
            }
            HandleAction(c, c.site->OnRequest(head));
            continue;
        }
        if (c.st == Conn::St::Body) {
            size_t take = size_t(std::min<uint64_t>(c.in.size(), c.bodyLeft));
            if (take) {
                c.sink->Feed(std::string_view(c.in).substr(0, take));
                c.in.erase(0, take);
                c.bodyLeft -= take;
            }
            if (c.bodyLeft == 0 || c.peerEof) {
                auto sink = std::move(c.sink);
                bool complete = c.bodyLeft == 0;
                c.in.clear();   // bytes past the body: the connection closes after the reply
                c.st = Conn::St::Working;
                HandleAction(c, sink->Finish(complete));
            }
            return;
        }
        return;
    }
}

void HttpServer::HandleAction(Conn& c, Action a) {
    switch (a.kind) {
        case Action::Kind::Reply: StartReply(c, std::move(a.reply)); return;
        case Action::Kind::Drop: CloseConn(c.id); return;
        case Action::Kind::ReadBody: {
            c.st = Conn::St::Body;
            c.sink = std::move(a.sink);
            c.bodyLeft = a.bodyLength;
            if (a.sendContinue) {
                static const char k100[] = "HTTP/1.1 100 Continue\r\n\r\n";
                ssize_t r = ::send(c.fd, k100, sizeof k100 - 1, MSG_NOSIGNAL);
                (void)r;   // best effort: the client sends its body after a pause anyway
            }
            SetEvents(c, EPOLLIN | EPOLLRDHUP);
            Touch(c);
            return;
        }
        case Action::Kind::Async: {
            c.st = Conn::St::Working;
            SetEvents(c, 0);
            uint64_t id = c.id;
            SubmitWork([this, id, work = std::move(a.work)] {
                ReplyPlan plan;
                try {
                    plan = work();
                } catch (const std::exception&) {
                    // A handler bug must not take the whole process down.
                    plan = ReplyPlan{};
                    plan.bytes = "HTTP/1.1 500 Internal Server Error\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
                }
                Post([this, id, plan = std::move(plan)]() mutable {
                    auto it = conns_.find(id);
                    if (it == conns_.end() || it->second->st != Conn::St::Working) return;
                    StartReply(*it->second, std::move(plan));
                });
            });
            return;
        }
    }
}

void HttpServer::StartReply(Conn& c, ReplyPlan plan) {
    if (c.closed) return;
    c.plan = std::move(plan);
    c.sent = 0;
    Touch(c);
    if (c.plan.silent) {
        c.st = Conn::St::Silent;
        c.silentSince = NowMs();
        c.in.clear();
        SetEvents(c, EPOLLIN | EPOLLRDHUP);
        return;
    }
    c.st = Conn::St::Writing;
    SetEvents(c, 0);
    WriteSome(c);
}

void HttpServer::WriteSome(Conn& c) {
    size_t limit = std::min(c.plan.bytes.size(), c.plan.cutAt);
    while (c.sent < limit) {
        size_t chunk = c.plan.byteDelayMs > 0 ? 1 : limit - c.sent;
        ssize_t n = ::send(c.fd, c.plan.bytes.data() + c.sent, chunk, MSG_NOSIGNAL);
        if (n < 0) {
            if (errno == EINTR) continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                SetEvents(c, EPOLLOUT);
                return;
            }
            CloseConn(c.id);
            return;
        }
        c.sent += size_t(n);
        Touch(c);
        if (c.plan.byteDelayMs > 0 && c.sent < limit) {
            SetEvents(c, 0);
            uint64_t id = c.id;
            AddTimerInLoop(c.plan.byteDelayMs, [this, id] {
                auto it = conns_.find(id);
                if (it != conns_.end() && it->second->st == Conn::St::Writing) WriteSome(*it->second);
            });
            return;
        }
    }
    ReplyDone(c);
}

void HttpServer::ReplyDone(Conn& c) {
    bool cut = c.sent < c.plan.bytes.size();
    bool keep = c.plan.keepOpen;
    auto after = std::move(c.plan.afterSent);
    c.plan = ReplyPlan{};
    if (cut) {
        CloseConn(c.id);
    } else if (keep) {
        c.st = Conn::St::Head;
        c.kept = true;
        c.headStart = NowMs();   // for bytes of the next request already read
        SetEvents(c, EPOLLIN | EPOLLRDHUP);
    } else {
        // Our FIN first, then wait for the peer's: closing with unread input
        // would reset the connection and could destroy the reply in flight.
        ::shutdown(c.fd, SHUT_WR);
        c.st = Conn::St::Draining;
        c.in.clear();
        SetEvents(c, EPOLLIN | EPOLLRDHUP);
    }
    if (after) after();
    if (!c.closed && keep) {
        Process(c);
        if (!c.closed && c.peerEof && c.st == Conn::St::Head && c.in.empty()) CloseConn(c.id);
    }
}

void HttpServer::SetEvents(Conn& c, uint32_t events) {
    if (c.closed || c.events == events) return;
    c.events = events;
    epoll_event ev{};
    ev.events = events;
    ev.data.u64 = c.id;
    ::epoll_ctl(epfd_, EPOLL_CTL_MOD, c.fd, &ev);
}

void HttpServer::Touch(Conn& c) { c.lastActive = NowMs(); }

void HttpServer::CloseConn(uint64_t id) {
    auto it = conns_.find(id);
    if (it == conns_.end()) return;
    std::unique_ptr<Conn> c = std::move(it->second);
    conns_.erase(it);
    ::epoll_ctl(epfd_, EPOLL_CTL_DEL, c->fd, nullptr);
    ::close(c->fd);
    c->closed = true;
    --connCount_;
    if (c->rejected) --rejecting_;
    PauseAccepting(false);   // a slot is free
    // Callers up the stack may still hold a reference: free it after this
    // loop iteration.
    dead_.push_back(std::move(c));
}

// ---- worker pool ------------------------------------------------------------

void HttpServer::SubmitWork(std::function<void()> fn) {
    std::lock_guard<std::mutex> lock(poolMutex_);
    if (poolStop_) return;
    jobs_.push_back(std::move(fn));
    // Every queued job should find a worker of its own, so a handler that
    // sleeps never holds up the jobs behind it.
    if (jobs_.size() > size_t(idleWorkers_) && int(workers_.size()) < limits_.maxWorkers)
        workers_.emplace_back([this] { WorkerMain(); });
    poolCv_.notify_one();
}

size_t HttpServer::WorkerCount() const {
    std::lock_guard<std::mutex> lock(poolMutex_);
    return workers_.size();
}

void HttpServer::JoinRetiredWorkers() {
    std::vector<std::thread> done;
    {
        std::lock_guard<std::mutex> lock(poolMutex_);
        done.swap(retired_);
    }
    for (auto& t : done) t.join();
}

void HttpServer::WorkerMain() {
    std::unique_lock<std::mutex> lock(poolMutex_);
    for (;;) {
        while (!poolStop_ && jobs_.empty()) {
            ++idleWorkers_;
            const bool woken = poolCv_.wait_for(lock, std::chrono::milliseconds(limits_.workerIdleMs),
                                                [this] { return poolStop_ || !jobs_.empty(); });
            --idleWorkers_;
            if (!woken) {
                // A burst of slow commands leaves no threads behind: this one
                // ends and the loop joins it.
                const auto self = std::find_if(workers_.begin(), workers_.end(), [](const std::thread& t) {
                    return t.get_id() == std::this_thread::get_id();
                });
                if (self != workers_.end()) {
                    retired_.push_back(std::move(*self));
                    workers_.erase(self);
                }
                return;
            }
        }
        if (poolStop_) return;
        auto job = std::move(jobs_.front());
        jobs_.pop_front();
        lock.unlock();
        job();
        lock.lock();
    }
}

}   // namespace emu
