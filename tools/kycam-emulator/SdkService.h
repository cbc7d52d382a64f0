#pragma once
// The camera side of the tool's SDK control channel: every request under
// "/sdk/" (login check, configuration codes, PTZ and presets, talk, the
// detection-event long-poll) plus the emulator's own routes that tests use
// to look at talk audio and to make the camera report detection boxes.
// docs/sdk-protocol.md describes the wire side; docs/emulator.md the routes.
//
// Values live in the camera state ("sdk.*" keys, "devtype", "rtspport");
// only what is not state (received talk audio, the event queue) is held here.
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "tools/kycam-emulator/CameraState.h"
#include "tools/kycam-emulator/HttpServer.h"

namespace emu {

class SdkService {
public:
    explicit SdkService(CameraState& state);
    ~SdkService();
    SdkService(const SdkService&) = delete;
    SdkService& operator=(const SdkService&) = delete;

    static bool Owns(std::string_view path) { return path.rfind("/sdk/", 0) == 0; }

    // Handles an authenticated request under "/sdk/" (loop thread). `restart`
    // simulates the camera's restart; it runs on the loop thread once the
    // reply to the restart or factory-reset command has been sent.
    Action Handle(const RequestHead& head, std::function<void()> restart);

    // Longest a detection long-poll is held: bounds how long the server's
    // shutdown waits for it.
    static constexpr int kMaxEventWaitMs = 1000;
    // Events kept for clients that poll late.
    static constexpr size_t kEventBacklog = 256;
    static constexpr size_t kMaxBoxesPerEvent = 64;
    // Received talk audio kept for inspection; more is counted, not stored.
    static constexpr size_t kMaxTalkBytes = 16u << 20;

    // Also reachable over HTTP (/sdk/emit-boxes, /sdk/talk-received).
    // Returns the event's sequence number.
    int64_t EmitBoxes(int32_t type, const std::vector<int32_t>& records);
    std::string TalkReceived() const;

    // Capability field i (0..55) as served when the state has no "sdk.cap.i".
    static std::string DefaultCapability(int i);

private:
    struct Event {
        int64_t seq;
        int32_t type;
        std::vector<int32_t> records;   // five per box
    };
    class TalkSink;

    ReplyPlan Login();
    ReplyPlan GetConfig(const std::vector<std::pair<std::string, std::string>>& q);
    ReplyPlan SetConfig(const std::vector<std::pair<std::string, std::string>>& q, std::function<void()> restart);
    ReplyPlan Ptz(const std::vector<std::pair<std::string, std::string>>& q, bool preset);
    ReplyPlan TalkControl(const std::vector<std::pair<std::string, std::string>>& q);
    Action TalkData(const RequestHead& head, const std::vector<std::pair<std::string, std::string>>& q);
    ReplyPlan Events(const std::vector<std::pair<std::string, std::string>>& q);
    ReplyPlan EmitRoute(const std::vector<std::pair<std::string, std::string>>& q);
    void FactoryReset();
    // Appends frames of one talk POST; false when the body is malformed.
    bool AcceptTalk(int64_t id, std::string_view body);

    CameraState& state_;

    mutable std::mutex mutex_;
    std::condition_variable cv_;
    bool stopping_ = false;
    std::deque<Event> events_;
    int64_t lastSeq_ = 0;
    std::string talk_;
    int64_t talkId_ = 0;   // open talk session, 0 = none
    int64_t nextTalkId_ = 1;
};

}   // namespace emu
