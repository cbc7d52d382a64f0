#include "core/sdk/ControlChannels.h"

#include <algorithm>
#include <chrono>
#include <vector>

namespace ky::sdk {

namespace {

constexpr int kRequestMs = 5000;
constexpr size_t kFramesPerPost = 50;   // one second of audio at most per request

}   // namespace

void JoinOrDetach(std::thread& t) {
    if (!t.joinable()) return;
    if (t.get_id() == std::this_thread::get_id())
        t.detach();
    else
        t.join();
}

// ---- talk ---------------------------------------------------------------------

TalkChannel::TalkChannel(std::shared_ptr<Session> session, KY_VoiceCallBack cb, void* user, int64_t id)
    : session_(std::move(session)),
      cb_(cb),
      user_(user),
      id_(id),
      http_(session_->host, session_->httpPort, session_->user, session_->password) {}

TalkChannel::~TalkChannel() {
    // Normally stopped already; a channel dropped without Stop still must
    // not leave joinable threads behind.
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopTick_ = stopSend_ = true;
        cv_.notify_all();
    }
    http_.Abort();
    JoinOrDetach(tick_);
    JoinOrDetach(send_);
}

std::shared_ptr<TalkChannel> TalkChannel::Open(const std::shared_ptr<Session>& session, KY_VoiceCallBack cb,
                                               void* user) {
    ControlHttp http(session->host, session->httpPort, session->user, session->password);
    HttpReply reply;
    if (http.Exchange("GET", "/sdk/talk?op=open", {}, kRequestMs, &reply) != HttpFail::None || reply.status != 200)
        return nullptr;
    auto fields = ParseFields(reply.body);
    int32_t id = 0;
    if (!ParseInt32(fields["id"], &id) || id <= 0) return nullptr;
    std::shared_ptr<TalkChannel> t(new TalkChannel(session, cb, user, id));
    // The threads hold the channel, so one left running on its own (Stop
    // called from the callback) never touches freed memory.
    t->send_ = std::thread([self = t] { self->SendLoop(); });
    return t;
}

void TalkChannel::StartCallbacks() {
    tick_ = std::thread([self = shared_from_this()] { self->TickLoop(); });
}

bool TalkChannel::Send(const uint8_t* data, int length) {
    if (!data || length <= 0 || length > kMaxFrameBytes) return false;
    std::lock_guard<std::mutex> lock(mutex_);
    if (stopSend_ || sendFailed_ || queue_.size() >= kMaxQueuedFrames) return false;
    queue_.emplace_back(reinterpret_cast<const char*>(data), size_t(length));
    cv_.notify_all();
    return true;
}

void TalkChannel::Stop(bool flush) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopTick_ = true;
        cv_.notify_all();
    }
    JoinOrDetach(tick_);
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopSend_ = true;
        flushDeadline_ = SteadyMs() + (flush ? kFlushMs : 0);
        cv_.notify_all();
    }
    if (!flush) http_.Abort();
    JoinOrDetach(send_);
    if (flush) {
        HttpReply reply;
        http_.Exchange("GET", "/sdk/talk?op=close&id=" + std::to_string(id_), {}, 2000, &reply);
        http_.Close();
    }
}

void TalkChannel::TickLoop() {
    using Clock = std::chrono::steady_clock;
    auto next = Clock::now();
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        if (cv_.wait_until(lock, next, [this] { return stopTick_; })) return;
        lock.unlock();
        cb_(session_->handle, user_);
        lock.lock();
        next += std::chrono::milliseconds(kFrameMs);
        // After a stall (slow callback, suspended process) keep the cadence
        // from now on instead of calling back in a burst.
        if (Clock::now() - next > std::chrono::milliseconds(10 * kFrameMs)) next = Clock::now();
    }
}

bool TalkChannel::Post(std::deque<std::string>& frames) {
    std::string body;
    for (const auto& f : frames) {
        body += char(uint8_t(f.size() >> 8));
        body += char(uint8_t(f.size() & 0xff));
        body += f;
    }
    int timeout = kRequestMs;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopSend_) timeout = int(std::max<int64_t>(1, flushDeadline_ - SteadyMs()));
    }
    HttpReply reply;
    return http_.Exchange("POST", "/sdk/talk?id=" + std::to_string(id_), body, timeout, &reply) == HttpFail::None &&
           reply.status == 200;
}

void TalkChannel::SendLoop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        cv_.wait(lock, [this] { return stopSend_ || !queue_.empty(); });
        if (queue_.empty() || (stopSend_ && SteadyMs() >= flushDeadline_)) return;
        std::deque<std::string> batch;
        while (!queue_.empty() && batch.size() < kFramesPerPost) {
            batch.push_back(std::move(queue_.front()));
            queue_.pop_front();
        }
        lock.unlock();
        bool ok = Post(batch);
        lock.lock();
        if (!ok) {
            // The talk session is lost (camera gone, restarted or taken
            // over): later frames are refused so the caller can notice.
            sendFailed_ = true;
            queue_.clear();
        }
    }
}

// ---- detection events ------------------------------------------------------------

EventChannel::EventChannel(std::shared_ptr<Session> session)
    : session_(std::move(session)), http_(session_->host, session_->httpPort, session_->user, session_->password) {}

EventChannel::~EventChannel() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
        cv_.notify_all();
    }
    http_.Abort();
    JoinOrDetach(thread_);
}

std::shared_ptr<EventChannel> EventChannel::Start(const std::shared_ptr<Session>& session) {
    std::shared_ptr<EventChannel> ch(new EventChannel(session));
    // The first poll runs here, so every box the camera reports after the
    // callback was set is delivered, even one emitted right afterwards.
    int64_t since = -1;
    ch->Poll(&since, 0, kFirstPollMs);
    ch->thread_ = std::thread([self = ch, since] { self->Loop(since); });
    return ch;
}

void EventChannel::Stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
        cv_.notify_all();
    }
    http_.Abort();
    JoinOrDetach(thread_);
}

void EventChannel::Deliver(int32_t type, const std::vector<int32_t>& records) {
    KY_MessageCallBack mcb;
    KY_EventCallBack ecb;
    void *muser, *euser;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stop_) return;   // logged out from inside an earlier callback
    }
    {
        std::lock_guard<std::mutex> lock(session_->mutex);
        mcb = session_->messageCb;
        muser = session_->messageUser;
        ecb = session_->eventCb;
        euser = session_->eventUser;
    }
    static const int32_t kNone[5] = {};
    intptr_t p1 = reinterpret_cast<intptr_t>(records.empty() ? kNone : records.data());
    intptr_t p2 = intptr_t(records.size() * sizeof(int32_t));
    if (mcb) mcb(session_->handle, type, p1, p2, muser);
    if (ecb) ecb(session_->handle, type, p1, p2, euser);
}

void EventChannel::Loop(int64_t since) {
    int backoff = 0;
    for (;;) {
        {
            std::unique_lock<std::mutex> lock(mutex_);
            if (backoff > 0) cv_.wait_for(lock, std::chrono::milliseconds(backoff), [this] { return stop_; });
            if (stop_) return;
        }
        HttpFail f = Poll(&since, since < 0 ? 0 : kPollWaitMs, kPollWaitMs + kRequestMs);
        if (f == HttpFail::Aborted) return;
        // Camera restarting or unreachable, or not speaking this protocol:
        // keep trying while logged in.
        backoff = f == HttpFail::None ? 0 : std::min(kMaxBackoffMs, std::max(250, backoff * 2));
    }
}

int64_t ReadEventReply(std::string_view body, int64_t since,
                       const std::function<void(int32_t type, const std::vector<int32_t>& records)>& deliver) {
    int64_t next = -1;
    while (!body.empty()) {
        size_t eol = body.find('\n');
        std::string_view line = body.substr(0, eol);
        body = eol == std::string_view::npos ? std::string_view() : body.substr(eol + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (line.rfind("next=", 0) == 0) {
            int32_t n = 0;
            if (ParseInt32(line.substr(5), &n) && n >= 0) next = n;
            continue;
        }
        if (line.rfind("event=", 0) != 0 || since < 0) continue;
        // "event=SEQ TYPE n,x,y,w,h;n,x,y,w,h"
        line.remove_prefix(6);
        size_t s1 = line.find(' ');
        size_t s2 = s1 == std::string_view::npos ? s1 : line.find(' ', s1 + 1);
        int32_t seq = 0, type = 0;
        if (s2 == std::string_view::npos || !ParseInt32(line.substr(0, s1), &seq) ||
            !ParseInt32(line.substr(s1 + 1, s2 - s1 - 1), &type) || seq <= since)
            continue;
        std::vector<int32_t> records;
        std::string_view boxes = line.substr(s2 + 1);
        bool good = true;
        while (good && !boxes.empty()) {
            size_t sep = boxes.find_first_of(",;");
            int32_t v = 0;
            good = ParseInt32(boxes.substr(0, sep), &v);
            records.push_back(v);
            boxes = sep == std::string_view::npos ? std::string_view() : boxes.substr(sep + 1);
        }
        if (!good || records.size() % 5 != 0) continue;
        deliver(type, records);
    }
    return next;
}

HttpFail EventChannel::Poll(int64_t* since, int waitMs, int timeoutMs) {
    std::string target = "/sdk/events?wait=" + std::to_string(waitMs);
    if (*since >= 0) target += "&since=" + std::to_string(*since);
    HttpReply reply;
    HttpFail f = http_.Exchange("GET", target, {}, timeoutMs, &reply);
    if (f != HttpFail::None) return f;
    if (reply.status != 200) return HttpFail::Transport;
    const int64_t next = ReadEventReply(
        reply.body, *since, [this](int32_t type, const std::vector<int32_t>& records) { Deliver(type, records); });
    if (next < 0) return HttpFail::Transport;
    *since = next;
    return HttpFail::None;
}

}   // namespace ky::sdk
