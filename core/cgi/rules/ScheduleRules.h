#pragma once
// Scheduled-task page rules: the restart timer's day and hour.
#include "core/cgi/Catalogue.h"
#include "core/cgi/Records.h"

namespace ky::cgi {

// Restart timer: a day of the list (0 Sunday .. 6 Saturday, 7 every day), an
// hour 0..23 and an on/off of 0 or 1. The camera takes any number, and a day
// or hour it cannot name would leave the restart undefined.
const char* CheckTimerReboot(const TimerRebootAttr& r);

const char* ValidateRebootPage(const void* rec, const PageContext& context);

}   // namespace ky::cgi
