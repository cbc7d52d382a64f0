// Search replies and probes come from anyone on the LAN: the decoders must
// never read out of bounds, and whatever they accept must be a record every
// reader can use as C text and that encodes back to the same bytes.
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "core/discovery/SearchProto.h"

using namespace ky::search;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    uint32_t id = 0;
    DeviceInfo info;
    if (DecodeReply(data, size, &id, &info)) {
        const auto* raw = reinterpret_cast<const char*>(&info);
        for (const TextField& f : kTextFields)
            if (std::memchr(raw + f.offset, 0, f.width) == nullptr) std::abort();
        uint8_t again[kMessageSize];
        EncodeReply(id, info, again);
        uint32_t id2 = 0;
        DeviceInfo info2;
        if (!DecodeReply(again, sizeof again, &id2, &info2) || id2 != id ||
            std::memcmp(&info, &info2, sizeof info) != 0)
            std::abort();
    }
    if (DecodeProbe(data, size, &id)) {
        uint8_t again[kMessageSize];
        EncodeProbe(id, again);
        if (size != kMessageSize || std::memcmp(again, data, size) != 0) std::abort();
    }
    return 0;
}
