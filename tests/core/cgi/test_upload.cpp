// Firmware upload: the exact bytes on the wire, the file arriving unchanged
// at the emulated camera, and the progress and retry values a caller sees.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "core/cgi/CgiClient.h"
#include "core/cgi/HttpFetch.h"
#include "tests/support/EmulatorProcess.h"
#include "tests/support/ScriptedServer.h"
#include "tests/support/TestFiles.h"

namespace fs = std::filesystem;
using ky::test::EmulatorProcess;
using ky::test::ScriptedServer;
using namespace std::string_literals;

namespace {

struct Upload {
    std::vector<int> values;
    std::function<void(int)> onValue;
    int Run(uint16_t port, const std::string& path) {
        UpgradeTask t{};
        std::strcpy(t.ip, "127.0.0.1");
        t.port = port;
        std::strcpy(t.user, "admin");
        std::strcpy(t.password, "pw");
        std::snprintf(t.path, sizeof t.path, "%s", path.c_str());
        t.userData = this;
        t.progress = [](intptr_t, int value, void* user) {
            auto* self = static_cast<Upload*>(user);
            self->values.push_back(value);
            if (self->onValue) self->onValue(value);
        };
        return CCgiClient().UploadFile(t);
    }
};

class UploadTest : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const std::string& bytes) {
        kytest::WriteBytes(dir.file(name), bytes);
        return dir.file(name);
    }
    kytest::TempDir dir;
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
    const std::string dashes = "---------------------------";   // the boundary starts with these
    const std::string boundary = got.substr(got.find("boundary=") + 36, 14);
    EXPECT_EQ(boundary.find_first_not_of("0123456789"), std::string::npos);
    const std::string body = "--" + dashes + boundary +
                             "\r\nContent-Disposition: form-data; name=\"setting_file\"; "
                             "filename=\"fw+new+%C3%A4.pkg\"\r\nContent-Type: application/octet-stream\r\n\r\n" +
                             content + "\r\n--" + dashes + boundary + "--\r\n";
    std::string want;
    for (const std::string& line :
         {"POST /web/cgi-bin/ky7200/upgrade.cgi?-filename=fw+new+%C3%A4.pkg HTTP/1.1"s, "Accept: */*"s,
          "Referer: http://127.0.0.1/web/initializemain.html"s, "Accept-Language: zh-cn"s,
          "User-Agent: Mozilla/4.0 (compatible; MSIE 8.0; Windows NT 5.1; Trident/4.0)"s,
          "Content-Type: multipart/form-data; boundary=" + dashes + boundary, "Accept-Encoding: gzip, deflate"s,
          "Host: 127.0.0.1"s, "Content-Length: " + std::to_string(body.size()), "Connection: Keep-Alive"s,
          "Cache-Control: no-cache"s, "Authorization: Basic YWRtaW46cHc="s, ""s})
        want += line + "\r\n";
    EXPECT_EQ(got, want + body);
}

TEST_F(UploadTest, AtTheEmulatedCamera) {
    std::string content(1024 * 1024 + 5, '\0');
    for (size_t i = 0; i < content.size(); ++i) content[i] = static_cast<char>((i * 131 + i / 2048) & 0xFF);
    const std::string file = Write("KY7200_V9.1.2_x.pkg", content);
    struct {
        const char* name;
        std::vector<std::string> args;
        std::string path;
        int result;
        std::vector<int> failures;   // the negative values, in order
        size_t arrived;              // bytes of content the camera holds
        bool shrink = false;         // cut the file to half during the first attempt
    } const cases[] = {
        {"accepted", {}, file, 0, {}, content.size()},
        {"refused twice", {"--fault", "refuse-upload=2"}, file, 0, {-2, -2}, content.size()},
        {"refused three times", {"--fault", "refuse-upload=3"}, file, -1, {-2, -2, -3}, 0},
        {"missing file", {}, dir.file("none.pkg"), -1, {-1}, 0},
        // That attempt must fail; the next one sends what is left.
        {"shrinking file", {}, Write("fw.pkg", content), 0, {-2}, content.size() / 2, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<std::string> args{"--no-discovery", "--no-rtsp", "--password", "pw", "--restart-ms", "50"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        EmulatorProcess emu(args);
        ASSERT_TRUE(emu.Ok());
        Upload up;
        bool cut = !c.shrink;
        up.onValue = [&](int v) {
            if (v >= 10 && !cut) cut = truncate(c.path.c_str(), static_cast<off_t>(c.arrived)) == 0;
        };
        EXPECT_EQ(up.Run(static_cast<uint16_t>(emu.HttpPort()), c.path), c.result);
        std::vector<int> failures;
        for (size_t i = 0; i < up.values.size(); ++i) {
            const int v = up.values[i], before = i ? up.values[i - 1] : -1;
            if (v < 0)
                failures.push_back(v);
            else
                EXPECT_TRUE(before < 0 ? v == 0 : v > before && v <= 50) << "each attempt rises from 0 to 50";
        }
        EXPECT_EQ(failures, c.failures);
        if (c.result != 0) continue;
        EXPECT_EQ(up.values.back(), 50);
        usleep(300 * 1000);   // the camera restarts after accepting
        EXPECT_EQ(EmuGet(emu, "emu.upgrade.size"), std::to_string(c.arrived));
        EXPECT_EQ(EmuGet(emu, "emu.upgrade.fnv1a"), Fnv1a(content.substr(0, c.arrived)));
    }
}
