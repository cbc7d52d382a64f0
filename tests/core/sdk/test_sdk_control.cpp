// Control side of the SDK against kycam-emulator on loopback: login and
// handles, configuration codes, restart and factory reset, PTZ and presets,
// talk and detection events.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core/sdk/ControlHttp.h"
#include "core/sdk/KySdk.h"
#include "core/sdk/SdkSession.h"
#include "tests/core/sdk/SdkTestSupport.h"
#include "tests/support/EmulatorProcess.h"
#include "tests/support/ScriptedServer.h"

using ky::test::EmulatorProcess;
using ky::test::ScriptedServer;
using kytest::EmuRoutes;
using kytest::Poll;

namespace {

class SdkControl : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        emu_ = new EmulatorProcess({"--rtsp-port", "0", "--no-discovery"});
        KY_SDK_Init();
    }
    static void TearDownTestSuite() {
        KY_SDK_Cleanup();
        delete emu_;
        emu_ = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(emu_->Ok()) << "emulator did not start: " << EmulatorProcess::BinaryPath(); }
    void TearDown() override {
        if (h > 0) KY_SDK_Logout(h);
    }
    static KY_HANDLE Login(int* error = nullptr) {
        return KY_SDK_LoginExt("127.0.0.1", "admin", "admin", uint16_t(emu_->HttpPort()), 5000, error);
    }

    static EmulatorProcess* emu_;
    EmuRoutes emu{emu_->HttpPort()};
    KY_HANDLE h = Login();
};
EmulatorProcess* SdkControl::emu_ = nullptr;

TEST_F(SdkControl, LoginChecksCredentialsLearnsTheRtspPortAndReportsWhyItFailed) {
    ASSERT_GT(h, 0);
    auto s = ky::sdk::FindSession(h);
    ASSERT_TRUE(s);
    EXPECT_EQ(s->rtspPort, emu_->RtspPort());

    // Something that speaks HTTP but not this protocol, and a camera that never answers.
    ScriptedServer web(ScriptedServer::Mode::ReplyThenClose, ScriptedServer::HttpReply("hello", true));
    ScriptedServer mute(ScriptedServer::Mode::NeverAnswer, "");
    const uint16_t port = uint16_t(emu_->HttpPort());
    const struct {
        const char *ip, *user, *password;
        uint16_t port;
        int timeoutMs, error;   // -1: not reported
    } cases[] = {
        {"127.0.0.1", "admin", "wrong", port, 5000, 2},
        {"127.0.0.1", "nobody", "admin", port, 5000, 2},
        {"127.0.0.1", "admin", "admin", ScriptedServer::ClosedPort(), 2000, 1},
        {"127.0.0.1", "admin", "admin", web.Port(), 2000, 3},
        {"127.0.0.1", "admin", "admin", mute.Port(), 300, 1},
        {nullptr, "admin", "admin", port, 100, -1},
        {"", "admin", "admin", port, 100, -1},
        {"127.0.0.1", "admin", "admin", 0, 100, -1},
    };
    for (const auto& c : cases) {
        int error = -1;
        EXPECT_EQ(KY_SDK_LoginExt(c.ip, c.user, c.password, c.port, c.timeoutMs, &error), 0) << c.port;
        EXPECT_TRUE(c.error < 0 || error == c.error) << c.port << " " << c.password << ": " << error;
    }
    EXPECT_NE(web.Received().find("GET /sdk/login HTTP/1.1"), std::string::npos);
    EXPECT_NE(web.Received().find("Authorization: Basic YWRtaW46YWRtaW4="), std::string::npos);
    EXPECT_EQ(KY_SDK_LoginExt("127.0.0.1", "admin", "admin", 0, 100, nullptr), 0);   // no error pointer
}

int NoTalk(KY_HANDLE, void*) { return 0; }

TEST_F(SdkControl, UnknownHandlesAndBadArgumentsFailCleanly) {
    EXPECT_EQ(KY_SDK_SetDisplayMode(h, 2), -1);   // modes 0 and 1 only
    ASSERT_EQ(KY_SDK_Logout(h), 0);
    EXPECT_FALSE(ky::sdk::FindSession(h));
    uint8_t buf[KY_CAPABILITY_SIZE] = {};
    int32_t zero = 0;
    int a = 0, b = 0;
    KY_PLAY_INFO info{1, 0, 0, 7};
    for (KY_HANDLE dead : {KY_HANDLE(0), KY_HANDLE(-1), KY_HANDLE(424242), h}) {
        const int results[] = {KY_SDK_Logout(dead),
                               KY_SDK_GetConfig(dead, KY_CFG_CAPABILITY, buf, sizeof buf),
                               KY_SDK_SetConfig(dead, KY_CFG_RESTART, &zero, 4),
                               KY_SDK_SetMessageCallBack(dead, dead, nullptr, nullptr),
                               KY_SDK_SetEventCallBack(dead, dead, nullptr, nullptr),
                               KY_SDK_SetDrawCallBack(dead, dead, nullptr, nullptr),
                               KY_SDK_SetDisplayCallback(dead, 1),
                               KY_SDK_SetDisplayMode(dead, 0),
                               KY_SDK_PTZControl(dead, KY_PTZ_UP, 5),
                               KY_SDK_PTZControlEx(dead, KY_PTZ_UP),
                               KY_SDK_PTZPreset(dead, KY_PRESET_SET, 0),
                               KY_SDK_StartVoiceCom(dead, 0, NoTalk, nullptr),
                               KY_SDK_StopVoiceCom(dead),
                               KY_SDK_VoiceComSendData(dead, buf, 164, 0),
                               KY_SDK_RealPlayExt(dead, nullptr, &info),
                               KY_SDK_RealPlayEncExt(dead, nullptr, &info),
                               KY_SDK_StopRealPlay(dead),
                               KY_SDK_GetPicInfo(dead, &a, &b),
                               KY_SDK_SetMute(dead, 0, 1),
                               KY_SDK_GetMute(dead, 0, &a),
                               KY_SDK_StartRecord(dead, "/tmp/x.avi", 4, 0, 0),
                               KY_SDK_StopRecord(dead),
                               KY_SDK_CaptureJPEGPicture(dead, "/tmp/x.jpg"),
                               KY_SDK_SetPenPixel(dead, 5),
                               KY_SDK_InputDrawData(dead, nullptr, 0, 1),
                               KY_SDK_EnablePic(dead, "1", 1, 1),
                               KY_SDK_SelectPic(dead, 1, 1),
                               KY_SDK_MouseMove(dead, 1, 1, 1, KY_RECT{0, 0, 9, 9})};
        for (size_t i = 0; i < std::size(results); ++i) EXPECT_LT(results[i], 0) << "handle " << dead << " call " << i;
    }
    EXPECT_EQ(emu.Key("emu.sdk.restarts"), "<missing>");   // nothing reached the camera
    h = 0;
}

TEST_F(SdkControl, HandlesAreSmallDistinctNotReusedWhileInUseAndCleanupEndsThem) {
    std::vector<KY_HANDLE> handles(32, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 8; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < 4; ++i) handles[size_t(t * 4 + i)] = Login();
        });
    for (auto& th : threads) th.join();
    std::set<KY_HANDLE> unique(handles.begin(), handles.end());
    EXPECT_EQ(unique.size(), handles.size());
    EXPECT_TRUE(*unique.begin() > 0 && *unique.rbegin() <= 0xFFFF);
    // A freed number is not handed out again while others are live, nor at once.
    ASSERT_EQ(KY_SDK_Logout(handles[5]), 0);
    const KY_HANDLE again = Login();
    EXPECT_EQ(unique.count(again), 0u);
    EXPECT_EQ(KY_SDK_GetConfig(handles[5], KY_CFG_DEVTYPE, std::vector<char>(64).data(), 64), -1);

    EXPECT_EQ(KY_SDK_Cleanup(), 0);
    EXPECT_FALSE(ky::sdk::FindSession(again) || ky::sdk::FindSession(handles[0]));
    EXPECT_EQ(KY_SDK_Init(), 0);
    EXPECT_GT(h = Login(), 0);
}

TEST_F(SdkControl, CapabilityRecordHasFiftySixFieldsOfSixteenBytes) {
    emu.Set("sdk.cap.55", "last");
    emu.Set("sdk.cap.20", "0123456789abcdefXYZ");   // longer than a field holds
    char cap[KY_CAPABILITY_SIZE + 8];
    std::memset(cap, 'Z', sizeof cap);
    ASSERT_EQ(KY_SDK_GetConfig(h, KY_CFG_CAPABILITY, cap, KY_CAPABILITY_SIZE), 0);
    emu.Set("sdk.cap.20", "0");
    auto field = [&](int i) { return std::string(cap + i * KY_CAPABILITY_FIELD); };
    // Profiles mask, video modes, a field cut to 15 characters, the last field.
    for (auto [i, text] : {std::pair{0, "7"}, {1, "41;40;42;48;"}, {20, "0123456789abcde"}, {55, "last"}})
        EXPECT_EQ(field(i), text) << i;
    EXPECT_EQ(cap[KY_CAPABILITY_SIZE], 'Z') << "wrote past the record";

    EXPECT_EQ(KY_SDK_GetConfig(h, KY_CFG_CAPABILITY, cap, KY_CAPABILITY_SIZE - 1), -1);
    EXPECT_EQ(KY_SDK_SetConfig(h, KY_CFG_CAPABILITY, cap, KY_CAPABILITY_SIZE), -1);
    EXPECT_EQ(KY_SDK_GetConfig(h, 0x1234, cap, KY_CAPABILITY_SIZE), -1);
}

TEST_F(SdkControl, DeviceTypeAndHumanoidSettingsRoundTrip) {
    char type[64];   // cut to the buffer
    emu.Set("devtype", std::string(80, 'T'));
    ASSERT_EQ(KY_SDK_GetConfig(h, KY_CFG_DEVTYPE, type, sizeof type), 0);
    emu.Set("devtype", "KY7200");
    EXPECT_EQ(std::string(type), std::string(63, 'T'));

    std::vector<int32_t> hd(3, -1);
    const std::vector<int32_t> set{0, 1, 1}, bad{2, 0, 0};
    ASSERT_EQ(KY_SDK_SetConfig(h, KY_CFG_HUMANOID, set.data(), 12), 0);
    ASSERT_EQ(KY_SDK_GetConfig(h, KY_CFG_HUMANOID, hd.data(), 12), 0);
    EXPECT_EQ(hd, set);
    EXPECT_EQ(KY_SDK_SetConfig(h, KY_CFG_HUMANOID, bad.data(), 12), -1);
    EXPECT_EQ(KY_SDK_SetConfig(h, KY_CFG_HUMANOID, set.data(), 8), -1);
    EXPECT_EQ(emu.Key("sdk.hd.detect"), "0");
}

TEST_F(SdkControl, MotionAreasRoundTripPerArea) {
    auto get = [&](int32_t n, int size = 32) {
        std::vector<int32_t> a{0, n, 0, 0, 0, 0, 0, 0};
        return KY_SDK_GetConfig(h, KY_CFG_MDAREA, a.data(), size) == 0 ? a : std::vector<int32_t>{};
    };
    const std::vector<int32_t> three{7, 3, 1, 77, 100, 50, 200, 150};
    ASSERT_EQ(KY_SDK_SetConfig(h, KY_CFG_MDAREA, three.data(), 32), 0);
    EXPECT_EQ(get(3), three);
    EXPECT_EQ(get(2), (std::vector<int32_t>{0, 2, 0, 50, 0, 0, 0, 0})) << "other areas untouched";
    for (int32_t n : {0, 5, -1}) {
        std::vector<int32_t> a{0, n, 1, 1, 1, 1, 1, 1};
        EXPECT_TRUE(get(n).empty()) << n;
        EXPECT_EQ(KY_SDK_SetConfig(h, KY_CFG_MDAREA, a.data(), 32), -1) << n;
    }
    const std::vector<int32_t> badSensitivity{0, 3, 1, 0, 1, 1, 1, 1};
    EXPECT_EQ(KY_SDK_SetConfig(h, KY_CFG_MDAREA, badSensitivity.data(), 32), -1);
    EXPECT_EQ(get(3), three);
    EXPECT_TRUE(get(3, 31).empty());
}

TEST(SdkMaintenance, RestartAndFactoryResetReachTheCamera) {
    EmulatorProcess process({"--no-rtsp", "--no-discovery", "--restart-ms", "200"});
    ASSERT_TRUE(process.Ok());
    EmuRoutes c{process.HttpPort()};
    auto up = [&] { return Poll([&] { return c.Get("/emu/faults") != "<missing>"; }); };
    KY_HANDLE h = KY_SDK_LoginExt("127.0.0.1", "admin", "admin", uint16_t(process.HttpPort()), 5000, nullptr);
    ASSERT_GT(h, 0);
    const int32_t zero = 0;
    ASSERT_EQ(KY_SDK_SetConfig(h, KY_CFG_RESTART, &zero, sizeof zero), 0);
    ASSERT_TRUE(up());
    EXPECT_EQ(c.Key("emu.sdk.restarts"), "1");
    EXPECT_NE(c.Get("/log/syslog.txt").find("system restarting"), std::string::npos);
    char type[64];
    EXPECT_EQ(KY_SDK_GetConfig(h, KY_CFG_DEVTYPE, type, sizeof type), 0) << "the login outlives the restart";

    // Factory reset: settings and presets go, the identity stays.
    const std::string name = c.Key("name");
    c.Set("brightness", "99");
    ASSERT_EQ(KY_SDK_PTZPreset(h, KY_PRESET_SET, 9), 0);
    ASSERT_EQ(KY_SDK_SetConfig(h, KY_CFG_FACTORY, &zero, sizeof zero), 0);
    ASSERT_TRUE(up());
    EXPECT_EQ(c.Key("emu.sdk.factoryresets") + c.Key("emu.sdk.restarts"), "11");
    EXPECT_EQ(c.Key("brightness") + " " + c.Key("sdk.preset.9") + " " + c.Key("name"), "50 <missing> " + name);
    EXPECT_EQ(KY_SDK_Logout(h), 0);
}

// The buttons' codes, preset numbers and their failures are covered through
// the play panel (tests/gui/live); here what the SDK itself decides.
TEST_F(SdkControl, PtzCommandsArriveWithCodeAndSpeedOrAreRefusedLocally) {
    auto last = [&] {
        return emu.Key("sdk.ptz.last.func") + " " + emu.Key("sdk.ptz.last.cmd") + " " + emu.Key("sdk.ptz.last.speed");
    };
    ASSERT_EQ(KY_SDK_PTZControl(h, KY_PTZ_RIGHT, 45), 0);
    EXPECT_EQ(last(), "ptz 12292 45");
    ASSERT_EQ(KY_SDK_PTZControlEx(h, KY_PTZ_UP), 0);
    EXPECT_EQ(last(), "ptzex 12289 -1");
    ASSERT_EQ(KY_SDK_PTZControl(h, KY_PTZ_HCRUISE, 62), 0);
    EXPECT_EQ(emu.Key("sdk.ptz.cruise"), "horizontal");
    ASSERT_EQ(KY_SDK_PTZControlEx(h, KY_PTZ_ZOOMIN), 0);
    EXPECT_EQ(emu.Key("sdk.ptz.cruise"), "none");   // any move ends a cruise
    ASSERT_EQ(KY_SDK_PTZPreset(h, KY_PRESET_SET, 254), 0);
    EXPECT_EQ(emu.Key("sdk.ptz.last.func") + " " + emu.Key("sdk.preset.last"), "preset 254");

    // Refused locally, nothing sent: unknown codes, speeds out of 0..255, a
    // preset code as a move and a move code as a preset, presets out of 0..254.
    const std::string count = emu.Key("sdk.ptz.count");
    for (auto [cmd, speed] : {std::pair{0x3000, 5}, {KY_PTZ_UP, -1}, {KY_PTZ_UP, 256}, {KY_PRESET_CALL, 5}})
        EXPECT_EQ(KY_SDK_PTZControl(h, cmd, speed), -1) << cmd << " " << speed;
    for (auto [cmd, preset] : {std::pair{KY_PTZ_UP, 3}, {KY_PRESET_SET, 255}, {KY_PRESET_SET, -1}})
        EXPECT_EQ(KY_SDK_PTZPreset(h, cmd, preset), -1) << cmd << " " << preset;
    EXPECT_EQ(emu.Key("sdk.ptz.count"), count);
}

// Sends `frames` numbered frames from the SDK's talk thread, then only counts calls.
struct TalkSource {
    int frames = 1000000;
    std::atomic<int> calls{0}, failures{0};
    std::string sent;

    static int Callback(KY_HANDLE h, void* user) {
        auto* self = static_cast<TalkSource*>(user);
        const int n = self->calls;
        if (n < self->frames) {
            uint8_t frame[164] = {0x00, 0x01, 0x50, 0x00};
            for (int i = 4; i < 164; ++i) frame[i] = uint8_t(n * 7 + i);
            if (KY_SDK_VoiceComSendData(h, frame, sizeof frame, 0) == 0)
                self->sent.append(reinterpret_cast<char*>(frame), sizeof frame);
            else
                ++self->failures;
        }
        self->calls = n + 1;
        return 0;
    }
    bool WaitCalls(int n) const {
        return Poll([&] { return calls >= n; });
    }
};

TEST_F(SdkControl, TalkFramesArriveInOrderAndComplete) {
    uint8_t frame[164] = {};
    EXPECT_EQ(KY_SDK_VoiceComSendData(h, frame, 164, 0), -1) << "not talking yet";
    EXPECT_EQ(KY_SDK_StopVoiceCom(h), -1);
    EXPECT_EQ(KY_SDK_StartVoiceCom(h, 0, nullptr, nullptr), -1);

    TalkSource src;
    src.frames = 120;
    ASSERT_EQ(KY_SDK_StartVoiceCom(h, 0, &TalkSource::Callback, &src), 0);
    EXPECT_EQ(emu.Key("sdk.talk.open"), "1");
    EXPECT_EQ(KY_SDK_StartVoiceCom(h, 0, &TalkSource::Callback, &src), -1) << "already talking";
    ASSERT_TRUE(src.WaitCalls(src.frames + 2));
    EXPECT_EQ(KY_SDK_VoiceComSendData(h, nullptr, 164, 0), -1);
    EXPECT_EQ(KY_SDK_VoiceComSendData(h, frame, 0, 0), -1);
    ASSERT_EQ(KY_SDK_StopVoiceCom(h), 0);
    const int callsAtStop = src.calls;

    ASSERT_EQ(src.sent.size(), size_t(src.frames) * 164);
    EXPECT_TRUE(emu.Get("/sdk/talk-received") == src.sent) << "talk audio differs from what was sent";
    EXPECT_EQ(emu.Int("sdk.talk.frames"), src.frames);
    EXPECT_EQ(emu.Key("sdk.talk.open"), "0");
    EXPECT_EQ(KY_SDK_VoiceComSendData(h, frame, 164, 0), -1) << "stopped";
    EXPECT_EQ(KY_SDK_StopVoiceCom(h), -1);
    EXPECT_EQ(src.calls, callsAtStop) << "callback after StopVoiceCom returned";

    // Taken over by another login: the first talker learns it lost the
    // loudspeaker, the camera keeps the second one's audio.
    const KY_HANDLE b = Login();
    TalkSource first, second;
    ASSERT_EQ(KY_SDK_StartVoiceCom(h, 0, &TalkSource::Callback, &first), 0);
    ASSERT_TRUE(first.WaitCalls(3));
    ASSERT_EQ(KY_SDK_StartVoiceCom(b, 0, &TalkSource::Callback, &second), 0);
    EXPECT_TRUE(Poll([&] { return first.failures > 0; }));
    EXPECT_EQ(KY_SDK_StopVoiceCom(h), 0);
    ASSERT_TRUE(second.WaitCalls(5));
    ASSERT_EQ(KY_SDK_StopVoiceCom(b), 0);
    EXPECT_EQ(second.failures, 0);
    EXPECT_TRUE(emu.Get("/sdk/talk-received") == second.sent);
    EXPECT_EQ(KY_SDK_Logout(b), 0);
}

TEST_F(SdkControl, StopAndLogoutWorkFromInsideTheTalkCallback) {
    static std::atomic<int> step{0};
    auto stopFromInside = [](KY_HANDLE handle, void*) {
        if (step == 0) step = KY_SDK_StopVoiceCom(handle) == 0 ? 1 : -1;
        return 0;
    };
    ASSERT_EQ(KY_SDK_StartVoiceCom(h, 0, stopFromInside, nullptr), 0);
    EXPECT_TRUE(Poll([] { return step != 0; }));
    EXPECT_EQ(step, 1);
    EXPECT_EQ(KY_SDK_StopVoiceCom(h), -1);

    // Logging out while talking ends the talk as well.
    TalkSource src;
    ASSERT_EQ(KY_SDK_StartVoiceCom(h, 0, &TalkSource::Callback, &src), 0);
    ASSERT_TRUE(src.WaitCalls(3));
    EXPECT_EQ(KY_SDK_Logout(h), 0);
    const int calls = src.calls;
    EXPECT_EQ(KY_SDK_VoiceComSendData(h, reinterpret_cast<const uint8_t*>("x"), 1, 0), -1);
    EXPECT_EQ(src.calls, calls);
    h = 0;
}

// Box records as the callbacks get them: handle, type, the int32 words.
struct BoxSink {
    std::mutex mutex;
    std::vector<std::vector<int32_t>> got;   // {handle, type, bytes, words...}
    KY_HANDLE logoutFrom = 0;                // logged out from inside the first call

    static int Callback(KY_HANDLE h, int32_t type, intptr_t p1, intptr_t p2, void* user) {
        auto* self = static_cast<BoxSink*>(user);
        std::vector<int32_t> g{int32_t(h), type, int32_t(p2)};
        const auto* rec = reinterpret_cast<const int32_t*>(p1);
        if (rec && p2 > 0) g.insert(g.end(), rec, rec + p2 / 4);
        if (self->logoutFrom) KY_SDK_Logout(std::exchange(self->logoutFrom, 0));
        std::lock_guard lock(self->mutex);
        self->got.push_back(std::move(g));
        return 0;
    }
    size_t Count() {
        std::lock_guard lock(mutex);
        return got.size();
    }
    bool Wait(size_t n) {
        return Poll([&] { return Count() >= n; });
    }
};

TEST_F(SdkControl, DetectionBoxesReachTheCallbacksWithTypeAndRecords) {
    BoxSink sink;
    ASSERT_EQ(KY_SDK_SetMessageCallBack(h, h, &BoxSink::Callback, &sink), 0);
    // Emitted right after the callback is set: still delivered.
    ASSERT_TRUE(emu.EmitBoxes(0, "1,10,20,30,40;2,-5,60,70,80"));
    ASSERT_TRUE(sink.Wait(1));
    emu.EmitBoxes(6, "3,100,200,50,120");
    emu.EmitBoxes(0, "");
    ASSERT_TRUE(sink.Wait(3));
    EXPECT_EQ(sink.got,
              (std::vector<std::vector<int32_t>>{
                  {h, 0, 40, 1, 10, 20, 30, 40, 2, -5, 60, 70, 80}, {h, 6, 20, 3, 100, 200, 50, 120}, {h, 0, 0}}));

    // The event callback sees the same boxes; the message callback can be removed.
    BoxSink events;
    ASSERT_EQ(KY_SDK_SetEventCallBack(h, h, &BoxSink::Callback, &events), 0);
    ASSERT_EQ(KY_SDK_SetMessageCallBack(h, h, nullptr, nullptr), 0);
    emu.EmitBoxes(6, "4,1,2,3,4");
    ASSERT_TRUE(events.Wait(1));
    EXPECT_EQ(events.got[0], (std::vector<int32_t>{h, 6, 20, 4, 1, 2, 3, 4}));
    EXPECT_EQ(sink.Count(), 3u);
    EXPECT_EQ(KY_SDK_Logout(h), 0);
    h = 0;
    emu.EmitBoxes(0, "5,1,1,1,1");

    // Two logins get each box once; one of them logs itself out from its callback.
    const KY_HANDLE a = Login(), b = Login();
    BoxSink sa, sb;
    sa.logoutFrom = a;
    ASSERT_EQ(KY_SDK_SetMessageCallBack(a, a, &BoxSink::Callback, &sa), 0);
    ASSERT_EQ(KY_SDK_SetMessageCallBack(b, b, &BoxSink::Callback, &sb), 0);
    emu.EmitBoxes(0, "6,1,1,1,1");
    ASSERT_TRUE(sa.Wait(1));
    ASSERT_TRUE(sb.Wait(1));
    emu.EmitBoxes(0, "7,1,1,1,1");
    ASSERT_TRUE(sb.Wait(2));
    EXPECT_EQ(sb.got[0][3], 6);
    EXPECT_EQ(sb.got[1][3], 7);
    EXPECT_FALSE(ky::sdk::FindSession(a));
    EXPECT_EQ(sa.Count(), 1u) << "a box delivered after the callback logged out";
    EXPECT_EQ(events.Count(), 1u) << "a box delivered after Logout returned";
    EXPECT_EQ(KY_SDK_Logout(b), 0);

    // The emulator refuses malformed boxes and unknown talk ids.
    int status = 0;
    for (const char* bad :
         {"type=0&boxes=1,2,3,4", "type=0&boxes=1,2,3,4,5,6", "type=999&boxes=", "type=0&boxes=1,2,3,4,x"}) {
        emu.Get(std::string("/sdk/emit-boxes?") + bad, &status);
        EXPECT_EQ(status, 400) << bad;
    }
    emu.Get("/sdk/talk?op=close&id=99", &status);
    EXPECT_EQ(status, 409);
}

TEST(SdkControlHttp, RetriesOnceWhenAKeptConnectionWasClosedAndAbortWakesAStuckExchange) {
    // Claims keep-alive, then closes after each reply.
    ScriptedServer srv(ScriptedServer::Mode::ReplyThenClose,
                       "HTTP/1.1 200 OK\r\nContent-Length: 8\r\nConnection: keep-alive\r\n\r\nx=1%3B\r\n");
    ky::sdk::ControlHttp http("127.0.0.1", srv.Port(), "u", "p");
    for (int i = 0; i < 3; ++i) {
        ky::sdk::HttpReply r;
        ASSERT_EQ(http.Exchange("GET", "/sdk/x", {}, 3000, &r), ky::sdk::HttpFail::None) << i;
        EXPECT_EQ(r.status, 200);
        EXPECT_EQ(ky::sdk::ParseFields(r.body)["x"], "1;");
    }
    EXPECT_EQ(srv.Accepted(), 3);

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
