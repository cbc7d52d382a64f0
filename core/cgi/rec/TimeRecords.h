#pragma once
// Camera time, time zone and NTP.
#include <cstdint>

struct NtpAttr {
    int32_t ntpenable;     // 1 on, 0 off
    int32_t ntpinterval;   // hours, 1..24
    char ntpserver[64];    // host name or address
};

struct ServerTime {
    char time[32];       // "YYYY.MM.DD.hh.mm.ss" (also "YYYYMMDDhhmmss" as read)
    char timeZone[64];   // zone name, e.g. "Asia/Hong_Kong"
    int32_t dstmode;     // 1 daylight saving on, 0 off
};
