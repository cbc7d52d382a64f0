#include "core/cgi/rules/WirelessRules.h"

#include <cstring>

namespace ky::cgi {

const char* CheckWirelessInput(std::string_view ssid, std::string_view key, std::string_view confirmKey) {
    if (key != confirmKey) return "The two passwords are inconsistent.";
    if (ssid.size() > 63) return "SSID maximum length cannot exceed 63 bytes.";
    if (key.size() > 63) return "The maximum key length cannot exceed 63 bytes";
    return nullptr;
}

const char* CheckWirelessTest(std::string_view ssid, std::string_view key) {
    if (ssid.empty()) return "SSID cannot be empty!";
    if (key.empty()) return "Key cannot be empty!";
    return nullptr;
}

const char* ValidateWirelessPage(const WirelessAttr& rec, const PageContext&) {
    const std::string_view key(rec.key, strnlen(rec.key, sizeof rec.key));
    return CheckWirelessInput(std::string_view(rec.ssid, strnlen(rec.ssid, sizeof rec.ssid)), key, key);
}

}   // namespace ky::cgi
