// Arbitrary camera replies through the success test and the value parser.
// Input layout: first byte n (mod 32) is the length of a key taken from the
// following bytes; the rest is the reply. The reply is also searched with the
// keys real commands use, including indexed and unprefixed ones.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "core/cgi/CgiClient.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const char* const kKeys[] = {
        "var cloud_enable=", "var brightness=", "var wf_ssid=", "wessid[1]=", "var x_0=", "var week6=", "200 OK", ";",
    };
    size_t keyLen = 0;
    if (size > 0) {
        keyLen = std::min<size_t>(data[0] % 32, size - 1);
        ++data;
        --size;
    }
    std::string key(reinterpret_cast<const char*>(data), keyLen);
    key.resize(strnlen(key.c_str(), key.size()));
    data += keyLen;
    size -= keyLen;

    // The exchange buffer always holds a zero-terminated reply.
    std::vector<char> reply(size + 1, '\0');
    if (size) memcpy(reply.data(), data, size);
    const uint32_t capacity = static_cast<uint32_t>(reply.size());

    CCgiClient client;
    const int verdict = client.CheckReply(reply.data());
    if (verdict != 0 && verdict != -1) __builtin_trap();

    for (const char* k : kKeys) {
        std::string v = client.GetValue(reply.data(), capacity, k);
        if (v.size() >= CCgiClient::kValueSize) __builtin_trap();
    }
    std::string v = client.GetValue(reply.data(), capacity, key.c_str());
    if (v.size() >= CCgiClient::kValueSize) __builtin_trap();
    return 0;
}
