#pragma once
// Validation of the Wi-Fi page, its connection test and the time-outs its
// workers use.
#include <string_view>

#include "core/cgi/Catalogue.h"
#include "core/cgi/Records.h"

namespace ky::cgi {

// Receive time-outs of the Wi-Fi test (the trigger, then the wait for its
// result) and of the scan with the read that accompanies it.
inline constexpr int kWifiCheckTimeoutMs = 5000;
inline constexpr int kWifiCheckResultTimeoutMs = 30000;
inline constexpr int kWifiScanTimeoutMs = 10000;

// Typed name, key and confirmation, before they are copied into a record
// (lengths in bytes of the UTF-8 text).
const char* CheckWirelessInput(std::string_view ssid, std::string_view key, std::string_view confirmKey);
// The test additionally needs a name and a key, whatever the security type.
const char* CheckWirelessTest(std::string_view ssid, std::string_view key);

// The page's apply rules on a filled record.
const char* ValidateWirelessPage(const WirelessAttr& rec, const PageContext& context);

}   // namespace ky::cgi
