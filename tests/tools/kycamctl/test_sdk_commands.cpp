// kycamctl's SDK commands against the emulated camera: what arrives at the
// camera, the files written, and usage errors that never log in.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include "tests/support/EmulatorProcess.h"
#include "tests/support/TestFiles.h"
#include "tests/tools/kycamctl/CtlRun.h"

using ky::test::EmulatorProcess;

namespace {

class SdkCommands : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        emulator_ =
            new EmulatorProcess({"--no-discovery", "--rtsp-port", "0", "--password", "pw", "--restart-ms", "300"});
    }
    static void TearDownTestSuite() { delete emulator_; }
    void SetUp() override { ASSERT_TRUE(emulator_->Ok()); }

    ky::test::CtlResult Ctl(const std::vector<std::string>& args) { return ky::test::Ctl(emulator_->HttpPort(), args); }
    // A value of the camera's state through the emulator's control route
    // (kycamctl prints the body, though it is no camera reply).
    std::string State(const std::string& key) { return Ctl({"raw", "GET /emu/get?key=" + key}).out; }

    // ffprobe's stream types and duration ("format|duration=S" last).
    static ky::test::ProcessResult Probe(const std::string& file) {
        return ky::test::RunProcess({"ffprobe", "-v", "error", "-show_entries", "stream=codec_type:format=duration",
                                     "-of", "compact=p=0:nk=1", file},
                                    {}, {.mergeStderr = true});
    }
    static double Seconds(std::string probe) {
        while (!probe.empty() && probe.back() == '\n') probe.pop_back();
        return std::atof(probe.c_str() + probe.rfind('\n') + 1);   // npos + 1: the whole text
    }

    static EmulatorProcess* emulator_;
    kytest::TempDir dir_;
};
EmulatorProcess* SdkCommands::emulator_ = nullptr;

}   // namespace

TEST_F(SdkCommands, PtzAndPresetsReachTheCameraWithTheirCodes) {
    const struct {
        std::vector<std::string> args;
        int code;
        const char* speed;
    } moves[] = {
        {{"ptz", "left"}, 0x3003, "-1"},   // stepping uses the camera's own speed
        {{"ptz", "hcruise", "--speed", "12"}, 0x3029, "12"},
        {{"ptz", "home"}, 0x3027, "5"},
    };
    for (const auto& m : moves) {
        ASSERT_EQ(0, Ctl(m.args).status) << m.args[1];
        EXPECT_EQ(std::to_string(m.code) + " " + m.speed,
                  State("sdk.ptz.last.cmd") + " " + State("sdk.ptz.last.speed"));
    }
    ASSERT_EQ(0, Ctl({"preset", "set", "7"}).status);
    EXPECT_NE("no such key\n", State("sdk.preset.6"));   // preset 7 is index 6
    EXPECT_EQ(0, Ctl({"preset", "call", "7"}).status);
    EXPECT_EQ(0, Ctl({"preset", "delete", "7"}).status);
    EXPECT_EQ(1, Ctl({"preset", "call", "7"}).status);   // no longer set
}

TEST_F(SdkCommands, UsageErrorsNeverLogInAndRebootAsksFirst) {
    const std::string logins = State("sdk.logins");
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"preset", "set", "0"},
                                               {"preset", "set", "256"},
                                               {"preset", "jump", "3"},
                                               {"ptz", "sideways"},
                                               {"ptz", "up", "--speed", "99"},
                                               {"record", "x.avi"},
                                               {"snapshot"},
                                               {"snapshot", "/nonexistent-kycam/x.jpg"},
                                               {"record", dir_.path(), "--seconds", "1"},
                                               {"reboot", "now"},
                                               {"md-area", "set", "5", "x=1"},
                                               {"md-area", "set", "2", "sensitivity=0"},
                                               {"md-area", "set", "2", "enable=2"},
                                               {"md-area", "set", "2", "w=-1"},
                                               {"md-area", "set", "2", "color=1"},
                                               {"md-area", "set", "2"},
                                               {"md-area", "list"}})
        EXPECT_EQ(2, Ctl(args).status) << args[0] << " " << args.back();
    EXPECT_EQ(logins, State("sdk.logins"));
    // Without --yes and without an answer, nothing is restarted.
    const int restarts = std::atoi(State("emu.sdk.restarts").c_str());
    EXPECT_EQ(1, Ctl({"reboot"}).status);
    EXPECT_EQ(restarts, std::atoi(State("emu.sdk.restarts").c_str()));
    EXPECT_EQ(0, Ctl({"--yes", "reboot"}).status);
    for (int i = 0; i < 50 && std::atoi(State("emu.sdk.restarts").c_str()) == restarts; ++i) usleep(100000);
    EXPECT_EQ(restarts + 1, std::atoi(State("emu.sdk.restarts").c_str()));
}

TEST_F(SdkCommands, SnapshotAndRecordingAreValidFiles) {
    const std::string jpg = dir_.file("snap.jpg"), avi = dir_.file("rec.avi");
    auto r = Ctl({"--stream", "1", "snapshot", jpg});
    ASSERT_EQ(0, r.status) << r.err;
    EXPECT_EQ(kytest::ReadBytes(jpg).substr(0, 2), "\xFF\xD8");
    r = Ctl({"record", avi, "--seconds", "2"});
    ASSERT_EQ(0, r.status) << r.err;
    // ffprobe, an independent reader, must see video and sound, and two
    // seconds of picture although recording waits for a key frame.
    const auto probe = Probe(avi);
    EXPECT_EQ(0, probe.exitCode) << probe.out;
    EXPECT_TRUE(probe.out.find("video") != std::string::npos && probe.out.find("audio") != std::string::npos)
        << probe.out;
    EXPECT_NEAR(Seconds(probe.out), 2.0, 0.2) << probe.out;
}

// Stopped by SIGTERM (finished with its index) or killed (the state of its
// last checkpoint): either way a file an independent reader opens.
TEST_F(SdkCommands, InterruptedRecordingsStayReadable) {
    for (const int sig : {SIGTERM, SIGKILL}) {
        const std::string avi = dir_.file("cut" + std::to_string(sig) + ".avi");
        ky::test::ChildProcess ctl;
        ASSERT_TRUE(ctl.Start(
            {KYCAMCTL_PATH, "-P", std::to_string(emulator_->HttpPort()), "-p", "pw", "record", avi, "--seconds", "60"},
            {.quietStderr = true}));
        for (int i = 0; i < 400 && access(avi.c_str(), F_OK) != 0; ++i) usleep(50000);
        usleep(sig == SIGTERM ? 1500000 : 3000000);
        kill(ctl.Pid(), sig);
        EXPECT_EQ(ctl.Wait(20000), sig == SIGTERM ? 128 + SIGTERM : -1);
        const auto probe = Probe(avi);
        EXPECT_GT(Seconds(probe.out), 0.0) << sig << "\n" << probe.out;
    }
}

TEST_F(SdkCommands, MdAreaSetGetAndBackupRoundTrip) {
    const auto before = Ctl({"md-area", "get"});
    const std::string backup = dir_.file("md.json");
    ASSERT_EQ(0, before.status + Ctl({"backup", backup}).status);
    const std::string area = "2 enable=1 sensitivity=70 x=10 y=20 w=30 h=40\n";
    EXPECT_EQ(area, Ctl({"md-area", "set", "2", "x=10", "y=20", "w=30", "h=40", "enable=1", "sensitivity=70"}).out);
    EXPECT_EQ(State("sdk.md.2.w"), "30");
    EXPECT_NE(Ctl({"md-area", "get"}).out.find("\n" + area), std::string::npos);
    EXPECT_NE(Ctl({"restore", backup}).out.find("md-area: ok"), std::string::npos);
    EXPECT_EQ(before.out, Ctl({"md-area", "get"}).out);
}
