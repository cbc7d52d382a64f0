// Firmware upload: the exact bytes on the wire, the file arriving unchanged
// at the emulated camera, and the progress and retry values a caller sees.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <functional>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "core/cgi/CgiClient.h"
#include "core/cgi/HttpFetch.h"
#include "tests/support/EmulatorProcess.h"
#include "tests/support/ScriptedServer.h"

namespace fs = std::filesystem;
using ky::test::EmulatorProcess;
using ky::test::ScriptedServer;
using namespace std::string_literals;

namespace {

struct Upload {
    std::vector<int> values;
    std::function<void(int)> onValue;
    static void Progress(intptr_t, int value, void* user) {
        auto* self = static_cast<Upload*>(user);
        self->values.push_back(value);
        if (self->onValue) self->onValue(value);
    }
    int Run(uint16_t port, const std::string& path) {
        UpgradeTask t{};
        std::strcpy(t.ip, "127.0.0.1");
        t.port = port;
        std::strcpy(t.user, "admin");
        std::strcpy(t.password, "pw");
        std::snprintf(t.path, sizeof t.path, "%s", path.c_str());
        t.userData = this;
        t.progress = &Upload::Progress;
        return CCgiClient().UploadFile(t);
    }
};

class UploadTest : public ::testing::Test {
protected:
    void SetUp() override { fs::create_directories(dir); }
    void TearDown() override { fs::remove_all(dir); }
    std::string Write(const std::string& name, const std::string& bytes) {
        const std::string path = dir + "/" + name;
        std::ofstream(path, std::ios::binary) << bytes;
        return path;
    }
    static std::string Pattern(size_t size) {
        std::string s(size, '\0');
        for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 131 + i / 2048) & 0xFF);
        return s;
    }
    std::string dir = fs::temp_directory_path().string() + "/ky_upload_" + std::to_string(getpid());
};

std::string EmuGet(const EmulatorProcess& emu, const std::string& key) {
    HttpPage page;
    CHttpFetch::Get("127.0.0.1", static_cast<uint16_t>(emu.HttpPort()), "admin", "pw", "/emu/get?key=" + key, {},
                    &page);
    return page.body.substr(0, page.body.find_first_of("\r\n"));
}

std::string Fnv1a(const std::string& bytes) {
    uint64_t h = 14695981039346656037ull;
    for (unsigned char c : bytes) h = (h ^ c) * 1099511628211ull;
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(h));
    return text;
}

}   // namespace

TEST_F(UploadTest, WireBytesForANameWithBlanksAndNonAsciiLetters) {
    ScriptedServer server(ScriptedServer::Mode::ReplyThenClose,
                          ScriptedServer::HttpReply("var upgrade=\"Succeed\";\r\n"));
    const std::string content = "PKG\r\n--\0body"s;
    Upload up;
    ASSERT_EQ(up.Run(server.Port(), Write("fw new ä.pkg", content)), 0);
    ASSERT_TRUE(server.WaitFinished(1));
    const std::string got = server.Received();
    const size_t b = got.find("boundary=---------------------------") + 36;
    const std::string boundary = got.substr(b, 14);
    const std::string partHead = "-----------------------------" + boundary +
                                 "\r\nContent-Disposition: form-data; name=\"setting_file\"; "
                                 "filename=\"fw+new+%C3%A4.pkg\"\r\nContent-Type: application/octet-stream\r\n\r\n";
    const std::string tail = "\r\n-----------------------------" + boundary + "--\r\n";
    const std::string want =
        "POST /web/cgi-bin/ky7200/upgrade.cgi?-filename=fw+new+%C3%A4.pkg HTTP/1.1\r\n"
        "Accept: */*\r\n"
        "Referer: http://127.0.0.1/web/initializemain.html\r\n"
        "Accept-Language: zh-cn\r\n"
        "User-Agent: Mozilla/4.0 (compatible; MSIE 8.0; Windows NT 5.1; Trident/4.0)\r\n"
        "Content-Type: multipart/form-data; boundary=---------------------------" +
        boundary +
        "\r\n"
        "Accept-Encoding: gzip, deflate\r\n"
        "Host: 127.0.0.1\r\n"
        "Content-Length: " +
        std::to_string(partHead.size() + content.size() + tail.size()) +
        "\r\n"
        "Connection: Keep-Alive\r\n"
        "Cache-Control: no-cache\r\n"
        "Authorization: Basic YWRtaW46cHc=\r\n\r\n" +
        partHead + content + tail;
    EXPECT_EQ(got, want);
    EXPECT_EQ(boundary.find_first_not_of("0123456789"), std::string::npos);
}

TEST_F(UploadTest, AtTheEmulatedCamera) {
    const std::string content = Pattern(300 * 1024 + 17);
    const std::string file = Write("KY7200_V9.1.2_x.pkg", content);
    struct Case {
        const char* name;
        std::vector<std::string> args;
        std::string path;
        int result;
        std::vector<int> failures;   // the negative values, in order
    } cases[] = {
        {"accepted", {}, file, 0, {}},
        {"refused twice", {"--fault", "refuse-upload=2"}, file, 0, {-2, -2}},
        {"refused three times", {"--fault", "refuse-upload=3"}, file, -1, {-2, -2, -3}},
        {"missing file", {}, dir + "/none.pkg", -1, {-1}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args{"--no-discovery", "--no-rtsp", "--password", "pw"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        EmulatorProcess emu(args);
        ASSERT_TRUE(emu.Ok());
        Upload up;
        EXPECT_EQ(up.Run(static_cast<uint16_t>(emu.HttpPort()), c.path), c.result);
        std::vector<int> failures;
        int last = -1;
        for (int v : up.values) {
            if (v < 0) {
                failures.push_back(v);
                last = -1;
                continue;
            }
            EXPECT_GT(v, last) << "progress goes up within an attempt";
            if (last == -1) {
                EXPECT_EQ(v, 0) << "each attempt starts at 0";
            }
            EXPECT_LE(v, 50);
            last = v;
        }
        EXPECT_EQ(failures, c.failures);
        if (c.result == 0) {
            EXPECT_EQ(up.values.back(), 50);
        }
    }
}

TEST_F(UploadTest, FileArrivesUnchangedAndAShrinkingFileFailsTheAttempt) {
    EmulatorProcess emu({"--no-discovery", "--no-rtsp", "--password", "pw", "--restart-ms", "50"});
    ASSERT_TRUE(emu.Ok());
    const std::string content = Pattern(1024 * 1024 + 5);
    const std::string file = Write("fw.pkg", content);
    Upload up;
    ASSERT_EQ(up.Run(static_cast<uint16_t>(emu.HttpPort()), file), 0);
    usleep(300 * 1000);
    EXPECT_EQ(EmuGet(emu, "emu.upgrade.size"), std::to_string(content.size()));
    EXPECT_EQ(EmuGet(emu, "emu.upgrade.fnv1a"), Fnv1a(content));

    // Cut the file to half while the first attempt sends it: that attempt
    // must fail, the next one sends what is left.
    Upload shrink;
    bool cut = false;
    shrink.onValue = [&](int v) {
        if (v >= 10 && !cut) cut = (truncate(file.c_str(), static_cast<off_t>(content.size() / 2)) == 0);
    };
    ASSERT_EQ(shrink.Run(static_cast<uint16_t>(emu.HttpPort()), file), 0);
    EXPECT_EQ(std::count(shrink.values.begin(), shrink.values.end(), -2), 1);
    usleep(300 * 1000);
    EXPECT_EQ(EmuGet(emu, "emu.upgrade.size"), std::to_string(content.size() / 2));
}
