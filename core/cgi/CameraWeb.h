#pragma once
// Links on the camera's own web pages: resolving them to request paths that
// stay on the same camera, reading the SD-card directory listings, and
// collecting the recordings stored on the card.
#include <atomic>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/cgi/HttpFetch.h"

struct CameraAddress {
    std::string ip;
    uint16_t port = 80;
    std::string user;
    std::string password;
};

// One <a href> of a page: the raw href (entities decoded) and its text.
struct HtmlLink {
    std::string href;
    std::string text;
};

// One entry of an SD-card listing.
struct SdEntry {
    std::string path;   // request path on the camera
    std::string name;   // the link text, or the last path segment
    bool folder = false;
};

// The path on the camera that href leads to from the page at basePath, or
// nothing when it leaves the camera (another host or port, another scheme,
// user information in the address, control characters). The result is a
// request path with dot segments removed, fragment dropped and unsafe bytes
// percent-encoded.
std::optional<std::string> ResolveCameraLink(const std::string& basePath, const std::string& href,
                                             const std::string& ip, uint16_t port);

// Every <a href> of an HTML text, in order.
std::vector<HtmlLink> ExtractLinks(const std::string& html);

// The entries of a listing page at basePath that lie below it (the parent
// link and links elsewhere are left out), without duplicates, in page order.
std::vector<SdEntry> ParseSdListing(const std::string& html, const std::string& basePath, const std::string& ip,
                                    uint16_t port);

// A video file the player can open, judged by the path's extension.
bool IsRecordingPath(const std::string& path);

// Last path segment, percent-decoded ("/sd/day/a%20b.mp4" -> "a b.mp4").
std::string PathFileName(const std::string& path);

struct SdScanLimits {
    int maxDepth = 3;       // folder levels below the root
    int maxFolders = 200;   // listings fetched
    size_t maxRecordings = 5000;
};

// Walks the listing at root (normally "/sd/") and its sub-folders and returns
// the recordings, sorted by path. On failure the first failing fetch's result
// and status (0 when no reply) tell why; recordings found so far stay.
struct SdScanResult {
    HttpFetchResult fetch = HttpFetchResult::Ok;
    int status = 200;
    std::vector<SdEntry> recordings;
    bool Ok() const { return fetch == HttpFetchResult::Ok && status == 200; }
};
SdScanResult ScanSdRecordings(const CameraAddress& camera, const std::string& root, const HttpFetchOptions& options,
                              const SdScanLimits& limits = {});
