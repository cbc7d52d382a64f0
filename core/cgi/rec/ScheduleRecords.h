#pragma once
// Timed reboot, timed snapshots and planned recording.
#include <cstdint>

#include "core/cgi/rec/AlarmRecords.h"

struct TimerRebootAttr {
    int32_t sr_enable;   // 1 on
    int32_t sr_day;      // 0 Sunday .. 6 Saturday, 7 every day
    int32_t sr_clock;    // reported only
    int32_t sr_hour;     // 0..23
};

struct SnapTimerAttr {
    int32_t as_snap_interval;   // seconds between pictures
    int32_t as_snap_enable;     // 1 save pictures on the SD card
    WeekDays week;
};

struct PlanRecAttr {
    int32_t planrec_enable;   // 1 on
    int32_t planrec_chn;      // 11 first stream, 12 second stream
    int32_t planrec_time;     // file duration in seconds
    WeekDays week;
};
