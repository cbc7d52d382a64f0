// Camera web pages are untrusted: link extraction and listing parsing must
// survive any bytes, and every path they yield must be a safe request path
// on the same camera.
#include "core/cgi/CameraWeb.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const std::string base = "/sd/20240115/";
    for (const auto& link : ExtractLinks(text)) {
        auto path = ResolveCameraLink(base, link.href, "192.168.1.88", 8080);
        if (path && !CHttpFetch::IsSafePath(*path)) std::abort();
    }
    for (const auto& entry : ParseSdListing(text, base, "192.168.1.88", 8080)) {
        if (!CHttpFetch::IsSafePath(entry.path) || entry.path.compare(0, base.size(), base) != 0) std::abort();
        (void)IsRecordingPath(entry.path);
        (void)PathFileName(entry.path);
    }
    // The whole input as one href too.
    auto path = ResolveCameraLink(base, text, "192.168.1.88", 8080);
    if (path && !CHttpFetch::IsSafePath(*path)) std::abort();
    return 0;
}
