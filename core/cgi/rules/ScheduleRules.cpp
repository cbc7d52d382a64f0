#include "core/cgi/rules/ScheduleRules.h"

namespace ky::cgi {

const char* CheckTimerReboot(const TimerRebootAttr& r) {
    if (r.sr_enable != 0 && r.sr_enable != 1) return "Value must be 0 or 1";
    if (r.sr_day < 0 || r.sr_day > 7) return "Please select the restart day!";
    if (r.sr_hour < 0 || r.sr_hour > 23) return "Please select the restart time!";
    return nullptr;
}

const char* ValidateRebootPage(const void* rec, const PageContext&) {
    return CheckTimerReboot(*static_cast<const TimerRebootAttr*>(rec));
}

}   // namespace ky::cgi
