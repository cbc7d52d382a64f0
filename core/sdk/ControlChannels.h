#pragma once
// The two long-lived control channels of a login: talk (frames to the
// camera's loudspeaker, callback cadence of 20 ms) and detection events
// (long-poll for the boxes the camera reports). Each owns its threads and its
// own HTTP connection; Stop() may be called from any thread, including the
// channel's own callback thread (the threads are then left to finish alone).
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "core/sdk/ControlHttp.h"
#include "core/sdk/SdkSession.h"

namespace ky::sdk {

class TalkChannel : public std::enable_shared_from_this<TalkChannel> {
public:
    static constexpr int kFrameMs = 20;
    static constexpr size_t kMaxQueuedFrames = 500;   // 10 s of frames
    static constexpr int kMaxFrameBytes = 4096;
    static constexpr int kFlushMs = 3000;   // StopVoiceCom waits at most this for queued frames

    // Opens the talk session on the camera; null when it refuses or is unreachable.
    static std::shared_ptr<TalkChannel> Open(const std::shared_ptr<Session>& session, KY_VoiceCallBack cb, void* user);
    ~TalkChannel();
    // Starts calling back. Called once the channel is installed where the
    // callback's VoiceComSendData and StopVoiceCom look for it.
    void StartCallbacks();

    // Queues one frame; false when the frame is empty or too long, the queue
    // is full, or a send to the camera has failed (the talk is then lost).
    bool Send(const uint8_t* data, int length);
    // flush: deliver what is queued (bounded by kFlushMs) and close the
    // session on the camera; otherwise abort at once.
    void Stop(bool flush);

private:
    TalkChannel(std::shared_ptr<Session> session, KY_VoiceCallBack cb, void* user, int64_t id);
    void TickLoop();
    void SendLoop();
    bool Post(std::deque<std::string>& frames);

    std::shared_ptr<Session> session_;
    KY_VoiceCallBack cb_;
    void* user_;
    int64_t id_;
    ControlHttp http_;

    std::mutex mutex_;
    std::condition_variable cv_;
    std::deque<std::string> queue_;
    bool stopTick_ = false;
    bool stopSend_ = false;
    bool sendFailed_ = false;
    int64_t flushDeadline_ = 0;
    std::thread tick_, send_;
};

class EventChannel : public std::enable_shared_from_this<EventChannel> {
public:
    static constexpr int kPollWaitMs = 1000;   // what the camera may hold a poll
    static constexpr int kMaxBackoffMs = 2000;
    static constexpr int kFirstPollMs = 2000;
    static constexpr int kRequestMs = 5000;

    static std::shared_ptr<EventChannel> Start(const std::shared_ptr<Session>& session);
    ~EventChannel();
    void Stop();

private:
    explicit EventChannel(std::shared_ptr<Session> session);
    void Loop(int64_t since);
    // One poll: delivers the events after *since and advances it. *since < 0:
    // only learns the camera's current position.
    HttpFail Poll(int64_t* since, int waitMs, int timeoutMs);
    void Deliver(int32_t type, const std::vector<int32_t>& records);

    std::shared_ptr<Session> session_;
    ControlHttp http_;
    std::mutex mutex_;
    std::condition_variable cv_;
    bool stop_ = false;
    std::thread thread_;
};

// Reads a detection-event poll reply: calls deliver for each well-formed
// event after since (none while since < 0) and returns the position the
// camera names for the next poll, or -1 when it names none.
int64_t ReadEventReply(std::string_view body, int64_t since,
                       const std::function<void(int32_t type, const std::vector<int32_t>& records)>& deliver);

// Joins t unless called on t itself, where it is detached instead.
void JoinOrDetach(std::thread& t);

}   // namespace ky::sdk
