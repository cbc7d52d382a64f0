// The discovery receive path: the input is a datagram that reaches a search
// channel after its probe, from a camera on loopback that answers it (the
// probe's request id is written into the header, so the input decides the
// rest). A valid reply after each input marks its end; every record handed to
// the callback is terminated text.
#include <condition_variable>
#include <cstring>
#include <vector>

#include "core/discovery/SearchLib.h"
#include "fuzz/FuzzSupport.h"

using namespace ky::search;

namespace {

std::mutex g_mutex;
std::condition_variable g_cv;
int g_ends = 0;

int OnReply(int, int, const DeviceInfo* info, void*) {
    for (const TextField& f : kTextFields)
        FUZZ_CHECK(std::memchr(reinterpret_cast<const char*>(info) + f.offset, 0, f.width) != nullptr);
    std::lock_guard<std::mutex> lock(g_mutex);
    g_ends += std::strcmp(info->deviceId, "end-of-input") == 0;
    g_cv.notify_all();
    return 0;
}

}   // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static uint16_t port = 0;
    static const int camera = LoopbackSocket(SOCK_DGRAM, &port);
    static sockaddr_in channel{};
    static uint32_t id = [] {
        const char local[1][ky::kSearchAddressSize] = {"127.0.0.1"};
        int h = 0;
        FUZZ_CHECK(ky::SearchSetLocalAddresses(local, 1) == 0 && ky::SearchOpen("127.0.0.1", port, &h) == 0 &&
                   ky::SearchSetCallback(h, OnReply, nullptr) == 0 && ky::SearchProbe(h) == 0);
        uint8_t probe[kMessageSize];
        socklen_t len = sizeof channel;
        uint32_t probeId = 0;
        const ssize_t n = ::recvfrom(camera, probe, sizeof probe, 0, reinterpret_cast<sockaddr*>(&channel), &len);
        FUZZ_CHECK(n > 0 && DecodeProbe(probe, size_t(n), &probeId));
        return probeId;
    }();
    if (size > 4096) return 0;
    std::vector<uint8_t> message(data, data + size);
    if (size >= kHeaderSize) std::memcpy(&message[8], &id, 4);   // little-endian, as on the wire
    DeviceInfo end{};
    std::strcpy(end.deviceId, "end-of-input");
    uint8_t last[kMessageSize];
    EncodeReply(id, end, last);
    std::unique_lock<std::mutex> lock(g_mutex);
    const int want = g_ends + 1;
    for (const auto& [bytes, n] : {std::pair{message.data(), size}, std::pair{&last[0], sizeof last}})
        (void)!::sendto(camera, bytes, n, 0, reinterpret_cast<const sockaddr*>(&channel), sizeof channel);
    g_cv.wait_for(lock, std::chrono::seconds(2), [&] { return g_ends >= want; });
    return 0;
}
