// Wi-Fi settings, connection test and access-point scan.
#include <cstdio>
#include <cstring>

#include "core/cgi/Catalogue.h"
#include "core/cgi/rules/WirelessRules.h"

namespace ky::cgi {
namespace {

// ---- settings and the connection test ------------------------------------------
constexpr std::array kWirelessFields{
    KY_FIELD(WirelessAttr, ssid), KY_FIELD(WirelessAttr, key),  KY_FIELD(WirelessAttr, auth),
    KY_FIELD(WirelessAttr, enc),  KY_FIELD(WirelessAttr, mode), KY_FIELD(WirelessAttr, enable),
};
constexpr RecordInfo kWirelessAttr{"WirelessAttr", sizeof(WirelessAttr), kWirelessFields};
#define F(name) FieldIndex(kWirelessFields, #name)

// Name and key are taken even when empty: an open network reports no key.
constexpr KeySpec kWirelessKeys[] = {
    {"var wf_ssid=", F(ssid), Conv::TextAlways}, {"var wf_key=", F(key), Conv::TextAlways},
    {"var wf_auth=", F(auth), Conv::Int},        {"var wf_enc=", F(enc), Conv::Int},
    {"var wf_mode=", F(mode), Conv::Int},        {"var wf_enable=", F(enable), Conv::Int},
};
constexpr ArgSpec kWirelessSetArgs[] = {
    {F(enable)}, {F(ssid), Enc::Percent}, {F(auth)}, {F(key), Enc::Percent}, {F(enc)}, {F(mode)},
};
constexpr ArgSpec kWirelessCheckArgs[] = {
    {F(ssid), Enc::Percent}, {F(auth)}, {F(key), Enc::Percent}, {F(enc)}, {F(mode)},
};
constexpr KeySpec kWirelessCheckKeys[] = {{"var wf_ssid=", F(ssid), Conv::TextAlways}};
#undef F

constexpr CommandDesc kGetWirelessAttr{
    .name = "GetWirelessAttr",
    .record = &kWirelessAttr,
    .request = "GET /cgi-bin/ky7200/param.cgi?cmd=getwirelessattr",
    .keys = kWirelessKeys,
};
constexpr CommandDesc kSetWirelessAttr{
    .name = "SetWirelessAttr",
    .record = &kWirelessAttr,
    .request =
        "GET /cgi-bin/ky7200/param.cgi?cmd=setwirelessattr&-wf_enable=%d&-wf_ssid=%s&-wf_auth=%d"
        "&-wf_key=%s&-wf_enc=%d&-wf_mode=%d",
    .args = kWirelessSetArgs,
};
// Asks the camera to try the given settings; the outcome is fetched later
// with GetCheckWireless.
constexpr CommandDesc kCheckWirelessAttr{
    .name = "CheckWirelessAttr",
    .record = &kWirelessAttr,
    .request =
        "GET /cgi-bin/ky7200/param.cgi?cmd=chkwirelessattr&-wf_ssid=%s&-wf_auth=%d&-wf_key=%s"
        "&-wf_enc=%d&-wf_mode=%d",
    .args = kWirelessCheckArgs,
    .keys = kWirelessCheckKeys,
};

constexpr std::array kCheckFields{KY_FIELD_RO(WifiCheckResult, chkres)};
constexpr RecordInfo kWifiCheckResult{"WifiCheckResult", sizeof(WifiCheckResult), kCheckFields};
constexpr KeySpec kCheckResultKeys[] = {{"var chkres=", FieldIndex(kCheckFields, "chkres"), Conv::IntAlways}};

constexpr CommandDesc kGetCheckWireless{
    .name = "GetCheckWireless",
    .record = &kWifiCheckResult,
    .request = "GET /cgi-bin/ky7200/param.cgi?cmd=getchkwireless",
    .keys = kCheckResultKeys,
};

// ---- access-point scan ----------------------------------------------------------
constexpr std::array kScanFields{
    KY_FIELD_RO(WifiScanList, waccess_points), KY_FIELD_RO(WifiScanList, index), KY_FIELD_RO(WifiScanList, ssid),
    KY_FIELD_RO(WifiScanList, rssi),           KY_FIELD_RO(WifiScanList, auth),  KY_FIELD_RO(WifiScanList, enc),
    KY_FIELD_RO(WifiScanList, channel),        KY_FIELD_RO(WifiScanList, net),
};
constexpr RecordInfo kWifiScanList{"WifiScanList", sizeof(WifiScanList), kScanFields};
#define S(name) FieldIndex(kScanFields, #name)
// The list keys carry no "var " prefix; the count bounds the loop and every
// listed entry is rewritten, an absent value giving an empty text.
constexpr KeySpec kScanKeys[] = {
    {"var waccess_points=", S(waccess_points), Conv::IntAlways},
    {"wessid[%d]=", S(ssid), Conv::TextAlways, nullptr, true, 0, S(waccess_points)},
    {"wrssi[%d]=", S(rssi), Conv::TextAlways, nullptr, true, 0, S(waccess_points)},
    {"wauth[%d]=", S(auth), Conv::TextAlways, nullptr, true, 0, S(waccess_points)},
    {"wenc[%d]=", S(enc), Conv::TextAlways, nullptr, true, 0, S(waccess_points)},
    {"wchannel[%d]=", S(channel), Conv::TextAlways, nullptr, true, 0, S(waccess_points)},
    {"wnet[%d]=", S(net), Conv::TextAlways, nullptr, true, 0, S(waccess_points)},
};
#undef S

// Leaves exactly the listed entries: the count clamped to what the list
// holds, each entry numbered from 1, everything after it cleared.
void ScanParse(const CommandDesc&, const char*, uint32_t, void* rec) {
    auto* list = static_cast<WifiScanList*>(rec);
    int32_t n = list->waccess_points;
    n = n < 0 ? 0 : (n > WifiScanList::kMaxEntries ? WifiScanList::kMaxEntries : n);
    list->waccess_points = n;
    for (int32_t i = 0; i < WifiScanList::kMaxEntries; ++i) {
        if (i < n) {
            std::snprintf(list->index[i], sizeof list->index[i], "%d", i + 1);
            continue;
        }
        std::memset(list->index[i], 0, sizeof list->index[i]);
        std::memset(list->ssid[i], 0, sizeof list->ssid[i]);
        std::memset(list->rssi[i], 0, sizeof list->rssi[i]);
        std::memset(list->auth[i], 0, sizeof list->auth[i]);
        std::memset(list->enc[i], 0, sizeof list->enc[i]);
        std::memset(list->channel[i], 0, sizeof list->channel[i]);
        std::memset(list->net[i], 0, sizeof list->net[i]);
    }
}

constexpr CommandDesc kSearchWireless{
    .name = "SearchWireless",
    .record = &kWifiScanList,
    .request = "GET /cgi-bin/ky7200/param.cgi?cmd=searchwireless",
    .keys = kScanKeys,
    .parse = ScanParse,
};

constexpr const CommandDesc* kCommands[] = {&kGetWirelessAttr, &kSetWirelessAttr, &kCheckWirelessAttr,
                                            &kGetCheckWireless, &kSearchWireless};

// ---- pages ------------------------------------------------------------------------
// The test and the scan are actions with time-outs of their own, not settings
// to back up, so only the settings form a page.
constexpr const CommandDesc* kWifiGets[] = {&kGetWirelessAttr};
constexpr const CommandDesc* kWifiSets[] = {&kSetWirelessAttr};
constexpr PageDesc kWifiPage{
    "wifi",
    "Wi-Fi client: enable, ssid, key, auth 0 none/1 WEP/2 WPA-PSK/3 WPA2-PSK, enc 0 TKIP/1 AES",
    &kWirelessAttr,
    kWifiGets,
    kWifiSets,
    nullptr,
    [](const void* rec, const PageContext& ctx) {
        return ValidateWirelessPage(*static_cast<const WirelessAttr*>(rec), ctx);
    }};

constexpr const PageDesc* kPages[] = {&kWifiPage};

}   // namespace

std::span<const CommandDesc* const> WirelessCommands() { return kCommands; }
std::span<const PageDesc* const> WirelessPages() { return kPages; }

}   // namespace ky::cgi

KY_DEFINE_COMMAND(GetWirelessAttr, WirelessAttr, ky::cgi::kGetWirelessAttr)
KY_DEFINE_COMMAND(SetWirelessAttr, WirelessAttr, ky::cgi::kSetWirelessAttr)
KY_DEFINE_COMMAND(CheckWirelessAttr, WirelessAttr, ky::cgi::kCheckWirelessAttr)
KY_DEFINE_COMMAND(SearchWireless, WifiScanList, ky::cgi::kSearchWireless)

// Succeeds only when the camera reports that its test connection worked;
// rec (may be null) receives what the camera reported.
int CCgiClient::GetCheckWireless(const char* ip, uint16_t port, const char* user, const char* password,
                                 WifiCheckResult* rec, int timeoutMs) {
    WifiCheckResult result{};
    if (ky::cgi::RunCommand(ky::cgi::kGetCheckWireless, {ip, port, user, password}, &result, timeoutMs) != 0) return -1;
    if (rec != nullptr) *rec = result;
    return result.chkres == 1 ? 0 : -1;
}
