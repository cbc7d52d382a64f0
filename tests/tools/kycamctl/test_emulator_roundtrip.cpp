// Every page of the catalogue against the emulated camera, whose command table
// is written independently: what the tool writes, the camera must give back.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <thread>

#include <nlohmann/json.hpp>
#include <sys/stat.h>

#include "core/cgi/Catalogue.h"
#include "core/cgi/HttpFetch.h"
#include "tests/support/CgiWire.h"
#include "tests/support/EmulatorProcess.h"
#include "tests/support/TestFiles.h"
#include "tests/tools/kycamctl/CtlRun.h"

namespace cgi = ky::cgi;
using ky::test::AnyRecord;
using ky::test::EmulatorProcess;

namespace {

class EmulatorRoundTrip : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        emulator_ = new EmulatorProcess({"--no-rtsp", "--no-discovery", "--user", "admin", "--password", "pw"});
    }
    static void TearDownTestSuite() { delete emulator_; }
    void SetUp() override { ASSERT_TRUE(emulator_->Ok()) << "kycam-emulator did not start"; }

    static int Run(std::span<const cgi::CommandDesc* const> commands, AnyRecord& r) {
        const cgi::Target camera{"127.0.0.1", static_cast<uint16_t>(emulator_->HttpPort()), "admin", "pw"};
        for (const cgi::CommandDesc* c : commands)
            if (cgi::RunCommand(*c, camera, r.data(), 3000) != 0) return -1;
        return 0;
    }
    static int Read(const cgi::PageDesc& page, AnyRecord& r) {
        if (page.preset) page.preset(r.data(), {});
        return Run(page.gets, r);
    }
    static std::string Dump(const cgi::PageDesc& page, AnyRecord& rec) {
        std::string s;
        for (const cgi::FieldInfo& f : page.record->fields)
            for (uint32_t e = 0; e < f.count; ++e)
                s += std::string(f.name) + "=" + cgi::FieldToText(f, rec.data(), e) + "\n";
        return s;
    }
    // Send-only writes (network) are not answered, so the camera may
    // still be applying one when the next read arrives: read until it shows
    // the expected record or a second has passed.
    static std::string ReadBackWhenSettled(const cgi::PageDesc& page, AnyRecord& expected) {
        std::string got;
        for (int attempt = 0; attempt < 20 && got != Dump(page, expected); ++attempt) {
            if (attempt) std::this_thread::sleep_for(std::chrono::milliseconds(50));
            AnyRecord back(page.record);
            if (Read(page, back) != 0) return "<read failed>";
            got = Dump(page, back);
        }
        return got;
    }
    ky::test::CtlResult Ctl(const std::vector<std::string>& args) { return ky::test::Ctl(emulator_->HttpPort(), args); }
    static std::string Control(const std::string& path) {   // byte for byte
        HttpPage page;
        CHttpFetch::Get("127.0.0.1", static_cast<uint16_t>(emulator_->HttpPort()), "admin", "pw", path, {}, &page);
        return page.body;
    }
    // Backups until one passes `done` or a second has passed; the last one.
    std::string BackupUntil(const std::function<bool(const std::string&)>& done) {
        std::string backup;
        for (int attempt = 0; attempt < 20 && (backup.empty() || !done(backup)); ++attempt) {
            if (attempt) std::this_thread::sleep_for(std::chrono::milliseconds(50));
            backup = Ctl({"backup"}).out;
        }
        return backup;
    }

    static EmulatorProcess* emulator_;
};
EmulatorProcess* EmulatorRoundTrip::emulator_ = nullptr;

// Candidate changes of one field that a camera should take; the first that
// the page's own rules accept is used.
std::vector<std::string> Candidates(const cgi::FieldInfo& f, const std::string& now) {
    if (f.type == cgi::FieldType::Int) {
        const long v = std::stol(now);
        return {
            std::to_string(v == 0 ? 1 : 0), std::to_string(v + 1), std::to_string(v - 1), "1", "2", "50", "60", "8000"};
    }
    std::vector<std::string> c;
    unsigned a, b, d, e;
    char tail;
    if (std::sscanf(now.c_str(), "%u.%u.%u.%u%c", &a, &b, &d, &e, &tail) == 4)
        c.push_back(std::to_string(a) + "." + std::to_string(b) + "." + std::to_string(d) + "." +
                    std::to_string(e % 250 + 1));
    if (!now.empty() && now.find_first_not_of("PN") == std::string::npos) {   // half-hour flags
        std::string flipped = now;
        flipped[0] = flipped[0] == 'P' ? 'N' : 'P';
        c.push_back(flipped);
    }
    if (!now.empty() && now.size() < f.size - 1) c.push_back(now + "7");
    c.push_back(now.empty() ? "kycam" : "1" + now.substr(1));
    for (const char* word : {"g726", "g711a", "on", "off"})
        if (now != word) c.push_back(word);
    c.push_back("192.168.7.77");
    return c;
}

}   // namespace

TEST_F(EmulatorRoundTrip, EveryPageReadsAndEveryWritableFieldComesBack) {
    for (const cgi::PageDesc* page : cgi::AllPages()) {
        SCOPED_TRACE(std::string("page ") + page->name);
        AnyRecord before(page->record);
        ASSERT_EQ(0, Read(*page, before));
        if (page->sets.empty()) continue;
        // Writing what was read changes nothing.
        ASSERT_EQ(0, Run(page->sets, before));
        EXPECT_EQ(Dump(*page, before), ReadBackWhenSettled(*page, before));

        for (const cgi::FieldInfo& f : page->record->fields) {
            for (uint32_t e = 0; e < f.count && !f.readOnly; ++e) {
                const std::string now = cgi::FieldToText(f, before.data(), e), field = f.name + std::string("=");
                bool changed = false;
                for (const std::string& candidate : Candidates(f, now)) {
                    AnyRecord trial = before;
                    if (!cgi::FieldFromText(f, trial.data(), candidate, nullptr, e)) continue;
                    if (page->validate && page->validate(trial.data(), cgi::PageContext{})) continue;
                    ASSERT_EQ(0, Run(page->sets, trial)) << field << candidate << " [" << e << "]";
                    EXPECT_EQ(Dump(*page, trial), ReadBackWhenSettled(*page, trial)) << field << candidate;
                    changed = true;
                    break;
                }
                if (!changed) ADD_FAILURE() << "no acceptable change found for " << f.name;
                ASSERT_EQ(0, Run(page->sets, before));   // leave the camera as found
                ReadBackWhenSettled(*page, before);
            }
        }
    }
}

TEST_F(EmulatorRoundTrip, BackupChangeRestore) {
    kytest::TempDir dir;
    const std::string original = Ctl({"backup"}).out, path = dir.file("backup.json");
    EXPECT_NE(std::string::npos, original.find("\"venc@1\""));   // both streams are kept
    kytest::WriteBytes(path, original);
    const bool on = Ctl({"get", "cloud"}).out.find("cloud_enable=1") != std::string::npos;
    ASSERT_EQ(0, Ctl({"set", "cloud", on ? "cloud_enable=0" : "cloud_enable=1"}).status);
    ASSERT_EQ(0, Ctl({"--stream", "1", "set", "venc", "gop=37"}).status);
    const std::string changed = BackupUntil([](const std::string& b) { return b.find("\"gop\": 37") != b.npos; });
    EXPECT_NE(std::string::npos, changed.find("\"gop\": 37"));
    ASSERT_EQ(0, Ctl({"restore", path}).status);
    // The camera's clock runs on between the backups: compare without it.
    const auto settings = [](const std::string& backup) {
        nlohmann::json doc = nlohmann::json::parse(backup);
        doc["pages"]["time"].erase("time");
        return doc.dump();
    };
    EXPECT_EQ(settings(original), settings(BackupUntil([&](auto& b) { return settings(b) == settings(original); })));
}

// A name in another code page is repaired in JSON and text; replies cut off
// half-way fail every command and nothing is written back; the backup (owner
// only) gives the camera its own bytes back.
TEST_F(EmulatorRoundTrip, CutRepliesAndTextThatIsNoUtf8) {
    kytest::TempDir dir;
    const std::string good = dir.file("good.json"), cut = dir.file("cut.json"), name = "\xEF\xBF\xBD\xEF\xBF\xBD Gate";
    kytest::WriteBytes(good, "old");
    Control("/emu/set?key=overlay.name_1&value=%C4%E3+Gate");
    ASSERT_EQ(0, Ctl({"backup", good}).status);
    struct stat st {};
    EXPECT_TRUE(::stat(good.c_str(), &st) == 0 && (st.st_mode & 0777) == 0600);
    EXPECT_EQ(name, nlohmann::json::parse(Ctl({"--json", "get", "osd-name"}).out)["name"]);
    EXPECT_NE(std::string::npos, Ctl({"get", "osd-name"}).out.find("\nname=" + name + "\n"));
    Control("/emu/requests?clear=1");
    Control("/emu/fault?name=close-mid");
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"get", "ntp"}, {"set", "ntp", "ntpserver=a.example"}, {"backup", cut}, {"restore", good}})
        EXPECT_EQ(1, Ctl(args).status) << args[1];
    Control("/emu/fault?name=none");
    EXPECT_EQ(std::string::npos, Control("/emu/requests").find("cmd=set"));
    EXPECT_EQ(nlohmann::json::object(), nlohmann::json::parse(kytest::ReadBytes(cut))["pages"]);
    ASSERT_EQ(0, Ctl({"restore", good}).status);
    EXPECT_EQ("\xC4\xE3 Gate", Control("/emu/get?key=overlay.name_1"));
    Control("/emu/set?key=overlay.name_1&value=IP+Camera");
}

TEST_F(EmulatorRoundTrip, WifiScanTestAndInternetAddress) {
    EXPECT_EQ(Ctl({"wifi", "scan"}).out,
              "1\t-45\tHomeNet\tAES\tWPA2-PSK\tInfra\t6\n"
              "2\t-67\tOffice Guest\tTKIP\tWPA-PSK\tInfra\t11\n"
              "3\t-80\tCaf\xC3\xA9-Lager\tAES\tNone\tInfra\t1\n");
    const auto list = nlohmann::json::parse(Ctl({"--json", "wifi", "scan"}).out);
    ASSERT_EQ(3u, list.size());
    EXPECT_EQ("Office Guest", list[1]["ssid"]);
    EXPECT_EQ("11", list[1]["channel"]);

    // The emulated camera reaches the networks of its scan list.
    const std::string works = "WiFi works normally!\n";
    const struct {
        std::vector<std::string> args;
        int status;
        std::string out;
    } kTests[] = {
        {{"wifi", "test", "ssid=HomeNet", "key=a+b%"}, 0, works},
        {{"wifi", "test", "ssid=Office Guest", "key=k", "auth=2"}, 0, works},
        {{"wifi", "test", "ssid=Elsewhere", "key=k"},
         1,
         "The device WiFi works abnormally and cannot be connected to the router!\n"},
        {{"wifi", "test", "ssid=HomeNet"}, 2, ""},   // the camera holds no key
        {{"wifi", "test", "colour=red"}, 2, ""},
        {{"wifi", "sniff"}, 2, ""},
        {{"internet-ip"}, 0, "203.0.113.25\n"},
    };
    for (const auto& t : kTests) {
        const auto r = Ctl(t.args);
        EXPECT_EQ(t.status, r.status) << t.args.back();
        EXPECT_EQ(t.out, r.out) << t.args.back();
    }
    // The emulator's control route (its text/plain reply is no camera reply).
    Ctl({"raw", "GET /emu/set?key=interip&value="});
    const auto r = Ctl({"--json", "internet-ip"});
    EXPECT_EQ(1, r.status);
    EXPECT_EQ("{\"interip\":null}\n", r.out);
    Ctl({"raw", "GET /emu/set?key=interip&value=203.0.113.25"});
}

// time sync, the restart timer's limits and user set, against a camera of
// their own (the login changes), on an IPv6 address.
TEST(KycamctlAccount, TimeSyncRebootLimitsAndUserSet) {
    EmulatorProcess cam({"--bind", "::1", "--no-rtsp", "--no-discovery", "--user", "admin", "--password", "pw"});
    ASSERT_TRUE(cam.Ok());
    const auto ctl = [&](std::vector<std::string> args, const std::string& input = "") {
        args.insert(args.begin(), {"-H", "[::1]"});
        return ky::test::Ctl(cam.HttpPort(), args, input);
    };
    kytest::TempDir dir;
    kytest::WriteBytes(dir.file("hosts"), "[::1]:" + std::to_string(cam.HttpPort()) + " admin pw\n");
    const char* tz = std::getenv("TZ");
    const std::string savedTz = tz ? tz : "";
    setenv("TZ", "Asia/Kolkata", 1);
    EXPECT_EQ(0, ctl({"time", "sync"}).status);
    EXPECT_NE(std::string::npos, ctl({"get", "time"}).out.find("Asia/Calcutta"));
    setenv("TZ", "Pacific/Kiritimati", 1);   // UTC+14: no zone of the camera
    const auto far = ctl({"time", "sync"});
    tz ? setenv("TZ", savedTz.c_str(), 1) : unsetenv("TZ");
    const struct {
        ky::test::CtlResult got;
        int status;
        const char* err;
    } cases[] = {
        {far, 2, "not in the camera's list"},
        {ky::test::Ctl(0, {"--hosts", dir.file("hosts"), "get", "ntp"}), 0, ""},
        {ctl({"set", "reboot-timer", "sr_day=9"}), 2, "Please select the restart day!"},
        {ctl({"set", "reboot-timer", "sr_day=7", "sr_hour=23"}), 0, ""},
        {ctl({"user", "set", "inst aller", "-"}, "\xE4\xBD\xA0\xE5\xA5\xBD\n"), 2, "Password cannot be Chinese!"},
        {ctl({"user", "set", "inst aller", "-"}, "N3w pass&word\n"), 0, ""},
        {ctl({"get", "ntp"}), 1, ""},
        {ky::test::Ctl(cam.HttpPort(), {"-H", "::1", "get", "ntp"}, "", "inst aller", "N3w pass&word"), 0, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.status, c.got.status) << c.got.err;
        EXPECT_NE(std::string::npos, c.got.err.find(c.err)) << c.got.err;
    }
}
