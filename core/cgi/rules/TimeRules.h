#pragma once
// Time page rules: the time-zone table, the camera's time texts and the
// checks made before the NTP, zone and clock writes.
#include <cstdint>
#include <ctime>
#include <span>
#include <string>
#include <string_view>

#include "core/cgi/Catalogue.h"
#include "core/cgi/Records.h"

namespace ky::cgi {

struct TimeZoneRow {
    const char* name;   // what is sent to and compared with the camera
    bool east;          // offset sign: true east of UTC (+)
    int hours;
    int minutes;
    bool dst;   // the zone observes daylight saving time
};

// All 75 rows; only the first kListedZones are offered (the last row repeats
// Asia/Hong_Kong).
std::span<const TimeZoneRow> TimeZoneTable();
inline constexpr int kListedZones = 74;
inline constexpr int kHongKongRow = 56;

// First row whose name equals `name` without regard to ASCII case; the last
// listed row when none does.
int FindZoneRow(std::string_view name);
// "GMT %02d:%02d" for a zero offset, else "GMT+hh:mm" / "GMT-hh:mm".
std::string ZoneOffsetText(const TimeZoneRow& row);
// The row of a PC whose standard bias (UTC minus local time, minutes) is
// biasMinutes: the first row with that offset; Asia/Hong_Kong when none.
int PcZoneRow(int biasMinutes);
// The clock text "YYYY.MM.DD.hh.mm.ss" for UTC seconds shifted by the row's
// offset (daylight saving is not applied).
std::string ZoneTimeText(std::time_t utc, const TimeZoneRow& row);

// The clock write's time check: exactly "####.##.##.##.##.##" with digits,
// month 1-12, day 1-31, hour < 24, minute < 60, second < 60.
bool IsValidTimeText(std::string_view text);
// The camera's time (19-character dotted or 14-digit form) as
// "YYYY-MM-DD hh:mm:ss"; false for any other length.
bool DeviceTimeDisplay(std::string_view text, std::string& display);

// Bytes that may go into a query unencoded: a host name, address or zone
// name never needs more, and anything else would change the request.
bool IsPlainQueryText(std::string_view text);

// NTP page: the server text (trimmed) must not be empty; interval 1-24 hours.
const char* CheckNtpAttr(const NtpAttr& ntp);
// Time page: a zone name and a daylight-saving mode of 0 or 1.
const char* CheckServerTime(const ServerTime& t);

const char* ValidateNtpPage(const void* rec, const PageContext& context);
const char* ValidateTimePage(const void* rec, const PageContext& context);

}   // namespace ky::cgi
