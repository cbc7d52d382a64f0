// The emulated camera's param.cgi: request by request from the golden file,
// replies as the tool's substring search sees them; the command table and the
// defaults agree.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "tests/support/Golden.h"
#include "tools/kycam-emulator/CgiCommands.h"
#include "tools/kycam-emulator/CgiTable.h"

namespace {

using emu::CameraState;
using emu::HandleParamCgi;

// The tool's value extraction: first occurrence of the key, up to ";\r\n",
// one pair of quotes dropped. Empty when absent.
std::string ValueOf(const std::string& reply, const std::string& key) {
    size_t at = reply.find(key);
    if (at == std::string::npos) return {};
    at += key.size();
    const size_t end = reply.find(";\r\n", at);
    if (end == std::string::npos) return {};
    std::string v = reply.substr(at, end - at);
    if (!v.empty() && v.front() == '"') v = v.size() >= 2 ? v.substr(1, v.size() - 2) : "";
    return v;
}

bool IsError(const std::string& body) { return body.find("[Error]") != std::string::npos; }

// A request that must succeed; its reply.
std::string Ok(CameraState& on, const std::string& query) {
    const auto r = HandleParamCgi(on, query);
    EXPECT_EQ(r.status, 200) << query;
    EXPECT_FALSE(IsError(r.body)) << query << " -> " << r.body;
    return r.body;
}

}   // namespace

// Each case on a fresh camera; the words are explained in the file.
TEST(CgiCommands, Golden) {
    const auto cases = ky::test::ReadGolden(KY_EMU_GOLDEN);
    ASSERT_GT(cases.size(), 30u);
    for (const auto& c : cases) {
        CameraState cam;
        emu::LoadDefaultProfile(cam);
        std::string reply;
        for (const auto& l : c) {
            SCOPED_TRACE("param-cgi.txt:" + std::to_string(l.line));
            const size_t eq = l.text.find('=');
            const std::string key = l.text.substr(0, eq), value = eq == std::string::npos ? "" : l.text.substr(eq + 1);
            if (l.word == "set") {
                EXPECT_NE(Ok(cam, l.text).find("[Succeed]"), std::string::npos);
            } else if (l.word == "get") {
                reply = Ok(cam, l.text);
            } else if (l.word == "venc") {
                reply = emu::HandleVencAttrCgi(cam, l.text).body;
            } else if (l.word == "expect" && !value.empty() && value.back() == '*') {
                const std::string got = ValueOf(reply, key + "=");
                EXPECT_TRUE(got.size() >= value.size() && got.rfind(value.substr(0, value.size() - 1), 0) == 0) << got;
            } else if (l.word == "expect") {
                EXPECT_EQ(ValueOf(reply, key + "="), value);
            } else if (l.word == "order") {
                size_t last = 0;
                for (size_t start = 0; start < l.text.size();) {
                    const size_t bar = std::min(l.text.find(" | ", start), l.text.size());
                    const size_t at = reply.find(ky::test::Unescape(l.text.substr(start, bar - start)), last);
                    EXPECT_NE(at, std::string::npos) << l.text.substr(start, bar - start) << " in\n" << reply;
                    last = at == std::string::npos ? last : at;
                    start = bar + 3;
                }
            } else if (l.word == "absent") {
                EXPECT_EQ(reply.find(l.text), std::string::npos);
            } else if (l.word == "error") {
                EXPECT_TRUE(IsError(reply)) << reply;
            } else if (l.word == "state" && eq == std::string::npos) {
                cam.Erase(key);
            } else if (l.word == "state") {
                cam.Set(key, value);
            } else if (l.word == "stored") {
                EXPECT_EQ(cam.Get(key), value);
            } else if (l.word == "refuse") {
                const auto before = cam.Snapshot();
                const auto r = HandleParamCgi(cam, l.text);
                EXPECT_TRUE(r.status == 200 && IsError(r.body)) << r.body;
                EXPECT_EQ(cam.Snapshot(), before);
            } else {
                ADD_FAILURE() << "unknown word " << l.word;
            }
        }
    }
}

// Every stored key a get answers exists on a fresh camera, and every key a
// set writes is answered by some get, so a set can always be read back.
TEST(CgiCommands, TableAndDefaultsAgree) {
    using namespace emu::table;
    CameraState state;
    emu::LoadDefaultProfile(state);
    std::set<std::string> answered;
    auto tokensOf = [](const Command& c) {
        std::vector<std::string> t;
        if (!c.selector) t.emplace_back();
        for (size_t i = 0; c.selector && i < c.selector->values.size(); ++i)
            t.emplace_back(c.selector->values[i].token);
        return t;
    };
    for (const auto& c : Commands()) {
        if (c.isSet) continue;
        for (const auto& tok : tokensOf(c))
            for (auto k : c.keys) {
                const std::string key = Expand(c.statePrefix, tok) + Expand(k, tok);
                answered.insert(key);
                EXPECT_TRUE(c.special != Special::None || state.Has(key)) << c.name << " answers " << key;
            }
    }
    for (const auto& c : Commands()) {
        if (!c.isSet || c.special == Special::WifiCheck) continue;
        for (const auto& tok : tokensOf(c))
            for (const auto& p : c.params)
                EXPECT_TRUE(p.key.empty() || answered.count(Expand(c.statePrefix, tok) + Expand(p.key, tok)))
                    << c.name << " -" << p.name << " writes a key no get answers";
    }
    // Replies of a fresh camera are well-formed lines.
    for (const auto& c : Commands()) {
        if (c.isSet) continue;
        const std::string body = Ok(state, "cmd=" + std::string(c.name));
        for (size_t pos = 0; pos < body.size();) {
            const size_t end = body.find(";\r\n", pos);
            ASSERT_NE(end, std::string::npos) << c.name;
            EXPECT_EQ(body.compare(pos, 4, "var "), 0) << c.name;
            pos = end + 3;
        }
    }
}
