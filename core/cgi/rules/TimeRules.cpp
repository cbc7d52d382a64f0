#include "core/cgi/rules/TimeRules.h"

#include <strings.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <iterator>

#include "core/services/FieldText.h"

namespace ky::cgi {

namespace {

constexpr bool E = true, W = false;
constexpr TimeZoneRow kZones[] = {
    {"Etc/GMT-12", W, 12, 0, false},
    {"Pacific/Apia", W, 11, 0, true},
    {"Pacific/Honolulu", W, 10, 0, false},
    {"America/Anchorage", W, 9, 0, true},
    {"America/Los_Angeles", W, 8, 0, true},
    {"America/Denver", W, 7, 0, true},
    {"America/Tegucigalpa", W, 7, 0, true},
    {"America/Phoenix", W, 7, 0, false},
    {"America/Saskatchewan", W, 6, 0, false},
    {"America/Mexico_City", W, 6, 0, true},
    {"America/Chicago", W, 6, 0, true},
    {"America/Costa_Rica", W, 6, 0, false},
    {"America/Indianapolis", W, 5, 0, true},
    {"America/New_York", W, 5, 0, true},
    {"America/Bogota", W, 5, 0, false},
    {"America/Caracas", W, 4, 30, false},
    {"America/Santiago", W, 4, 0, true},
    {"America/Montreal", W, 4, 0, true},
    {"America/St_Johns", W, 3, 30, true},
    {"America/Thule", W, 3, 0, true},
    {"America/Buenos_Aires", W, 3, 0, false},
    {"America/Sao_Paulo", W, 3, 0, true},
    {"Atlantic/South_Georgia", W, 2, 0, true},
    {"Atlantic/Cape_Verde", W, 1, 0, false},
    {"Atlantic/Azores", W, 1, 0, true},
    {"Europe/Dublin", E, 0, 0, true},
    {"Africa/Casablanca", E, 0, 0, false},
    {"Europe/Amsterdam", E, 1, 0, true},
    {"Europe/Belgrade", E, 1, 0, true},
    {"Europe/Brussels", E, 1, 0, true},
    {"Europe/Warsaw", E, 1, 0, true},
    {"Africa/Lagos", E, 1, 0, false},
    {"Europe/Athens", E, 2, 0, true},
    {"Europe/Bucharest", E, 2, 0, true},
    {"Africa/Cairo", E, 2, 0, true},
    {"Africa/Harare", E, 2, 0, false},
    {"Europe/Helsinki", E, 2, 0, true},
    {"Asia/Jerusalem", E, 2, 0, true},
    {"Asia/Baghdad", E, 3, 0, false},
    {"Asia/Kuwait", E, 3, 0, false},
    {"Europe/Moscow", E, 3, 0, true},
    {"Africa/Nairobi", E, 3, 0, false},
    {"Asia/Tehran", E, 3, 30, true},
    {"Asia/Dubai", E, 4, 0, false},
    {"Asia/Baku", E, 4, 0, true},
    {"Asia/Kabul", E, 4, 30, false},
    {"Asia/Yekaterinburg", E, 5, 0, true},
    {"Asia/Karachi", E, 5, 0, false},
    {"Asia/Calcutta", E, 5, 30, false},
    {"Asia/Katmandu", E, 5, 45, false},
    {"Asia/Novosibirsk", E, 6, 0, true},
    {"Asia/Dhaka", E, 6, 0, false},
    {"Asia/Astana", E, 6, 0, false},
    {"Asia/Rangoon", E, 6, 30, false},
    {"Asia/Bangkok", E, 7, 0, false},
    {"Asia/Krasnoyarsk", E, 7, 0, true},
    {"Asia/Hong_Kong", E, 8, 0, false},
    {"Asia/Irkutsk", E, 8, 0, true},
    {"Asia/Kuala_Lumpur", E, 8, 0, false},
    {"Australia/Perth", E, 8, 0, false},
    {"Asia/Taipei", E, 8, 0, false},
    {"Asia/Tokyo", E, 9, 0, false},
    {"Asia/Seoul", E, 9, 0, false},
    {"Asia/Yakutsk", E, 9, 0, true},
    {"Australia/Adelaide", E, 9, 30, true},
    {"Australia/Brisbane", E, 10, 0, false},
    {"Australia/Sydney", E, 10, 0, true},
    {"Pacific/Guam", E, 10, 0, false},
    {"Australia/Hobart", E, 10, 0, true},
    {"Asia/Vladivostok", E, 10, 0, true},
    {"Asia/Magadan", E, 11, 0, true},
    {"Pacific/Auckland", E, 12, 0, true},
    {"Pacific/Fiji", E, 12, 0, true},
    {"Pacific/Tongatapu", E, 13, 0, false},
    {"Asia/Hong_Kong", E, 8, 0, false},
};
static_assert(std::size(kZones) == 75);

constexpr const char* kBinaryValue = "Value must be 0 or 1";

int OffsetMinutes(const TimeZoneRow& r) { return r.hours * 60 + r.minutes; }

std::string_view Trimmed(std::string_view s) {
    constexpr std::string_view blanks = " \t\r\n";
    const size_t first = s.find_first_not_of(blanks);
    if (first == std::string_view::npos) return {};
    return s.substr(first, s.find_last_not_of(blanks) - first + 1);
}

}   // namespace

std::span<const TimeZoneRow> TimeZoneTable() { return kZones; }

int FindZoneRow(std::string_view name) {
    for (size_t i = 0; i < std::size(kZones); ++i) {
        const std::string_view row = kZones[i].name;
        if (row.size() == name.size() && strncasecmp(row.data(), name.data(), row.size()) == 0)
            return static_cast<int>(i);
    }
    return kListedZones - 1;
}

std::string ZoneOffsetText(const TimeZoneRow& row) {
    char text[16];
    const char* sign = OffsetMinutes(row) == 0 ? " " : row.east ? "+" : "-";
    std::snprintf(text, sizeof text, "GMT%s%02d:%02d", sign, row.hours, row.minutes);
    return text;
}

PcZone DescribePcZone(std::string name, std::time_t now, const ZoneOffsetAt& offsetAt) {
    PcZone zone;
    zone.name = std::move(name);
    zone.currentMinutes = offsetAt(now);
    int lowest = zone.currentMinutes, highest = zone.currentMinutes;
    // Twice a month over the coming year meets every summer and winter.
    for (int step = 1; step <= 24; ++step) {
        const int m = offsetAt(now + static_cast<std::time_t>(step) * 15 * 86400);
        lowest = std::min(lowest, m);
        highest = std::max(highest, m);
    }
    zone.standardMinutes = lowest;
    zone.daylightSaving = highest != lowest;
    return zone;
}

PcZone LocalPcZone(std::time_t now) {
    tzset();
    std::string name;
    const char* tz = std::getenv("TZ");
    if (tz && *tz) {
        name = tz[0] == ':' ? tz + 1 : tz;
    } else {
        char target[512];
        const ssize_t n = readlink("/etc/localtime", target, sizeof target - 1);
        if (n > 0) name.assign(target, static_cast<size_t>(n));
    }
    // A path into the zone database names its zone by what follows it.
    if (const size_t at = name.find("zoneinfo/"); at != std::string::npos) name.erase(0, at + 9);
    return DescribePcZone(std::move(name), now, [](std::time_t t) {
        std::tm tm{};
        return localtime_r(&t, &tm) ? static_cast<int>(tm.tm_gmtoff / 60) : 0;
    });
}

int PcZoneRow(const PcZone& zone) {
    for (int i = 0; i < kListedZones; ++i)
        if (!zone.name.empty() && strcasecmp(kZones[i].name, zone.name.c_str()) == 0) return i;
    int first = -1;
    for (int i = 0; i < kListedZones; ++i) {
        const TimeZoneRow& r = kZones[i];
        if ((r.east ? OffsetMinutes(r) : -OffsetMinutes(r)) != zone.standardMinutes) continue;
        if (r.dst == zone.daylightSaving) return i;
        if (first < 0) first = i;
    }
    return first;
}

bool PcServerTime(const PcZone& zone, std::time_t utc, ServerTime& t) {
    const int row = PcZoneRow(zone);
    if (row < 0) return false;
    t = ServerTime{};
    std::snprintf(t.time, sizeof t.time, "%s", ClockText(utc, zone.currentMinutes).c_str());
    std::snprintf(t.timeZone, sizeof t.timeZone, "%s", kZones[row].name);
    t.dstmode = kZones[row].dst && zone.daylightSaving ? 1 : 0;
    return true;
}

std::string ClockText(std::time_t utc, int offsetMinutes) {
    const std::time_t local = utc + static_cast<std::time_t>(offsetMinutes) * 60;
    std::tm tm{};
    if (gmtime_r(&local, &tm) == nullptr) return {};
    char text[64];
    std::snprintf(text, sizeof text, "%04d.%02d.%02d.%02d.%02d.%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                  tm.tm_hour, tm.tm_min, tm.tm_sec);
    return text;
}

bool IsValidTimeText(std::string_view text) {
    constexpr std::string_view pattern = "####.##.##.##.##.##";
    if (text.size() != pattern.size()) return false;
    for (size_t i = 0; i < pattern.size(); ++i) {
        const bool digit = text[i] >= '0' && text[i] <= '9';
        if (pattern[i] == '#' ? !digit : text[i] != '.') return false;
    }
    const std::string s(text);
    int year, month, day, hour, minute, second;
    if (std::sscanf(s.c_str(), "%04d.%02d.%02d.%02d.%02d.%02d", &year, &month, &day, &hour, &minute, &second) != 6)
        return false;
    return month >= 1 && month <= 12 && day >= 1 && day <= 31 && hour < 24 && minute < 60 && second < 60;
}

bool DeviceTimeDisplay(std::string_view text, std::string& display) {
    // Start of year, month, day, hour, minute and second in each form.
    static constexpr size_t kDotted[] = {0, 5, 8, 11, 14, 17};
    static constexpr size_t kPacked[] = {0, 4, 6, 8, 10, 12};
    const size_t* at = text.size() == 19 ? kDotted : text.size() == 14 ? kPacked : nullptr;
    if (at == nullptr) return false;
    auto part = [&](int i) { return std::string(text.substr(at[i], i == 0 ? 4 : 2)); };
    display = part(0) + "-" + part(1) + "-" + part(2) + " " + part(3) + ":" + part(4) + ":" + part(5);
    return true;
}

bool IsPlainQueryText(std::string_view text) {
    constexpr std::string_view extra = "-._~:/[]@*";
    for (const char c : text) {
        const auto u = static_cast<unsigned char>(c);
        if (!(std::isalnum(u) && u < 0x80) && extra.find(c) == std::string_view::npos) return false;
    }
    return true;
}

const char* CheckNtpAttr(const NtpAttr& ntp) {
    const std::string_view server = FieldText(ntp.ntpserver);
    if (Trimmed(server).empty()) return "NTP server address cannot be empty!";
    if (!IsPlainQueryText(server)) return "Invalid NTP server address!";
    if (ntp.ntpinterval < 1 || ntp.ntpinterval > 24) return "Interval must be 1 to 24 hours!";
    if (ntp.ntpenable != 0 && ntp.ntpenable != 1) return kBinaryValue;
    return nullptr;
}

const char* CheckServerTime(const ServerTime& t) {
    if (FieldText(t.timeZone).empty()) return "Please select a time zone!";
    if (t.dstmode != 0 && t.dstmode != 1) return kBinaryValue;
    return nullptr;
}

const char* ValidateNtpPage(const void* rec, const PageContext&) {
    return CheckNtpAttr(*static_cast<const NtpAttr*>(rec));
}

const char* ValidateTimePage(const void* rec, const PageContext&) {
    return CheckServerTime(*static_cast<const ServerTime*>(rec));
}

}   // namespace ky::cgi
