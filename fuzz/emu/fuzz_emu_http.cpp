// Fuzzes the emulated camera's request parsing: request heads, queries and
// credentials, multipart upload bodies fed in arbitrary pieces, ranges and
// package names. The first byte picks the parser.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "tools/kycam-emulator/HttpParse.h"

using namespace emu;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1) return 0;
    const uint8_t mode = data[0] % 4;
    std::string_view in(reinterpret_cast<const char*>(data + 1), size - 1);

    switch (mode) {
        case 0: {
            HeadError err;
            size_t n = FindHeadEnd(in, &err);
            if (n > in.size()) __builtin_trap();
            RequestHead head;
            HeadError e = ParseRequestHead(n ? in.substr(0, n) : in, &head);
            (void)HeadErrorStatus(e);
            if (e == HeadError::None) {
                if (head.path.empty() || head.path[0] != '/') __builtin_trap();
                (void)head.Header("Authorization");
                (void)ParseQuery(head.query);
            }
            break;
        }
        case 1: {
            auto q = ParseQuery(in);
            (void)QueryValue(q, "cmd");
            (void)UrlDecode(in);
            (void)Base64Decode(in);
            std::string header(in);
            (void)CheckBasicAuth(&header, "admin", "admin");
            break;
        }
        case 2: {
            // "<boundary>\n<piece size byte><body...>"
            size_t nl = in.find('\n');
            if (nl == std::string_view::npos || nl + 1 >= in.size()) return 0;
            std::string boundary(in.substr(0, nl));
            size_t piece = size_t(uint8_t(in[nl + 1])) % 64 + 1;
            std::string_view body = in.substr(nl + 2);
            MultipartReader reader(boundary);
            uint64_t total = 0;
            for (size_t i = 0; i < body.size(); i += piece) reader.Feed(body.substr(i, piece));
            for (const auto& p : reader.Parts()) total += p.size;
            if (total > body.size()) __builtin_trap();
            (void)reader.Complete();
            break;
        }
        default: {
            bool unsat = false;
            uint64_t len = in.empty() ? 0 : uint8_t(in[0]) * 1000u;
            auto r = ParseRange(in, len, &unsat);
            if (r && (r->first > r->second || r->second >= len)) __builtin_trap();
            (void)ParseContentLength(in, UINT64_MAX);
            (void)MultipartBoundary(in);
            std::string v = VersionFromPackageName(in);
            if (!v.empty() && v[0] != 'V') __builtin_trap();
            (void)BumpVersion(in);
            break;
        }
    }
    return 0;
}
