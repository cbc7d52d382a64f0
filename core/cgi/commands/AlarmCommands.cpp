// Humanoid and audio alarms, alarm linkage and the motion-detection schedule.
#include "core/cgi/Catalogue.h"
#include "core/cgi/commands/WeekScheduleDesc.h"
#include "core/cgi/rules/AlarmRules.h"

namespace ky::cgi {
namespace {

// ---- humanoid ----------------------------------------------------------------------
constexpr std::array kSmdFields{
    KY_FIELD(SmdAttr, smd_enable),
    KY_FIELD(SmdAttr, smd_rect),
    KY_FIELD(SmdAttr, smd_gthresh),
    KY_FIELD(SmdAttr, alarm_type),
};
constexpr RecordInfo kSmdAttr{"SmdAttr", sizeof(SmdAttr), kSmdFields};
#define F(name) FieldIndex(kSmdFields, #name)
constexpr KeySpec kSmdKeys[] = {
    {"var smd_enable=", F(smd_enable), Conv::Int},
    {"var smd_rect=", F(smd_rect), Conv::Int},
    {"var smd_gthresh=", F(smd_gthresh), Conv::Int},
    {"var md_alarm_type=", F(alarm_type), Conv::OnOff},
};
// The trigger is "on" only for exactly 1: an unselected trigger list (-1)
// sends "off".
constexpr ArgSpec kSmdArgs[] = {{F(alarm_type), Enc::OnIfOne}, {F(smd_enable)}, {F(smd_rect)}, {F(smd_gthresh)}};
#undef F

constexpr CommandDesc kGetSmdAttr{
    .name = "GetSmdAttr",
    .record = &kSmdAttr,
    .request = "GET /cgi-bin/ky7200/param.cgi?cmd=getmdalarm&-aname=type&cmd=getsmdattr&cmd=getsmdex",
    .keys = kSmdKeys,
};
constexpr CommandDesc kSetSmdAttr{
    .name = "SetSmdAttr",
    .record = &kSmdAttr,
    .request =
        "GET /cgi-bin/ky7200/param.cgi?cmd=setmdalarm&-aname=type&-switch=%s&cmd=setsmdattr&-smd_enable=%d"
        "&cmd=setsmdex&-smd_rect=%d&-smd_gthresh=%d",
    .args = kSmdArgs,
    .exchangeSize = 2048,
};

// ---- audio alarm -------------------------------------------------------------------
constexpr std::array kAudioAlarmFields{KY_FIELD(AudioAlarmAttr, aa_enable), KY_FIELD(AudioAlarmAttr, aa_value)};
constexpr RecordInfo kAudioAlarmAttr{"AudioAlarmAttr", sizeof(AudioAlarmAttr), kAudioAlarmFields};
#define F(name) FieldIndex(kAudioAlarmFields, #name)
constexpr KeySpec kAudioAlarmKeys[] = {
    {"var aa_enable=", F(aa_enable), Conv::Int},
    {"var aa_value=", F(aa_value), Conv::Int},
};
constexpr ArgSpec kAudioAlarmArgs[] = {{F(aa_enable)}, {F(aa_value)}};
#undef F

constexpr CommandDesc kGetAudioAlarmAttr{
    .name = "GetAudioAlarmAttr",
    .record = &kAudioAlarmAttr,
    .request = "GET /cgi-bin/ky7200/param.cgi?cmd=getaudioalarmattr",
    .keys = kAudioAlarmKeys,
};
constexpr CommandDesc kSetAudioAlarmAttr{
    .name = "SetAudioAlarmAttr",
    .record = &kAudioAlarmAttr,
    .request = "GET /cgi-bin/ky7200/param.cgi?cmd=setaudioalarmattr&-aa_enable=%d&-aa_value=%d",
    .args = kAudioAlarmArgs,
    .exchangeSize = 2048,
};

// ---- linkage: nine commands in one request each way ---------------------------------
// The relay is never reported and the page always switches it off, so it is
// not a field one may set.
constexpr std::array kLinkFields{
    KY_FIELD(LinkAttr, snap_switch),     KY_FIELD(LinkAttr, snap_count),    KY_FIELD(LinkAttr, record_switch),
    KY_FIELD_RO(LinkAttr, relay_switch), KY_FIELD(LinkAttr, preset_switch), KY_FIELD(LinkAttr, alarmpresetindex),
    KY_FIELD(LinkAttr, sound_switch),    KY_FIELD(LinkAttr, sound_type),    KY_FIELD(LinkAttr, sound_time),
};
constexpr RecordInfo kLinkAttr{"LinkAttr", sizeof(LinkAttr), kLinkFields};
#define F(name) FieldIndex(kLinkFields, #name)
constexpr KeySpec kLinkKeys[] = {
    {"var md_snap_switch=", F(snap_switch), Conv::OnOff},
    {"var snap_count=", F(snap_count), Conv::Int},
    {"var md_record_switch=", F(record_switch), Conv::OnOff},
    {"var md_preset_switch=", F(preset_switch), Conv::OnOff},
    {"var alarmpresetindex=", F(alarmpresetindex), Conv::Int},
    {"var md_sound_switch=", F(sound_switch), Conv::OnOff},
    {"var sound_type=", F(sound_type), Conv::Int},
    {"var sound_time=", F(sound_time), Conv::Int},
};
constexpr ArgSpec kLinkArgs[] = {
    {F(snap_switch), Enc::OnOff},
    {F(snap_count)},
    {F(record_switch), Enc::OnOff},
    {F(preset_switch), Enc::OnOff},
    {F(sound_switch), Enc::OnOff},
    {F(relay_switch), Enc::OnOff},
    {F(alarmpresetindex)},
    {F(sound_type)},
    {F(sound_time)},
};
#undef F

constexpr CommandDesc kGetLinkAttr{
    .name = "GetLinkAttr",
    .record = &kLinkAttr,
    .request =
        "GET /cgi-bin/ky7200/param.cgi?&cmd=getmdalarm&-aname=snap&cmd=getmdalarm&-aname=record"
        "&cmd=getmdalarm&-aname=relay&cmd=getmdalarm&-aname=preset&cmd=getmdalarm&-aname=sound"
        "&cmd=getrelayattr&cmd=getalarmsnapattr&cmd=getmotorattr&cmd=getalarmsoundattr",
    .keys = kLinkKeys,
};
constexpr CommandDesc kSetLinkAttr{
    .name = "SetLinkAttr",
    .record = &kLinkAttr,
    .request =
        "GET /cgi-bin/ky7200/param.cgi?cmd=setmdalarm&-aname=snap&-switch=%s&cmd=setalarmsnapattr"
        "&-snap_count=%d&cmd=setmdalarm&-aname=record&-switch=%s&cmd=setmdalarm&-aname=preset&-switch=%s"
        "&cmd=setmdalarm&-aname=sound&-switch=%s&cmd=setmdalarm&-aname=relay&-switch=%s"
        "&cmd=setrelayattr&-time=5&cmd=setmotorattr&-alarmpresetindex=%d"
        "&cmd=setalarmsoundattr&-sound_type=%d&-sound_time=%d",
    .args = kLinkArgs,
    .exchangeSize = 2048,
};

// ---- motion-detection schedule -------------------------------------------------------
constexpr std::array kWeekFields{KY_FIELD(WeekSchedule, week)};
constexpr RecordInfo kWeekSchedule{"WeekSchedule", sizeof(WeekSchedule), kWeekFields};
constexpr KeySpec kMdWeekKeys[] = {WeekKey(FieldIndex(kWeekFields, "week"))};
constexpr auto kMdWeekArgs = WithWeekArgs<0>(FieldIndex(kWeekFields, "week"));

constexpr CommandDesc kGetMdSchedule{
    .name = "GetMdSchedule",
    .record = &kWeekSchedule,
    .request = "GET /cgi-bin/ky7200/param.cgi?cmd=getscheduleex&-ename=md",
    .keys = kMdWeekKeys,
};
constexpr CommandDesc kSetMdSchedule{
    .name = "SetMdSchedule",
    .record = &kWeekSchedule,
    .request = "GET /cgi-bin/ky7200/param.cgi?cmd=setscheduleex&-ename=md" KY_WEEK_QUERY,
    .args = kMdWeekArgs,
    .exchangeSize = 2048,
    .prepare = PlainWeekOnly<WeekSchedule>,
};

constexpr const CommandDesc* kCommands[] = {
    &kGetSmdAttr,  &kSetSmdAttr,  &kGetAudioAlarmAttr, &kSetAudioAlarmAttr,
    &kGetLinkAttr, &kSetLinkAttr, &kGetMdSchedule,     &kSetMdSchedule,
};

// ---- pages -------------------------------------------------------------------------
constexpr const CommandDesc* kSmdGets[] = {&kGetSmdAttr};
constexpr const CommandDesc* kSmdSets[] = {&kSetSmdAttr};
constexpr PageDesc kSmdPage{"alarm-humanoid",
                            "humanoid recognition: smd_enable, smd_rect (frame persons), smd_gthresh (1-100), "
                            "alarm_type (0 separate, 1 linkage trigger)",
                            &kSmdAttr,
                            kSmdGets,
                            kSmdSets,
                            nullptr,
                            ValidateSmdPage};
constexpr const CommandDesc* kAudioAlarmGets[] = {&kGetAudioAlarmAttr};
constexpr const CommandDesc* kAudioAlarmSets[] = {&kSetAudioAlarmAttr};
constexpr PageDesc kAudioAlarmPage{"alarm-audio",         "sound-level alarm: aa_enable, aa_value (threshold 1-100)",
                                   &kAudioAlarmAttr,      kAudioAlarmGets,
                                   kAudioAlarmSets,       nullptr,
                                   ValidateAudioAlarmPage};
constexpr const CommandDesc* kLinkGets[] = {&kGetLinkAttr};
constexpr const CommandDesc* kLinkSets[] = {&kSetLinkAttr};
constexpr PageDesc kLinkPage{"link",
                             "motion alarm linkage: SD picture/video, preset (1-8), sound (type 0-2, 5/10/20/30 s)",
                             &kLinkAttr, kLinkGets, kLinkSets};
// A day the camera does not report shows (and is written back) disarmed,
// as the week grid does.
void DisarmedWeek(void* rec, const PageOptions&) { FillWeek(static_cast<WeekSchedule*>(rec)->week, false); }
constexpr const CommandDesc* kMdScheduleGets[] = {&kGetMdSchedule};
constexpr const CommandDesc* kMdScheduleSets[] = {&kSetMdSchedule};
constexpr PageDesc kMdSchedulePage{
    "schedule",          "motion-detection arming: week[0..6] Sunday-Saturday, 48 half hours of P/N each",
    &kWeekSchedule,      kMdScheduleGets,
    kMdScheduleSets,     DisarmedWeek,
    ValidateSchedulePage};

constexpr const PageDesc* kPages[] = {&kSmdPage, &kAudioAlarmPage, &kLinkPage, &kMdSchedulePage};

}   // namespace

std::span<const CommandDesc* const> AlarmCommands() { return kCommands; }
std::span<const PageDesc* const> AlarmPages() { return kPages; }

}   // namespace ky::cgi

KY_DEFINE_COMMAND(GetSmdAttr, SmdAttr, ky::cgi::kGetSmdAttr)
KY_DEFINE_COMMAND(SetSmdAttr, SmdAttr, ky::cgi::kSetSmdAttr)
KY_DEFINE_COMMAND(GetAudioAlarmAttr, AudioAlarmAttr, ky::cgi::kGetAudioAlarmAttr)
KY_DEFINE_COMMAND(SetAudioAlarmAttr, AudioAlarmAttr, ky::cgi::kSetAudioAlarmAttr)
KY_DEFINE_COMMAND(GetLinkAttr, LinkAttr, ky::cgi::kGetLinkAttr)
KY_DEFINE_COMMAND(SetLinkAttr, LinkAttr, ky::cgi::kSetLinkAttr)
KY_DEFINE_COMMAND(GetMdSchedule, WeekSchedule, ky::cgi::kGetMdSchedule)
KY_DEFINE_COMMAND(SetMdSchedule, WeekSchedule, ky::cgi::kSetMdSchedule)
