#pragma once
// Alarm page rules and the weekly schedule helpers shared with the
// scheduled-task pages.
#include "core/cgi/Catalogue.h"
#include "core/cgi/Records.h"

namespace ky::cgi {

// Every half hour of every day armed ('P') or not ('N'), as "Select List" and
// "Clear List" do.
void FillWeek(WeekDays& week, bool armed);
// Each day exactly 48 characters of 'P' and 'N'.
const char* CheckWeekSchedule(const WeekDays& week);

// Humanoid page: threshold 1..100.
const char* CheckSmdAttr(const SmdAttr& smd);
// Audio alarm page: volume 1..100, checked only while the alarm is on.
const char* CheckAudioAlarmAttr(const AudioAlarmAttr& aa);

// Page hooks: the rules above, plus on/off fields of exactly 0 or 1 for
// values typed rather than chosen.
const char* ValidateSmdPage(const void* rec, const PageContext& context);
const char* ValidateAudioAlarmPage(const void* rec, const PageContext& context);
const char* ValidateSchedulePage(const void* rec, const PageContext& context);

}   // namespace ky::cgi
