#include "core/discovery/SearchProto.h"

#include <algorithm>
#include <cstring>

#include "core/services/FieldText.h"
#include "core/services/Utf8.h"

namespace ky::search {

namespace {

void PutU32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

uint32_t GetU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

void PutHeader(uint8_t* out, uint8_t type, uint32_t requestId) {
    std::memcpy(out, kMagic, sizeof kMagic);
    out[4] = kVersion;
    out[5] = type;
    out[6] = 0;
    out[7] = 0;
    PutU32(out + 8, requestId);
}

// Size, magic, version, type and the reserved bytes; nothing else.
bool CheckHeader(const uint8_t* data, size_t size, uint8_t type, uint32_t* requestId) {
    if (data == nullptr || size != kMessageSize) return false;
    if (std::memcmp(data, kMagic, sizeof kMagic) != 0) return false;
    if (data[4] != kVersion || data[5] != type || data[6] != 0 || data[7] != 0) return false;
    if (requestId) *requestId = GetU32(data + 8);
    return true;
}

}   // namespace

void EncodeProbe(uint32_t requestId, uint8_t* out) {
    std::memset(out, 0, kMessageSize);
    PutHeader(out, kTypeProbe, requestId);
}

bool DecodeProbe(const uint8_t* data, size_t size, uint32_t* requestId) {
    uint32_t id = 0;
    if (!CheckHeader(data, size, kTypeProbe, &id)) return false;
    // The padding carries nothing in this version; a probe with content is
    // from a newer or broken sender and is not ours to interpret.
    for (size_t i = kHeaderSize; i < kMessageSize; ++i)
        if (data[i] != 0) return false;
    if (requestId) *requestId = id;
    return true;
}

void EncodeReply(uint32_t requestId, const DeviceInfo& info, uint8_t* out) {
    std::memset(out, 0, kMessageSize);
    PutHeader(out, kTypeReply, requestId);
    uint8_t* body = out + kHeaderSize;
    const auto* src = reinterpret_cast<const char*>(&info);
    for (const TextField& f : kTextFields) {
        std::string_view text = FieldText(src + f.offset, f.width);
        text = text.substr(0, Utf8FitLength(text, f.width - 1));
        std::memcpy(body + f.offset, text.data(), text.size());
    }
    PutU32(body + offsetof(DeviceInfo, family), static_cast<uint32_t>(info.family));
}

bool DecodeReply(const uint8_t* data, size_t size, uint32_t* requestId, DeviceInfo* info) {
    uint32_t id = 0;
    if (!CheckHeader(data, size, kTypeReply, &id)) return false;
    const uint8_t* body = data + kHeaderSize;
    for (const TextField& f : kTextFields)
        if (std::memchr(body + f.offset, 0, f.width) == nullptr) return false;

    if (info) {
        DeviceInfo out;
        std::memset(&out, 0, sizeof out);
        auto* dst = reinterpret_cast<char*>(&out);
        for (const TextField& f : kTextFields) {
            const auto* field = reinterpret_cast<const char*>(body + f.offset);
            std::memcpy(dst + f.offset, field, std::strlen(field));
        }
        out.family = static_cast<int32_t>(GetU32(body + offsetof(DeviceInfo, family)));
        *info = out;
    }
    if (requestId) *requestId = id;
    return true;
}

void SetText(char* field, size_t width, std::string_view text) {
    if (width == 0) return;
    std::memset(field, 0, width);
    // Text after an embedded NUL would be invisible to every reader.
    text = text.substr(0, std::min(text.find('\0'), text.size()));
    const size_t n = Utf8FitLength(text, width - 1);
    std::memcpy(field, text.data(), n);
}

}   // namespace ky::search
