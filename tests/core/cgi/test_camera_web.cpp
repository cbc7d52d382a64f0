// Links on camera web pages: only paths on the same camera are followed, the
// SD-card listing yields its entries, and the recordings walk covers the
// card's folders.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "core/cgi/CameraWeb.h"
#include "tests/support/Golden.h"
#include "tests/support/ScriptedServer.h"

using ky::test::ScriptedServer;

namespace {
std::string Listed(const std::vector<SdEntry>& entries) {
    std::string out;
    for (const SdEntry& e : entries) out += e.path + " " + e.name + (e.folder ? " folder\n" : "\n");
    return out;
}
}   // namespace

TEST(CameraLinks, GoldenLinksAndNames) {
    ky::test::ExpectGoldenResults(
        KY_LINKS_GOLDEN, {{"Resolve",
                           [](const auto& a) {
                               const auto r = ResolveCameraLink(a.at(0), a.at(1), "192.168.1.88", 8080);
                               return r ? *r : "<outside>";
                           }},
                          {"IsRecording", [](const auto& a) { return IsRecordingPath(a.at(0)) ? "yes" : "no"; }},
                          {"FileName", [](const auto& a) { return PathFileName(a.at(0)); }}});
}

TEST(CameraLinks, ExtractLinksReadsRealWorldMarkup) {
    const std::string html =
        "<html><body><pre>\n"
        "<a href=\"/sd/a/\">a/</a> -\n"
        "<A HREF='b.mp4'>b.mp4</A> 12\n"
        "<a class=x href=c.mp4 title=\"x>y\"><b>c</b>.mp4</a>\n"
        "<a name=\"top\">no href</a>\n"
        "<a href=\"d%20e.mp4?x=1&amp;y=2\">d &amp; e</a>\n"
        "<abbr href=\"/not/a/link\">x</abbr>\n"
        "<a data-href=\"/wrong\" href=\"/right\">r</a>\n"
        "<a href=\"/unclosed\">tail";
    std::string links;
    for (const HtmlLink& l : ExtractLinks(html)) links += l.href + " " + l.text + "\n";
    EXPECT_EQ(links, "/sd/a/ a/\nb.mp4 b.mp4\nc.mp4 c.mp4\nd%20e.mp4?x=1&y=2 d & e\n/right r\n/unclosed tail\n");

    EXPECT_TRUE(ExtractLinks("<a href=\"/x\"").empty());   // tag never closed
    EXPECT_TRUE(ExtractLinks("").empty());
}

TEST(CameraLinks, ListingKeepsOnlyEntriesBelowItsFolder) {
    // The shape the camera serves.
    const std::string html =
        "<html><head><title>Index of /sd/20240115/</title></head>\n<body><pre>\n"
        "<a href=\"../\">../</a>\n"
        "<a href=\"/sd/20240115/P20240115_080000_080002.mp4\">P20240115_080000_080002.mp4</a> 86406\n"
        "<a href=\"P20240115_120000_120002.mp4\">P20240115_120000_120002.mp4</a> 31266\n"
        "<a href=\"/sd/20240115/P20240115_080000_080002.mp4\">again</a>\n"
        "<a href=\"sub/\">sub/</a> -\n"
        "<a href=\"?C=N;O=D\">Name</a>\n"
        "<a href=\"http://192.168.1.77:8080/sd/20240115/x.mp4\">elsewhere</a>\n"
        "<a href=\"/log/syslog.txt\">log</a>\n"
        "</pre></body></html>";
    EXPECT_EQ(Listed(ParseSdListing(html, "/sd/20240115/", "192.168.1.88", 8080)),
              "/sd/20240115/P20240115_080000_080002.mp4 P20240115_080000_080002.mp4\n"
              "/sd/20240115/P20240115_120000_120002.mp4 P20240115_120000_120002.mp4\n"
              "/sd/20240115/sub/ sub/ folder\n");
}

TEST(CameraLinks, ScanWalksFoldersAndSkipsBrokenOnes) {
    // A card with two days, one of them unreadable, and a loop back to the root.
    const std::map<std::string, std::string> pages = {
        {"/sd/", "<a href=\"/sd/d1/\">d1/</a><a href=\"d2/\">d2/</a><a href=\"/sd/bad/\">bad/</a>"},
        {"/sd/d1/",
         "<a href=\"../\">..</a><a href=\"b.mp4\">b.mp4</a><a href=\"a.mp4\">a.mp4</a>"
         "<a href=\"notes.txt\">notes</a><a href=\"/sd/\">root</a>"},
        {"/sd/d2/", "<a href=\"/sd/d2/c.avi\">c.avi</a><a href=\"deep/\">deep/</a>"},
        {"/sd/d2/deep/", "<a href=\"z.mp4\">z.mp4</a>"},
    };
    ScriptedServer::Script script;
    script.handler = [&](const std::string& request) {
        const size_t sp = request.find(' ');
        const std::string path = request.substr(sp + 1, request.find(' ', sp + 1) - sp - 1);
        auto it = pages.find(path);
        if (it == pages.end()) return std::string("HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\n\r\n");
        return ScriptedServer::HttpReply(it->second, true);
    };
    ScriptedServer server(script);
    CameraAddress cam{"127.0.0.1", server.Port(), "admin", "admin"};
    HttpFetchOptions o;

    SdScanResult all = ScanSdRecordings(cam, "/sd/", o);
    EXPECT_TRUE(all.Ok());
    EXPECT_EQ(Listed(all.recordings),
              "/sd/d1/a.mp4 a.mp4\n/sd/d1/b.mp4 b.mp4\n/sd/d2/c.avi c.avi\n/sd/d2/deep/z.mp4 z.mp4\n");

    SdScanLimits shallow;
    shallow.maxDepth = 1;
    EXPECT_EQ(ScanSdRecordings(cam, "/sd/", o, shallow).recordings.size(), 3u);

    // The root itself failing is the scan's failure.
    SdScanResult none = ScanSdRecordings(cam, "/nothing/", o);
    EXPECT_FALSE(none.Ok());
    EXPECT_EQ(none.status, 404);
    EXPECT_TRUE(none.recordings.empty());
}
