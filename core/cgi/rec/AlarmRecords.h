#pragma once
// Humanoid and audio alarms, alarm linkage and the weekly arming schedule.
#include <cstdint>

// A week of half-hour flags: seven day strings (Sunday first), each 48 bytes
// of 'P' (armed) or 'N' (not) plus a terminating zero. Records that carry a
// schedule embed WeekDays as their member `week`.
inline constexpr int kWeekDays = 7;
inline constexpr int kDaySlots = 48;
using WeekDays = char[kWeekDays][kDaySlots + 1];

struct WeekSchedule {
    WeekDays week;
};
static_assert(sizeof(WeekSchedule) == 343);

struct SmdAttr {
    int32_t smd_enable;    // 1 humanoid recognition on
    int32_t smd_rect;      // 1 frame detected persons
    int32_t smd_gthresh;   // threshold 1..100
    int32_t alarm_type;    // 1 linkage trigger, 0 separate trigger
};

struct AudioAlarmAttr {
    int32_t aa_enable;   // 1 on
    int32_t aa_value;    // volume threshold 1..100
};

struct LinkAttr {
    int32_t snap_switch;     // 1 save a picture on the SD card
    int32_t snap_count;      // pictures per alarm
    int32_t record_switch;   // 1 save video on the SD card
    int32_t relay_switch;    // not reported; the page always sends it off
    int32_t reserved;
    int32_t preset_switch;      // 1 move to a preset
    int32_t alarmpresetindex;   // preset 1..8
    int32_t sound_switch;       // 1 play a sound
    int32_t sound_type;         // 0 alarm, 1 dog, 2 custom
    int32_t sound_time;         // seconds: 5, 10, 20 or 30
};
