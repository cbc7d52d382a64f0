// Timed reboot, timed snapshots and planned recording.
#include "core/cgi/Catalogue.h"
#include "core/cgi/commands/WeekScheduleDesc.h"
#include "core/cgi/rules/AlarmRules.h"
#include "core/cgi/rules/ScheduleRules.h"

namespace ky::cgi {
namespace {

// ---- timed reboot ------------------------------------------------------------------
constexpr std::array kRebootFields{
    KY_FIELD(TimerRebootAttr, sr_enable),
    KY_FIELD(TimerRebootAttr, sr_day),
    KY_FIELD_RO(TimerRebootAttr, sr_clock),
    KY_FIELD(TimerRebootAttr, sr_hour),
};
constexpr RecordInfo kTimerRebootAttr{"TimerRebootAttr", sizeof(TimerRebootAttr), kRebootFields};
#define F(name) FieldIndex(kRebootFields, #name)
constexpr KeySpec kRebootKeys[] = {
    {"var sr_enable=", F(sr_enable), Conv::Int},
    {"var sr_day=", F(sr_day), Conv::Int},
    {"var sr_clock=", F(sr_clock), Conv::Int},
    {"var sr_hour=", F(sr_hour), Conv::Int},
};
constexpr ArgSpec kRebootArgs[] = {{F(sr_enable)}, {F(sr_day)}, {F(sr_hour)}};
#undef F

constexpr CommandDesc kGetTimerReboot{
    .name = "GetTimerReboot",
    .record = &kTimerRebootAttr,
    .request = "GET /cgi-bin/ky7200/param.cgi?cmd=gettimerreboot",
    .keys = kRebootKeys,
};
constexpr CommandDesc kSetTimerReboot{
    .name = "SetTimerReboot",
    .record = &kTimerRebootAttr,
    .request = "GET /cgi-bin/ky7200/param.cgi?cmd=settimerreboot&-sr_enable=%d&-sr_day=%d&-sr_hour=%d",
    .args = kRebootArgs,
    .exchangeSize = 2048,
};

// ---- timed snapshots -----------------------------------------------------------------
constexpr std::array kSnapFields{
    KY_FIELD(SnapTimerAttr, as_snap_interval),
    KY_FIELD(SnapTimerAttr, as_snap_enable),
    KY_FIELD(SnapTimerAttr, week),
};
constexpr RecordInfo kSnapTimerAttr{"SnapTimerAttr", sizeof(SnapTimerAttr), kSnapFields};
#define F(name) FieldIndex(kSnapFields, #name)
constexpr KeySpec kSnapKeys[] = {
    {"var as_snap_interval=", F(as_snap_interval), Conv::Int},
    {"var as_snap_enable=", F(as_snap_enable), Conv::Int},
    WeekKey(F(week)),
};
constexpr auto kSnapArgs = WithWeekArgs(F(week), std::array<ArgSpec, 2>{{{F(as_snap_interval)}, {F(as_snap_enable)}}});
#undef F

constexpr CommandDesc kGetSnapTimerAttr{
    .name = "GetSnapTimerAttr",
    .record = &kSnapTimerAttr,
    .request = "GET /cgi-bin/ky7200/param.cgi?cmd=getsnaptimerattrex&cmd=getscheduleex&-ename=snap",
    .keys = kSnapKeys,
};
constexpr CommandDesc kSetSnapTimerAttr{
    .name = "SetSnapTimerAttr",
    .record = &kSnapTimerAttr,
    .request =
        "GET /cgi-bin/ky7200/param.cgi?cmd=setsnaptimerattrex&-as_interval=%d&-as_type=snap&-as_enable=%d"
        "&cmd=setscheduleex&-ename=snap" KY_WEEK_QUERY,
    .args = kSnapArgs,
    .exchangeSize = 2048,
    .prepare = PlainWeekOnly<SnapTimerAttr>,
};

// ---- planned recording -----------------------------------------------------------------
constexpr std::array kPlanFields{
    KY_FIELD(PlanRecAttr, planrec_enable),
    KY_FIELD(PlanRecAttr, planrec_chn),
    KY_FIELD(PlanRecAttr, planrec_time),
    KY_FIELD(PlanRecAttr, week),
};
constexpr RecordInfo kPlanRecAttr{"PlanRecAttr", sizeof(PlanRecAttr), kPlanFields};
#define F(name) FieldIndex(kPlanFields, #name)
constexpr KeySpec kPlanKeys[] = {
    {"var planrec_enable=", F(planrec_enable), Conv::Int},
    {"var planrec_chn=", F(planrec_chn), Conv::Int},
    {"var planrec_time=", F(planrec_time), Conv::Int},
    WeekKey(F(week)),
};
constexpr auto kPlanArgs =
    WithWeekArgs(F(week), std::array<ArgSpec, 3>{{{F(planrec_enable)}, {F(planrec_chn)}, {F(planrec_time)}}});
#undef F

constexpr CommandDesc kGetPlanRecAttr{
    .name = "GetPlanRecAttr",
    .record = &kPlanRecAttr,
    .request = "GET /cgi-bin/ky7200/param.cgi?cmd=getplanrecattr&cmd=getscheduleex&-ename=plan",
    .keys = kPlanKeys,
};
constexpr CommandDesc kSetPlanRecAttr{
    .name = "SetPlanRecAttr",
    .record = &kPlanRecAttr,
    .request =
        "GET /cgi-bin/ky7200/param.cgi?cmd=setplanrecattr&-planrec_enable=%d&-planrec_chn=%d"
        "&-planrec_time=%d&cmd=setscheduleex&-ename=plan" KY_WEEK_QUERY,
    .args = kPlanArgs,
    .exchangeSize = 2048,
    .prepare = PlainWeekOnly<PlanRecAttr>,
};

constexpr const CommandDesc* kCommands[] = {&kGetTimerReboot,   &kSetTimerReboot, &kGetSnapTimerAttr,
                                            &kSetSnapTimerAttr, &kGetPlanRecAttr, &kSetPlanRecAttr};

// ---- pages: the schedules and the restart day and hour are checked ----------------------
// A day the camera does not report shows (and is written back) disarmed, as
// the week grid does.
template <class Rec>
void DisarmedWeek(void* rec, const PageOptions&) {
    FillWeek(static_cast<Rec*>(rec)->week, false);
}
const char* SnapValidate(const void* rec, const PageContext&) {
    return CheckWeekSchedule(static_cast<const SnapTimerAttr*>(rec)->week);
}
const char* PlanValidate(const void* rec, const PageContext&) {
    return CheckWeekSchedule(static_cast<const PlanRecAttr*>(rec)->week);
}

constexpr const CommandDesc* kRebootGets[] = {&kGetTimerReboot};
constexpr const CommandDesc* kRebootSets[] = {&kSetTimerReboot};
constexpr PageDesc kRebootPage{
    "reboot-timer",    "timed restart: sr_enable, sr_day (0 Sunday-6 Saturday, 7 every day), sr_hour (0-23)",
    &kTimerRebootAttr, kRebootGets,
    kRebootSets,       nullptr,
    ValidateRebootPage};
constexpr const CommandDesc* kSnapGets[] = {&kGetSnapTimerAttr};
constexpr const CommandDesc* kSnapSets[] = {&kSetSnapTimerAttr};
constexpr PageDesc kSnapPage{
    "snaptimer",     "timed SD-card snapshots: as_snap_interval (s), as_snap_enable, week[0..6] of 48 P/N",
    &kSnapTimerAttr, kSnapGets,
    kSnapSets,       DisarmedWeek<SnapTimerAttr>,
    SnapValidate};
constexpr const CommandDesc* kPlanGets[] = {&kGetPlanRecAttr};
constexpr const CommandDesc* kPlanSets[] = {&kSetPlanRecAttr};
constexpr PageDesc kPlanPage{"planrec",
                             "planned SD-card recording: planrec_enable, planrec_chn (11/12), planrec_time (s), "
                             "week[0..6] of 48 P/N (may restart the camera)",
                             &kPlanRecAttr,
                             kPlanGets,
                             kPlanSets,
                             DisarmedWeek<PlanRecAttr>,
                             PlanValidate};

constexpr const PageDesc* kPages[] = {&kSnapPage, &kPlanPage, &kRebootPage};

}   // namespace

std::span<const CommandDesc* const> ScheduleCommands() { return kCommands; }
std::span<const PageDesc* const> SchedulePages() { return kPages; }

}   // namespace ky::cgi

KY_DEFINE_COMMAND(GetTimerReboot, TimerRebootAttr, ky::cgi::kGetTimerReboot)
KY_DEFINE_COMMAND(SetTimerReboot, TimerRebootAttr, ky::cgi::kSetTimerReboot)
KY_DEFINE_COMMAND(GetSnapTimerAttr, SnapTimerAttr, ky::cgi::kGetSnapTimerAttr)
KY_DEFINE_COMMAND(SetSnapTimerAttr, SnapTimerAttr, ky::cgi::kSetSnapTimerAttr)
KY_DEFINE_COMMAND(GetPlanRecAttr, PlanRecAttr, ky::cgi::kGetPlanRecAttr)
KY_DEFINE_COMMAND(SetPlanRecAttr, PlanRecAttr, ky::cgi::kSetPlanRecAttr)
