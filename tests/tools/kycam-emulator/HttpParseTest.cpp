// Request parsing of the emulated camera: limits, multipart bodies fed in
// arbitrary pieces, the package-version rule.
#include <gtest/gtest.h>

#include "tests/support/Golden.h"
#include "tools/kycam-emulator/CgiCommands.h"
#include "tools/kycam-emulator/HttpParse.h"

using namespace emu;

TEST(HttpParse, HeadLimitsAndErrors) {
    HeadError e;
    std::string ok = "GET /a?b=1 HTTP/1.1\r\nHost: x\r\nAuthorization: Basic YTpi\r\n\r\nrest";
    size_t n = FindHeadEnd(ok, &e);
    EXPECT_EQ(e, HeadError::None);
    ASSERT_EQ(n, ok.size() - 4);
    RequestHead h;
    ASSERT_EQ(ParseRequestHead(std::string_view(ok).substr(0, n), &h), HeadError::None);
    EXPECT_EQ(h.method, "GET");
    EXPECT_EQ(h.path, "/a");
    EXPECT_EQ(h.query, "b=1");
    ASSERT_NE(h.Header("authorization"), nullptr);
    EXPECT_EQ(*h.Header("AUTHORIZATION"), "Basic YTpi");

    // Incomplete heads wait for more; bare LF line ends are accepted.
    EXPECT_EQ(FindHeadEnd("GET / HTTP/1.1\r\nHost: x\r\n", &e), 0u);
    EXPECT_EQ(e, HeadError::None);
    EXPECT_EQ(FindHeadEnd("GET / HTTP/1.1\n\n", &e), 16u);

    std::string longLine = "GET /" + std::string(kMaxRequestLine + 10, 'a');
    EXPECT_EQ(FindHeadEnd(longLine, &e), 0u);
    EXPECT_EQ(e, HeadError::UriTooLong);
    std::string manyHeaders = "GET / HTTP/1.1\r\n";
    while (manyHeaders.size() <= kMaxHeadBytes) manyHeaders += "X-Pad: " + std::string(100, 'p') + "\r\n";
    FindHeadEnd(manyHeaders, &e);
    EXPECT_EQ(e, HeadError::HeadTooLarge);
}

TEST(HttpParse, QueryAndAuth) {
    auto q = ParseQuery("cmd=get&-name=a%20b+c&&flag&-x=%zz");
    ASSERT_EQ(q.size(), 4u);
    EXPECT_EQ(q[1].second, "a b c");
    EXPECT_EQ(q[2].first, "flag");
    EXPECT_EQ(q[3].second, "%zz");   // malformed escape kept
    EXPECT_EQ(QueryValue(q, "-name").value(), "a b c");
    EXPECT_FALSE(QueryValue(q, "missing"));

    std::string good = "Basic " + std::string("YWRtaW46YWRtaW4=");   // admin:admin
    EXPECT_TRUE(CheckBasicAuth(&good, "admin", "admin"));
    EXPECT_FALSE(CheckBasicAuth(&good, "admin", "admin2"));
    EXPECT_FALSE(CheckBasicAuth(nullptr, "admin", "admin"));
    std::string bad = "Basic !!!";
    EXPECT_FALSE(CheckBasicAuth(&bad, "admin", "admin"));
    std::string colonOnly = "Basic Og==";   // ":" is the empty user and password
    EXPECT_TRUE(CheckBasicAuth(&colonOnly, "", ""));
}

namespace {
// The body exactly as the tool writes it: part head, file bytes, part tail.
std::string ToolBody(const std::string& boundary, const std::string& name, const std::string& data) {
    return "-----------------------------" + boundary + "\r\n" +
           "Content-Disposition: form-data; name=\"setting_file\"; filename=\"" + name + "\"\r\n" +
           "Content-Type: application/octet-stream\r\n\r\n" + data + "\r\n-----------------------------" + boundary +
           "--\r\n";
}
}   // namespace

TEST(HttpParse, MultipartInAnyPieces) {
    // File content that contains near-misses of the delimiter.
    std::string data = "abc\r\n---------------------------2024010112000X\r\n--";
    for (int i = 0; i < 3000; ++i) data += char(i * 7);
    std::string boundary = "---------------------------20240101120000";
    std::string body = ToolBody("20240101120000", "fw%20V5.2.1.pkg", data);
    uint64_t expectHash = 0xcbf29ce484222325ull;
    for (unsigned char c : data) {
        expectHash ^= c;
        expectHash *= 0x100000001b3ull;
    }
    for (size_t piece : {size_t(1), size_t(2), size_t(7), size_t(64), body.size()}) {
        MultipartReader r(boundary);
        for (size_t i = 0; i < body.size(); i += piece) r.Feed(std::string_view(body).substr(i, piece));
        ASSERT_TRUE(r.Complete()) << "piece " << piece << ": " << r.Error();
        ASSERT_EQ(r.Parts().size(), 1u);
        const auto& p = r.Parts()[0];
        EXPECT_EQ(p.name, "setting_file");
        EXPECT_EQ(p.filename, "fw%20V5.2.1.pkg");
        EXPECT_EQ(p.size, data.size());
        EXPECT_EQ(p.fnv1a, expectHash);
        EXPECT_TRUE(p.complete);
    }

    // Truncated before the closing delimiter: never complete.
    MultipartReader cut(boundary);
    cut.Feed(std::string_view(body).substr(0, body.size() - 10));
    EXPECT_FALSE(cut.Complete());
    EXPECT_FALSE(cut.Failed());

    // Garbage after the delimiter line and parts without a disposition fail.
    MultipartReader junk(boundary);
    junk.Feed("--" + boundary + "XYZ\r\n\r\ndata\r\n--" + boundary + "--\r\n");
    EXPECT_TRUE(junk.Failed());
    MultipartReader noDisp(boundary);
    noDisp.Feed("--" + boundary + "\r\nContent-Type: a/b\r\n\r\nx\r\n--" + boundary + "--\r\n");
    EXPECT_TRUE(noDisp.Failed());
    MultipartReader endless(boundary);
    endless.Feed("--" + boundary + "\r\nContent-Disposition: form-data; name=\"a\r\n\r\n");
    EXPECT_TRUE(endless.Failed());   // unterminated quote
}

// Heads, lengths, boundaries, ranges, query values and package versions:
// golden/http.txt.
TEST(HttpParse, GoldenTexts) {
    ky::test::ExpectGoldenResults(KY_HTTP_GOLDEN,
                                  {{"Head",
                                    [](const auto& a) {
                                        RequestHead h;
                                        switch (ParseRequestHead(a.at(0), &h)) {
                                            case HeadError::None: return "ok";
                                            case HeadError::BadVersion: return "bad version";
                                            case HeadError::BadRequest: return "bad request";
                                            default: return "other";
                                        }
                                    }},
                                   {"Length",
                                    [](const auto& a) {
                                        const auto n = ParseContentLength(a.at(0), std::stoull(a.at(1)));
                                        return n ? std::to_string(*n) : "<refused>";
                                    }},
                                   {"Boundary", [](const auto& a) { return std::string(MultipartBoundary(a.at(0))); }},
                                   {"Range",
                                    [](const auto& a) {
                                        bool unsat = false;
                                        const auto r = ParseRange(a.at(0), 100, &unsat);
                                        return r ? std::to_string(r->first) + "-" + std::to_string(r->second)
                                                 : std::string(unsat ? "unsatisfiable" : "ignored");
                                    }},
                                   {"Decode", [](const auto& a) { return emu::PercentDecode(a.at(0)); }},
                                   {"Version", [](const auto& a) { return VersionFromPackageName(a.at(0)); }},
                                   {"Bump", [](const auto& a) { return BumpVersion(a.at(0)); }}});
}
