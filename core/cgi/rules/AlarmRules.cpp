#include "core/cgi/rules/AlarmRules.h"

#include <cstring>

namespace ky::cgi {

namespace {
constexpr const char* kBinaryValue = "Value must be 0 or 1";
bool Binary(int32_t v) { return v == 0 || v == 1; }
}   // namespace

void FillWeek(WeekDays& week, bool armed) {
    for (auto& day : week) {
        std::memset(day, armed ? 'P' : 'N', kDaySlots);
        day[kDaySlots] = '\0';
    }
}

const char* CheckWeekSchedule(const WeekDays& week) {
    for (const auto& day : week) {
        if (strnlen(day, sizeof day) != kDaySlots) return "Each schedule day must have 48 half hours of P or N!";
        for (int i = 0; i < kDaySlots; ++i)
            if (day[i] != 'P' && day[i] != 'N') return "Each schedule day must have 48 half hours of P or N!";
    }
    return nullptr;
}

const char* CheckSmdAttr(const SmdAttr& smd) {
    return smd.smd_gthresh < 1 || smd.smd_gthresh > 100 ? "Wrong sensitivity range!" : nullptr;
}

const char* CheckAudioAlarmAttr(const AudioAlarmAttr& aa) {
    if (aa.aa_enable == 1 && (aa.aa_value < 1 || aa.aa_value > 100)) return "Volume range 1~100";
    return nullptr;
}

const char* ValidateSmdPage(const void* rec, const PageContext&) {
    const auto& smd = *static_cast<const SmdAttr*>(rec);
    if (const char* msg = CheckSmdAttr(smd)) return msg;
    return Binary(smd.smd_enable) && Binary(smd.smd_rect) && Binary(smd.alarm_type) ? nullptr : kBinaryValue;
}

const char* ValidateAudioAlarmPage(const void* rec, const PageContext&) {
    const auto& aa = *static_cast<const AudioAlarmAttr*>(rec);
    if (const char* msg = CheckAudioAlarmAttr(aa)) return msg;
    return Binary(aa.aa_enable) ? nullptr : kBinaryValue;
}

const char* ValidateSchedulePage(const void* rec, const PageContext&) {
    return CheckWeekSchedule(static_cast<const WeekSchedule*>(rec)->week);
}

}   // namespace ky::cgi
