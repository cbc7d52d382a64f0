// The emulator's RTSP media as an independent client (ffprobe over RTSP/TCP)
// sees it: what the tool's SDK will consume from /11 and /12.
#include <dirent.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <future>
#include <sstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tests/support/ScriptedServer.h"
#include "tests/tools/kycam-emulator/EmuTestUtil.h"
#include "tools/kycam-emulator/RtspServer.h"

namespace {

using emu::RtspServer;
using emu::RtspStreamConfig;

struct Probe {
    int exitCode = -1;
    nlohmann::json json;

    const nlohmann::json* Stream(const std::string& type) const {
        if (!json.contains("streams")) return nullptr;
        for (const auto& s : json["streams"])
            if (s.value("codec_type", "") == type) return &s;
        return nullptr;
    }
    // Frames of the video stream that ffprobe decoded (-count_frames).
    int VideoFrames() const {
        const auto* v = Stream("video");
        return exitCode == 0 && v ? std::stoi(v->value("nb_read_frames", std::string("0"))) : -1;
    }
};

// Runs ffprobe against a loopback URL. `seconds` > 0 also decodes that much
// stream time and counts the frames. A broken server never hangs the test:
// ffprobe is stopped after 40 s.
Probe RunProbe(const std::string& url, int seconds = 0, const std::string& what = "-show_streams",
               const std::string& transport = "tcp") {
    std::vector<std::string> args = {"ffprobe", "-v", "error", "-rtsp_transport", transport, "-timeout", "5000000"};
    std::istringstream words(what);
    for (std::string w; words >> w;) args.push_back(w);
    args.insert(args.end(), {"-of", "json"});
    if (seconds > 0) args.insert(args.end(), {"-count_frames", "-read_intervals", "%+" + std::to_string(seconds)});
    args.push_back(url);
    ky::test::ChildOptions quiet;
    quiet.quietStderr = true;
    const auto run = ky::test::RunProcess(args, {}, quiet, 40000);
    Probe p{run.exitCode, nlohmann::json::parse(run.out, nullptr, false)};
    if (p.json.is_discarded()) p.json = nlohmann::json::object();
    return p;
}

std::string Url(const RtspServer& s, const std::string& mount, const std::string& cred = "admin:secret@") {
    return "rtsp://" + cred + "127.0.0.1:" + std::to_string(s.Port()) + mount;
}

void ExpectVideo(const Probe& p, int width, int height) {
    ASSERT_EQ(p.exitCode, 0);
    const auto* v = p.Stream("video");
    const auto* a = p.Stream("audio");
    ASSERT_TRUE(v && a);
    EXPECT_EQ(v->value("codec_name", "") + " " + std::to_string(v->value("width", 0)) + "x" +
                  std::to_string(v->value("height", 0)),
              "h264 " + std::to_string(width) + "x" + std::to_string(height));
    EXPECT_EQ(
        a->value("codec_name", "") + " " + a->value("sample_rate", "") + " " + std::to_string(a->value("channels", 0)),
        "pcm_mulaw 8000 1");
}

bool WaitFor(const std::function<bool()>& cond) {
    for (int i = 0; i < 200 && !cond(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    return cond();
}

int ThreadCount() {
    int n = 0;
    if (DIR* d = opendir("/proc/self/task")) {
        while (dirent* e = readdir(d)) n += e->d_name[0] != '.';
        closedir(d);
    }
    return n;
}

RtspStreamConfig Sized(RtspStreamConfig c, int width, int height) {
    c.width = width;
    c.height = height;
    return c;
}

class RtspTest : public ::testing::Test {
protected:
    void StartServer(const std::string& user = "admin", const std::string& pass = "secret") {
        std::string error;
        ASSERT_TRUE(server.Start("127.0.0.1", 0, emu::DefaultMainStream(), Sized(emu::DefaultSubStream(), 352, 288),
                                 user, pass, "Front door", &error))
            << error;
    }
    RtspServer server;
};

TEST_F(RtspTest, BothMountsAndCredentials) {
    StartServer();
    ExpectVideo(RunProbe(Url(server, "/11")), 1280, 720);
    EXPECT_NE(RunProbe(Url(server, "/13")).exitCode, 0);
    for (const char* cred : {"admin:wrong@", "", "guest:secret@"}) {
        const Probe p = RunProbe(Url(server, "/12", cred));
        EXPECT_TRUE(p.exitCode != 0 && !p.Stream("video")) << cred;
    }
    server.SetCredentials("admin", "n3w");
    EXPECT_NE(RunProbe(Url(server, "/12")).exitCode, 0);
    ExpectVideo(RunProbe(Url(server, "/12", "admin:n3w@")), 352, 288);
    server.SetCredentials("", "");
    ExpectVideo(RunProbe(Url(server, "/12", "")), 352, 288);
    // Started without credentials: open access too.
    server.Stop();
    StartServer("", "");
    ExpectVideo(RunProbe(Url(server, "/12", "")), 352, 288);
}

TEST_F(RtspTest, ConcurrentViewersAllReceiveFrames) {
    StartServer();
    // Two viewers of the same mount share one encoder, a third watches /12.
    std::future<Probe> views[3];
    for (int i = 0; i < 3; ++i)
        views[i] = std::async(std::launch::async, [&, i] { return RunProbe(Url(server, i < 2 ? "/11" : "/12"), 2); });
    for (auto& f : views) EXPECT_GT(f.get().VideoFrames(), 10);
    // Once the last viewer has left, the pipelines are torn down.
    EXPECT_TRUE(WaitFor([&] { return server.LivePipelines() == 0; }));
}

TEST_F(RtspTest, PicturesDecodeWholeWithRegularKeyFrames) {
    StartServer();
    for (const char* mount : {"/11", "/12"}) {
        SCOPED_TRACE(mount);
        const Probe p = RunProbe(Url(server, mount), 3, "-select_streams v -show_entries frame=key_frame,pkt_dts");
        const auto frames = p.json.value("frames", nlohmann::json::array());
        ASSERT_GE(frames.size(), 50u);
        EXPECT_EQ(frames[0].value("key_frame", 0), 1);
        // A picture split across two decoder frames (slices of one picture
        // taken for two) shows up as a repeated time stamp.
        long long lastDts = -1;
        int sinceKey = 0, keys = 0;
        for (const auto& f : frames) {
            const long long dts = f.value("pkt_dts", lastDts + 1);
            EXPECT_GT(dts, lastDts);
            lastDts = dts;
            const bool key = f.value("key_frame", 0) == 1;
            keys += key;
            sinceKey = key ? 0 : sinceKey + 1;
            EXPECT_LT(sinceKey, 25) << "key frame interval exceeded";
        }
        EXPECT_GE(keys, 2);
    }
}

TEST_F(RtspTest, ViewerJoiningRunningStreamStartsOnKeyFrame) {
    StartServer();
    auto first = std::async(std::launch::async, [&] { return RunProbe(Url(server, "/11"), 5); });
    ASSERT_TRUE(WaitFor([&] { return server.LivePipelines() > 0; }));
    // Join in the middle of a key interval.
    std::this_thread::sleep_for(std::chrono::milliseconds(1400));
    const Probe joiner =
        RunProbe(Url(server, "/11"), 0, "-select_streams v -show_entries packet=flags -read_intervals %+#8");
    const auto packets = joiner.json.value("packets", nlohmann::json::array());
    size_t firstKey = 0;
    while (firstKey < packets.size() && packets[firstKey].value("flags", "").find('K') == std::string::npos) ++firstKey;
    // Only what was already on its way may come before the key frame.
    EXPECT_LT(firstKey, std::min<size_t>(4, packets.size()));
    EXPECT_EQ(first.get().exitCode, 0);
}

TEST_F(RtspTest, StopEndsRunningStreamsAndStartWorksAgain) {
    StartServer();
    const int firstPort = server.Port();
    ExpectVideo(RunProbe(Url(server, "/12")), 352, 288);
    const int threadsAfterOneRun = ThreadCount();

    // A viewer that would watch for a long time is cut off by Stop.
    auto longView = std::async(std::launch::async, [&] { return RunProbe(Url(server, "/11"), 30); });
    ASSERT_TRUE(WaitFor([&] { return server.LivePipelines() > 0; }));
    server.Stop();
    EXPECT_FALSE(server.IsRunning());
    EXPECT_EQ(server.Port(), 0);
    EXPECT_LT(longView.get().VideoFrames(), 25 * 30);   // returns because the connection closed
    // The stopped pipeline's last reference may be dropped on a GStreamer
    // thread just after Stop returns: it must go, but not necessarily at once.
    EXPECT_TRUE(WaitFor([&] { return server.LivePipelines() == 0; }));
    server.Stop();   // second Stop is harmless
    EXPECT_LT(emutest::ConnectLoopback(firstPort), 0);

    for (int round = 0; round < 2; ++round) {
        StartServer();
        ExpectVideo(RunProbe(Url(server, "/11")), 1280, 720);
        server.Stop();
    }
    // Repeated runs do not pile up threads (a few idle pool threads may stay;
    // on a loaded machine they take a moment to wind down).
    EXPECT_TRUE(WaitFor([&] { return ThreadCount() <= threadsAfterOneRun + 2; }))
        << ThreadCount() << " threads, " << threadsAfterOneRun << " after one run";
}

TEST_F(RtspTest, MediaKeptReadyServesEveryViewerAndEndsWithStop) {
    server.KeepMediaReady(true);
    StartServer();
    EXPECT_TRUE(WaitFor([&] { return server.LivePipelines() == 2; }));   // before any viewer
    // Each viewer in turn, on the media prepared after the one before, starts
    // on a key frame and keeps getting pictures.
    for (int viewer = 0; viewer < 2; ++viewer) {
        const Probe p = RunProbe(Url(server, "/11"), 2, "-select_streams v -show_entries frame=key_frame");
        const auto frames = p.json.value("frames", nlohmann::json::array());
        ASSERT_GE(frames.size(), 25u);
        EXPECT_EQ(frames[0].value("key_frame", 0), 1);
    }
    ExpectVideo(RunProbe(Url(server, "/12")), 352, 288);
    server.Stop();
    EXPECT_TRUE(WaitFor([&] { return server.LivePipelines() == 0; }));
}

TEST_F(RtspTest, SeveralCamerasInOneProcess) {
    StartServer();
    RtspServer second;
    std::string error;
    ASSERT_TRUE(second.Start("127.0.0.1", 0, Sized(emu::DefaultMainStream(), 640, 480), emu::DefaultSubStream(), "", "",
                             "Garage", &error))
        << error;
    EXPECT_NE(second.Port(), server.Port());
    auto a = std::async(std::launch::async, [&] { return RunProbe(Url(server, "/11")); });
    ExpectVideo(RunProbe(Url(second, "/11", "")), 640, 480);
    ExpectVideo(a.get(), 1280, 720);

    // UDP viewers of both cameras at once: each camera finds its own free
    // RTP/RTCP ports on the listening address.
    auto ua = std::async(std::launch::async, [&] { return RunProbe(Url(server, "/12"), 1, "-show_streams", "udp"); });
    EXPECT_GT(RunProbe(Url(second, "/12", ""), 1, "-show_streams", "udp").VideoFrames(), 0);
    EXPECT_GT(ua.get().VideoFrames(), 0);
    server.Stop();
    ExpectVideo(RunProbe(Url(second, "/12", "")), 640, 360);
}

TEST_F(RtspTest, StartRefusesBusyPortBadAddressBadConfigAndSecondStart) {
    const auto s11 = emu::DefaultMainStream(), s12 = emu::DefaultSubStream();
    ky::test::ScriptedServer holder(ky::test::ScriptedServer::Mode::NeverAnswer, "");
    const struct {
        const char* address;
        int port;
        RtspStreamConfig first;
        const char* inError;
    } refused[] = {
        {"127.0.0.1", holder.Port(), s11, "127.0.0.1"},   // a port someone else holds
        {"camera.example", 0, s11, "camera.example"},     // names would be resolved
        {"127.0.0.1", 0, Sized(s11, 641, 480), "/11"},
    };
    for (const auto& r : refused) {
        std::string error;
        EXPECT_FALSE(server.Start(r.address, r.port, r.first, s12, "", "", "", &error));
        EXPECT_NE(error.find(r.inError), std::string::npos) << error;
        EXPECT_FALSE(server.IsRunning());
    }
    StartServer();
    std::string error;
    EXPECT_FALSE(server.Start("127.0.0.1", 0, s11, s12, "", "", "", &error));
    EXPECT_FALSE(error.empty());
    ExpectVideo(RunProbe(Url(server, "/11")), 1280, 720);
}

}   // namespace
