// PTZ motor behaviour and the RS-485 port.
#include <cstdlib>
#include <cstring>

#include "core/cgi/Catalogue.h"
#include "core/cgi/rules/PtzRules.h"

namespace ky::cgi {
namespace {

// ---- motor --------------------------------------------------------------------------
constexpr std::array kMotorFields{
    KY_FIELD(MotorAttr, panscan),        KY_FIELD_RO(MotorAttr, tiltscan),      KY_FIELD(MotorAttr, movehome),
    KY_FIELD(MotorAttr, light_enable),   KY_FIELD(MotorAttr, smartrack_enable), KY_FIELD_RO(MotorAttr, smartrack_flag),
    KY_FIELD(MotorAttr, smartrack_mode), KY_FIELD(MotorAttr, ptzalarmmask),
};
constexpr RecordInfo kMotorAttr{"MotorAttr", sizeof(MotorAttr), kMotorFields};
#define F(name) FieldIndex(kMotorFields, #name)
constexpr KeySpec kMotorKeys[] = {
    {"var panscan=", F(panscan), Conv::Int},
    {"var movehome=", F(movehome), Conv::OnOff},
    {"var ptzalarmmask=", F(ptzalarmmask), Conv::Text},
};
constexpr ArgSpec kMotorArgs[] = {
    {F(tiltscan)},         {F(panscan)},        {F(movehome), Enc::OnOff},     {F(ptzalarmmask)},
    {F(smartrack_enable)}, {F(smartrack_mode)}, {F(light_enable), Enc::OnOff},
};
#undef F

// The tracking keys are 255 when the camera does not report them (no
// tracking). The light is written as on/off, so those words are read back as
// 1/0; a number is taken as it is. The camera reports one lap count, which
// the page writes to both axes.
void MotorParse(const CommandDesc&, const char* reply, uint32_t capacity, void* rec) {
    auto* m = static_cast<MotorAttr*>(rec);
    CCgiClient client;
    const auto orMissing = [&](const char* key) {
        const std::string v = client.GetValue(reply, capacity, key);
        return v.empty() ? 255 : std::atoi(v.c_str());
    };
    m->smartrack_enable = orMissing("var smartrack_enable=");
    m->smartrack_flag = orMissing("var smartrack_flag=");
    m->smartrack_mode = orMissing("var smartrack_mode=");
    const std::string light = client.GetValue(reply, capacity, "var light_enable=");
    if (light == "on")
        m->light_enable = 1;
    else if (light == "off")
        m->light_enable = 0;
    else if (!light.empty())
        m->light_enable = std::atoi(light.c_str());
    m->tiltscan = m->panscan;
}

constexpr CommandDesc kGetMotorAttr{
    .name = "GetMotorAttr",
    .record = &kMotorAttr,
    .request = "GET /cgi-bin/ky7200/param.cgi?cmd=getmotorattr&cmd=getsmartrackattr&cmd=getlightattr",
    .keys = kMotorKeys,
    .parse = MotorParse,
};
// The page writes its one lap count to both axes; without tracking the
// camera gets 0 for its switch and mode, not the 255 of "not reported".
int MotorPrepare(const CommandDesc&, void* rec) {
    auto* m = static_cast<MotorAttr*>(rec);
    m->tiltscan = m->panscan;
    TrackingForWrite(*m);
    return 0;
}

constexpr CommandDesc kSetMotorAttr{
    .name = "SetMotorAttr",
    .record = &kMotorAttr,
    .request =
        "GET /cgi-bin/ky7200/param.cgi?cmd=setmotorattr&-tiltscan=%d&-tiltspeed=0&-panscan=%d"
        "&-panspeed=0&-movehome=%s&-ptzalarmmask=%s&cmd=setsmartrackattr&-smartrack_enable=%d"
        "&-smartrack_mode=%d&cmd=setlightattr&-light_enable=%s",
    .args = kMotorArgs,
    .prepare = MotorPrepare,
};

// ---- RS-485 -------------------------------------------------------------------------
constexpr std::array kPtzComFields{
    KY_FIELD(PtzComAttr, protocal), KY_FIELD(PtzComAttr, address), KY_FIELD(PtzComAttr, speed),
    KY_FIELD(PtzComAttr, baud),     KY_FIELD(PtzComAttr, databit), KY_FIELD(PtzComAttr, stopbit),
    KY_FIELD(PtzComAttr, check),
};
constexpr RecordInfo kPtzComAttr{"PtzComAttr", sizeof(PtzComAttr), kPtzComFields};
#define F(name) FieldIndex(kPtzComFields, #name)
constexpr KeySpec kPtzComKeys[] = {
    {"var protocal=", F(protocal), Conv::Int}, {"var address=", F(address), Conv::Int},
    {"var speed=", F(speed), Conv::Int},       {"var baud=", F(baud), Conv::Int},
    {"var databit=", F(databit), Conv::Int},   {"var stopbit=", F(stopbit), Conv::Int},
    {"var check=", F(check), Conv::Int},
};
constexpr ArgSpec kPtzComArgs[] = {{F(protocal)}, {F(address)}, {F(speed)}, {F(baud)},
                                   {F(databit)},  {F(stopbit)}, {F(check)}};
#undef F

constexpr CommandDesc kGetPtzComAttr{
    .name = "GetPtzComAttr",
    .record = &kPtzComAttr,
    .request = "GET /cgi-bin/ky7200/param.cgi?cmd=getptzcomattr",
    .keys = kPtzComKeys,
};
constexpr CommandDesc kSetPtzComAttr{
    .name = "SetPtzComAttr",
    .record = &kPtzComAttr,
    .request =
        "GET /cgi-bin/ky7200/param.cgi?cmd=setptzcomattr&-protocal=%d&-address=%d&-speed=%d"
        "&-baud=%d&-databit=%d&-stopbit=%d&-check=%d",
    .args = kPtzComArgs,
};

constexpr const CommandDesc* kCommands[] = {&kGetMotorAttr, &kSetMotorAttr, &kGetPtzComAttr, &kSetPtzComAttr};

// ---- pages -------------------------------------------------------------------------
const char* MotorValidate(const void* rec, const PageContext&) {
    return CheckMotorAttr(*static_cast<const MotorAttr*>(rec));
}

constexpr const CommandDesc* kMotorGets[] = {&kGetMotorAttr};
constexpr const CommandDesc* kMotorSets[] = {&kSetMotorAttr};
constexpr PageDesc kPtzPage{"ptz",
                            "cruise laps (panscan, tiltscan), centring, indicator light, tracking, alarm PTZ "
                            "mask (on/off)",
                            &kMotorAttr,
                            kMotorGets,
                            kMotorSets,
                            nullptr,
                            MotorValidate};
constexpr const CommandDesc* kPtzComGets[] = {&kGetPtzComAttr};
constexpr const CommandDesc* kPtzComSets[] = {&kSetPtzComAttr};
constexpr PageDesc kPtz485Page{"ptz485",
                               "RS-485 PTZ port: protocal (0 PELCO-D, 1 PELCO-P), address, speed, baud, databit, "
                               "stopbit, check (0 none, 1 odd, 2 even)",
                               &kPtzComAttr, kPtzComGets, kPtzComSets};

constexpr const PageDesc* kPages[] = {&kPtzPage, &kPtz485Page};

}   // namespace

std::span<const CommandDesc* const> PtzCommands() { return kCommands; }
std::span<const PageDesc* const> PtzPages() { return kPages; }

}   // namespace ky::cgi

KY_DEFINE_COMMAND(GetMotorAttr, MotorAttr, ky::cgi::kGetMotorAttr)
KY_DEFINE_COMMAND(SetMotorAttr, MotorAttr, ky::cgi::kSetMotorAttr)
KY_DEFINE_COMMAND(GetPtzComAttr, PtzComAttr, ky::cgi::kGetPtzComAttr)
KY_DEFINE_COMMAND(SetPtzComAttr, PtzComAttr, ky::cgi::kSetPtzComAttr)
