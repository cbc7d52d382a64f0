// The fetch reply head and body: a camera on loopback answers with the input
// after the first byte, which picks the body limit and whether a sink takes
// the body. A reply taken as complete holds exactly what its head announced.
#include "core/cgi/HttpFetch.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static auto* camera = new LoopbackCamera;
    if (size < 1) return 0;
    camera->Set(FuzzText(data + 1, size - 1));
    HttpFetchOptions options;
    options.idleTimeoutMs = 1000;
    options.maxBodyBytes = (data[0] & 0x7f) * 64u;
    uint64_t sunk = 0;
    if (data[0] & 0x80) options.sink = [&](const char*, size_t n) { return (sunk += n) < 100000; };
    HttpPage page;
    const auto r = CHttpFetch::Get("127.0.0.1", camera->Port(), "admin", "admin", "/sd/", options, &page);
    if (r != HttpFetchResult::Ok) return 0;
    FUZZ_CHECK(page.status >= 100 && page.status <= 999);
    FUZZ_CHECK(page.bodyBytes <= options.maxBodyBytes);
    FUZZ_CHECK(page.contentLength < 0 || page.bodyBytes == uint64_t(page.contentLength));
    FUZZ_CHECK(options.sink ? sunk == page.bodyBytes && page.body.empty() : page.body.size() == page.bodyBytes);
    return 0;
}
