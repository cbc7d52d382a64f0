// Request parsing of the emulated camera: limits, multipart bodies fed in
// arbitrary pieces, the package-version rule.
#include <gtest/gtest.h>

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

    struct Case {
        const char* head;
        HeadError want;
    } cases[] = {
        {"GARBAGE\r\n\r\n", HeadError::BadRequest},
        {"GET  / HTTP/1.1\r\n\r\n", HeadError::BadRequest},
        {"GET nopath HTTP/1.1\r\n\r\n", HeadError::BadRequest},
        {"get / HTTP/1.1\r\n\r\n", HeadError::BadRequest},
        {"GET / HTTP/2.0\r\n\r\n", HeadError::BadVersion},
        {"GET / HTTP/1.1\r\nNoColon\r\n\r\n", HeadError::BadRequest},
        {"GET / HTTP/1.1\r\nA: b\r\n folded\r\n\r\n", HeadError::BadRequest},
        {"GET / HTTP/1.1\r\nBad Name: b\r\n\r\n", HeadError::BadRequest},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseRequestHead(c.head, &h), c.want) << c.head;
    std::string withNul("GET /\0 HTTP/1.1\r\n\r\n", 19);
    EXPECT_EQ(ParseRequestHead(withNul, &h), HeadError::BadRequest);
}

TEST(HttpParse, QueryAuthLengthAndRange) {
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

    EXPECT_EQ(ParseContentLength("123", 1000).value(), 123u);
    for (const char* bad : {"-1", "1 2", "1001", "99999999999999999999999"})
        EXPECT_FALSE(ParseContentLength(bad, bad[0] == '9' ? UINT64_MAX : 1000)) << bad;

    EXPECT_EQ(MultipartBoundary("multipart/form-data; boundary=---abc"), "---abc");
    EXPECT_EQ(MultipartBoundary("Multipart/Form-Data;boundary=\"q q\""), "q q");
    EXPECT_EQ(MultipartBoundary("text/plain; boundary=x"), "");
    EXPECT_EQ(MultipartBoundary("multipart/form-data"), "");

    // Ranges of a 100-byte file: {first, last}, or unsatisfiable, or ignored.
    const struct {
        const char* header;
        int first, last;
        bool unsatisfiable;
    } ranges[] = {{"bytes=10-19", 10, 19, false},
                  {"bytes=-30", 70, 99, false},
                  {"bytes=90-500", 90, 99, false},
                  {"bytes=100-", -1, -1, true},
                  {"bytes=1-2,5-6", -1, -1, false}};
    for (const auto& c : ranges) {
        bool unsat = false;
        const auto r = ParseRange(c.header, 100, &unsat);
        EXPECT_EQ(r.has_value(), c.first >= 0) << c.header;
        if (r) {
            EXPECT_EQ(*r, std::make_pair(uint64_t(c.first), uint64_t(c.last))) << c.header;
        }
        EXPECT_EQ(unsat, c.unsatisfiable) << c.header;
    }
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

TEST(HttpParse, PackageVersionRule) {
    EXPECT_EQ(VersionFromPackageName("KY7200_V5.2.1_20240101.pkg"), "V5.2.1");
    EXPECT_EQ(VersionFromPackageName("fw-v6.10.pkg"), "V6.10");
    // The tool sends the whole path, percent-encoded, when it has no backslash.
    EXPECT_EQ(VersionFromPackageName("%2Fhome%2Fu%2FV9.9%2Ffw+V7.3.0.1.pkg"), "V7.3.0.1");
    EXPECT_EQ(VersionFromPackageName("C:\\V1.1\\firmware_V2.0.pkg"), "V2.0");
    EXPECT_EQ(VersionFromPackageName("Video7.pkg"), "");   // no dot in the run
    EXPECT_EQ(VersionFromPackageName("V5..pkg"), "");
    EXPECT_EQ(VersionFromPackageName("firmware.pkg"), "");

    EXPECT_EQ(BumpVersion("V7.2.0.20240115"), "V7.2.0.20240116");
    EXPECT_EQ(BumpVersion("V1.9"), "V1.10");
    EXPECT_EQ(BumpVersion("V9.99"), "V9.100");
    EXPECT_EQ(BumpVersion("beta"), "V1.0.1");
}
