// Control side of the SDK against kycam-emulator on loopback: login and
// handles, configuration codes, restart and factory reset, PTZ and presets,
// talk and detection events.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core/sdk/ControlHttp.h"
#include "core/sdk/KySdk.h"
#include "core/sdk/SdkSession.h"
#include "tests/support/EmulatorProcess.h"
#include "tests/support/ScriptedServer.h"

using ky::test::EmulatorProcess;
using ky::test::ScriptedServer;

namespace {

constexpr int kWaitMs = 10000;   // failure time-out for things that should happen soon

// Emulator routes (/emu/..., /sdk/emit-boxes, /sdk/talk-received) as the test sees them.
struct EmuClient {
    int port;
    std::string Get(const std::string& target, int* status = nullptr) const {
        ky::sdk::ControlHttp http("127.0.0.1", uint16_t(port), "admin", "admin");
        ky::sdk::HttpReply r;
        if (http.Exchange("GET", target, {}, 5000, &r) != ky::sdk::HttpFail::None) r.status = 0;
        if (status) *status = r.status;
        return r.body;
    }
    std::string Key(const std::string& key) const {
        int status = 0;
        std::string v = Get("/emu/get?key=" + ky::sdk::EncodeUriComponent(key), &status);
        return status == 200 ? v : "<missing>";
    }
    void Set(const std::string& key, const std::string& value) const {
        Get("/emu/set?key=" + ky::sdk::EncodeUriComponent(key) + "&value=" + ky::sdk::EncodeUriComponent(value));
    }
    // Waits until the camera answers again (after a restart).
    bool WaitUp() const {
        for (int i = 0; i < kWaitMs / 50; ++i) {
            int status = 0;
            Get("/emu/faults", &status);
            if (status == 200) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }
};

class SdkControl : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        emu_ = new EmulatorProcess({"--rtsp-port", "0", "--no-discovery"});
        ASSERT_TRUE(emu_->Ok()) << "emulator did not start: " << EmulatorProcess::BinaryPath();
        KY_SDK_Init();
    }
    static void TearDownTestSuite() {
        KY_SDK_Cleanup();
        delete emu_;
        emu_ = nullptr;
    }
    KY_HANDLE Login(int* error = nullptr) {
        return KY_SDK_LoginExt("127.0.0.1", "admin", "admin", uint16_t(emu_->HttpPort()), 5000, error);
    }
    EmuClient Emu() const { return EmuClient{emu_->HttpPort()}; }

    static EmulatorProcess* emu_;
};
EmulatorProcess* SdkControl::emu_ = nullptr;

// ---- login and handles ----------------------------------------------------------

TEST_F(SdkControl, LoginChecksCredentialsAndLearnsTheRtspPort) {
    int error = -1;
    KY_HANDLE h = Login(&error);
    ASSERT_GT(h, 0);
    EXPECT_EQ(error, 0);
    auto s = ky::sdk::FindSession(h);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->handle, h);
    EXPECT_EQ(s->rtspPort, emu_->RtspPort());
    EXPECT_EQ(s->user, "admin");
    EXPECT_EQ(KY_SDK_Logout(h), 0);
    EXPECT_FALSE(ky::sdk::FindSession(h));

    error = -1;
    EXPECT_EQ(KY_SDK_LoginExt("127.0.0.1", "admin", "wrong", uint16_t(emu_->HttpPort()), 5000, &error), 0);
    EXPECT_EQ(error, 2);
    error = -1;
    EXPECT_EQ(KY_SDK_LoginExt("127.0.0.1", "nobody", "admin", uint16_t(emu_->HttpPort()), 5000, &error), 0);
    EXPECT_EQ(error, 2);
}

TEST_F(SdkControl, LoginFailuresReportTheirReason) {
    int error = -1;
    EXPECT_EQ(KY_SDK_LoginExt("127.0.0.1", "admin", "admin", ScriptedServer::ClosedPort(), 2000, &error), 0);
    EXPECT_EQ(error, 1);

    // Something that speaks HTTP but not this protocol.
    ScriptedServer web(ScriptedServer::Mode::ReplyThenClose, ScriptedServer::HttpReply("hello", true));
    ASSERT_TRUE(web.Ok());
    error = -1;
    EXPECT_EQ(KY_SDK_LoginExt("127.0.0.1", "admin", "admin", web.Port(), 2000, &error), 0);
    EXPECT_EQ(error, 3);
    EXPECT_NE(web.Received().find("GET /sdk/login HTTP/1.1"), std::string::npos);
    EXPECT_NE(web.Received().find("Authorization: Basic YWRtaW46YWRtaW4="), std::string::npos);

    // A camera that accepts and never answers: the time-out ends the attempt.
    ScriptedServer mute(ScriptedServer::Mode::NeverAnswer, "");
    ASSERT_TRUE(mute.Ok());
    error = -1;
    EXPECT_EQ(KY_SDK_LoginExt("127.0.0.1", "admin", "admin", mute.Port(), 300, &error), 0);
    EXPECT_EQ(error, 3);

    EXPECT_EQ(KY_SDK_LoginExt(nullptr, "admin", "admin", 80, 100, &error), 0);
    EXPECT_EQ(KY_SDK_LoginExt("", "admin", "admin", 80, 100, &error), 0);
    EXPECT_EQ(KY_SDK_LoginExt("127.0.0.1", "admin", "admin", 0, 100, nullptr), 0);
}

TEST_F(SdkControl, UnknownHandlesFailCleanly) {
    KY_HANDLE live = Login();
    ASSERT_GT(live, 0);
    ASSERT_EQ(KY_SDK_Logout(live), 0);
    uint8_t buf[KY_CAPABILITY_SIZE] = {};
    int32_t zero = 0;
    for (KY_HANDLE h : {KY_HANDLE(0), KY_HANDLE(-1), KY_HANDLE(424242), live}) {
        SCOPED_TRACE(h);
        EXPECT_EQ(KY_SDK_Logout(h), -1);
        EXPECT_EQ(KY_SDK_GetConfig(h, KY_CFG_CAPABILITY, buf, sizeof buf), -1);
        EXPECT_EQ(KY_SDK_SetConfig(h, KY_CFG_RESTART, &zero, 4), -1);
        EXPECT_EQ(KY_SDK_SetMessageCallBack(h, h, nullptr, nullptr), -1);
        EXPECT_EQ(KY_SDK_SetEventCallBack(h, h, nullptr, nullptr), -1);
        EXPECT_EQ(KY_SDK_SetDrawCallBack(h, h, nullptr, nullptr), -1);
        EXPECT_EQ(KY_SDK_SetDisplayCallback(h, 1), -1);
        EXPECT_EQ(KY_SDK_SetDisplayMode(h, 0), -1);
        EXPECT_EQ(KY_SDK_PTZControl(h, KY_PTZ_UP, 5), -1);
        EXPECT_EQ(KY_SDK_PTZControlEx(h, KY_PTZ_UP), -1);
        EXPECT_EQ(KY_SDK_PTZPreset(h, 0x3016, 0), -1);
        EXPECT_EQ(KY_SDK_StartVoiceCom(
                      h, 0, [](KY_HANDLE, void*) { return 0; }, nullptr),
                  -1);
        EXPECT_EQ(KY_SDK_StopVoiceCom(h), -1);
        EXPECT_EQ(KY_SDK_VoiceComSendData(h, buf, 164, 0), -1);
        EXPECT_FALSE(ky::sdk::FindSession(h));
    }
    // Nothing reached the camera's restart for a dead handle.
    EXPECT_EQ(Emu().Key("emu.sdk.restarts"), "<missing>");
}

TEST_F(SdkControl, HandlesAreSmallDistinctAndNotReusedWhileInUse) {
    std::vector<KY_HANDLE> handles(32, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 4; ++i) handles[size_t(t * 4 + i)] = Login();
        });
    for (auto& th : threads) th.join();
    std::set<KY_HANDLE> unique(handles.begin(), handles.end());
    EXPECT_EQ(unique.size(), handles.size());
    for (KY_HANDLE h : handles) {
        EXPECT_GT(h, 0);
        EXPECT_LE(h, 0xFFFF);
    }
    // Freed numbers are not handed out again while others are live, nor at once.
    KY_HANDLE freed = handles[5];
    ASSERT_EQ(KY_SDK_Logout(freed), 0);
    KY_HANDLE again = Login();
    ASSERT_GT(again, 0);
    EXPECT_EQ(unique.count(again), 0u);
    EXPECT_EQ(KY_SDK_GetConfig(freed, KY_CFG_DEVTYPE, std::vector<char>(64).data(), 64), -1);
    for (KY_HANDLE h : handles) {
        if (h == freed) continue;
        EXPECT_EQ(KY_SDK_Logout(h), 0);
    }
    EXPECT_EQ(KY_SDK_Logout(again), 0);
}

TEST_F(SdkControl, CleanupLogsEveryHandleOut) {
    KY_HANDLE a = Login(), b = Login();
    ASSERT_GT(a, 0);
    ASSERT_GT(b, 0);
    EXPECT_EQ(KY_SDK_Cleanup(), 0);
    EXPECT_FALSE(ky::sdk::FindSession(a));
    EXPECT_FALSE(ky::sdk::FindSession(b));
    EXPECT_EQ(KY_SDK_Init(), 0);
    KY_HANDLE c = Login();
    EXPECT_GT(c, 0);
    EXPECT_EQ(KY_SDK_Logout(c), 0);
}

TEST_F(SdkControl, DisplaySettingsAreKeptInTheSession) {
    KY_HANDLE h = Login();
    ASSERT_GT(h, 0);
    auto s = ky::sdk::FindSession(h);
    EXPECT_EQ(KY_SDK_SetDisplayMode(h, 1), 0);
    EXPECT_EQ(s->displayMode, 1);
    EXPECT_EQ(KY_SDK_SetDisplayMode(h, 2), -1);
    EXPECT_EQ(s->displayMode, 1);
    EXPECT_EQ(KY_SDK_SetDisplayCallback(h, 1), 0);
    auto draw = [](KY_HANDLE, int32_t, int32_t, int32_t, int32_t, const char*, void*) { return 0; };
    int user = 0;
    EXPECT_EQ(KY_SDK_SetDrawCallBack(h, h, draw, &user), 0);
    EXPECT_EQ(s->drawUser, &user);
    EXPECT_NE(s->drawCb, nullptr);
    EXPECT_EQ(KY_SDK_Logout(h), 0);
}

// ---- configuration codes ----------------------------------------------------------

TEST_F(SdkControl, CapabilityRecordHasFiftySixFieldsOfSixteenBytes) {
    KY_HANDLE h = Login();
    ASSERT_GT(h, 0);
    EmuClient emu = Emu();
    emu.Set("sdk.cap.55", "last");
    emu.Set("sdk.cap.20", "0123456789abcdefXYZ");   // longer than a field holds

    char cap[KY_CAPABILITY_SIZE + 8];
    std::memset(cap, 'Z', sizeof cap);
    ASSERT_EQ(KY_SDK_GetConfig(h, KY_CFG_CAPABILITY, cap, KY_CAPABILITY_SIZE), 0);
    auto field = [&](int i) { return std::string(cap + i * KY_CAPABILITY_FIELD); };
    EXPECT_EQ(field(0), "7");              // profiles mask
    EXPECT_EQ(field(1), "41;40;42;48;");   // video modes
    EXPECT_EQ(field(2), "0-100");          // brightness range
    EXPECT_EQ(field(12), "1");             // humanoid
    EXPECT_EQ(field(13), "0");             // no 4G
    EXPECT_EQ(field(16), "1");
    EXPECT_EQ(field(20), "0123456789abcde");
    EXPECT_EQ(cap[20 * KY_CAPABILITY_FIELD + 15], '\0');
    EXPECT_EQ(field(55), "last");
    EXPECT_EQ(cap[KY_CAPABILITY_SIZE], 'Z') << "wrote past the record";

    EXPECT_EQ(KY_SDK_GetConfig(h, KY_CFG_CAPABILITY, cap, KY_CAPABILITY_SIZE - 1), -1);
    EXPECT_EQ(KY_SDK_SetConfig(h, KY_CFG_CAPABILITY, cap, KY_CAPABILITY_SIZE), -1);
    EXPECT_EQ(KY_SDK_GetConfig(h, 0x1234, cap, KY_CAPABILITY_SIZE), -1);
    emu.Get("/emu/set?key=sdk.cap.20&value=0");
    EXPECT_EQ(KY_SDK_Logout(h), 0);
}

TEST_F(SdkControl, DeviceTypeAndHumanoidSettingsRoundTrip) {
    KY_HANDLE h = Login();
    ASSERT_GT(h, 0);
    EmuClient emu = Emu();
    char type[64];
    ASSERT_EQ(KY_SDK_GetConfig(h, KY_CFG_DEVTYPE, type, sizeof type), 0);
    EXPECT_STREQ(type, emu.Key("devtype").c_str());
    emu.Set("devtype", std::string(80, 'T'));
    ASSERT_EQ(KY_SDK_GetConfig(h, KY_CFG_DEVTYPE, type, sizeof type), 0);
    EXPECT_EQ(std::string(type), std::string(63, 'T'));
    emu.Set("devtype", "KY7200");

    int32_t hd[3] = {-1, -1, -1};
    ASSERT_EQ(KY_SDK_GetConfig(h, KY_CFG_HUMANOID, hd, sizeof hd), 0);
    EXPECT_EQ(hd[0], 1);
    EXPECT_EQ(hd[1], 1);
    EXPECT_EQ(hd[2], 0);
    const int32_t set[3] = {0, 1, 1};
    ASSERT_EQ(KY_SDK_SetConfig(h, KY_CFG_HUMANOID, set, sizeof set), 0);
    ASSERT_EQ(KY_SDK_GetConfig(h, KY_CFG_HUMANOID, hd, sizeof hd), 0);
    EXPECT_EQ(std::vector<int32_t>(hd, hd + 3), std::vector<int32_t>(set, set + 3));
    const int32_t bad[3] = {2, 0, 0};
    EXPECT_EQ(KY_SDK_SetConfig(h, KY_CFG_HUMANOID, bad, sizeof bad), -1);
    EXPECT_EQ(emu.Key("sdk.hd.detect"), "0");
    EXPECT_EQ(KY_SDK_SetConfig(h, KY_CFG_HUMANOID, set, 8), -1);
    EXPECT_EQ(KY_SDK_Logout(h), 0);
}

TEST_F(SdkControl, MotionAreasRoundTripPerArea) {
    KY_HANDLE h = Login();
    ASSERT_GT(h, 0);
    int32_t area[8] = {0, 1, 0, 0, 0, 0, 0, 0};
    ASSERT_EQ(KY_SDK_GetConfig(h, KY_CFG_MDAREA, area, sizeof area), 0);
    EXPECT_EQ(area[1], 1);
    EXPECT_EQ(area[2], 1);   // area 1 is on by default
    EXPECT_GT(area[6], 0);

    const int32_t three[8] = {7, 3, 1, 77, 100, 50, 200, 150};
    ASSERT_EQ(KY_SDK_SetConfig(h, KY_CFG_MDAREA, three, sizeof three), 0);
    int32_t back[8] = {0, 3};
    ASSERT_EQ(KY_SDK_GetConfig(h, KY_CFG_MDAREA, back, sizeof back), 0);
    EXPECT_EQ(std::vector<int32_t>(back, back + 8), std::vector<int32_t>(three, three + 8));
    // Other areas are untouched.
    int32_t two[8] = {0, 2};
    ASSERT_EQ(KY_SDK_GetConfig(h, KY_CFG_MDAREA, two, sizeof two), 0);
    EXPECT_EQ(two[2], 0);
    EXPECT_EQ(two[6], 0);

    for (int32_t n : {0, 5, -1}) {
        int32_t a[8] = {0, n};
        EXPECT_EQ(KY_SDK_GetConfig(h, KY_CFG_MDAREA, a, sizeof a), -1) << n;
        EXPECT_EQ(KY_SDK_SetConfig(h, KY_CFG_MDAREA, a, sizeof a), -1) << n;
    }
    const int32_t badSensitivity[8] = {0, 3, 1, 0, 1, 1, 1, 1};
    EXPECT_EQ(KY_SDK_SetConfig(h, KY_CFG_MDAREA, badSensitivity, sizeof badSensitivity), -1);
    ASSERT_EQ(KY_SDK_GetConfig(h, KY_CFG_MDAREA, back, sizeof back), 0);
    EXPECT_EQ(back[3], 77);
    EXPECT_EQ(KY_SDK_GetConfig(h, KY_CFG_MDAREA, back, 31), -1);
    EXPECT_EQ(KY_SDK_Logout(h), 0);
}

// ---- PTZ and presets ----------------------------------------------------------------

TEST_F(SdkControl, PtzCommandsArriveWithCodeAndSpeed) {
    KY_HANDLE h = Login();
    ASSERT_GT(h, 0);
    EmuClient emu = Emu();
    ASSERT_EQ(KY_SDK_PTZControl(h, 0x3027, 5), 0);   // home
    EXPECT_EQ(emu.Key("sdk.ptz.last.cmd"), std::to_string(0x3027));
    EXPECT_EQ(emu.Key("sdk.ptz.last.speed"), "5");
    EXPECT_EQ(emu.Key("sdk.ptz.pan"), "0");

    ASSERT_EQ(KY_SDK_PTZControl(h, KY_PTZ_RIGHT, 45), 0);
    EXPECT_EQ(emu.Key("sdk.ptz.last.func"), "ptz");
    EXPECT_EQ(emu.Key("sdk.ptz.last.cmd"), std::to_string(0x3004));
    EXPECT_EQ(emu.Key("sdk.ptz.last.speed"), "45");
    EXPECT_NE(emu.Key("sdk.ptz.pan"), "0");

    ASSERT_EQ(KY_SDK_PTZControlEx(h, KY_PTZ_UP), 0);
    EXPECT_EQ(emu.Key("sdk.ptz.last.func"), "ptzex");
    EXPECT_EQ(emu.Key("sdk.ptz.last.cmd"), std::to_string(0x3001));
    EXPECT_EQ(emu.Key("sdk.ptz.last.speed"), "-1");
    EXPECT_NE(emu.Key("sdk.ptz.tilt"), "0");

    ASSERT_EQ(KY_SDK_PTZControl(h, 0x3029, 62), 0);
    EXPECT_EQ(emu.Key("sdk.ptz.cruise"), "horizontal");
    ASSERT_EQ(KY_SDK_PTZControl(h, 0x3028, 0), 0);
    EXPECT_EQ(emu.Key("sdk.ptz.cruise"), "vertical");
    EXPECT_EQ(emu.Key("sdk.ptz.last.speed"), "0");
    for (int32_t c = KY_PTZ_UP; c <= KY_PTZ_FOCUSOUT; ++c) {
        ASSERT_EQ(KY_SDK_PTZControlEx(h, c), 0) << c;
        EXPECT_EQ(emu.Key("sdk.ptz.last.cmd"), std::to_string(c));
    }
    EXPECT_EQ(emu.Key("sdk.ptz.cruise"), "none");   // any move ends a cruise

    std::string count = emu.Key("sdk.ptz.count");
    EXPECT_EQ(KY_SDK_PTZControl(h, 0x3000, 5), -1);
    EXPECT_EQ(KY_SDK_PTZControl(h, KY_PTZ_UP, -1), -1);
    EXPECT_EQ(KY_SDK_PTZControl(h, KY_PTZ_UP, 256), -1);
    EXPECT_EQ(emu.Key("sdk.ptz.count"), count) << "refused locally, nothing sent";
    EXPECT_EQ(KY_SDK_PTZControl(h, 0x3015, 5), -1) << "a preset code is no motion command";
    EXPECT_EQ(KY_SDK_Logout(h), 0);
}

TEST_F(SdkControl, PresetsAreSetCalledAndDeletedByIndex) {
    KY_HANDLE h = Login();
    ASSERT_GT(h, 0);
    EmuClient emu = Emu();
    ASSERT_EQ(KY_SDK_PTZControl(h, 0x3027, 5), 0);
    ASSERT_EQ(KY_SDK_PTZControl(h, KY_PTZ_RIGHT, 40), 0);
    std::string pan = emu.Key("sdk.ptz.pan");

    // Preset number 1 goes over the wire as index 0, 255 as 254.
    ASSERT_EQ(KY_SDK_PTZPreset(h, 0x3016, 0), 0);
    EXPECT_EQ(emu.Key("sdk.ptz.last.func"), "preset");
    EXPECT_EQ(emu.Key("sdk.ptz.last.cmd"), std::to_string(0x3016));
    EXPECT_EQ(emu.Key("sdk.preset.last"), "0");
    ASSERT_EQ(KY_SDK_PTZPreset(h, 0x3016, 254), 0);
    EXPECT_EQ(emu.Key("sdk.preset.last"), "254");

    ASSERT_EQ(KY_SDK_PTZControl(h, 0x3027, 5), 0);
    EXPECT_EQ(emu.Key("sdk.ptz.pan"), "0");
    ASSERT_EQ(KY_SDK_PTZPreset(h, 0x3015, 0), 0);
    EXPECT_EQ(emu.Key("sdk.ptz.last.cmd"), std::to_string(0x3015));
    EXPECT_EQ(emu.Key("sdk.ptz.pan"), pan);

    ASSERT_EQ(KY_SDK_PTZPreset(h, 0x3017, 0), 0);
    EXPECT_EQ(emu.Key("sdk.preset.0"), "<missing>");
    EXPECT_EQ(KY_SDK_PTZPreset(h, 0x3015, 0), -1) << "calling a deleted preset";
    EXPECT_NE(emu.Key("sdk.preset.254"), "<missing>");

    EXPECT_EQ(KY_SDK_PTZPreset(h, 0x3016, 255), -1);
    EXPECT_EQ(KY_SDK_PTZPreset(h, 0x3016, -1), -1);
    EXPECT_EQ(KY_SDK_PTZPreset(h, KY_PTZ_UP, 3), -1) << "a motion code is no preset command";
    EXPECT_EQ(KY_SDK_Logout(h), 0);
}

// ---- talk -------------------------------------------------------------------------------

struct TalkSource {
    KY_HANDLE handle = 0;
    int frames = 0;   // frames to send, then only count calls
    std::atomic<int> calls{0};
    std::atomic<int> failures{0};
    std::string sent;
    std::thread::id thread;
    std::mutex mutex;
    std::condition_variable cv;

    static int Callback(KY_HANDLE h, void* user) {
        auto* self = static_cast<TalkSource*>(user);
        int n = self->calls.load();
        if (n < self->frames) {
            uint8_t frame[164] = {0x00, 0x01, 0x50, 0x00};
            for (int i = 4; i < 164; ++i) frame[i] = uint8_t(n * 7 + i);
            if (KY_SDK_VoiceComSendData(h, frame, sizeof frame, 0) == 0)
                self->sent.append(reinterpret_cast<char*>(frame), sizeof frame);
            else
                ++self->failures;
        }
        std::lock_guard<std::mutex> lock(self->mutex);
        self->thread = std::this_thread::get_id();
        self->calls = n + 1;
        self->cv.notify_all();
        return 0;
    }
    bool WaitCalls(int n) {
        std::unique_lock<std::mutex> lock(mutex);
        return cv.wait_for(lock, std::chrono::milliseconds(kWaitMs), [&] { return calls.load() >= n; });
    }
};

TEST_F(SdkControl, TalkFramesArriveInOrderAndComplete) {
    KY_HANDLE h = Login();
    ASSERT_GT(h, 0);
    EmuClient emu = Emu();
    uint8_t frame[164] = {};
    EXPECT_EQ(KY_SDK_VoiceComSendData(h, frame, 164, 0), -1) << "not talking yet";
    EXPECT_EQ(KY_SDK_StopVoiceCom(h), -1);
    EXPECT_EQ(KY_SDK_StartVoiceCom(h, 0, nullptr, nullptr), -1);

    TalkSource src;
    src.handle = h;
    src.frames = 120;
    ASSERT_EQ(KY_SDK_StartVoiceCom(h, 0, &TalkSource::Callback, &src), 0);
    EXPECT_EQ(emu.Key("sdk.talk.open"), "1");
    EXPECT_EQ(KY_SDK_StartVoiceCom(h, 0, &TalkSource::Callback, &src), -1) << "already talking";
    ASSERT_TRUE(src.WaitCalls(src.frames + 2));
    EXPECT_NE(src.thread, std::this_thread::get_id());
    EXPECT_EQ(KY_SDK_VoiceComSendData(h, nullptr, 164, 0), -1);
    EXPECT_EQ(KY_SDK_VoiceComSendData(h, frame, 0, 0), -1);
    ASSERT_EQ(KY_SDK_StopVoiceCom(h), 0);
    int callsAtStop = src.calls.load();

    ASSERT_EQ(src.sent.size(), size_t(src.frames) * 164);
    std::string received = emu.Get("/sdk/talk-received");
    EXPECT_EQ(received.size(), src.sent.size());
    EXPECT_TRUE(received == src.sent) << "talk audio differs from what was sent";
    EXPECT_EQ(emu.Key("sdk.talk.frames"), std::to_string(src.frames));
    EXPECT_EQ(emu.Key("sdk.talk.open"), "0");
    EXPECT_EQ(KY_SDK_VoiceComSendData(h, frame, 164, 0), -1) << "stopped";
    EXPECT_EQ(KY_SDK_StopVoiceCom(h), -1);
    EXPECT_EQ(src.calls.load(), callsAtStop) << "callback after StopVoiceCom returned";

    // A new talk starts with a fresh recording on the camera.
    TalkSource again;
    again.frames = 3;
    ASSERT_EQ(KY_SDK_StartVoiceCom(h, 0, &TalkSource::Callback, &again), 0);
    ASSERT_TRUE(again.WaitCalls(4));
    ASSERT_EQ(KY_SDK_StopVoiceCom(h), 0);
    EXPECT_TRUE(emu.Get("/sdk/talk-received") == again.sent);
    EXPECT_EQ(KY_SDK_Logout(h), 0);
}

TEST_F(SdkControl, StopAndLogoutWorkFromInsideTheTalkCallback) {
    struct Ctx {
        KY_HANDLE h;
        std::atomic<int> step{0};
    };
    KY_HANDLE h = Login();
    ASSERT_GT(h, 0);
    Ctx ctx{h};
    auto cb = [](KY_HANDLE handle, void* user) {
        auto* c = static_cast<Ctx*>(user);
        if (c->step == 0) {
            c->step = KY_SDK_StopVoiceCom(handle) == 0 ? 1 : -1;
        }
        return 0;
    };
    ASSERT_EQ(KY_SDK_StartVoiceCom(h, 0, cb, &ctx), 0);
    for (int i = 0; i < kWaitMs / 10 && ctx.step == 0; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_EQ(ctx.step.load(), 1);
    EXPECT_EQ(KY_SDK_StopVoiceCom(h), -1);

    // Logging out while talking ends the talk as well.
    TalkSource src;
    src.frames = 1000000;
    ASSERT_EQ(KY_SDK_StartVoiceCom(h, 0, &TalkSource::Callback, &src), 0);
    ASSERT_TRUE(src.WaitCalls(3));
    EXPECT_EQ(KY_SDK_Logout(h), 0);
    int calls = src.calls.load();
    EXPECT_EQ(KY_SDK_VoiceComSendData(h, reinterpret_cast<const uint8_t*>("x"), 1, 0), -1);
    EXPECT_EQ(src.calls.load(), calls);
}

TEST_F(SdkControl, TalkTakenOverByAnotherLoginReportsFailure) {
    KY_HANDLE a = Login(), b = Login();
    ASSERT_GT(a, 0);
    ASSERT_GT(b, 0);
    TalkSource first, second;
    first.frames = second.frames = 1000000;
    ASSERT_EQ(KY_SDK_StartVoiceCom(a, 0, &TalkSource::Callback, &first), 0);
    ASSERT_TRUE(first.WaitCalls(3));
    ASSERT_EQ(KY_SDK_StartVoiceCom(b, 0, &TalkSource::Callback, &second), 0);
    for (int i = 0; i < kWaitMs / 10 && first.failures == 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_GT(first.failures.load(), 0) << "the first talker never learnt it lost the loudspeaker";
    EXPECT_EQ(KY_SDK_StopVoiceCom(a), 0);
    ASSERT_TRUE(second.WaitCalls(5));
    ASSERT_EQ(KY_SDK_StopVoiceCom(b), 0);
    EXPECT_EQ(second.failures.load(), 0);
    EXPECT_TRUE(Emu().Get("/sdk/talk-received") == second.sent);
    EXPECT_EQ(KY_SDK_Logout(a), 0);
    EXPECT_EQ(KY_SDK_Logout(b), 0);
}

// ---- detection events ----------------------------------------------------------------

struct BoxSink {
    struct Got {
        KY_HANDLE handle;
        int32_t type;
        std::vector<int32_t> records;
        intptr_t bytes;
    };
    std::mutex mutex;
    std::condition_variable cv;
    std::vector<Got> messages, events;
    KY_HANDLE logoutFrom = 0;   // log this handle out from inside the first message

    static int Message(KY_HANDLE h, int32_t type, intptr_t p1, intptr_t p2, void* user) {
        auto* self = static_cast<BoxSink*>(user);
        Got g{h, type, {}, p2};
        const auto* rec = reinterpret_cast<const int32_t*>(p1);
        if (rec && p2 > 0) g.records.assign(rec, rec + p2 / 4);
        if (self->logoutFrom) {
            KY_SDK_Logout(self->logoutFrom);
            self->logoutFrom = 0;
        }
        std::lock_guard<std::mutex> lock(self->mutex);
        self->messages.push_back(std::move(g));
        self->cv.notify_all();
        return 0;
    }
    static int Event(KY_HANDLE h, int32_t type, intptr_t p1, intptr_t p2, void* user) {
        auto* self = static_cast<BoxSink*>(user);
        const auto* rec = reinterpret_cast<const int32_t*>(p1);
        std::lock_guard<std::mutex> lock(self->mutex);
        self->events.push_back(Got{h, type, std::vector<int32_t>(rec, rec + p2 / 4), p2});
        self->cv.notify_all();
        return 0;
    }
    bool WaitMessages(size_t n) {
        std::unique_lock<std::mutex> lock(mutex);
        return cv.wait_for(lock, std::chrono::milliseconds(kWaitMs), [&] { return messages.size() >= n; });
    }
    bool WaitEvents(size_t n) {
        std::unique_lock<std::mutex> lock(mutex);
        return cv.wait_for(lock, std::chrono::milliseconds(kWaitMs), [&] { return events.size() >= n; });
    }
};

TEST_F(SdkControl, DetectionBoxesReachTheCallbacksWithTypeAndRecords) {
    KY_HANDLE h = Login();
    ASSERT_GT(h, 0);
    EmuClient emu = Emu();
    BoxSink sink;
    ASSERT_EQ(KY_SDK_SetMessageCallBack(h, h, &BoxSink::Message, &sink), 0);

    // Emitted right after the callback is set: still delivered.
    emu.Get("/sdk/emit-boxes?type=0&boxes=1,10,20,30,40;2,-5,60,70,80");
    ASSERT_TRUE(sink.WaitMessages(1));
    emu.Get("/sdk/emit-boxes?type=6&boxes=3,100,200,50,120");
    emu.Get("/sdk/emit-boxes?type=0&boxes=");
    ASSERT_TRUE(sink.WaitMessages(3));
    {
        std::lock_guard<std::mutex> lock(sink.mutex);
        EXPECT_EQ(sink.messages[0].handle, h);
        EXPECT_EQ(sink.messages[0].type, 0);
        EXPECT_EQ(sink.messages[0].bytes, 40);
        EXPECT_EQ(sink.messages[0].records, (std::vector<int32_t>{1, 10, 20, 30, 40, 2, -5, 60, 70, 80}));
        EXPECT_EQ(sink.messages[1].type, 6);
        EXPECT_EQ(sink.messages[1].records, (std::vector<int32_t>{3, 100, 200, 50, 120}));
        EXPECT_EQ(sink.messages[2].bytes, 0);
    }

    // The event callback sees the same boxes; the message callback can be removed.
    ASSERT_EQ(KY_SDK_SetEventCallBack(h, h, &BoxSink::Event, &sink), 0);
    ASSERT_EQ(KY_SDK_SetMessageCallBack(h, h, nullptr, nullptr), 0);
    emu.Get("/sdk/emit-boxes?type=6&boxes=4,1,2,3,4");
    ASSERT_TRUE(sink.WaitEvents(1));
    {
        std::lock_guard<std::mutex> lock(sink.mutex);
        EXPECT_EQ(sink.events[0].type, 6);
        EXPECT_EQ(sink.events[0].records, (std::vector<int32_t>{4, 1, 2, 3, 4}));
        EXPECT_EQ(sink.messages.size(), 3u);
    }
    EXPECT_EQ(KY_SDK_Logout(h), 0);
    size_t events = sink.events.size();
    emu.Get("/sdk/emit-boxes?type=0&boxes=5,1,1,1,1");

    // Two logins get each box once; one of them logs itself out from its callback.
    KY_HANDLE a = Login(), b = Login();
    ASSERT_GT(a, 0);
    ASSERT_GT(b, 0);
    BoxSink sa, sb;
    sa.logoutFrom = a;
    ASSERT_EQ(KY_SDK_SetMessageCallBack(a, a, &BoxSink::Message, &sa), 0);
    ASSERT_EQ(KY_SDK_SetMessageCallBack(b, b, &BoxSink::Message, &sb), 0);
    emu.Get("/sdk/emit-boxes?type=0&boxes=6,1,1,1,1");
    ASSERT_TRUE(sa.WaitMessages(1));
    ASSERT_TRUE(sb.WaitMessages(1));
    emu.Get("/sdk/emit-boxes?type=0&boxes=7,1,1,1,1");
    ASSERT_TRUE(sb.WaitMessages(2));
    EXPECT_EQ(sb.messages[0].records[0], 6);
    EXPECT_EQ(sb.messages[1].records[0], 7);
    EXPECT_FALSE(ky::sdk::FindSession(a));
    EXPECT_EQ(sa.messages.size(), 1u) << "a box delivered after the callback logged out";
    EXPECT_EQ(sink.events.size(), events) << "a box delivered after Logout returned";
    EXPECT_EQ(KY_SDK_Logout(b), 0);
}

TEST(SdkEmulatorRoutes, RefuseMalformedBoxes) {
    EmulatorProcess emu({"--no-rtsp", "--no-discovery"});
    ASSERT_TRUE(emu.Ok());
    EmuClient c{emu.HttpPort()};
    int status = 0;
    c.Get("/sdk/emit-boxes?type=0&boxes=1,2,3,4", &status);
    EXPECT_EQ(status, 400);
    c.Get("/sdk/emit-boxes?type=0&boxes=1,2,3,4,5,6", &status);
    EXPECT_EQ(status, 400);
    c.Get("/sdk/emit-boxes?type=999&boxes=", &status);
    EXPECT_EQ(status, 400);
    c.Get("/sdk/emit-boxes?type=0&boxes=1,2,3,4,x", &status);
    EXPECT_EQ(status, 400);
    c.Get("/sdk/talk?op=close&id=99", &status);
    EXPECT_EQ(status, 409);
}

// ---- restart and factory reset -----------------------------------------------------------

TEST(SdkMaintenance, RestartAndFactoryResetReachTheCamera) {
    EmulatorProcess emu({"--no-rtsp", "--no-discovery", "--restart-ms", "200"});
    ASSERT_TRUE(emu.Ok());
    EmuClient c{emu.HttpPort()};
    KY_HANDLE h = KY_SDK_LoginExt("127.0.0.1", "admin", "admin", uint16_t(emu.HttpPort()), 5000, nullptr);
    ASSERT_GT(h, 0);

    const int32_t zero = 0;
    ASSERT_EQ(KY_SDK_SetConfig(h, KY_CFG_RESTART, &zero, sizeof zero), 0);
    ASSERT_TRUE(c.WaitUp());
    EXPECT_EQ(c.Key("emu.sdk.restarts"), "1");
    EXPECT_NE(c.Get("/log/syslog.txt").find("system restarting"), std::string::npos);
    // The login outlives the restart.
    char type[64];
    EXPECT_EQ(KY_SDK_GetConfig(h, KY_CFG_DEVTYPE, type, sizeof type), 0);

    std::string name = c.Key("name");
    c.Set("brightness", "99");
    const int32_t area[8] = {0, 2, 1, 10, 1, 2, 3, 4};
    ASSERT_EQ(KY_SDK_SetConfig(h, KY_CFG_MDAREA, area, sizeof area), 0);
    ASSERT_EQ(KY_SDK_PTZPreset(h, 0x3016, 9), 0);

    ASSERT_EQ(KY_SDK_SetConfig(h, KY_CFG_FACTORY, &zero, sizeof zero), 0);
    ASSERT_TRUE(c.WaitUp());
    EXPECT_EQ(c.Key("emu.sdk.factoryresets"), "1");
    EXPECT_EQ(c.Key("emu.sdk.restarts"), "1");
    EXPECT_EQ(c.Key("brightness"), "50");
    EXPECT_EQ(c.Key("name"), name) << "identity survives";
    EXPECT_EQ(c.Key("httpport"), std::to_string(emu.HttpPort()));
    EXPECT_EQ(c.Key("sdk.preset.9"), "<missing>");
    int32_t back[8] = {0, 2};
    ASSERT_EQ(KY_SDK_GetConfig(h, KY_CFG_MDAREA, back, sizeof back), 0);
    EXPECT_EQ(back[2], 0);
    EXPECT_EQ(back[3], 50);
    EXPECT_EQ(KY_SDK_Logout(h), 0);
}

// ---- transport -----------------------------------------------------------------------------

TEST(SdkControlHttp, RetriesOnceWhenAKeptConnectionWasClosed) {
    // Claims keep-alive, then closes after each reply.
    std::string reply = "HTTP/1.1 200 OK\r\nContent-Length: 8\r\nConnection: keep-alive\r\n\r\nx=1%3B\r\n";
    ScriptedServer srv(ScriptedServer::Mode::ReplyThenClose, reply);
    ASSERT_TRUE(srv.Ok());
    ky::sdk::ControlHttp http("127.0.0.1", srv.Port(), "u", "p");
    for (int i = 0; i < 3; ++i) {
        ky::sdk::HttpReply r;
        ASSERT_EQ(http.Exchange("GET", "/sdk/x", {}, 3000, &r), ky::sdk::HttpFail::None) << i;
        EXPECT_EQ(r.status, 200);
        EXPECT_EQ(ky::sdk::ParseFields(r.body)["x"], "1;");
    }
    EXPECT_EQ(srv.Accepted(), 3);

    // Abort wakes an exchange stuck on a camera that never answers.
    ScriptedServer mute(ScriptedServer::Mode::NeverAnswer, "");
    ky::sdk::ControlHttp stuck("127.0.0.1", mute.Port(), "u", "p");
    std::thread t([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        stuck.Abort();
    });
    ky::sdk::HttpReply r;
    EXPECT_EQ(stuck.Exchange("GET", "/sdk/events", {}, 60000, &r), ky::sdk::HttpFail::Aborted);
    t.join();
}

}   // namespace
