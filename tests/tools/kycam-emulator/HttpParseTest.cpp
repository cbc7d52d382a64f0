// Request parsing of the emulated camera: limits, multipart bodies fed in
// arbitrary pieces, and texts in, texts out from golden/http.txt.
#include <gtest/gtest.h>

#include "tests/support/Golden.h"
#include "tools/kycam-emulator/CgiCommands.h"
#include "tools/kycam-emulator/HttpParse.h"

using namespace emu;

namespace {

// A head's length or the status its error is answered with.
std::string HeadEnd(const std::string& data) {
    HeadError e = HeadError::None;
    const size_t n = FindHeadEnd(data, &e);
    return e == HeadError::None ? std::to_string(n) : std::to_string(HeadErrorStatus(e));
}

// Each part's name, file name, size and FNV-1a hash, or where the body stopped.
std::string Multipart(const std::string& boundary, const std::string& body, size_t piece) {
    MultipartReader r(boundary);
    for (size_t i = 0; i < body.size(); i += piece) r.Feed(std::string_view(body).substr(i, piece));
    if (r.Failed() || !r.Complete()) return r.Failed() ? "failed" : "incomplete";
    std::string out;
    for (const auto& p : r.Parts())
        out += p.name + " " + p.filename + " " + std::to_string(p.size) + " " + std::to_string(p.fnv1a) +
               (p.complete ? "" : " cut") + ";";
    return out;
}

}   // namespace

TEST(HttpParse, HeadLimits) {
    EXPECT_EQ(HeadEnd("GET /" + std::string(kMaxRequestLine + 10, 'a')), "414");
    std::string manyHeaders = "GET / HTTP/1.1\r\n";
    while (manyHeaders.size() <= kMaxHeadBytes) manyHeaders += "X-Pad: " + std::string(100, 'p') + "\r\n";
    EXPECT_EQ(HeadEnd(manyHeaders), "431");
}

TEST(HttpParse, MultipartInAnyPieces) {
    // File content that contains near-misses of the delimiter.
    std::string data = "abc\r\n---------------------------2024010112000X\r\n--";
    for (int i = 0; i < 3000; ++i) data += char(i * 7);
    uint64_t hash = 0xcbf29ce484222325ull;
    for (unsigned char c : data) hash = (hash ^ c) * 0x100000001b3ull;
    const std::string boundary = "---------------------------20240101120000";
    // The body exactly as the tool writes it: part head, file bytes, part tail.
    const std::string body = "--" + boundary +
                             "\r\nContent-Disposition: form-data; name=\"setting_file\"; filename=\"fw%20V5.2.1.pkg\""
                             "\r\nContent-Type: application/octet-stream\r\n\r\n" +
                             data + "\r\n--" + boundary + "--\r\n";
    for (size_t piece : {size_t(1), size_t(2), size_t(7), size_t(64), body.size()})
        EXPECT_EQ(Multipart(boundary, body, piece),
                  "setting_file fw%20V5.2.1.pkg " + std::to_string(data.size()) + " " + std::to_string(hash) + ";")
            << "piece " << piece;
}

// Heads, lengths, boundaries, ranges, query values, credentials, multipart
// bodies and package versions: golden/http.txt.
TEST(HttpParse, GoldenTexts) {
    using Args = std::vector<std::string>;
    ky::test::ExpectGoldenResults(
        KY_HTTP_GOLDEN, {{"HeadEnd", [](const Args& a) { return HeadEnd(a.at(0)); }},
                         {"Head",
                          [](const Args& a) {
                              RequestHead h;
                              const HeadError e = ParseRequestHead(a.at(0), &h);
                              const std::string* host = h.Header("HOST");
                              return e != HeadError::None
                                         ? std::to_string(HeadErrorStatus(e))
                                         : h.method + " " + h.path + " " + h.query + " " + (host ? *host : "-");
                          }},
                         {"Length",
                          [](const Args& a) {
                              const auto n = ParseContentLength(a.at(0), std::stoull(a.at(1)));
                              return n ? std::to_string(*n) : "<refused>";
                          }},
                         {"Boundary", [](const Args& a) { return std::string(MultipartBoundary(a.at(0))); }},
                         {"Multipart", [](const Args& a) { return Multipart("b", a.at(0), a.at(0).size()); }},
                         {"Range",
                          [](const Args& a) {
                              bool unsat = false;
                              const auto r = ParseRange(a.at(0), 100, &unsat);
                              return r ? std::to_string(r->first) + "-" + std::to_string(r->second)
                                       : std::string(unsat ? "unsatisfiable" : "ignored");
                          }},
                         {"Query",
                          [](const Args& a) {
                              std::string out;
                              for (const auto& [name, value] : ParseQuery(a.at(0))) out += name + "=" + value + ";";
                              return out + " " + QueryValue(ParseQuery(a.at(0)), a.at(1)).value_or("<none>");
                          }},
                         {"Auth",
                          [](const Args& a) {
                              const size_t colon = a.at(1).find(':');
                              const bool ok = CheckBasicAuth(a.at(0) == "<none>" ? nullptr : &a.at(0),
                                                             a.at(1).substr(0, colon), a.at(1).substr(colon + 1));
                              return ok ? "yes" : "no";
                          }},
                         {"Decode", [](const Args& a) { return emu::PercentDecode(a.at(0)); }},
                         {"Version", [](const Args& a) { return VersionFromPackageName(a.at(0)); }},
                         {"Bump", [](const Args& a) { return BumpVersion(a.at(0)); }}});
}
