// kycamctl's SDK commands against the emulated camera: what arrives at the
// camera, the files written, and usage errors that never log in.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <fstream>
#include <sstream>

#include "core/cgi/CgiClient.h"
#include "tests/support/EmulatorProcess.h"
#include "tools/kycamctl/Kycamctl.h"

using ky::test::EmulatorProcess;

namespace {

class SdkCommands : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        emulator_ =
            new EmulatorProcess({"--no-discovery", "--rtsp-port", "0", "--password", "pw", "--restart-ms", "300"});
    }
    static void TearDownTestSuite() {
        delete emulator_;
        emulator_ = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(emulator_->Ok()); }

    int Ctl(std::vector<std::string> args, std::string* out = nullptr, std::string* err = nullptr) {
        std::vector<std::string> all = {"-P", std::to_string(emulator_->HttpPort()), "-p", "pw"};
        all.insert(all.end(), args.begin(), args.end());
        std::ostringstream o, e;
        std::istringstream no("n\n");   // the answer to any question
        const int status = ky::ctl::Run(all, o, e, &no);
        if (out) *out = o.str();
        if (err) *err = e.str();
        return status;
    }

    // A value of the camera's state through the emulator's control route.
    std::string State(const std::string& key) {
        char auth[CCgiClient::kCredentialSize];
        CCgiClient::MakeAuthorization("admin", "pw", auth);
        CCgiClient c;
        int sock = -1;
        if (c.ConnectTo("127.0.0.1", static_cast<uint16_t>(emulator_->HttpPort()), 1000, sock) != 0) return "?";
        char buf[4096];
        uint32_t cap = sizeof buf;
        c.Request(sock, "127.0.0.1", ("GET /emu/get?key=" + key).c_str(), buf, cap, auth, 3000);
        c.CloseSocket(sock);
        const char* body = std::strstr(buf, "\r\n\r\n");
        std::string value = body ? body + 4 : "";
        while (!value.empty() && (value.back() == '\n' || value.back() == '\r')) value.pop_back();
        return value;
    }

    static EmulatorProcess* emulator_;
};
EmulatorProcess* SdkCommands::emulator_ = nullptr;

}   // namespace

TEST_F(SdkCommands, PtzAndPresetsReachTheCameraWithTheirCodes) {
    ASSERT_EQ(0, Ctl({"ptz", "left"}));
    EXPECT_EQ(std::to_string(0x3003), State("sdk.ptz.last.cmd"));
    EXPECT_EQ("-1", State("sdk.ptz.last.speed"));   // stepping uses the camera's own speed
    ASSERT_EQ(0, Ctl({"ptz", "hcruise", "--speed", "12"}));
    EXPECT_EQ(std::to_string(0x3029), State("sdk.ptz.last.cmd"));
    EXPECT_EQ("12", State("sdk.ptz.last.speed"));
    ASSERT_EQ(0, Ctl({"ptz", "home"}));
    EXPECT_EQ(std::to_string(0x3027), State("sdk.ptz.last.cmd"));
    EXPECT_EQ("5", State("sdk.ptz.last.speed"));
    ASSERT_EQ(0, Ctl({"preset", "set", "7"}));
    EXPECT_NE("?", State("sdk.preset.6"));   // preset 7 is index 6
    EXPECT_EQ(0, Ctl({"preset", "call", "7"}));
    EXPECT_EQ(0, Ctl({"preset", "delete", "7"}));
    EXPECT_EQ(1, Ctl({"preset", "call", "7"}));   // no longer set
}

TEST_F(SdkCommands, UsageErrorsNeverLogIn) {
    const std::string logins = State("sdk.logins");
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{{"preset", "set", "0"},
                                                                                      {"preset", "set", "256"},
                                                                                      {"preset", "jump", "3"},
                                                                                      {"ptz", "sideways"},
                                                                                      {"ptz", "up", "--speed", "99"},
                                                                                      {"record", "x.avi"},
                                                                                      {"snapshot"},
                                                                                      {"reboot", "now"}}) {
        std::string err;
        EXPECT_EQ(2, Ctl(args, nullptr, &err)) << args[0];
    }
    EXPECT_EQ(logins, State("sdk.logins"));
    // Without --yes and without an answer, nothing is restarted.
    const std::string restarts = State("emu.sdk.restarts");
    EXPECT_EQ(1, Ctl({"reboot"}));
    EXPECT_EQ(restarts, State("emu.sdk.restarts"));
}

TEST_F(SdkCommands, SnapshotAndRecordingAreValidFiles) {
    const std::string jpg = ::testing::TempDir() + "kycamctl_snap.jpg";
    const std::string avi = ::testing::TempDir() + "kycamctl_rec.avi";
    std::string out, err;
    ASSERT_EQ(0, Ctl({"--stream", "1", "snapshot", jpg}, &out, &err)) << err;
    std::ifstream f(jpg, std::ios::binary);
    unsigned char soi[2] = {};
    f.read(reinterpret_cast<char*>(soi), 2);
    EXPECT_EQ(0xFF, soi[0]);
    EXPECT_EQ(0xD8, soi[1]);
    ASSERT_EQ(0, Ctl({"record", avi, "--seconds", "2"}, &out, &err)) << err;
    // ffprobe, an independent reader, must see video and sound.
    ky::test::ChildOptions merged;
    merged.mergeStderr = true;
    const auto probe = ky::test::RunProcess(
        {"ffprobe", "-v", "error", "-show_entries", "stream=codec_type", "-of", "csv=p=0", avi}, {}, merged);
    EXPECT_EQ(0, probe.exitCode) << probe.out;
    EXPECT_NE(std::string::npos, probe.out.find("video"));
    EXPECT_NE(std::string::npos, probe.out.find("audio"));
    std::remove(jpg.c_str());
    std::remove(avi.c_str());
}

TEST_F(SdkCommands, RebootWithYesRestartsTheCamera) {
    const int before = std::atoi(State("emu.sdk.restarts").c_str());
    EXPECT_EQ(0, Ctl({"--yes", "reboot"}));
    for (int i = 0; i < 50 && std::atoi(State("emu.sdk.restarts").c_str()) == before; ++i) usleep(100000);
    EXPECT_EQ(before + 1, std::atoi(State("emu.sdk.restarts").c_str()));
}

TEST_F(SdkCommands, MdAreaSetGetAndBackupRoundTrip) {
    const std::string logins = State("sdk.logins");
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"md-area", "set", "5", "x=1"},
                                               {"md-area", "set", "2", "sensitivity=0"},
                                               {"md-area", "set", "2", "enable=2"},
                                               {"md-area", "set", "2", "w=-1"},
                                               {"md-area", "set", "2", "color=1"},
                                               {"md-area", "set", "2"},
                                               {"md-area", "list"}})
        EXPECT_EQ(2, Ctl(args)) << args.back();
    EXPECT_EQ(logins, State("sdk.logins"));

    std::string before, after, backup;
    ASSERT_EQ(0, Ctl({"md-area", "get"}, &before));
    const std::string path = ::testing::TempDir() + "kycamctl_md.json";
    ASSERT_EQ(0, Ctl({"backup", path}));
    std::string out;
    ASSERT_EQ(0, Ctl({"md-area", "set", "2", "x=10", "y=20", "w=30", "h=40", "enable=1", "sensitivity=70"}, &out));
    EXPECT_EQ(out, "2 enable=1 sensitivity=70 x=10 y=20 w=30 h=40\n");
    EXPECT_EQ(State("sdk.md.2.w"), "30");
    ASSERT_EQ(0, Ctl({"md-area", "get"}, &after));
    EXPECT_NE(after.find("\n2 enable=1 sensitivity=70 x=10 y=20 w=30 h=40\n"), std::string::npos) << after;

    ASSERT_EQ(0, Ctl({"restore", path}, &out));
    EXPECT_NE(out.find("md-area: ok"), std::string::npos);
    ASSERT_EQ(0, Ctl({"md-area", "get"}, &after));
    EXPECT_EQ(before, after);
    std::remove(path.c_str());
}
