// Command engine, reply parser and the described commands. The golden file
// holds what each command puts on the wire and reads back, typed from the
// camera's documented protocol, never produced by the code under test.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "core/cgi/Catalogue.h"
#include "core/cgi/CgiClient.h"
#include "core/cgi/PercentEncode.h"
#include "tests/support/CgiWire.h"
#include "tests/support/Golden.h"

using ky::test::ScriptedServer;
namespace cgi = ky::cgi;

// Each case of golden/commands.txt runs its command against a scripted camera
// and checks the exact request bytes, the result and the record.
TEST(CommandGolden, WireBytesAndRecords) {
    const auto cases = ky::test::ReadGolden(KY_CGI_GOLDEN);
    ASSERT_GT(cases.size(), 80u);
    for (const auto& c : cases) {
        SCOPED_TRACE("commands.txt:" + std::to_string(c.front().line));
        const cgi::CommandDesc* cmd = c.front().word == "call" ? cgi::FindCommand(c.front().text) : nullptr;
        if (cmd == nullptr) {
            ADD_FAILURE() << "no command: " << c.front().text;
            continue;
        }
        ky::test::AnyRecord rec(cmd->record);
        std::map<std::string, std::string> word = {{"host", "127.0.0.1"}, {"status", "200 OK"}, {"result", "0"}};
        std::string body;
        std::vector<std::string> expects;
        for (const auto& l : c) {
            if (l.word == "with") {
                EXPECT_TRUE(rec.Set(l.text)) << l.text;
            } else if (l.word == "reply") {
                body += ky::test::Unescape(l.text) + "\r\n";
            } else if (l.word == "expect") {
                expects.push_back(l.text);
            } else if (l.word != "call") {
                EXPECT_NE(std::string(" record host camera status sent result timeout ").find(" " + l.word + " "),
                          std::string::npos)
                    << "line " << l.line << ": unknown word " << l.word;
                word[l.word] = l.text;
            }
        }
        const std::string &host = word["host"], &camera = word["camera"], &sent = word["sent"];
        ScriptedServer::Script script;
        script.mode = camera == "silent" ? ScriptedServer::Mode::NeverAnswer : ScriptedServer::Mode::ReplyThenClose;
        const std::string reply = camera == "mute" ? "" : ScriptedServer::HttpReply(body, false, word["status"]);
        script.handler = [late = camera == "late", reply](const std::string&) {
            if (late) std::this_thread::sleep_for(std::chrono::milliseconds(500));
            return reply;
        };
        ScriptedServer server(script);
        const uint16_t port = camera == "closed" ? ScriptedServer::ClosedPort() : server.Port();
        const auto start = std::chrono::steady_clock::now();
        const int timeoutMs = word.count("timeout") ? std::stoi(word["timeout"]) : 3000;
        EXPECT_EQ(std::stoi(word["result"]), cgi::RunCommand(*cmd, {host.c_str(), port, "admin", "123456"},
                                                             word.count("record") ? nullptr : rec.data(), timeoutMs));
        if (camera == "silent") {   // a send-only write never waits for the quiet time
            EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
        }
        if (sent == "nothing" || camera == "closed") {
            EXPECT_EQ(0, server.Accepted());
        } else {
            EXPECT_TRUE(server.WaitFinished(1));
            EXPECT_EQ(ky::test::ExpectedRequest(sent, host), server.Received());
        }
        for (const std::string& e : expects)
            EXPECT_EQ(ky::test::Unescape(ky::test::AnyRecord::Value(e)), rec.Get(e)) << e;
    }
}

TEST(CommandEngine, NullRecordsAndConnectionValuesNeverReachTheWire) {
    ScriptedServer idle(ScriptedServer::Mode::ReplyThenClose, ScriptedServer::HttpReply(""));
    CCgiClient client;
    const auto list = std::make_unique<WifiScanList>();
    EXPECT_EQ(-1, client.GetCloudEnable("127.0.0.1", idle.Port(), "admin", "", nullptr, 3000));
    EXPECT_EQ(-1, client.SearchWireless(nullptr, idle.Port(), "admin", "x", list.get(), 3000));
    CloudAttr cloud{};
    EXPECT_EQ(-1, client.GetCloudEnable("127.0.0.1", idle.Port(), "admin", nullptr, &cloud, 3000));
    EXPECT_EQ(0, idle.Accepted());
}

// A record and commands of the test's own exercise what no simple command
// does: indexed keys with a count, percent-encoded text, on/off words.
namespace {
struct ListRec {
    int32_t count;
    int32_t mode;
    char ssid[4][16];
    int32_t level[4];
    char title[8];
};
constexpr std::array kListFields{
    KY_FIELD(ListRec, count), KY_FIELD(ListRec, mode),  KY_FIELD(ListRec, ssid),
    KY_FIELD(ListRec, level), KY_FIELD(ListRec, title),
};
constexpr cgi::RecordInfo kListRec{"ListRec", sizeof(ListRec), kListFields};
#define LF(n) cgi::FieldIndex(kListFields, #n)
constexpr cgi::KeySpec kListKeys[] = {
    {"var count=", LF(count), cgi::Conv::Int},
    {"var mode=", LF(mode), cgi::Conv::OnOff, "P"},
    {"wessid[%d]=", LF(ssid), cgi::Conv::Text, nullptr, true, 0, LF(count)},
    {"var level_%d=", LF(level), cgi::Conv::Int, nullptr, true, 1},
};
constexpr cgi::ArgSpec kListArgs[] = {
    {LF(title), cgi::Enc::Percent}, {LF(level), cgi::Enc::Raw, 2}, {LF(ssid), cgi::Enc::Raw, 1}};
#undef LF
constexpr cgi::CommandDesc kListGet{.name = "ListGet", .record = &kListRec, .request = "GET /x", .keys = kListKeys};
constexpr cgi::CommandDesc kListSet{.name = "ListSet",
                                    .record = &kListRec,
                                    .request = "GET /x?cmd=set&-t=%s&-l=%d&-s=%s&-pct=100%%",
                                    .args = kListArgs};
}   // namespace

// Reads, writes and field texts of the record above: golden/engine.txt.
TEST(CommandEngine, IndexedKeysEncodingsAndFieldTexts) {
    ky::test::ExpectGoldenResults(
        KY_ENGINE_GOLDEN, {{"Read",
                            [](const auto& a) {
                                ListRec r{};
                                cgi::ParseReply(kListGet, a.at(0).c_str(), 4096, &r);
                                std::string out = std::to_string(r.count) + " " + std::to_string(r.mode);
                                for (int i = 0; i < 4; ++i)
                                    out += std::string(" ") + r.ssid[i] + "/" + std::to_string(r.level[i]);
                                return out;
                            }},
                           {"Format",
                            [](const auto& a) {
                                ListRec r{};
                                std::strcpy(r.title, "a b=c");
                                r.level[2] = -7;
                                std::snprintf(r.ssid[1], sizeof r.ssid[1], "%s", a.at(0).c_str());
                                char out[128];
                                return cgi::FormatRequest(kListSet, &r, out, sizeof out) > 0 ? std::string(out)
                                                                                             : "<refused>";
                            }},
                           {"Field", [](const auto& a) {
                                ky::test::AnyRecord rec(&kListRec);
                                EXPECT_TRUE(rec.Set("count=5") && rec.Set("title=x"));
                                const bool taken = rec.Set(a.at(0));
                                const std::string value = rec.Get(a.at(0).substr(0, a.at(0).find_first_of("[=")));
                                return std::string(taken ? "taken" : "refused") + (value.empty() ? "" : " " + value);
                            }}});
    // Too small an output buffer is refused, never overrun.
    ListRec r{};
    char tiny[16];
    EXPECT_EQ(-1, cgi::FormatRequest(kListSet, &r, tiny, sizeof tiny));
}

// Structural checks over the whole catalogue: every description must be
// runnable as written.
TEST(Catalogue, EveryCommandIsWellFormed) {
    ASSERT_FALSE(cgi::AllCommands().empty());
    for (const cgi::CommandDesc* cmd : cgi::AllCommands()) {
        SCOPED_TRACE(cmd->name);
        EXPECT_EQ(cmd, cgi::FindCommand(cmd->name));
        const std::string req = cmd->request;
        EXPECT_TRUE(req.rfind("GET /cgi-bin/", 0) == 0 || req.rfind("GET /web/cgi-bin/", 0) == 0);
        std::vector<int32_t> zero(cmd->record ? cmd->record->size / 4 + 1 : 1, 0);
        std::vector<char> out(cmd->requestSize);
        // A request assembled by a compose step may refuse an empty record
        // (the golden file formats those with real values).
        const int n = cgi::FormatRequest(*cmd, zero.data(), out.data(), out.size());
        if (cmd->compose == nullptr) {
            EXPECT_GT(n, 0);
        }
        for (const cgi::KeySpec& k : cmd->keys) {
            ASSERT_NE(nullptr, cmd->record);
            ASSERT_LT(static_cast<size_t>(k.field), cmd->record->fields.size());
            const auto& f = cmd->record->fields[static_cast<size_t>(k.field)];
            const bool textConv = k.conv == cgi::Conv::Text || k.conv == cgi::Conv::TextAlways;
            EXPECT_EQ(textConv, f.type == cgi::FieldType::Text) << k.key;
            EXPECT_EQ(k.indexed, std::string(k.key).find("%d") != std::string::npos) << k.key;
        }
        for (const cgi::ArgSpec& a : cmd->args) {
            ASSERT_NE(nullptr, cmd->record);
            const auto& f = cmd->record->fields[static_cast<size_t>(a.field)];
            EXPECT_LT(static_cast<uint32_t>(a.element), f.count);
        }
    }
    for (const cgi::PageDesc* page : cgi::AllPages()) {
        SCOPED_TRACE(page->name);
        EXPECT_EQ(page, cgi::FindPage(page->name));
        EXPECT_FALSE(page->gets.empty());
        for (const cgi::CommandDesc* c : page->gets) EXPECT_EQ(page->record, c->record);
        for (const cgi::CommandDesc* c : page->sets) EXPECT_EQ(page->record, c->record);
    }
}
