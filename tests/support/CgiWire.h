#pragma once
// What the tool puts on the wire, typed from the camera's documented protocol
// (never produced by the code under test), and small helpers shared by the
// command tests.
#include <cstdio>
#include <string>
#include <vector>

#include "tests/support/Golden.h"

#include "core/cgi/Catalogue.h"
#include "tests/support/ScriptedServer.h"

namespace ky::test {

// Base64 of "admin:123456", the credentials the command tests use.
inline constexpr const char* kAdminAuthLine = "Authorization: Basic YWRtaW46MTIzNDU2\r\n";

// The full request bytes for one request text.
inline std::string ExpectedRequest(const std::string& requestText, const std::string& host = "127.0.0.1",
                                   const std::string& authLine = kAdminAuthLine) {
    return requestText +
           " HTTP/1.1\r\n"
           "Accept: */*\r\n"
           "Accept-Language: zh-cn\r\n"
           "Accept-Encoding: gzip, deflate\r\n"
           "User-Agent: Mozilla/4.0 (compatible; MSIE 6.0; Windows NT 5.1; SV1; .NET CLR 2.0.50727)\r\n"
           "Host: " +
           host + "\r\nConnection: Keep-Alive\r\n" + authLine + "\r\n";
}

// A camera's successful reply around a body.
inline std::string CameraReply(const std::string& body) { return ScriptedServer::HttpReply(body); }

// A scripted camera from a golden case's words: "close" (closes after its
// reply), "open" (keeps the connection open) or "silent" (never answers),
// and "CHUNK/GAP": the reply in pieces of CHUNK bytes GAP ms apart (0/0: whole).
inline ScriptedServer::Script CameraScript(const std::string& camera, const std::string& pieces,
                                           const std::string& reply) {
    ScriptedServer::Script s;
    s.mode = camera == "open"     ? ScriptedServer::Mode::ReplyKeepOpen
             : camera == "silent" ? ScriptedServer::Mode::NeverAnswer
                                  : ScriptedServer::Mode::ReplyThenClose;
    s.reply = reply;
    std::sscanf(pieces.c_str(), "%zu/%d", &s.chunkSize, &s.chunkGapMs);
    return s;
}

// A described command by name; fails the test when it does not exist.
inline const ky::cgi::CommandDesc& Command(const char* name) {
    const ky::cgi::CommandDesc* c = ky::cgi::FindCommand(name);
    if (c == nullptr) throw std::runtime_error(std::string("no command ") + name);
    return *c;
}

// What a command would send for rec, without a camera.
inline std::string FormattedRequest(const char* name, const void* rec) {
    const ky::cgi::CommandDesc& c = Command(name);
    std::vector<char> out(c.requestSize);
    const int n = ky::cgi::FormatRequest(c, rec, out.data(), out.size());
    return n < 0 ? "<refused>" : std::string(out.data(), static_cast<size_t>(n));
}

// A record of any described command, zero-filled and suitably aligned.
struct AnyRecord {
    explicit AnyRecord(const ky::cgi::RecordInfo* info) : info(info), words(info ? info->size / 4 + 1 : 0) {}
    void* data() { return info ? words.data() : nullptr; }
    // "name=value" or "name[i]=value" to or from the field.
    bool Set(const std::string& assignment) {
        uint32_t element = 0;
        const ky::cgi::FieldInfo* f = Field(assignment, &element);
        std::string why;
        return f && ky::cgi::FieldFromText(*f, data(), Unescape(Value(assignment)), &why, element);
    }
    std::string Get(const std::string& assignment) {
        uint32_t element = 0;
        const ky::cgi::FieldInfo* f = Field(assignment, &element);
        return f ? ky::cgi::FieldToText(*f, data(), element) : "<no field " + assignment + ">";
    }
    static std::string Value(const std::string& assignment) { return assignment.substr(assignment.find('=') + 1); }

    const ky::cgi::RecordInfo* info;
    std::vector<int32_t> words;

private:
    const ky::cgi::FieldInfo* Field(const std::string& assignment, uint32_t* element) const {
        std::string name = assignment.substr(0, assignment.find('='));
        if (const size_t open = name.find('['); open != std::string::npos) {
            *element = static_cast<uint32_t>(std::stoul(name.substr(open + 1)));
            name.erase(open);
        }
        return info ? info->Find(name) : nullptr;
    }
};

}   // namespace ky::test
