// Live media of the SDK against kycam-emulator on loopback: play, stop while
// the camera hangs, reconnect, snapshots, recordings, sound and the drawing
// layer edited through the SDK calls.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <mutex>
#include <sstream>
#include <string>
#include <thread>
#include <tuple>
#include <vector>

#include "core/sdk/KySdk.h"
#include "tests/support/EmulatorProcess.h"

namespace {

using namespace std::chrono_literals;
using ky::test::EmulatorProcess;
namespace fs = std::filesystem;

// Generous bound for waiting on the stream: a failure, not a measurement.
constexpr auto kWait = 30s;

class TestSurface : public KySdkSurface {
public:
    void PresentFrame(const uint8_t* pixels, int width, int height, int stride, int mode) override {
        std::lock_guard lock(mutex_);
        ++frames_;
        width_ = width;
        height_ = height;
        stride_ = stride;
        mode_ = mode;
        if (probe_) probeValue_ = probe_(pixels, width, height, stride);
        cv_.notify_all();
    }
    void StreamState(bool connected) override {
        std::lock_guard lock(mutex_);
        states_.push_back(connected);
        cv_.notify_all();
    }
    bool ViewSize(int* w, int* h) const override {
        if (viewW_ <= 0) return false;
        *w = viewW_;
        *h = viewH_;
        return true;
    }

    bool WaitFrames(int n, std::chrono::seconds limit = kWait) {
        std::unique_lock lock(mutex_);
        const int target = frames_ + n;
        return cv_.wait_for(lock, limit, [&] { return frames_ >= target; });
    }
    bool WaitStates(size_t n, std::chrono::seconds limit = kWait) {
        std::unique_lock lock(mutex_);
        return cv_.wait_for(lock, limit, [&] { return states_.size() >= n; });
    }
    int Frames() const {
        std::lock_guard lock(mutex_);
        return frames_;
    }
    std::vector<bool> States() const {
        std::lock_guard lock(mutex_);
        return states_;
    }
    void Size(int* w, int* h, int* stride) const {
        std::lock_guard lock(mutex_);
        *w = width_;
        *h = height_;
        *stride = stride_;
    }
    int Mode() const {
        std::lock_guard lock(mutex_);
        return mode_;
    }
    // Evaluated on every presented frame; its latest result is kept.
    void SetProbe(std::function<uint32_t(const uint8_t*, int, int, int)> probe) {
        std::lock_guard lock(mutex_);
        probe_ = std::move(probe);
        probeValue_ = 0;
    }
    uint32_t ProbeValue() const {
        std::lock_guard lock(mutex_);
        return probeValue_;
    }

    int viewW_ = 0, viewH_ = 0;

private:
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    int frames_ = 0, width_ = 0, height_ = 0, stride_ = 0, mode_ = -1;
    std::vector<bool> states_;
    std::function<uint32_t(const uint8_t*, int, int, int)> probe_;
    uint32_t probeValue_ = 0;
};

std::string Shell(const std::string& cmd, int* status = nullptr) {
    std::string out;
    FILE* p = popen(cmd.c_str(), "r");
    if (!p) return out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0) out.append(buf, n);
    const int st = pclose(p);
    if (status) *status = st;
    return out;
}

// ffprobe's key=value lines of the streams and the format of a file.
std::multimap<std::string, std::string> Probe(const fs::path& file, std::string* errors) {
    const std::string cmd =
        "ffprobe -v error -show_streams -show_format -of flat=s=_ '" + file.string() + "' 2>" + file.string() + ".err";
    int st = 0;
    const std::string out = Shell(cmd, &st);
    std::ifstream err(file.string() + ".err");
    *errors = std::string(std::istreambuf_iterator<char>(err), {});
    if (st != 0) *errors += " (ffprobe failed)";
    std::multimap<std::string, std::string> kv;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        std::string v = line.substr(eq + 1);
        if (v.size() >= 2 && v.front() == '"') v = v.substr(1, v.size() - 2);
        kv.emplace(line.substr(0, eq), v);
    }
    return kv;
}

std::string Get(const std::multimap<std::string, std::string>& kv, const std::string& key) {
    auto it = kv.find(key);
    return it == kv.end() ? std::string() : it->second;
}

// Errors found by decoding the whole file.
std::string DecodeErrors(const fs::path& file) {
    return Shell("ffmpeg -nostdin -v error -i '" + file.string() + "' -f null - 2>&1");
}

int FreePort() {
    const int s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    int port = 0;
    if (bind(s, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        getsockname(s, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    close(s);
    return port;
}

// PID of our child emulator that was started with this RTSP port.
pid_t EmulatorPid(int rtspPort) {
    for (const auto& e : fs::directory_iterator("/proc")) {
        const std::string name = e.path().filename();
        if (name.find_first_not_of("0123456789") != std::string::npos) continue;
        std::ifstream stat(e.path() / "stat");
        std::string line;
        std::getline(stat, line);
        const size_t close = line.rfind(')');
        if (close == std::string::npos) continue;
        std::istringstream rest(line.substr(close + 2));
        char state;
        pid_t ppid = 0;
        rest >> state >> ppid;
        if (ppid != getpid()) continue;
        std::ifstream cmd(e.path() / "cmdline");
        std::string args(std::istreambuf_iterator<char>(cmd), {});
        std::replace(args.begin(), args.end(), '\0', ' ');
        if (args.find("--rtsp-port " + std::to_string(rtspPort) + " ") != std::string::npos) return std::stoi(name);
    }
    return -1;
}

class SdkMedia : public ::testing::Test {
protected:
    void SetUp() override {
        KY_SDK_Init();
        dir_ = fs::temp_directory_path() / ("sdkmedia-" + std::to_string(getpid()));
        fs::create_directories(dir_);
    }
    void TearDown() override {
        if (handle_) KY_SDK_Logout(handle_);
        KY_SDK_SetAudioOutputFactory(nullptr);
        KY_SDK_Cleanup();
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }

    void Start(std::vector<std::string> args = {}) {
        args.insert(args.begin(), {"--rtsp-port", "0", "--no-discovery", "--quiet"});
        emu_ = std::make_unique<EmulatorProcess>(args);
        ASSERT_TRUE(emu_->Ok()) << "emulator did not start";
    }
    void Login(const char* user = "admin", const char* password = "admin") {
        int error = -1;
        handle_ = KY_SDK_LoginExt("127.0.0.1", user, password, static_cast<uint16_t>(emu_->HttpPort()), 5000, &error);
        ASSERT_GT(handle_, 0) << "login failed, reason " << error;
    }
    void Play(int streamCode = 1) {
        KY_PLAY_INFO info{streamCode, streamCode - 1, 0, 7};
        ASSERT_EQ(KY_SDK_RealPlayExt(handle_, &surface_, &info), 0);
        ASSERT_TRUE(surface_.WaitFrames(1)) << "no picture from stream " << streamCode;
    }

    std::unique_ptr<EmulatorProcess> emu_;
    KY_HANDLE handle_ = 0;
    TestSurface surface_;
    fs::path dir_;
};

TEST_F(SdkMedia, BothStreamsPlayWithTheirPictureSize) {
    Start();
    Login();
    KY_SDK_SetDisplayMode(handle_, 1);
    Play(1);
    int h = 0, w = 0, sw, sh, stride;
    ASSERT_EQ(KY_SDK_GetPicInfo(handle_, &h, &w), 0);
    surface_.Size(&sw, &sh, &stride);
    EXPECT_EQ(w, sw);
    EXPECT_EQ(h, sh);
    EXPECT_EQ(stride, w * 4);
    EXPECT_GT(w, 0);
    EXPECT_EQ(surface_.Mode(), 1);

    // Pixels are opaque 0xAARRGGBB.
    surface_.SetProbe([](const uint8_t* p, int, int, int) {
        uint32_t v;
        std::memcpy(&v, p, 4);
        return v >> 24;
    });
    ASSERT_TRUE(surface_.WaitFrames(2));
    EXPECT_EQ(surface_.ProbeValue(), 0xFFu);

    // The second stream replaces the first on the same handle.
    Play(2);
    int h2 = 0, w2 = 0;
    ASSERT_TRUE(surface_.WaitFrames(2));
    ASSERT_EQ(KY_SDK_GetPicInfo(handle_, &h2, &w2), 0);
    EXPECT_NE(w2, w);
    EXPECT_LT(w2 * h2, w * h);

    // After StopRealPlay returns no frame arrives any more.
    ASSERT_EQ(KY_SDK_StopRealPlay(handle_), 0);
    const int frames = surface_.Frames();
    std::this_thread::sleep_for(400ms);
    EXPECT_EQ(surface_.Frames(), frames);
    EXPECT_NE(KY_SDK_StopRealPlay(handle_), 0);
    EXPECT_TRUE(surface_.States().empty());   // never lost
}

TEST_F(SdkMedia, UnknownHandlesAndBadArgumentsFailCleanly) {
    KY_PLAY_INFO info{1, 0, 0, 7};
    TestSurface s;
    int a = 0, b = 0;
    KY_RECT r{0, 0, 100, 100};
    EXPECT_NE(KY_SDK_RealPlayExt(4242, &s, &info), 0);
    EXPECT_NE(KY_SDK_RealPlayEncExt(4242, &s, &info), 0);
    EXPECT_NE(KY_SDK_StopRealPlay(4242), 0);
    EXPECT_NE(KY_SDK_GetPicInfo(4242, &a, &b), 0);
    EXPECT_NE(KY_SDK_SetMute(4242, 0, 1), 0);
    EXPECT_NE(KY_SDK_GetMute(4242, 0, &a), 0);
    EXPECT_NE(KY_SDK_StartRecord(4242, "/tmp/x.avi", 4, 0, 0), 0);
    EXPECT_NE(KY_SDK_StopRecord(4242), 0);
    EXPECT_LT(KY_SDK_CaptureJPEGPicture(4242, "/tmp/x.jpg"), 0);
    EXPECT_NE(KY_SDK_SetPenPixel(4242, 5), 0);
    EXPECT_NE(KY_SDK_InputDrawData(4242, nullptr, 0, 1), 0);
    EXPECT_NE(KY_SDK_EnablePic(4242, "1", 1, 1), 0);
    EXPECT_NE(KY_SDK_SelectPic(4242, 1, 1), 0);
    EXPECT_NE(KY_SDK_MouseMove(4242, 1, 1, 1, r), 0);

    Start();
    Login();
    // Logged in but not playing: nothing to show, record or capture.
    EXPECT_LT(KY_SDK_CaptureJPEGPicture(handle_, (dir_ / "none.jpg").c_str()), 0);
    EXPECT_FALSE(fs::exists(dir_ / "none.jpg"));
    EXPECT_NE(KY_SDK_StartRecord(handle_, (dir_ / "none.avi").c_str(), 4, 0, 0), 0);
    EXPECT_NE(KY_SDK_GetPicInfo(handle_, &a, &b), 0);
    KY_PLAY_INFO bad{7, 0, 0, 7};
    EXPECT_NE(KY_SDK_RealPlayExt(handle_, &s, &bad), 0);
    EXPECT_NE(KY_SDK_RealPlayExt(handle_, &s, nullptr), 0);
}

TEST_F(SdkMedia, CredentialsWithReservedCharactersReachTheStream) {
    Start({"--user", "ad min", "--password", "p@ss:w/rd%?#"});
    Login("ad min", "p@ss:w/rd%?#");
    Play(1);
}

TEST_F(SdkMedia, StopReturnsWhileTheCameraHangs) {
    const int rtsp = FreePort();
    ASSERT_GT(rtsp, 0);
    Start({"--rtsp-port", std::to_string(rtsp)});
    Login();
    Play(1);
    const pid_t pid = EmulatorPid(rtsp);
    ASSERT_GT(pid, 0);
    ASSERT_EQ(kill(pid, SIGSTOP), 0);
    // Let the player block in its read of the silent camera.
    std::this_thread::sleep_for(1500ms);
    std::atomic<bool> returned{false};
    std::thread stopper([&] {
        KY_SDK_StopRealPlay(handle_);
        returned = true;
    });
    stopper.join();   // the test's time-out catches a hang
    EXPECT_TRUE(returned);
    kill(pid, SIGCONT);
}

TEST_F(SdkMedia, ReconnectsAfterTheCameraRestarts) {
    const int http = FreePort(), rtsp = FreePort();
    ASSERT_GT(http, 0);
    ASSERT_GT(rtsp, 0);
    const std::vector<std::string> args = {"--http-port", std::to_string(http), "--rtsp-port", std::to_string(rtsp)};
    Start(args);
    Login();
    Play(1);
    const fs::path avi = dir_ / "lost.avi";
    ASSERT_EQ(KY_SDK_StartRecord(handle_, avi.c_str(), 4, 0, 0), 0);
    ASSERT_TRUE(surface_.WaitFrames(60));
    const pid_t pid = EmulatorPid(rtsp);
    ASSERT_GT(pid, 0);
    ASSERT_EQ(kill(pid, SIGKILL), 0);
    ASSERT_TRUE(surface_.WaitStates(1)) << "loss not reported";
    EXPECT_EQ(surface_.States(), std::vector<bool>{false});
    // The recording ended with the stream and is a complete file.
    std::string errors;
    auto kv = Probe(avi, &errors);
    EXPECT_EQ(errors, "");
    EXPECT_EQ(Get(kv, "streams_stream_0_codec_name"), "h264");
    EXPECT_GT(std::atof(Get(kv, "format_duration").c_str()), 0.5);
    EXPECT_EQ(KY_SDK_StopRecord(handle_), 0);
    emu_.reset();   // reaps the killed process
    // The same ports again ("--http-port 0" from the helper is overridden by the later option).
    emu_ = std::make_unique<EmulatorProcess>(std::vector<std::string>{
        "--http-port", std::to_string(http), "--rtsp-port", std::to_string(rtsp), "--no-discovery", "--quiet"});
    ASSERT_TRUE(emu_->Ok());
    ASSERT_TRUE(surface_.WaitStates(2)) << "reconnection not reported";
    EXPECT_EQ(surface_.States(), (std::vector<bool>{false, true}));
    EXPECT_TRUE(surface_.WaitFrames(5));
}

TEST_F(SdkMedia, SnapshotIsAJpegOfThePictureSize) {
    Start();
    Login();
    Play(2);
    int h = 0, w = 0;
    ASSERT_EQ(KY_SDK_GetPicInfo(handle_, &h, &w), 0);
    const fs::path jpg = dir_ / "Snap_1.jpg";
    ASSERT_EQ(KY_SDK_CaptureJPEGPicture(handle_, jpg.c_str()), 0);
    std::string errors;
    auto kv = Probe(jpg, &errors);
    EXPECT_EQ(errors, "");
    EXPECT_EQ(Get(kv, "streams_stream_0_codec_name"), "mjpeg");
    EXPECT_EQ(Get(kv, "streams_stream_0_width"), std::to_string(w));
    EXPECT_EQ(Get(kv, "streams_stream_0_height"), std::to_string(h));
    EXPECT_EQ(DecodeErrors(jpg), "");
    // A folder that does not exist: negative, and nothing is left behind.
    EXPECT_LT(KY_SDK_CaptureJPEGPicture(handle_, (dir_ / "missing" / "x.jpg").c_str()), 0);
    EXPECT_LT(KY_SDK_CaptureJPEGPicture(handle_, dir_.c_str()), 0);   // a directory
}

TEST_F(SdkMedia, RecordingHoldsAboutFiveSecondsOfVideoAndAudio) {
    Start();
    Login();
    Play(1);
    const fs::path avi = dir_ / "RecFile_1.avi";
    ASSERT_EQ(KY_SDK_StartRecord(handle_, avi.c_str(), 4, 0, 0), 0);
    std::this_thread::sleep_for(5s);
    ASSERT_EQ(KY_SDK_StopRecord(handle_), 0);
    std::string errors;
    auto kv = Probe(avi, &errors);
    EXPECT_EQ(errors, "");
    EXPECT_EQ(Get(kv, "format_format_name"), "avi");
    EXPECT_EQ(Get(kv, "streams_stream_0_codec_type"), "video");
    EXPECT_EQ(Get(kv, "streams_stream_0_codec_name"), "h264");
    EXPECT_EQ(Get(kv, "streams_stream_1_codec_type"), "audio");
    EXPECT_EQ(Get(kv, "streams_stream_1_codec_name"), "pcm_mulaw");
    const double duration = std::atof(Get(kv, "format_duration").c_str());
    EXPECT_GT(duration, 3.5);
    EXPECT_LT(duration, 7.0);
    EXPECT_EQ(DecodeErrors(avi), "");
    const std::string frames = Shell(
        "ffprobe -v error -count_frames -select_streams v:0 -show_entries "
        "stream=nb_read_frames -of default=nw=1:nk=1 '" +
        avi.string() + "'");
    const int n = std::atoi(frames.c_str());
    EXPECT_GT(n, 60) << frames;   // 25 fps over about 5 s
    EXPECT_LT(n, 200) << frames;
}

TEST_F(SdkMedia, RecordingEndedByLogoutIsAValidFile) {
    Start();
    Login();
    Play(2);
    const fs::path avi = dir_ / "RecFile_2.avi";
    ASSERT_EQ(KY_SDK_StartRecord(handle_, avi.c_str(), 4, 0, 0), 0);
    // Recording starts at the next key frame (one a second).
    ASSERT_TRUE(surface_.WaitFrames(90));
    ASSERT_EQ(KY_SDK_Logout(handle_), 0);
    handle_ = 0;
    std::string errors;
    auto kv = Probe(avi, &errors);
    EXPECT_EQ(errors, "");
    EXPECT_EQ(Get(kv, "streams_stream_0_codec_name"), "h264");
    EXPECT_GT(std::atof(Get(kv, "format_duration").c_str()), 1.0);
    EXPECT_EQ(DecodeErrors(avi), "");
    // A file that cannot be created fails at once.
    Login();
    Play(2);
    EXPECT_NE(KY_SDK_StartRecord(handle_, (dir_ / "missing" / "x.avi").c_str(), 4, 0, 0), 0);
}

struct FakeAudio : KySdkAudioOutput {
    static inline std::atomic<int> samples{0}, opened{0}, closed{0}, rate{0}, channels{0};
    static inline bool openResult = true;
    bool Open(int sampleRate, int ch) override {
        ++opened;
        rate = sampleRate;
        channels = ch;
        return openResult;
    }
    void Write(const int16_t*, int count) override { samples += count; }
    void Close() override { ++closed; }
};

TEST_F(SdkMedia, SoundNeedsAnOutputAndFeedsIt) {
    Start();
    Login();
    Play(1);
    int on = -1;
    // No factory: unmuting fails and the state stays off.
    KY_SDK_SetAudioOutputFactory(nullptr);
    EXPECT_NE(KY_SDK_SetMute(handle_, 0, 1), 0);
    ASSERT_EQ(KY_SDK_GetMute(handle_, 0, &on), 0);
    EXPECT_EQ(on, 0);
    EXPECT_EQ(KY_SDK_SetMute(handle_, 0, 0), 0);

    // A device that cannot be opened.
    KY_SDK_SetAudioOutputFactory([]() -> KySdkAudioOutput* { return new FakeAudio; });
    FakeAudio::openResult = false;
    EXPECT_NE(KY_SDK_SetMute(handle_, 0, 1), 0);
    ASSERT_EQ(KY_SDK_GetMute(handle_, 0, &on), 0);
    EXPECT_EQ(on, 0);

    FakeAudio::openResult = true;
    FakeAudio::samples = 0;
    ASSERT_EQ(KY_SDK_SetMute(handle_, 0, 1), 0);
    EXPECT_EQ(FakeAudio::rate, 8000);
    EXPECT_EQ(FakeAudio::channels, 1);
    ASSERT_EQ(KY_SDK_GetMute(handle_, 0, &on), 0);
    EXPECT_EQ(on, 1);
    const auto deadline = std::chrono::steady_clock::now() + kWait;
    while (FakeAudio::samples < 8000 && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(50ms);
    EXPECT_GE(FakeAudio::samples, 8000);
    const int closedBefore = FakeAudio::closed;
    ASSERT_EQ(KY_SDK_SetMute(handle_, 0, 0), 0);
    EXPECT_EQ(FakeAudio::closed, closedBefore + 1);
    ASSERT_EQ(KY_SDK_GetMute(handle_, 0, &on), 0);
    EXPECT_EQ(on, 0);
    const int after = FakeAudio::samples;
    std::this_thread::sleep_for(300ms);
    EXPECT_EQ(FakeAudio::samples, after);
}

struct DrawReport {
    std::mutex mutex;
    std::vector<std::tuple<int, int, int, int, std::string>> calls;
};

int OnDraw(KY_HANDLE, int32_t l, int32_t t, int32_t r, int32_t b, const char* name, void* user) {
    auto* rep = static_cast<DrawReport*>(user);
    std::lock_guard lock(rep->mutex);
    rep->calls.emplace_back(l, t, r, b, name);
    return 0;
}

TEST_F(SdkMedia, DraggedRectangleIsReportedAndPainted) {
    Start();
    Login();
    DrawReport report;
    ASSERT_EQ(KY_SDK_SetDrawCallBack(handle_, handle_, &OnDraw, &report), 0);
    surface_.viewW_ = 640;   // half the size of the first stream's picture
    surface_.viewH_ = 360;
    Play(1);
    int h = 0, w = 0;
    ASSERT_EQ(KY_SDK_GetPicInfo(handle_, &h, &w), 0);
    ASSERT_EQ(w, 1280);
    ASSERT_EQ(h, 720);

    KY_COLOR green{0xFF00, 0, 1, 0};
    KY_DRAW_ITEM item{};
    std::strcpy(item.label, "1");
    item.left = 100;
    item.top = 100;
    item.right = 300;
    item.bottom = 200;
    item.shape = 1;
    item.style = 3;
    item.kind = 4;
    item.fontSize = 24;
    item.lineStyle = 2;
    item.color = &green;
    ASSERT_EQ(KY_SDK_SetPenPixel(handle_, 5), 0);
    ASSERT_EQ(KY_SDK_InputDrawData(handle_, &item, 1, 1), 0);
    ASSERT_EQ(KY_SDK_EnablePic(handle_, "1", 1, 1), 0);

    const KY_RECT view{0, 0, 640, 360};
    EXPECT_NE(KY_SDK_SelectPic(handle_, 600, 20), 0);   // nothing under the point
    ASSERT_EQ(KY_SDK_SelectPic(handle_, 100, 75), 0);   // picture (200, 150): inside
    ASSERT_EQ(KY_SDK_MouseMove(handle_, 1, 150, 100, view), 0);
    ASSERT_EQ(KY_SDK_MouseMove(handle_, 0, 300, 300, view), 0);   // released: ignored
    {
        std::lock_guard lock(report.mutex);
        ASSERT_EQ(report.calls.size(), 1u);
        EXPECT_EQ(report.calls[0], std::make_tuple(200, 150, 400, 250, std::string("1")));
    }
    // Bottom-right corner at picture (400, 250) is window (200, 125).
    ASSERT_EQ(KY_SDK_SelectPic(handle_, 200, 125), 0);
    ASSERT_EQ(KY_SDK_MouseMove(handle_, 1, 250, 150, view), 0);
    {
        std::lock_guard lock(report.mutex);
        ASSERT_EQ(report.calls.size(), 2u);
        EXPECT_EQ(report.calls[1], std::make_tuple(200, 150, 500, 300, std::string("1")));
    }

    // The edited rectangle is what the next pictures show.
    surface_.SetProbe([](const uint8_t* p, int, int, int stride) {
        uint32_t v;
        std::memcpy(&v, p + 151 * stride + 201 * 4, 4);
        return v;
    });
    ASSERT_TRUE(surface_.WaitFrames(2));
    EXPECT_EQ(surface_.ProbeValue(), 0xFF00FF00u);

    // Editing switched off: the rectangle cannot be picked any more.
    ASSERT_EQ(KY_SDK_EnablePic(handle_, "1", 0, 1), 0);
    EXPECT_NE(KY_SDK_SelectPic(handle_, 150, 100), 0);
}

}   // namespace
