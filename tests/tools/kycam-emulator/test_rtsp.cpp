// The emulator's RTSP media as an independent client (ffprobe over RTSP/TCP)
// sees it: what the tool's SDK will consume from /11 and /12.
#include <arpa/inet.h>
#include <dirent.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <future>
#include <sstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "tests/support/ChildProcess.h"
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
    Probe p;
    p.exitCode = run.exitCode;
    p.json = nlohmann::json::parse(run.out, nullptr, false);
    if (p.json.is_discarded()) p.json = nlohmann::json::object();
    return p;
}

std::string Url(const RtspServer& s, const std::string& mount, const std::string& cred = "admin:secret@") {
    return "rtsp://" + cred + "127.0.0.1:" + std::to_string(s.Port()) + mount;
}

int ReadFrames(const nlohmann::json& stream) { return std::stoi(stream.value("nb_read_frames", std::string("0"))); }

void ExpectVideo(const Probe& p, int width, int height) {
    ASSERT_EQ(p.exitCode, 0);
    const auto* v = p.Stream("video");
    ASSERT_NE(v, nullptr);
    EXPECT_EQ(v->value("codec_name", ""), "h264");
    EXPECT_EQ(v->value("width", 0), width);
    EXPECT_EQ(v->value("height", 0), height);
    const auto* a = p.Stream("audio");
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a->value("codec_name", ""), "pcm_mulaw");
    EXPECT_EQ(a->value("sample_rate", ""), "8000");
    EXPECT_EQ(a->value("channels", 0), 1);
}

bool WaitFor(const std::function<bool()>& cond) {
    for (int i = 0; i < 200; ++i) {
        if (cond()) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return cond();
}

int ThreadCount() {
    int n = 0;
    if (DIR* d = opendir("/proc/self/task")) {
        while (dirent* e = readdir(d))
            if (e->d_name[0] != '.') ++n;
        closedir(d);
    }
    return n;
}

RtspStreamConfig SmallSub() {
    RtspStreamConfig c = emu::DefaultSubStream();
    c.width = 352;
    c.height = 288;
    return c;
}

class RtspTest : public ::testing::Test {
protected:
    void StartServer(const std::string& user = "admin", const std::string& pass = "secret") {
        std::string error;
        ASSERT_TRUE(
            server.Start("127.0.0.1", 0, emu::DefaultMainStream(), SmallSub(), user, pass, "Front door", &error))
            << error;
        ASSERT_GT(server.Port(), 0);
    }
    RtspServer server;
};

TEST_F(RtspTest, BothMountsCarryConfiguredVideoAndMulawAudio) {
    StartServer();
    ExpectVideo(RunProbe(Url(server, "/11")), 1280, 720);
    ExpectVideo(RunProbe(Url(server, "/12")), 352, 288);
    EXPECT_NE(RunProbe(Url(server, "/13")).exitCode, 0);
}

TEST_F(RtspTest, CredentialsAreRequiredAndCanBeChanged) {
    StartServer();
    Probe wrong = RunProbe(Url(server, "/11", "admin:wrong@"));
    EXPECT_NE(wrong.exitCode, 0);
    EXPECT_EQ(wrong.Stream("video"), nullptr);
    EXPECT_NE(RunProbe(Url(server, "/11", "")).exitCode, 0);
    EXPECT_NE(RunProbe(Url(server, "/12", "guest:secret@")).exitCode, 0);

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
    auto a = std::async(std::launch::async, [&] { return RunProbe(Url(server, "/11"), 2); });
    auto b = std::async(std::launch::async, [&] { return RunProbe(Url(server, "/11"), 2); });
    auto c = std::async(std::launch::async, [&] { return RunProbe(Url(server, "/12"), 2); });
    for (auto* f : {&a, &b, &c}) {
        Probe p = f->get();
        ASSERT_EQ(p.exitCode, 0);
        const auto* v = p.Stream("video");
        ASSERT_NE(v, nullptr);
        EXPECT_GT(ReadFrames(*v), 10);
    }
    // Once the last viewer has left, the pipelines are torn down.
    EXPECT_TRUE(WaitFor([&] { return server.LivePipelines() == 0; }));
}

TEST_F(RtspTest, PicturesDecodeWholeWithRegularKeyFrames) {
    StartServer();
    for (const char* mount : {"/11", "/12"}) {
        SCOPED_TRACE(mount);
        const Probe p = RunProbe(Url(server, mount), 3, "-select_streams v -show_entries frame=key_frame,pkt_dts");
        ASSERT_EQ(p.exitCode, 0);
        ASSERT_TRUE(p.json.contains("frames"));
        const auto& frames = p.json["frames"];
        ASSERT_GE(frames.size(), 50u);
        EXPECT_EQ(frames[0].value("key_frame", 0), 1);
        // A picture split across two decoder frames (slices of one picture
        // taken for two) shows up as a repeated time stamp.
        long long lastDts = -1;
        int sinceKey = 0;
        int keys = 0;
        for (const auto& f : frames) {
            if (f.contains("pkt_dts")) {
                const long long dts = f["pkt_dts"].get<long long>();
                EXPECT_GT(dts, lastDts);
                lastDts = dts;
            }
            if (f.value("key_frame", 0) == 1) {
                ++keys;
                sinceKey = 0;
            } else {
                EXPECT_LT(++sinceKey, 25) << "key frame interval exceeded";
            }
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
    const Probe joiner = RunProbe(Url(server, "/11"), 0,
                                  "-select_streams v -show_entries packet=flags "
                                  "-read_intervals %+#8");
    ASSERT_EQ(joiner.exitCode, 0);
    ASSERT_TRUE(joiner.json.contains("packets"));
    const auto& packets = joiner.json["packets"];
    size_t firstKey = packets.size();
    for (size_t i = 0; i < packets.size(); ++i)
        if (packets[i].value("flags", "").find('K') != std::string::npos) {
            firstKey = i;
            break;
        }
    // Only what was already on its way may come before the key frame.
    EXPECT_LT(firstKey, 4u);
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
    EXPECT_EQ(server.LivePipelines(), 0);
    EXPECT_FALSE(server.IsRunning());
    EXPECT_EQ(server.Port(), 0);
    const Probe cut = longView.get();   // returns because the connection closed
    if (const auto* v = cut.Stream("video")) {
        EXPECT_LT(ReadFrames(*v), 25 * 30);
    }
    server.Stop();   // second Stop is harmless

    // The old port no longer answers.
    {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(static_cast<uint16_t>(firstPort));
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        EXPECT_NE(connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
        close(fd);
    }

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

TEST_F(RtspTest, SeveralCamerasInOneProcess) {
    StartServer();
    RtspServer second;
    std::string error;
    RtspStreamConfig main2 = emu::DefaultMainStream();
    main2.width = 640;
    main2.height = 480;
    ASSERT_TRUE(second.Start("127.0.0.1", 0, main2, emu::DefaultSubStream(), "", "", "Garage", &error)) << error;
    EXPECT_NE(second.Port(), server.Port());
    auto a = std::async(std::launch::async, [&] { return RunProbe(Url(server, "/11")); });
    auto b = std::async(std::launch::async, [&] { return RunProbe(Url(second, "/11", "")); });
    ExpectVideo(a.get(), 1280, 720);
    ExpectVideo(b.get(), 640, 480);

    // UDP viewers of both cameras at once: each camera finds its own free
    // RTP/RTCP ports on the listening address.
    auto ua = std::async(std::launch::async, [&] { return RunProbe(Url(server, "/12"), 1, "-show_streams", "udp"); });
    auto ub =
        std::async(std::launch::async, [&] { return RunProbe(Url(second, "/12", ""), 1, "-show_streams", "udp"); });
    for (auto* f : {&ua, &ub}) {
        Probe p = f->get();
        ASSERT_EQ(p.exitCode, 0);
        const auto* v = p.Stream("video");
        ASSERT_NE(v, nullptr);
        EXPECT_GT(ReadFrames(*v), 0);
    }
    server.Stop();
    ExpectVideo(RunProbe(Url(second, "/12", "")), 640, 360);
}

TEST_F(RtspTest, StartRefusesBusyPortBadAddressBadConfigAndSecondStart) {
    // A port someone else holds.
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa), 0);
    ASSERT_EQ(listen(fd, 1), 0);
    socklen_t len = sizeof sa;
    getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len);
    const int busy = ntohs(sa.sin_port);

    std::string error;
    EXPECT_FALSE(
        server.Start("127.0.0.1", busy, emu::DefaultMainStream(), emu::DefaultSubStream(), "", "", "", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(server.IsRunning());
    close(fd);

    error.clear();
    EXPECT_FALSE(
        server.Start("camera.example", 0, emu::DefaultMainStream(), emu::DefaultSubStream(), "", "", "", &error));
    EXPECT_FALSE(error.empty());

    RtspStreamConfig odd = emu::DefaultMainStream();
    odd.width = 641;
    error.clear();
    EXPECT_FALSE(server.Start("127.0.0.1", 0, odd, emu::DefaultSubStream(), "", "", "", &error));
    EXPECT_NE(error.find("/11"), std::string::npos);

    StartServer();
    error.clear();
    EXPECT_FALSE(server.Start("127.0.0.1", 0, emu::DefaultMainStream(), emu::DefaultSubStream(), "", "", "", &error));
    EXPECT_FALSE(error.empty());
    ExpectVideo(RunProbe(Url(server, "/11")), 1280, 720);
}

}   // namespace
