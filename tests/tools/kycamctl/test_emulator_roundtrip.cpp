// Every page of the catalogue against the emulated camera, whose command table
// is written independently: what the tool writes, the camera must give back.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>
#include <chrono>

#include <nlohmann/json.hpp>

#include "core/cgi/Catalogue.h"
#include "tests/support/EmulatorProcess.h"
#include "tools/kycamctl/Kycamctl.h"

namespace cgi = ky::cgi;
using ky::test::EmulatorProcess;

namespace {

class EmulatorRoundTrip : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        emulator_ = new EmulatorProcess({"--no-rtsp", "--no-discovery", "--user", "admin", "--password", "pw"});
    }
    static void TearDownTestSuite() {
        delete emulator_;
        emulator_ = nullptr;
    }
    void SetUp() override { ASSERT_TRUE(emulator_->Ok()) << "kycam-emulator did not start"; }

    cgi::Target Camera() const { return {"127.0.0.1", static_cast<uint16_t>(emulator_->HttpPort()), "admin", "pw"}; }

    struct Record {
        explicit Record(const cgi::PageDesc& p) : page(p), words(p.record->size / 4 + 1, 0) {}
        void* data() { return words.data(); }
        const cgi::PageDesc& page;
        std::vector<int32_t> words;
    };

    int Read(const cgi::PageDesc& page, Record& r) {
        if (page.preset) page.preset(r.data(), {});
        for (const cgi::CommandDesc* c : page.gets)
            if (cgi::RunCommand(*c, Camera(), r.data(), 3000) != 0) return -1;
        return 0;
    }
    int Write(const cgi::PageDesc& page, Record& r) {
        for (const cgi::CommandDesc* c : page.sets)
            if (cgi::RunCommand(*c, Camera(), r.data(), 3000) != 0) return -1;
        return 0;
    }

    // Send-only writes (network, video) are not answered, so the camera may
    // still be applying one when the next read arrives: read until it shows
    // the expected record or a second has passed.
    std::string ReadBackWhenSettled(const cgi::PageDesc& page, Record& expected) {
        const std::string want = Dump(page, expected.data());
        std::string got;
        for (int attempt = 0; attempt < 20; ++attempt) {
            Record back(page);
            if (Read(page, back) != 0) return "<read failed>";
            got = Dump(page, back.data());
            if (got == want) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return got;
    }

    static std::string Dump(const cgi::PageDesc& page, const void* rec) {
        std::string s;
        for (const cgi::FieldInfo& f : page.record->fields)
            for (uint32_t e = 0; e < f.count; ++e) s += std::string(f.name) + "=" + cgi::FieldToText(f, rec, e) + "\n";
        return s;
    }

    int Ctl(std::vector<std::string> args, std::string* out = nullptr) {
        std::vector<std::string> all = {"-P", std::to_string(emulator_->HttpPort()), "-p", "pw"};
        all.insert(all.end(), args.begin(), args.end());
        std::ostringstream o, e;
        const int status = ky::ctl::Run(all, o, e);
        if (out) *out = o.str();
        if (status != 0) ADD_FAILURE() << "kycamctl " << args[0] << ": " << e.str();
        return status;
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

TEST_F(EmulatorRoundTrip, EveryPageReads) {
    for (const cgi::PageDesc* page : cgi::AllPages()) {
        Record r(*page);
        EXPECT_EQ(0, Read(*page, r)) << page->name;
    }
}

TEST_F(EmulatorRoundTrip, EveryWritableFieldComesBack) {
    for (const cgi::PageDesc* page : cgi::AllPages()) {
        if (page->sets.empty()) continue;
        SCOPED_TRACE(std::string("page ") + page->name);
        Record before(*page);
        ASSERT_EQ(0, Read(*page, before));
        // Writing what was read changes nothing.
        ASSERT_EQ(0, Write(*page, before));
        EXPECT_EQ(Dump(*page, before.data()), ReadBackWhenSettled(*page, before));

        for (const cgi::FieldInfo& f : page->record->fields) {
            if (f.readOnly) continue;
            for (uint32_t e = 0; e < f.count; ++e) {
                Record r(*page);
                ASSERT_EQ(0, Read(*page, r));
                const std::string now = cgi::FieldToText(f, r.data(), e);
                bool changed = false;
                for (const std::string& candidate : Candidates(f, now)) {
                    Record trial = r;
                    if (!cgi::FieldFromText(f, trial.data(), candidate, nullptr, e)) continue;
                    if (page->validate && page->validate(trial.data(), cgi::PageContext{})) continue;
                    ASSERT_EQ(0, Write(*page, trial)) << f.name << "[" << e << "]=" << candidate;
                    EXPECT_EQ(Dump(*page, trial.data()), ReadBackWhenSettled(*page, trial))
                        << f.name << "[" << e << "]=" << candidate;
                    changed = true;
                    break;
                }
                if (!changed) ADD_FAILURE() << "no acceptable change found for " << f.name;
                ASSERT_EQ(0, Write(*page, before));   // leave the camera as found
                ReadBackWhenSettled(*page, before);
            }
        }
    }
}

TEST_F(EmulatorRoundTrip, BackupChangeRestore) {
    std::string original;
    ASSERT_EQ(0, Ctl({"backup"}, &original));
    EXPECT_NE(std::string::npos, original.find("\"venc@1\""));   // both streams are kept
    const std::string path = ::testing::TempDir() + "kycam_backup.json";
    std::ofstream(path) << original;
    std::string out;
    ASSERT_EQ(0, Ctl({"get", "cloud"}, &out));
    const bool on = out.find("cloud_enable=1") != std::string::npos;
    ASSERT_EQ(0, Ctl({"set", "cloud", on ? "cloud_enable=0" : "cloud_enable=1"}));
    ASSERT_EQ(0, Ctl({"--stream", "1", "set", "venc", "gop=37"}));
    std::string changed;
    for (int attempt = 0; attempt < 20 && changed.find("\"gop\": 37") == std::string::npos; ++attempt) {
        if (attempt) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ASSERT_EQ(0, Ctl({"backup"}, &changed));
    }
    EXPECT_NE(original, changed);
    EXPECT_NE(std::string::npos, changed.find("\"gop\": 37"));
    ASSERT_EQ(0, Ctl({"restore", path}));
    // The video writes are send-only: give the camera a moment to apply them.
    // The camera's clock runs on between the backups: compare without it.
    const auto settings = [](const std::string& backup) {
        nlohmann::json doc = nlohmann::json::parse(backup);
        doc["pages"]["time"].erase("time");
        return doc.dump();
    };
    std::string restored;
    for (int attempt = 0; attempt < 20 && (restored.empty() || settings(restored) != settings(original)); ++attempt) {
        if (attempt) std::this_thread::sleep_for(std::chrono::milliseconds(50));
        ASSERT_EQ(0, Ctl({"backup"}, &restored));
    }
    EXPECT_EQ(settings(original), settings(restored));
    std::remove(path.c_str());
}

TEST_F(EmulatorRoundTrip, WifiScanTestAndInternetAddress) {
    auto run = [&](std::vector<std::string> args, std::string* out = nullptr) {
        std::vector<std::string> all = {"-P", std::to_string(emulator_->HttpPort()), "-p", "pw"};
        all.insert(all.end(), args.begin(), args.end());
        std::ostringstream o, e;
        const int status = ky::ctl::Run(all, o, e);
        if (out) *out = o.str();
        return status;
    };
    std::string out;
    ASSERT_EQ(0, run({"wifi", "scan"}, &out));
    EXPECT_EQ(out,
              "1\t-45\tHomeNet\tAES\tWPA2-PSK\tInfra\t6\n"
              "2\t-67\tOffice Guest\tTKIP\tWPA-PSK\tInfra\t11\n"
              "3\t-80\tCaf\xC3\xA9-Lager\tAES\tNone\tInfra\t1\n");
    ASSERT_EQ(0, run({"--json", "wifi", "scan"}, &out));
    const auto list = nlohmann::json::parse(out);
    ASSERT_EQ(3u, list.size());
    EXPECT_EQ("Office Guest", list[1]["ssid"]);
    EXPECT_EQ("11", list[1]["channel"]);

    // The emulated camera reaches the networks of its scan list.
    const struct {
        std::vector<std::string> args;
        int status;
        const char* out;
    } kTests[] = {
        {{"wifi", "test", "ssid=HomeNet", "key=a+b%"}, 0, "WiFi works normally!\n"},
        {{"wifi", "test", "ssid=Office Guest", "key=k", "auth=2"}, 0, "WiFi works normally!\n"},
        {{"wifi", "test", "ssid=Elsewhere", "key=k"},
         1,
         "The device WiFi works abnormally and cannot be connected to the router!\n"},
        {{"wifi", "test", "ssid=HomeNet"}, 2, ""},   // the camera holds no key
        {{"wifi", "test", "colour=red"}, 2, ""},
        {{"wifi", "sniff"}, 2, ""},
    };
    for (const auto& t : kTests) {
        EXPECT_EQ(t.status, run(t.args, &out)) << t.args[2];
        EXPECT_EQ(t.out, out) << t.args[2];
    }

    ASSERT_EQ(0, run({"internet-ip"}, &out));
    EXPECT_EQ("203.0.113.25\n", out);
    // The emulator's control route (its text/plain reply is no camera reply).
    run({"raw", "GET /emu/set?key=interip&value="});
    EXPECT_EQ(1, run({"--json", "internet-ip"}, &out));
    EXPECT_EQ("{\"interip\":null}\n", out);
    run({"raw", "GET /emu/set?key=interip&value=203.0.113.25"});
}

// time sync, the restart timer's limits and user set, against a camera of
// their own (the login changes).
TEST(KycamctlAccount, TimeSyncRebootLimitsAndUserSet) {
    EmulatorProcess cam({"--no-rtsp", "--no-discovery", "--user", "admin", "--password", "pw"});
    ASSERT_TRUE(cam.Ok());
    struct Result {
        int status;
        std::string out, err;
    };
    auto ctl = [&](const std::string& user, const std::string& password, std::vector<std::string> args,
                   const std::string& input = "") {
        std::vector<std::string> all = {"-P", std::to_string(cam.HttpPort()), "-u", user, "-p", password};
        all.insert(all.end(), args.begin(), args.end());
        std::ostringstream o, e;
        std::istringstream in(input);
        const int status = ky::ctl::Run(all, o, e, &in);
        return Result{status, o.str(), e.str()};
    };

    const char* tz = std::getenv("TZ");
    const std::string savedTz = tz ? tz : "";
    setenv("TZ", "Asia/Kolkata", 1);
    EXPECT_EQ(0, ctl("admin", "pw", {"time", "sync"}).status);
    Result got = ctl("admin", "pw", {"get", "time"});
    EXPECT_NE(std::string::npos, got.out.find("Asia/Calcutta")) << got.out;
    setenv("TZ", "Pacific/Kiritimati", 1);   // UTC+14: no zone of the camera
    got = ctl("admin", "pw", {"time", "sync"});
    EXPECT_EQ(2, got.status);
    EXPECT_NE(std::string::npos, got.err.find("not in the camera's list")) << got.err;
    if (tz)
        setenv("TZ", savedTz.c_str(), 1);
    else
        unsetenv("TZ");

    got = ctl("admin", "pw", {"set", "reboot-timer", "sr_day=9"});
    EXPECT_EQ(2, got.status);
    EXPECT_NE(std::string::npos, got.err.find("Please select the restart day!")) << got.err;
    EXPECT_EQ(0, ctl("admin", "pw", {"set", "reboot-timer", "sr_day=7", "sr_hour=23"}).status);

    got = ctl("admin", "pw", {"user", "set", "inst aller", "-"}, "\xE4\xBD\xA0\xE5\xA5\xBD\n");
    EXPECT_EQ(2, got.status);
    EXPECT_NE(std::string::npos, got.err.find("Password cannot be Chinese!")) << got.err;
    got = ctl("admin", "pw", {"user", "set", "inst aller", "-"}, "N3w pass&word\n");
    EXPECT_EQ(0, got.status) << got.err;
    EXPECT_EQ(1, ctl("admin", "pw", {"get", "ntp"}).status);
    EXPECT_EQ(0, ctl("inst aller", "N3w pass&word", {"get", "ntp"}).status);
}
