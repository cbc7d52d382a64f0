#pragma once
// Device search wire format (UDP), documented in docs/discovery-protocol.md.
//
//   probe: header(12) + 484 zero bytes        = 496 bytes
//   reply: header(12) + DeviceInfo(484 bytes) = 496 bytes
//   header: "KYSR", version 1, type (1 probe, 2 reply), two zero bytes,
//           request id (uint32, little-endian; the reply echoes the probe's)
//
// The probe is padded to the size of the reply so that a responder never
// sends more bytes than it received (no amplification of spoofed probes).
// Decoders are strict: anything that is not exactly one well-formed message
// is dropped.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/services/FieldText.h"

// What a camera says about itself; every text field is NUL-terminated inside
// its width, family is the device family number (8 = P2P page variant).
struct DeviceInfo {
    char deviceId[74];     // offset 0, key for duplicates
    char version[33];      // 74
    char deviceName[41];   // 107, UTF-8
    char deviceType[66];   // 148
    char httpPort[18];     // 214, decimal text
    char ip[32];           // 232, dotted IPv4 text
    char mac[76];          // 264
    char uuid[140];        // 340
    int32_t family;        // 480, little-endian on the wire
};
static_assert(sizeof(DeviceInfo) == 484);
static_assert(offsetof(DeviceInfo, version) == 74);
static_assert(offsetof(DeviceInfo, deviceName) == 107);
static_assert(offsetof(DeviceInfo, deviceType) == 148);
static_assert(offsetof(DeviceInfo, httpPort) == 214);
static_assert(offsetof(DeviceInfo, ip) == 232);
static_assert(offsetof(DeviceInfo, mac) == 264);
static_assert(offsetof(DeviceInfo, uuid) == 340);
static_assert(offsetof(DeviceInfo, family) == 480);

// One camera to connect to: its device information plus the credentials and
// the stream (0 first, 1 second) to use.
struct DeviceRecord {
    DeviceInfo info;
    char user[64];
    char password[64];
    int32_t stream;
};
static_assert(sizeof(DeviceRecord) == 616);
static_assert(offsetof(DeviceRecord, user) == 484);
static_assert(offsetof(DeviceRecord, password) == 548);
static_assert(offsetof(DeviceRecord, stream) == 612);

namespace ky::search {

inline constexpr char kMagic[4] = {'K', 'Y', 'S', 'R'};
inline constexpr uint8_t kVersion = 1;
inline constexpr uint8_t kTypeProbe = 1;
inline constexpr uint8_t kTypeReply = 2;
inline constexpr size_t kHeaderSize = 12;
inline constexpr size_t kMessageSize = kHeaderSize + sizeof(DeviceInfo);   // 496

inline constexpr const char* kMulticastAddress = "239.255.255.250";
inline constexpr int kMulticastPort = 12109;
inline constexpr const char* kBroadcastAddress = "255.255.255.255";
inline constexpr int kBroadcastPort = 12222;

// One text field of DeviceInfo: byte offset in the record and width.
struct TextField {
    const char* name;
    size_t offset;
    size_t width;
};
inline constexpr TextField kTextFields[] = {
    {"deviceId", offsetof(DeviceInfo, deviceId), sizeof(DeviceInfo::deviceId)},
    {"version", offsetof(DeviceInfo, version), sizeof(DeviceInfo::version)},
    {"deviceName", offsetof(DeviceInfo, deviceName), sizeof(DeviceInfo::deviceName)},
    {"deviceType", offsetof(DeviceInfo, deviceType), sizeof(DeviceInfo::deviceType)},
    {"httpPort", offsetof(DeviceInfo, httpPort), sizeof(DeviceInfo::httpPort)},
    {"ip", offsetof(DeviceInfo, ip), sizeof(DeviceInfo::ip)},
    {"mac", offsetof(DeviceInfo, mac), sizeof(DeviceInfo::mac)},
    {"uuid", offsetof(DeviceInfo, uuid), sizeof(DeviceInfo::uuid)},
};

// Writes a probe into out (kMessageSize bytes).
void EncodeProbe(uint32_t requestId, uint8_t* out);
// True when data is exactly one valid probe; sets requestId.
bool DecodeProbe(const uint8_t* data, size_t size, uint32_t* requestId);

// Writes a reply into out (kMessageSize bytes). Text fields are sent up to
// their first NUL and zero-filled after it; a field without a NUL inside its
// width is cut so that it has one (the encoder never emits a reply that its
// own decoder would drop).
void EncodeReply(uint32_t requestId, const DeviceInfo& info, uint8_t* out);
// True when data is exactly one valid reply; fills requestId and info (text
// fields zero-filled after their NUL). On false, info is left untouched.
bool DecodeReply(const uint8_t* data, size_t size, uint32_t* requestId, DeviceInfo* info);

// Copies text into a field of `width` bytes, cut on a UTF-8 boundary so that
// the NUL fits; the rest of the field is zero-filled.
void SetText(char* field, size_t width, std::string_view text);
template <size_t N>
void SetText(char (&field)[N], std::string_view text) {
    SetText(field, N, text);
}

// Reading a field is ky::FieldText; the search records use it under this name too.
using ky::FieldText;

}   // namespace ky::search
