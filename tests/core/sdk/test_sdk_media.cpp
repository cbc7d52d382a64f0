// Live media of the SDK against kycam-emulator on loopback: play, stop while
// the camera hangs, reconnect, snapshots, recordings, sound, and the drawing
// layer on its own and edited through the SDK calls.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <thread>
#include <tuple>
#include <vector>

#include "core/sdk/H264Units.h"
#include "core/sdk/KySdk.h"
#include "core/sdk/MediaDrawLayer.h"
#include "tests/core/sdk/SdkTestSupport.h"
#include "tests/support/EmulatorProcess.h"
#include "tests/support/LoopbackRelay.h"
#include "tests/support/ScriptedServer.h"
#include "tests/support/TestFiles.h"

namespace {

using namespace std::chrono_literals;
using ky::sdk::DrawLayer;
using ky::sdk::DrawRect;
using ky::test::EmulatorProcess;
using kytest::Poll;
namespace fs = std::filesystem;

// Counts the pictures and keeps a copy of the latest.
class TestSurface : public KySdkSurface {
public:
    struct Seen {
        int frames = 0, width = 0, height = 0, stride = 0, mode = -1;
        std::vector<uint8_t> last, first;   // first: when keepFirst, the first picture after it was set
        std::vector<bool> states;
        uint32_t Pixel(int x, int y) const {
            uint32_t v;
            std::memcpy(&v, last.data() + size_t(y) * stride + x * 4, 4);
            return v;
        }
    };
    void PresentFrame(const uint8_t* pixels, int width, int height, int stride, int mode) override {
        std::lock_guard lock(mutex_);
        seen_.frames++, seen_.width = width, seen_.height = height, seen_.stride = stride, seen_.mode = mode;
        seen_.last.assign(pixels, pixels + size_t(stride) * height);
        if (keepFirst.exchange(false)) seen_.first = seen_.last;
    }
    void StreamState(bool connected) override {
        std::lock_guard lock(mutex_);
        seen_.states.push_back(connected);
    }
    bool ViewSize(int* w, int* h) const override {
        *w = viewW, *h = viewH;
        return viewW > 0;
    }
    Seen Get() const {
        std::lock_guard lock(mutex_);
        return seen_;
    }
    int Frames() const {
        std::lock_guard lock(mutex_);
        return seen_.frames;
    }
    bool WaitFrames(int n) const {
        const int target = Frames() + n;
        return Poll([&] { return Frames() >= target; }, 30000);
    }
    int viewW = 0, viewH = 0;
    std::atomic<bool> keepFirst{false};

private:
    mutable std::mutex mutex_;
    Seen seen_;
};

// ffprobe's "key=value" lines (and errors) for the streams and the format of a file.
std::string Probe(const fs::path& file) {
    return ky::test::RunProcess(
               {"ffprobe", "-v", "error", "-show_entries",
                "stream=codec_type,codec_name,width,height:format=format_name,duration", "-of", "default=nw=1", file},
               {}, {.mergeStderr = true})
        .out;
}
double Duration(const std::string& probe) {
    const size_t at = probe.find("duration=");
    return at == std::string::npos ? 0 : std::atof(probe.c_str() + at + 9);
}
// Errors found by decoding the whole file.
std::string DecodeErrors(const fs::path& file) {
    return ky::test::RunProcess({"ffmpeg", "-nostdin", "-v", "error", "-i", file, "-f", "null", "-"}, {},
                                {.mergeStderr = true})
        .out;
}

// A filter for a relay to the emulator's RTSP port that takes the H.264
// parameter sets out of the session description, as some cameras send it:
// replies go on whole until the description passed, then bytes as they come.
ky::test::LoopbackRelay::Filter StripParameterSets(std::shared_ptr<std::atomic<int>> stripped) {
    return [stripped, done = false](std::string& held) mutable {
        std::string out;
        for (size_t end; !done && (end = held.find("\r\n\r\n")) != std::string::npos;) {
            const size_t at = held.find("Content-Length: ");
            const size_t body = at < end ? size_t(std::atoi(held.c_str() + at + 16)) : 0;
            if (held.size() < end + 4 + body) break;
            std::string reply = held.substr(0, end + 4 + body);
            held.erase(0, reply.size());
            if (const size_t sprop = reply.find("sprop-parameter-sets=", end); sprop != std::string::npos) {
                reply.erase(sprop, reply.find_first_of(";\r", sprop) + 1 - sprop);
                reply.replace(at + 16, reply.find('\r', at) - at - 16, std::to_string(reply.size() - end - 4));
                done = true;
                ++*stripped;
            }
            out += reply;
        }
        if (done) out += std::exchange(held, {});
        return out;
    };
}

KY_DRAW_ITEM Item(const char* label, int l, int t, int r, int b, KY_COLOR* color) {
    KY_DRAW_ITEM it{{}, l, t, r, b, 1, 3, 4, 24, 2, color};
    std::strncpy(it.label, label, sizeof it.label);
    return it;
}

class SdkMedia : public ::testing::Test {
protected:
    void SetUp() override { KY_SDK_Init(); }
    void TearDown() override {
        if (handle_) KY_SDK_Logout(handle_);
        KY_SDK_SetAudioOutputFactory(nullptr);
        KY_SDK_Cleanup();
    }
    void Start(std::vector<std::string> args = {}) {
        args.insert(args.begin(), {"--rtsp-port", "0", "--no-discovery", "--quiet"});
        emu_ = std::make_unique<EmulatorProcess>(args);
        ASSERT_TRUE(emu_->Ok()) << "emulator did not start";
    }
    void Login(const char* user = "admin", const char* password = "admin") {
        int error = -1;
        handle_ = KY_SDK_LoginExt("127.0.0.1", user, password, uint16_t(emu_->HttpPort()), 5000, &error);
        ASSERT_GT(handle_, 0) << "login failed, reason " << error;
    }
    void Play(int streamCode = 1) {
        KY_PLAY_INFO info{streamCode, streamCode - 1, 0, 7};
        ASSERT_EQ(KY_SDK_RealPlayExt(handle_, &surface_, &info), 0);
        ASSERT_TRUE(surface_.WaitFrames(1)) << "no picture from stream " << streamCode;
    }
    void Playing(const std::vector<std::string>& args = {}) {
        Start(args);
        Login();
        Play(1);
    }
    std::pair<int, int> PicInfo() {
        int h = 0, w = 0;
        EXPECT_EQ(KY_SDK_GetPicInfo(handle_, &h, &w), 0);
        return {w, h};
    }

    std::unique_ptr<EmulatorProcess> emu_;
    KY_HANDLE handle_ = 0;
    TestSurface surface_;
    kytest::TempDir temp_;
    fs::path dir_ = temp_.path();
};

// Credentials with reserved characters reach the stream too.
TEST_F(SdkMedia, BothStreamsPlayWithTheirPictureSizeAndTheSnapshotIsAJpegOfIt) {
    Start({"--user", "ad min", "--password", "p@ss:w/rd%?#"});
    Login("ad min", "p@ss:w/rd%?#");
    // Logged in but not playing: nothing to show, record or capture.
    int a = 0, b = 0;
    EXPECT_LT(KY_SDK_CaptureJPEGPicture(handle_, (dir_ / "none.jpg").c_str()), 0);
    EXPECT_FALSE(fs::exists(dir_ / "none.jpg"));
    EXPECT_NE(KY_SDK_StartRecord(handle_, (dir_ / "none.avi").c_str(), 4, 0, 0), 0);
    EXPECT_NE(KY_SDK_GetPicInfo(handle_, &a, &b), 0);
    KY_PLAY_INFO bad{7, 0, 0, 7};
    EXPECT_NE(KY_SDK_RealPlayExt(handle_, &surface_, &bad), 0);
    EXPECT_NE(KY_SDK_RealPlayExt(handle_, &surface_, nullptr), 0);

    KY_SDK_SetDisplayMode(handle_, 1);
    Play(1);
    const auto [w, h] = PicInfo();
    EXPECT_GT(w, 0);
    const TestSurface::Seen seen = surface_.Get();
    EXPECT_EQ(std::tuple(seen.width, seen.height, seen.stride, seen.mode), std::tuple(w, h, w * 4, 1));
    EXPECT_EQ(seen.Pixel(0, 0) >> 24, 0xFFu) << "pixels are opaque 0xAARRGGBB";

    // The second stream replaces the first on the same handle.
    Play(2);
    ASSERT_TRUE(surface_.WaitFrames(2));
    const auto [w2, h2] = PicInfo();
    EXPECT_LT(w2 * h2, w * h);
    const fs::path jpg = dir_ / "Snap_1.jpg";
    ASSERT_EQ(KY_SDK_CaptureJPEGPicture(handle_, jpg.c_str()), 0);
    const std::string probe = Probe(jpg), size = std::to_string(w2) + "\nheight=" + std::to_string(h2);
    EXPECT_NE(probe.find("codec_name=mjpeg\ncodec_type=video\nwidth=" + size), std::string::npos) << probe;
    EXPECT_EQ(DecodeErrors(jpg), "");
    // A folder that does not exist, or a directory: negative, and nothing is left behind.
    EXPECT_LT(KY_SDK_CaptureJPEGPicture(handle_, (dir_ / "missing" / "x.jpg").c_str()), 0);
    EXPECT_LT(KY_SDK_CaptureJPEGPicture(handle_, dir_.c_str()), 0);

    // After StopRealPlay returns no frame arrives any more.
    ASSERT_EQ(KY_SDK_StopRealPlay(handle_), 0);
    const int frames = surface_.Frames();
    std::this_thread::sleep_for(400ms);
    EXPECT_EQ(surface_.Frames(), frames);
    EXPECT_NE(KY_SDK_StopRealPlay(handle_), 0);
    EXPECT_TRUE(surface_.Get().states.empty());   // never lost
}

// The first picture is whole (a picture decoded before all of it arrived
// would end in flat concealment rows), also when the description lacks the
// parameter sets and the stream is probed instead.
TEST_F(SdkMedia, FirstPictureIsWholeWithAndWithoutParameterSetsInTheDescription) {
    Start();
    std::unique_ptr<ky::test::LoopbackRelay> relay;
    auto stripped = std::make_shared<std::atomic<int>>(0);
    for (const bool strip : {false, true}) {
        if (strip) {
            relay = std::make_unique<ky::test::LoopbackRelay>(emu_->RtspPort(), StripParameterSets(stripped));
            kytest::EmuRoutes{emu_->HttpPort()}.Set("rtspport", std::to_string(relay->Port()));
        }
        surface_.keepFirst = true;
        Login();
        Play(1);
        EXPECT_EQ(PicInfo(), std::make_pair(1280, 720)) << "strip " << strip;
        const TestSurface::Seen seen = surface_.Get();
        ASSERT_EQ(seen.first.size(), size_t(1280 * 4 * 720));
        // The colours of the bottom 16 rows: bars, pulses and text, not one flat grey.
        std::set<uint32_t> colours;
        for (size_t at = seen.first.size() - 16 * 1280 * 4; at < seen.first.size(); at += 4 * 7)
            colours.insert(
                uint32_t(seen.first[at] >> 4 | (seen.first[at + 1] >> 4) << 4 | (seen.first[at + 2] >> 4) << 8));
        EXPECT_GT(colours.size(), 4u) << "strip " << strip;
        KY_SDK_Logout(handle_);
        handle_ = 0;
    }
    EXPECT_EQ(*stripped, 1);
}

TEST_F(SdkMedia, StopReturnsWhileTheCameraHangs) {
    Playing();
    ASSERT_EQ(kill(emu_->Pid(), SIGSTOP), 0);
    std::this_thread::sleep_for(1500ms);   // the player blocks in its read of the silent camera
    KY_SDK_StopRealPlay(handle_);          // the test's time-out catches a hang
    kill(emu_->Pid(), SIGCONT);
}

TEST_F(SdkMedia, ReconnectsAfterTheCameraRestartsAndTheRecordingEndsWithTheStream) {
    // The same ports again after the restart (later options override the helper's "--http-port 0").
    const std::vector<std::string> ports = {"--http-port", std::to_string(ky::test::ScriptedServer::ClosedPort()),
                                            "--rtsp-port", std::to_string(ky::test::ScriptedServer::ClosedPort())};
    Playing(ports);
    const fs::path avi = dir_ / "lost.avi";
    ASSERT_EQ(KY_SDK_StartRecord(handle_, avi.c_str(), 4, 0, 0), 0);
    ASSERT_TRUE(surface_.WaitFrames(60));
    ASSERT_EQ(kill(emu_->Pid(), SIGKILL), 0);
    ASSERT_TRUE(Poll([&] { return !surface_.Get().states.empty(); })) << "loss not reported";
    EXPECT_EQ(surface_.Get().states, std::vector<bool>{false});
    const std::string probe = Probe(avi);
    EXPECT_NE(probe.find("codec_name=h264"), std::string::npos) << probe;
    EXPECT_GT(Duration(probe), 0.5);
    EXPECT_EQ(DecodeErrors(avi), "");
    EXPECT_EQ(KY_SDK_StopRecord(handle_), 0);
    emu_.reset();   // reaps the killed process
    Start(ports);
    ASSERT_TRUE(Poll([&] { return surface_.Get().states.size() >= 2; })) << "reconnection not reported";
    EXPECT_EQ(surface_.Get().states, (std::vector<bool>{false, true}));
    EXPECT_TRUE(surface_.WaitFrames(5));
}

TEST_F(SdkMedia, RecordingHoldsVideoAndAudioForItsTimeAndLogoutEndsItCleanly) {
    Playing();
    const fs::path stopped = dir_ / "RecFile_1.avi", loggedOut = dir_ / "RecFile_2.avi";
    EXPECT_NE(KY_SDK_StartRecord(handle_, (dir_ / "missing" / "x.avi").c_str(), 4, 0, 0), 0);   // fails at once
    ASSERT_EQ(KY_SDK_StartRecord(handle_, stopped.c_str(), 4, 0, 0), 0);
    std::this_thread::sleep_for(4s);
    ASSERT_EQ(KY_SDK_StopRecord(handle_), 0);
    const std::string probe = Probe(stopped);
    EXPECT_NE(probe.find("codec_name=h264\ncodec_type=video"), std::string::npos) << probe;
    EXPECT_GT(probe.find("codec_name=pcm_mulaw\ncodec_type=audio"), probe.find("h264")) << probe;
    EXPECT_NE(probe.find("format_name=avi"), std::string::npos) << probe;
    EXPECT_TRUE(Duration(probe) > 2.5 && Duration(probe) < 5.5) << probe;

    // Ended by the logout instead: still a complete file.
    ASSERT_EQ(KY_SDK_StartRecord(handle_, loggedOut.c_str(), 4, 0, 0), 0);
    ASSERT_TRUE(surface_.WaitFrames(60));   // recording starts at the next key frame (one a second)
    ASSERT_EQ(KY_SDK_Logout(handle_), 0);
    handle_ = 0;
    EXPECT_GT(Duration(Probe(loggedOut)), 1.0);
    for (const fs::path& f : {stopped, loggedOut}) EXPECT_EQ(DecodeErrors(f), "") << f;
}

struct FakeAudio : KySdkAudioOutput {
    static inline std::atomic<int> samples{0}, closed{0}, rate{0}, channels{0};
    static inline bool openResult = true;
    bool Open(int sampleRate, int ch) override {
        rate = sampleRate, channels = ch;
        return openResult;
    }
    void Write(const int16_t*, int count) override { samples += count; }
    void Close() override { ++closed; }
};

TEST_F(SdkMedia, SoundNeedsAnOutputAndFeedsIt) {
    Playing();
    auto soundOn = [&] {
        int on = -1;
        EXPECT_EQ(KY_SDK_GetMute(handle_, 0, &on), 0);
        return on;
    };
    EXPECT_NE(KY_SDK_SetMute(handle_, 0, 1), 0);   // no factory: unmuting fails, the state stays off
    EXPECT_EQ(soundOn(), 0);
    EXPECT_EQ(KY_SDK_SetMute(handle_, 0, 0), 0);
    KY_SDK_SetAudioOutputFactory([]() -> KySdkAudioOutput* { return new FakeAudio; });
    FakeAudio::openResult = false;   // a device that cannot be opened
    EXPECT_NE(KY_SDK_SetMute(handle_, 0, 1), 0);
    EXPECT_EQ(soundOn(), 0);

    FakeAudio::openResult = true;
    FakeAudio::samples = 0;
    ASSERT_EQ(KY_SDK_SetMute(handle_, 0, 1), 0);
    EXPECT_EQ(FakeAudio::rate * 10 + FakeAudio::channels, 80001) << "8 kHz mono";
    EXPECT_EQ(soundOn(), 1);
    EXPECT_TRUE(Poll([] { return FakeAudio::samples >= 8000; }, 30000));
    const int closedBefore = FakeAudio::closed;
    ASSERT_EQ(KY_SDK_SetMute(handle_, 0, 0), 0);
    EXPECT_EQ(FakeAudio::closed, closedBefore + 1);
    EXPECT_EQ(soundOn(), 0);
    const int after = FakeAudio::samples;
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(FakeAudio::samples, after);
}

int OnDraw(KY_HANDLE, int32_t l, int32_t t, int32_t r, int32_t b, const char* name, void* user) {
    auto* calls = static_cast<std::vector<std::string>*>(user);
    calls->push_back(std::string(name) + " " + std::to_string(l) + "," + std::to_string(t) + "," + std::to_string(r) +
                     "," + std::to_string(b));
    return 0;
}

TEST_F(SdkMedia, DraggedRectangleIsReportedAndPainted) {
    Start();
    Login();
    std::vector<std::string> calls;   // from the window thread's mouse calls only
    ASSERT_EQ(KY_SDK_SetDrawCallBack(handle_, handle_, &OnDraw, &calls), 0);
    surface_.viewW = 640;   // half the size of the first stream's picture
    surface_.viewH = 360;
    Play(1);
    ASSERT_EQ(PicInfo(), std::make_pair(1280, 720));

    KY_COLOR green{0xFF00, 0, 1, 0};
    KY_DRAW_ITEM item = Item("1", 100, 100, 300, 200, &green);
    ASSERT_EQ(KY_SDK_SetPenPixel(handle_, 5), 0);
    ASSERT_EQ(KY_SDK_InputDrawData(handle_, &item, 1, 1), 0);
    ASSERT_EQ(KY_SDK_EnablePic(handle_, "1", 1, 1), 0);
    const KY_RECT view{0, 0, 640, 360};
    ASSERT_EQ(KY_SDK_SelectPic(handle_, 100, 75), 0);   // picture (200, 150): inside
    ASSERT_EQ(KY_SDK_MouseMove(handle_, 1, 150, 100, view), 0);
    ASSERT_EQ(KY_SDK_MouseMove(handle_, 0, 300, 300, view), 0);   // released: ignored
    // Bottom-right corner at picture (400, 250) is window (200, 125).
    ASSERT_EQ(KY_SDK_SelectPic(handle_, 200, 125), 0);
    ASSERT_EQ(KY_SDK_MouseMove(handle_, 1, 250, 150, view), 0);
    EXPECT_EQ(calls, (std::vector<std::string>{"1 200,150,400,250", "1 200,150,500,300"}));

    // The edited rectangle is what the next pictures show.
    ASSERT_TRUE(surface_.WaitFrames(2));
    EXPECT_EQ(surface_.Get().Pixel(201, 151), 0xFF00FF00u);
}

// ---- H.264 taken apart without FFmpeg's parser -------------------------------

// A packet as the depacketizer gives it: NAL units behind start codes
// ("5:101" type 5, 101 bytes, first slice; "5/:40" a later slice), or a
// continuing fragment ("+100", 100 bytes).
struct UnitPacket {
    int64_t pts;
    std::vector<std::string> parts;
};

std::vector<uint8_t> PacketBytes(const UnitPacket& p) {
    std::vector<uint8_t> out;
    for (const std::string& part : p.parts) {
        if (part[0] == '+') {
            out.insert(out.end(), size_t(std::stoi(part.substr(1))), 0x55);
            continue;
        }
        const int type = std::stoi(part);
        const size_t size = size_t(std::stoi(part.substr(part.find(':') + 1)));
        out.insert(out.end(), {0, 0, 0, 1, uint8_t(0x60 | type)});
        std::vector<uint8_t> body(size - 1, 0x55);
        body[0] = part.find('/') != std::string::npos ? 0x40 : 0x80;   // first_mb_in_slice != 0, or 0
        if (type == 6) body[0] = 6, body[1] = 2;                       // an SEI recovery point
        out.insert(out.end(), body.begin(), body.end());
    }
    return out;
}

// "[7 8 5]368k": the NAL types and size of a chunk or unit, k when key.
std::string Describe(const std::vector<uint8_t>& d, bool key) {
    std::string types;
    for (size_t i = 0; i + 4 < d.size(); ++i)
        if (d[i] == 0 && d[i + 1] == 0 && d[i + 2] == 0 && d[i + 3] == 1)
            types += (types.empty() ? "" : " ") + std::to_string(d[i + 4] & 0x1F);
    return "[" + types + "]" + std::to_string(d.size()) + (key ? "k" : "");
}

TEST(SdkH264Units, SlicesReachTheDecoderAsSoonAsTheyAreCompleteAndUnitsWhenTheyEnd) {
    const struct {
        const char* what;
        std::vector<UnitPacket> packets;
        std::string want;   // per packet: "U" units, then chunks; packets separated by '|'
    } cases[] = {
        {"a fragmented key slice is ready at its short last fragment, a small slice at once",
         {{1, {"7:10", "8:5"}}, {1, {"5:101"}}, {1, {"+100"}}, {1, {"+100"}}, {1, {"+40"}}, {2, {"1:50"}}},
         "|||| [7 8 5]368k| U[7 8 5]368k [1]54"},
        {"fragments all of one size: complete only when the next unit starts",
         {{1, {"5:101"}}, {1, {"+100"}}, {1, {"+100"}}, {2, {"9:2"}}, {2, {"1:101"}}, {2, {"+100"}}},
         "||| U[5]305k [5]305k||"},
        {"a guess proven wrong: the slice again whole, no more guessing",
         {{1, {"5:101"}}, {1, {"+100"}}, {1, {"+60"}}, {1, {"+30"}}, {2, {"1:20"}}, {2, {"+100"}}, {3, {"1:20"}}},
         "|| [5]265k|| U[5]295k [5]295k|| U[1]124 [1]124"},
        {"joined in the middle of a slice; an access unit delimiter ends a unit",
         {{1, {"+100"}}, {1, {"+40"}}, {1, {"9:2", "1:30"}}, {1, {"9:2", "5:30"}}},
         "|| [9 1]40| U[9 1]40 [9 5]40k"},
        {"a recovery point makes an I slice key; a later slice of a picture is not key",
         {{1, {"6:8", "1:30"}}, {2, {"5/:30"}}, {3, {"5:30"}}, {4, {"9:2"}}},
         " [6 1]46k| U[6 1]46k| U[5]34 [5]34| U[5]34k [5]34k"},
    };
    for (const auto& c : cases) {
        ky::sdk::H264Units units;
        std::string got;
        for (size_t i = 0; i < c.packets.size(); ++i) {
            std::vector<ky::sdk::H264Units::Chunk> chunks;
            std::vector<ky::sdk::H264Units::Unit> done;
            const std::vector<uint8_t> bytes = PacketBytes(c.packets[i]);
            units.Push(bytes.data(), bytes.size(), c.packets[i].pts, &chunks, &done);
            if (i) got += "|";
            for (const auto& u : done) got += " U" + Describe(u.data, u.key);
            for (const auto& ch : chunks) got += " " + Describe(ch.data, ch.key);
        }
        EXPECT_EQ(got, c.want) << c.what;
    }
}

TEST(SdkDrawLayer, PaintsVisibleRectanglesWithPenWidthAndClips) {
    EXPECT_EQ(ky::sdk::ColorRefToArgb(0x123456), 0xFF563412u);   // 0x00BBGGRR to opaque 0xAARRGGBB
    constexpr uint32_t kRed = 0xFFFF0000u, kBlack = 0xFF000000u;
    DrawLayer layer;
    ASSERT_TRUE(layer.SetPenWidth(3));
    KY_COLOR red{0xFF, 0, 1, 0}, hidden{0xFF00, 0, 0, 0}, green{0xFF00, 0, 1, 0};
    KY_DRAW_ITEM items[] = {Item("", 10, 10, 50, 40, &red), Item("", 60, 10, 90, 40, &hidden),
                            Item("", -100, -100, 5000, 5000, &red)};
    ASSERT_TRUE(layer.SetItems(items, 3, 2));
    std::vector<uint32_t> pic(100 * 60, kBlack);
    layer.Paint(reinterpret_cast<uint8_t*>(pic.data()), 100, 60, 400);
    // Pen edge, just inside the 3-pixel pen, the exclusive right edge, the
    // invisible item, the huge one outside the picture.
    const struct {
        int x, y;
        uint32_t want;
    } points[] = {{10, 10, kRed},   {12, 25, kRed},   {13, 25, kBlack}, {49, 39, kRed},
                  {50, 25, kBlack}, {60, 10, kBlack}, {75, 55, kBlack}};
    for (const auto& p : points) EXPECT_EQ(pic[size_t(p.y * 100 + p.x)], p.want) << p.x << "," << p.y;

    // A label with no terminator at all is drawn and found safely.
    KY_DRAW_ITEM it = Item("", 0, 0, 200, 100, &green);
    std::memset(it.label, '1', sizeof it.label);
    ASSERT_TRUE(layer.SetItems(&it, 1, 1));
    std::vector<uint32_t> big(200 * 100, kBlack);
    layer.Paint(reinterpret_cast<uint8_t*>(big.data()), 200, 100, 800);
    int lit = 0;   // the label's pixels, away from the pen
    for (int y = 5; y < 30; ++y)
        lit += int(std::count(&big[size_t(y * 200 + 5)], &big[size_t(y * 200 + 60)], 0xFF00FF00u));
    EXPECT_GT(lit, 20);
    EXPECT_EQ(layer.Find(std::string(32, '1'), 1).value(), (DrawRect{0, 0, 200, 100}));
}

TEST(SdkDrawLayer, BadInputLayersAndEditing) {
    DrawLayer layer;
    EXPECT_FALSE(layer.SetPenWidth(0) || layer.SetItems(nullptr, 2, 1) || layer.SetItems(nullptr, -1, 1) ||
                 layer.EnableEditing(nullptr, true, 1));
    KY_COLOR c{0xFF00, 0, 1, 0};
    KY_DRAW_ITEM a[] = {Item("1", 100, 100, 300, 200, &c), Item("2", 400, 300, 420, 320, nullptr)};
    KY_DRAW_ITEM box = Item("Box", 10, 10, 60, 60, &c);
    ASSERT_TRUE(layer.SetItems(a, 2, DrawLayer::kEditLayer));
    ASSERT_TRUE(layer.EnableEditing("1", false, DrawLayer::kEditLayer));
    EXPECT_FALSE(layer.Select(150, 150, 4));
    EXPECT_FALSE(layer.Drag(200, 200, 640, 480));
    ASSERT_TRUE(layer.EnableEditing("1", true, DrawLayer::kEditLayer));
    EXPECT_TRUE(layer.Select(150, 150, 4));
    // Display layers (detection boxes) stay put unless enabled by name, compared without regard to case.
    ASSERT_TRUE(layer.SetItems(&box, 1, 2));
    EXPECT_FALSE(layer.Select(30, 30, 4));
    ASSERT_TRUE(layer.EnableEditing("BOX", true, 2));
    EXPECT_TRUE(layer.Select(30, 30, 4));
    auto e = layer.Drag(40, 30, 640, 480);
    ASSERT_TRUE(e);
    EXPECT_EQ(e->name, "Box");
    // New items replace a layer's old ones; none clear it.
    ASSERT_TRUE(layer.SetItems(&box, 1, DrawLayer::kEditLayer));
    EXPECT_FALSE(layer.Find("1", DrawLayer::kEditLayer));
    ASSERT_TRUE(layer.SetItems(nullptr, 0, DrawLayer::kEditLayer) && layer.SetItems(nullptr, 0, 2));
    EXPECT_TRUE(layer.Empty());
}

TEST(SdkDrawLayer, DragMovesAndResizesInsideThePicture) {
    DrawLayer layer;
    KY_COLOR green{0xFF00, 0, 1, 0};
    KY_DRAW_ITEM items[] = {Item("1", 100, 100, 300, 200, &green), Item("2", 400, 300, 500, 400, &green)};
    const struct {
        const char* what;
        int pressX, pressY, toX, toY;
        DrawRect want;
    } cases[] = {
        {"inside moves", 150, 150, 250, 180, {200, 130, 400, 230}},
        {"clamped to the picture", 150, 150, -1000, 5000, {0, 380, 200, 480}},
        {"bottom-right corner", 301, 199, 351, 259, {100, 100, 350, 260}},
        {"left edge, never inside out", 100, 150, 1000, 10, {296, 100, 300, 200}},
        {"top edge of 2", 420, 300, 420, -50, {400, 0, 500, 400}},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(layer.SetItems(items, 2, DrawLayer::kEditLayer));
        ASSERT_TRUE(layer.Select(c.pressX, c.pressY, 4)) << c.what;
        auto e = layer.Drag(c.toX, c.toY, 640, 480);
        ASSERT_TRUE(e) << c.what;
        EXPECT_EQ(e->rect, c.want) << c.what;
        EXPECT_FALSE(layer.Drag(c.toX, c.toY, 640, 480)) << c.what << ": nothing changed, nothing to report";
    }
    EXPECT_FALSE(layer.Select(10, 10, 4));   // nothing there
    ASSERT_TRUE(layer.SetItems(items, 2, DrawLayer::kEditLayer));
    ASSERT_TRUE(layer.Select(150, 150, 4));
    layer.Drag(250, 180, 640, 480);
    EXPECT_EQ(layer.Drag(160, 150, 640, 480)->rect, (DrawRect{110, 100, 310, 200})) << "relative to the press";
    // Replacing the items drops a stale selection.
    ASSERT_TRUE(layer.Select(150, 150, 4));
    ASSERT_TRUE(layer.SetItems(items + 1, 1, DrawLayer::kEditLayer));
    EXPECT_FALSE(layer.Drag(200, 200, 640, 480));
}

}   // namespace
