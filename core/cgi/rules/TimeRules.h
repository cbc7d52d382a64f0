#pragma once
// Time page rules: the time-zone table, the camera's time texts and the
// checks made before the NTP, zone and clock writes.
#include <cstdint>
#include <ctime>
#include <functional>
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

// First row whose name equals `name` without regard to ASCII case; the last
// listed row when none does.
int FindZoneRow(std::string_view name);
// "GMT %02d:%02d" for a zero offset, else "GMT+hh:mm" / "GMT-hh:mm".
std::string ZoneOffsetText(const TimeZoneRow& row);
// The PC's time zone as the system describes it.
struct PcZone {
    std::string name;              // zone name, e.g. "Europe/Berlin"; may be empty
    int standardMinutes = 0;       // standard offset, east of UTC positive
    int currentMinutes = 0;        // offset now, daylight saving included
    bool daylightSaving = false;   // the offset changes during the year
};
// Offset of a zone (minutes east of UTC) at a UTC time.
using ZoneOffsetAt = std::function<int(std::time_t utc)>;
// Describes a zone from its offsets over the year from `now`: the standard
// offset is the smallest, and daylight saving exists when they differ.
PcZone DescribePcZone(std::string name, std::time_t now, const ZoneOffsetAt& offsetAt);
// This machine's zone from the C library: TZ, else /etc/localtime.
PcZone LocalPcZone(std::time_t now);
// The table row for the PC's zone: the listed row of that name, else the
// first with the same standard offset that observes daylight saving exactly
// when the PC's zone does, else the first with that offset; -1 when no row
// has it (sending another zone would set a wrong clock).
int PcZoneRow(const PcZone& zone);
// The clock write that sets the camera to the PC's time at utc: the PC's
// wall time (daylight saving included), the row's name, and daylight saving
// on when both the row and the PC's zone observe it. False when no row fits.
bool PcServerTime(const PcZone& zone, std::time_t utc, ServerTime& t);
// "YYYY.MM.DD.hh.mm.ss" of utc shifted by offsetMinutes (east positive).
std::string ClockText(std::time_t utc, int offsetMinutes);

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
