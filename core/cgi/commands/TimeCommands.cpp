// Camera time, time zone and NTP.
#include <strings.h>

#include <cstring>

#include "core/cgi/Catalogue.h"
#include "core/cgi/rules/TimeRules.h"

namespace ky::cgi {
namespace {

// ---- NTP ---------------------------------------------------------------------------
constexpr std::array kNtpFields{
    KY_FIELD(NtpAttr, ntpenable),
    KY_FIELD(NtpAttr, ntpinterval),
    KY_FIELD(NtpAttr, ntpserver),
};
constexpr RecordInfo kNtpAttr{"NtpAttr", sizeof(NtpAttr), kNtpFields};
#define F(name) FieldIndex(kNtpFields, #name)
constexpr KeySpec kNtpKeys[] = {
    {"var ntpenable=", F(ntpenable), Conv::Int},
    {"var ntpinterval=", F(ntpinterval), Conv::Int},
    {"var ntpserver=", F(ntpserver)},
};
constexpr ArgSpec kNtpArgs[] = {{F(ntpenable)}, {F(ntpserver)}, {F(ntpinterval)}};
#undef F

// The server goes into the query as it is, so a text that would change the
// request is refused before anything is sent.
int PlainServer(const CommandDesc&, void* rec) {
    const auto* n = static_cast<const NtpAttr*>(rec);
    return IsPlainQueryText(std::string_view(n->ntpserver, strnlen(n->ntpserver, sizeof n->ntpserver))) ? 0 : -1;
}

constexpr CommandDesc kGetNtpAttr{
    .name = "GetNtpAttr",
    .record = &kNtpAttr,
    .request = "GET /cgi-bin/ky7200/param.cgi?cmd=getntpattr",
    .keys = kNtpKeys,
};
constexpr CommandDesc kSetNtpAttr{
    .name = "SetNtpAttr",
    .record = &kNtpAttr,
    .request = "GET /cgi-bin/ky7200/param.cgi?cmd=setntpattr&-ntpenable=%d&-ntpserver=%s&-ntpinterval=%d",
    .args = kNtpArgs,
    .exchangeSize = 2048,
    .prepare = PlainServer,
};

// ---- clock and zone ----------------------------------------------------------------
// The clock is only written by the PC synchronisation, never by the page's
// apply, so the page shows it read-only.
constexpr std::array kTimeFields{
    KY_FIELD_RO(ServerTime, time),
    KY_FIELD(ServerTime, timeZone),
    KY_FIELD(ServerTime, dstmode),
};
constexpr RecordInfo kServerTime{"ServerTime", sizeof(ServerTime), kTimeFields};
#define F(name) FieldIndex(kTimeFields, #name)
constexpr KeySpec kTimeKeys[] = {
    {"var time=", F(time)},
    {"var timeZone=", F(timeZone)},
};
constexpr ArgSpec kZoneArgs[] = {{F(timeZone), Enc::Percent}, {F(dstmode), Enc::OnIfOne}};
constexpr ArgSpec kClockArgs[] = {{F(time)}, {F(timeZone)}, {F(dstmode), Enc::OnOff}};
#undef F

// "on" in any letter case is daylight saving on.
void ParseDstMode(const CommandDesc&, const char* reply, uint32_t capacity, void* rec) {
    const std::string v = CCgiClient().GetValue(reply, capacity, "var dstmode=");
    if (!v.empty()) static_cast<ServerTime*>(rec)->dstmode = strcasecmp(v.c_str(), "on") == 0 ? 1 : 0;
}

// The clock write sends its time and zone unencoded: both must be plain.
int CheckClock(const CommandDesc&, void* rec) {
    const auto* t = static_cast<const ServerTime*>(rec);
    const std::string_view time(t->time, strnlen(t->time, sizeof t->time));
    const std::string_view zone(t->timeZone, strnlen(t->timeZone, sizeof t->timeZone));
    return IsValidTimeText(time) && IsPlainQueryText(zone) ? 0 : -1;
}

constexpr CommandDesc kGetServerTime{
    .name = "GetServerTime",
    .record = &kServerTime,
    .request = "GET /cgi-bin/ky7200/param.cgi?cmd=getservertime",
    .keys = kTimeKeys,
    .parse = ParseDstMode,
};
constexpr CommandDesc kSetServerTimeZone{
    .name = "SetServerTimeZone",
    .record = &kServerTime,
    .request = "GET /cgi-bin/ky7200/param.cgi?cmd=setservertime&-timezone=%s&-dstmode=%s",
    .args = kZoneArgs,
    .exchangeSize = 2048,
};
constexpr CommandDesc kSetServerTime{
    .name = "SetServerTime",
    .record = &kServerTime,
    .request = "GET /cgi-bin/ky7200/param.cgi?cmd=setservertime&-time=%s&-timezone=%s&-dstmode=%s",
    .args = kClockArgs,
    .exchangeSize = 2048,
    .prepare = CheckClock,
};

constexpr const CommandDesc* kCommands[] = {&kGetNtpAttr, &kSetNtpAttr, &kGetServerTime, &kSetServerTimeZone,
                                            &kSetServerTime};

// ---- pages -------------------------------------------------------------------------
constexpr const CommandDesc* kNtpGets[] = {&kGetNtpAttr};
constexpr const CommandDesc* kNtpSets[] = {&kSetNtpAttr};
constexpr PageDesc kNtpPage{"ntp",          "NTP client: ntpenable, ntpserver, ntpinterval (1-24 hours)",
                            &kNtpAttr,      kNtpGets,
                            kNtpSets,       nullptr,
                            ValidateNtpPage};
constexpr const CommandDesc* kTimeGets[] = {&kGetServerTime};
constexpr const CommandDesc* kTimeSets[] = {&kSetServerTimeZone};
constexpr PageDesc kTimePage{"time",          "camera clock (read-only), time zone name and dstmode (0/1)",
                             &kServerTime,    kTimeGets,
                             kTimeSets,       nullptr,
                             ValidateTimePage};

constexpr const PageDesc* kPages[] = {&kTimePage, &kNtpPage};

}   // namespace

std::span<const CommandDesc* const> TimeCommands() { return kCommands; }
std::span<const PageDesc* const> TimePages() { return kPages; }

}   // namespace ky::cgi

KY_DEFINE_COMMAND(GetNtpAttr, NtpAttr, ky::cgi::kGetNtpAttr)
KY_DEFINE_COMMAND(SetNtpAttr, NtpAttr, ky::cgi::kSetNtpAttr)
KY_DEFINE_COMMAND(GetServerTime, ServerTime, ky::cgi::kGetServerTime)
KY_DEFINE_COMMAND(SetServerTimeZone, ServerTime, ky::cgi::kSetServerTimeZone)
KY_DEFINE_COMMAND(SetServerTime, ServerTime, ky::cgi::kSetServerTime)
