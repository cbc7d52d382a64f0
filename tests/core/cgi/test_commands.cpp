// Command engine, reply parser and the described commands, against hand-written
// replies and a scripted loopback camera. Expected request texts are typed from
// the camera's documented protocol, not produced by the code under test.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "core/cgi/Catalogue.h"
#include "core/cgi/CgiClient.h"
#include "core/cgi/PercentEncode.h"
#include "tests/support/CgiWire.h"

using ky::test::ScriptedServer;
namespace cgi = ky::cgi;

namespace {

constexpr const char* kAuthLine = ky::test::kAdminAuthLine;

std::string Expected(const std::string& requestText, const std::string& authLine = kAuthLine) {
    return ky::test::ExpectedRequest(requestText, "127.0.0.1", authLine);
}

std::string Reply(const std::string& body) { return ScriptedServer::HttpReply(body); }

}   // namespace

TEST(CommandWire, CloudReadAndWriteBytes) {
    ScriptedServer server(ScriptedServer::Mode::ReplyThenClose, Reply("var cloud_enable=1;\r\n"));
    ASSERT_TRUE(server.Ok());
    CCgiClient client;
    CloudAttr rec{};
    ASSERT_EQ(0, client.GetCloudEnable("127.0.0.1", server.Port(), "admin", "123456", &rec, 3000));
    EXPECT_EQ(1, rec.cloud_enable);
    rec.cloud_enable = 0;
    ASSERT_EQ(0, client.SetCloudEnable("127.0.0.1", server.Port(), "admin", "123456", &rec, 3000));
    ASSERT_TRUE(server.WaitFinished(2));
    EXPECT_EQ(Expected("GET /cgi-bin/ky7200/param.cgi?cmd=getcloudenable") +
                  Expected("GET /cgi-bin/ky7200/param.cgi?cmd=setcloudenable&-cloud_enable=0"),
              server.Received());
}

TEST(CommandWire, GroupedDeviceInfoReadIsOneRequest) {
    ScriptedServer server(ScriptedServer::Mode::ReplyThenClose,
                          Reply("var name=\"CAM01\";\r\nvar ip=\"192.168.1.10\";\r\nvar dhcpflag=\"on\";\r\n"));
    CCgiClient client;
    DeviceNetInfo info{};
    ASSERT_EQ(0, client.GetDeviceInfo("127.0.0.1", server.Port(), "admin", "123456", &info, 3000));
    ASSERT_TRUE(server.WaitFinished(1));
    EXPECT_EQ(
        Expected("GET /cgi-bin/ky7200/param.cgi?cmd=getserverinfo&cmd=getnetattr&cmd=getstreamnum&cmd=getdevtype"),
        server.Received());
    EXPECT_STREQ("CAM01", info.name);
    EXPECT_STREQ("192.168.1.10", info.ip);
    EXPECT_EQ(1, info.dhcpflag);
}

TEST(CommandWire, FailuresLeaveTheRecordAndSendNothingWhenRefusedEarly) {
    CCgiClient client;
    CloudAttr rec{};
    rec.cloud_enable = 7;
    // Nothing listens: -1, record untouched.
    EXPECT_EQ(-1, client.GetCloudEnable("127.0.0.1", ScriptedServer::ClosedPort(), "admin", "", &rec, 500));
    EXPECT_EQ(7, rec.cloud_enable);
    // A refusal with values in it must not be parsed.
    ScriptedServer refusing(ScriptedServer::Mode::ReplyThenClose,
                            ScriptedServer::HttpReply("var cloud_enable=1;\r\n", false, "401 Unauthorized"));
    EXPECT_EQ(-1, client.GetCloudEnable("127.0.0.1", refusing.Port(), "admin", "", &rec, 3000));
    EXPECT_EQ(7, rec.cloud_enable);
    // Null records and switching P2P on without UID never reach the wire.
    ScriptedServer idle(ScriptedServer::Mode::ReplyThenClose, Reply(""));
    EXPECT_EQ(-1, client.GetCloudEnable("127.0.0.1", idle.Port(), "admin", "", nullptr, 3000));
    P2pAttr p2p{};
    p2p.enable = 1;
    EXPECT_EQ(-1, client.SetP2pAttr("127.0.0.1", idle.Port(), "admin", "", &p2p, 3000));
    EXPECT_EQ(0, idle.Accepted());
}

TEST(CommandWire, P2pFamilySelectsTheCommandSet) {
    ScriptedServer server(ScriptedServer::Mode::ReplyThenClose,
                          Reply("var kyp2p_enable=1;\r\nvar kyp2p_uid=\"KY-123\";\r\nvar xqp2p_enable=0;\r\n"));
    CCgiClient client;
    P2pAttr p2p{};
    p2p.family = 1;
    ASSERT_EQ(0, client.GetP2pAttr("127.0.0.1", server.Port(), "admin", "123456", &p2p, 3000));
    EXPECT_EQ(1, p2p.enable);
    EXPECT_STREQ("KY-123", p2p.uid);
    p2p.family = 0;
    p2p.enable = 1;
    ASSERT_EQ(0, client.SetP2pAttr("127.0.0.1", server.Port(), "admin", "123456", &p2p, 3000));
    ASSERT_TRUE(server.WaitFinished(2));
    EXPECT_EQ(Expected("GET /cgi-bin/ky7200/param.cgi?cmd=getkyp2pattr") +
                  Expected("GET /cgi-bin/ky7200/param.cgi?cmd=setxqp2pattr&-xqp2p_enable=1"),
              server.Received());
}

TEST(CommandWire, SdCardCommands) {
    CCgiClient client;
    SdCardState sd{};
    {
        ScriptedServer s(ScriptedServer::Mode::ReplyThenClose,
                         Reply("var sdstatus=\"READY\";\r\nvar sdfreespace=250;\r\nvar sdtotalspace=1000;\r\n"));
        ASSERT_EQ(0, client.GetSdStatus("127.0.0.1", s.Port(), "admin", "", &sd, 3000));
        EXPECT_EQ(0, sd.status);
        EXPECT_EQ(250, sd.freespace);
        EXPECT_EQ(1000, sd.totalspace);
    }
    {
        ScriptedServer s(ScriptedServer::Mode::ReplyThenClose, Reply("var sdstatus=\"Readonly\";\r\n"));
        sd = {0, 5, 5};
        ASSERT_EQ(0, client.GetSdStatus("127.0.0.1", s.Port(), "admin", "", &sd, 3000));
        EXPECT_EQ(1, sd.status);
        EXPECT_EQ(0, sd.freespace);   // missing sizes read as 0
    }
    for (const char* body : {"var sdstatus=\"out\";\r\n", "var sdstatus=\"busy\";\r\n", ""}) {
        ScriptedServer s(ScriptedServer::Mode::ReplyThenClose, Reply(body));
        sd = {0, 0, 0};
        ASSERT_EQ(0, client.GetSdStatus("127.0.0.1", s.Port(), "admin", "", &sd, 3000)) << body;
        EXPECT_EQ(-1, sd.status) << body;
    }
    {
        ScriptedServer s(ScriptedServer::Mode::ReplyThenClose, Reply("format done\r\n"));
        EXPECT_EQ(-1, client.FormatSd("127.0.0.1", s.Port(), "admin", "", nullptr, 3000));
    }
    {
        ScriptedServer s(ScriptedServer::Mode::ReplyThenClose, Reply("Succeed\r\n"));
        EXPECT_EQ(0, client.StopSd("127.0.0.1", s.Port(), "admin", "", nullptr, 3000));
        ASSERT_TRUE(s.WaitFinished(1));
        // Base64 of "admin:".
        EXPECT_EQ(Expected("GET /cgi-bin/ky7200/param.cgi?cmd=sdstop", "Authorization: Basic YWRtaW46\r\n"),
                  s.Received());
    }
}

TEST(ReplyParser, GetValueRules) {
    CCgiClient c;
    const char* reply =
        "HTTP/1.1 200 OK\r\nContent-Type:text/html\r\n\r\n"
        "var wifi_ip=\"10.0.0.9\";\r\nvar ip=\"10.0.0.2\";\r\nvar port=80;\r\nvar name=\"\";\r\n"
        "var odd=abc;\nvar next=1;\r\nvar q=\";\r\n";
    EXPECT_EQ("10.0.0.2", c.GetValue(reply, 4096, "var ip="));   // not inside "var wifi_ip="
    EXPECT_EQ("80", c.GetValue(reply, 4096, "var port="));
    EXPECT_EQ("", c.GetValue(reply, 4096, "var name="));
    EXPECT_EQ("abc;\nvar next=1", c.GetValue(reply, 4096, "var odd="));   // ";\n" is not a terminator
    EXPECT_EQ("", c.GetValue(reply, 4096, "var q="));                     // a lone quote
    EXPECT_EQ("", c.GetValue(reply, 4096, "var missing="));
    EXPECT_EQ("", c.GetValue("var x=1;\n", 4096, "var x="));   // no terminator at all
    const std::string longValue(300, 'v');
    EXPECT_EQ(std::string(127, 'v'), c.GetValue(("var long=\"" + longValue + "\";\r\n").c_str(), 4096, "var long="));
    // First match wins across grouped replies.
    EXPECT_EQ("A", c.GetValue("var x=\"A\";\r\nvar x=\"B\";\r\n", 4096, "var x="));
}

TEST(ReplyParser, DeviceInfoConversions) {
    const cgi::CommandDesc* cmd = cgi::FindCommand("GetDeviceInfo");
    ASSERT_NE(nullptr, cmd);
    DeviceNetInfo info{};
    std::strcpy(info.name, "keep");
    std::strcpy(info.devtype, "keep-too");
    info.dhcpflag = 1;
    cgi::ParseReply(*cmd, "var name=\"\";\r\nvar stream_num=abc;\r\nvar dhcpflag=\"On\";\r\n", 4096, &info);
    EXPECT_STREQ("keep", info.name);          // empty value keeps the field
    EXPECT_STREQ("keep-too", info.devtype);   // missing key keeps the field
    EXPECT_EQ(0, info.stream_num);            // not a number gives 0
    EXPECT_EQ(0, info.dhcpflag);              // only exactly "on" is on
    info.dhcpflag = 1;
    cgi::ParseReply(*cmd, "var name=\"x\";\r\n", 4096, &info);
    EXPECT_EQ(0, info.dhcpflag);   // set even when missing
    // A text longer than its field is cut at the width, never past it, and
    // never in the middle of a UTF-8 sequence.
    const std::string name = std::string(39, 'n') + "\xE4\xB8\xAD";   // 42 bytes for a 41-byte field
    cgi::ParseReply(*cmd, ("var name=\"" + name + "\";\r\n").c_str(), 4096, &info);
    EXPECT_EQ(std::string(39, 'n'), std::string(info.name));
}

TEST(PercentEncode, QueryValuesAndUrlPaths) {
    const struct {
        std::string_view in, query, path;
    } cases[] = {
        {"my net=1", "my+net%3D1", "my%20net=1"},
        {"a-b_c.d*e@f~", "a-b_c.d*e@f%7E", "a-b_c.d*e@f~"},
        {"/a/b?x=%41", "%2Fa%2Fb%3Fx%3D%2541", "/a/b?x=%41"},   // a path keeps its escapes
        {"\xE4\xB8\xAD&+", "%E4%B8%AD%26%2B", "%E4%B8%AD&+"},
        {"\\\"<>\x7f\r", "%5C%22%3C%3E%7F%0D", "%5C%22%3C%3E%7F%0D"},
        {std::string_view("\0", 1), "%00", "%00"},
        {"", "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(c.query, cgi::EncodeQueryValue(c.in)) << c.in;
        EXPECT_EQ(c.path, cgi::EncodeUrlPath(c.in)) << c.in;
    }
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

TEST(CommandEngine, IndexedKeysAndCounts) {
    ListRec r{};
    cgi::ParseReply(kListGet,
                    "var count=2;\r\nvar mode=P;\r\nwessid[11]=\"eleven\";\r\nwessid[0]=\"zero\";\r\n"
                    "wessid[1]=\"one\";\r\nwessid[2]=\"two\";\r\nvar level_1=10;\r\nvar level_4=40;\r\n",
                    4096, &r);
    EXPECT_EQ(2, r.count);
    EXPECT_EQ(1, r.mode);
    EXPECT_STREQ("zero", r.ssid[0]);
    EXPECT_STREQ("one", r.ssid[1]);   // index 1 never matches index 11
    EXPECT_STREQ("", r.ssid[2]);      // beyond the count
    EXPECT_EQ(10, r.level[0]);        // keys numbered from 1
    EXPECT_EQ(40, r.level[3]);
    // A count larger than the list is clamped, a negative one reads nothing.
    ListRec big{};
    cgi::ParseReply(kListGet, "var count=99;\r\nwessid[3]=\"three\";\r\n", 4096, &big);
    EXPECT_STREQ("three", big.ssid[3]);
    ListRec neg{};
    cgi::ParseReply(kListGet, "var count=-5;\r\nwessid[0]=\"x\";\r\nvar mode=p;\r\n", 4096, &neg);
    EXPECT_STREQ("", neg.ssid[0]);
    EXPECT_EQ(0, neg.mode);   // the word compares exactly
}

TEST(CommandEngine, FormatsArgumentsInOrder) {
    ListRec r{};
    std::strcpy(r.title, "a b=c");
    r.level[2] = -7;
    std::strcpy(r.ssid[1], "net/1");
    char out[128];
    ASSERT_GT(cgi::FormatRequest(kListSet, &r, out, sizeof out), 0);
    EXPECT_STREQ("GET /x?cmd=set&-t=a+b%3Dc&-l=-7&-s=net/1&-pct=100%", out);
    // Unencoded texts never split the request line.
    std::strcpy(r.ssid[1], "CHINA MOBILE\r\n");
    ASSERT_GT(cgi::FormatRequest(kListSet, &r, out, sizeof out), 0);
    EXPECT_STREQ("GET /x?cmd=set&-t=a+b%3Dc&-l=-7&-s=CHINA+MOBILE%0D%0A&-pct=100%", out);
    // Too small an output buffer is refused, never overrun.
    char tiny[16];
    EXPECT_EQ(-1, cgi::FormatRequest(kListSet, &r, tiny, sizeof tiny));
}

TEST(CommandEngine, FieldTextConversions) {
    ListRec r{};
    const cgi::FieldInfo& count = kListRec.fields[0];
    const cgi::FieldInfo& title = kListRec.fields[4];
    std::string why;
    EXPECT_TRUE(cgi::FieldFromText(count, &r, "-12", &why));
    EXPECT_EQ(-12, r.count);
    for (const char* bad : {"", "12a", "2147483648", " 1", "0x10"})
        EXPECT_FALSE(cgi::FieldFromText(count, &r, bad, &why)) << bad;
    EXPECT_EQ(-12, r.count);
    EXPECT_TRUE(cgi::FieldFromText(title, &r, "1234567", &why));
    EXPECT_FALSE(cgi::FieldFromText(title, &r, "12345678", &why));   // 7 bytes fit an 8-byte field
    EXPECT_STREQ("1234567", r.title);
    EXPECT_FALSE(cgi::FieldFromText(kListRec.fields[2], &r, "x", &why, 4));   // element out of range
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
        EXPECT_GT(cgi::FormatRequest(*cmd, zero.data(), out.data(), out.size()), 0);
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
