// ONVIF and GB28181.
#include "core/cgi/Catalogue.h"
#include "core/cgi/rules/OnvifRules.h"

namespace ky::cgi {
namespace {

// ---- ONVIF ------------------------------------------------------------------------
constexpr std::array kOnvifFields{
    KY_FIELD(OnvifAttr, ov_enable),    KY_FIELD(OnvifAttr, ov_port),      KY_FIELD(OnvifAttr, ov_authflag),
    KY_FIELD(OnvifAttr, ov_forbitset), KY_FIELD_RO(OnvifAttr, ov_subchn), KY_FIELD_RO(OnvifAttr, ov_snapchn),
    KY_FIELD(OnvifAttr, ov_nvctype),
};
constexpr RecordInfo kOnvifAttr{"OnvifAttr", sizeof(OnvifAttr), kOnvifFields};
#define F(name) FieldIndex(kOnvifFields, #name)
constexpr KeySpec kOnvifKeys[] = {
    {"var ov_enable=", F(ov_enable), Conv::Int},     {"var ov_port=", F(ov_port), Conv::Int},
    {"var ov_authflag=", F(ov_authflag), Conv::Int}, {"var ov_forbitset=", F(ov_forbitset), Conv::Int},
    {"var ov_subchn=", F(ov_subchn), Conv::Int},     {"var ov_snapchn=", F(ov_snapchn), Conv::IntAlways},
    {"var ov_nvctype=", F(ov_nvctype), Conv::Int},
};
constexpr ArgSpec kOnvifSetArgs[] = {
    {F(ov_enable)}, {F(ov_port)}, {F(ov_authflag)}, {F(ov_forbitset)}, {F(ov_nvctype)},
};
#undef F

constexpr CommandDesc kGetOnvifAttr{
    .name = "GetOnvifAttr",
    .record = &kOnvifAttr,
    .request = "GET /cgi-bin/ky7200/param.cgi?cmd=getonvifattr",
    .keys = kOnvifKeys,
};
constexpr CommandDesc kSetOnvifAttr{
    .name = "SetOnvifAttr",
    .record = &kOnvifAttr,
    .request =
        "GET /cgi-bin/ky7200/param.cgi?cmd=setonvifattr&-ov_enable=%d&-ov_port=%d&-ov_authflag=%d"
        "&-ov_forbitset=%d&-ov_nvctype=%d",
    .args = kOnvifSetArgs,
};

// ---- GB28181 ----------------------------------------------------------------------
constexpr std::array kGbFields{
    KY_FIELD(Gb28181Attr, gb_svrid),      KY_FIELD(Gb28181Attr, gb_svrip),   KY_FIELD(Gb28181Attr, gb_devid),
    KY_FIELD(Gb28181Attr, gb_devpwd),     KY_FIELD(Gb28181Attr, gb_alarmid), KY_FIELD(Gb28181Attr, gb_enable),
    KY_FIELD(Gb28181Attr, gb_svrport),    KY_FIELD(Gb28181Attr, gb_devport), KY_FIELD(Gb28181Attr, gb_heartcycle),
    KY_FIELD(Gb28181Attr, gb_heartcount), KY_FIELD(Gb28181Attr, gb_regtime),
};
constexpr RecordInfo kGb28181Attr{"Gb28181Attr", sizeof(Gb28181Attr), kGbFields};
#define G(name) FieldIndex(kGbFields, #name)
constexpr KeySpec kGbKeys[] = {
    {"var gb_enable=", G(gb_enable), Conv::Int},
    {"var gb_svrid=", G(gb_svrid)},
    {"var gb_svrip=", G(gb_svrip)},
    {"var gb_svrport=", G(gb_svrport), Conv::Int},
    {"var gb_devid=", G(gb_devid)},
    {"var gb_devport=", G(gb_devport), Conv::Int},
    {"var gb_devpwd=", G(gb_devpwd)},
    {"var gb_alarmid=", G(gb_alarmid)},
    {"var gb_heartcycle=", G(gb_heartcycle), Conv::Int},
    {"var gb_heartcount=", G(gb_heartcount), Conv::Int},
    {"var gb_regtime=", G(gb_regtime), Conv::Int},
};
constexpr ArgSpec kGbSetArgs[] = {
    {G(gb_enable)}, {G(gb_svrid)},   {G(gb_svrip)},      {G(gb_svrport)},    {G(gb_devid)},   {G(gb_devport)},
    {G(gb_devpwd)}, {G(gb_alarmid)}, {G(gb_heartcycle)}, {G(gb_heartcount)}, {G(gb_regtime)},
};
#undef G

constexpr CommandDesc kGetGb28181Attr{
    .name = "GetGb28181Attr",
    .record = &kGb28181Attr,
    .request = "GET /cgi-bin/ky7200/param.cgi?cmd=getgb28181attr",
    .keys = kGbKeys,
};
constexpr CommandDesc kSetGb28181Attr{
    .name = "SetGb28181Attr",
    .record = &kGb28181Attr,
    .request =
        "GET /cgi-bin/ky7200/param.cgi?cmd=setgb28181attr&-gb_enable=%d&-gb_svrid=%s&-gb_svrip=%s"
        "&-gb_svrport=%d&-gb_devid=%s&-gb_devport=%d&-gb_devpwd=%s&-gb_alarmid=%s&-gb_heartcycle=%d"
        "&-gb_heartcount=%d&-gb_regtime=%d",
    .args = kGbSetArgs,
};

constexpr const CommandDesc* kCommands[] = {&kGetOnvifAttr, &kSetOnvifAttr, &kGetGb28181Attr, &kSetGb28181Attr};

// ---- pages ------------------------------------------------------------------------
constexpr const CommandDesc* kOnvifGets[] = {&kGetOnvifAttr};
constexpr const CommandDesc* kOnvifSets[] = {&kSetOnvifAttr};
constexpr PageDesc kOnvifPage{"onvif",
                              "ONVIF service, port, authentication, forbitset (bit 0 time zone, bit 1 image), "
                              "nvctype 0 normal/1 Uniview",
                              &kOnvifAttr, kOnvifGets, kOnvifSets};

constexpr const CommandDesc* kGbGets[] = {&kGetGb28181Attr};
constexpr const CommandDesc* kGbSets[] = {&kSetGb28181Attr};
constexpr PageDesc kGbPage{"gb28181",
                           "GB/T 28181 platform registration",
                           &kGb28181Attr,
                           kGbGets,
                           kGbSets,
                           nullptr,
                           [](const void* rec, const PageContext& ctx) {
                               return ValidateGb28181Page(*static_cast<const Gb28181Attr*>(rec), ctx);
                           }};

constexpr const PageDesc* kPages[] = {&kOnvifPage, &kGbPage};

}   // namespace

std::span<const CommandDesc* const> OnvifCommands() { return kCommands; }
std::span<const PageDesc* const> OnvifPages() { return kPages; }

}   // namespace ky::cgi

KY_DEFINE_COMMAND(GetOnvifAttr, OnvifAttr, ky::cgi::kGetOnvifAttr)
KY_DEFINE_COMMAND(SetOnvifAttr, OnvifAttr, ky::cgi::kSetOnvifAttr)
KY_DEFINE_COMMAND(GetGb28181Attr, Gb28181Attr, ky::cgi::kGetGb28181Attr)
KY_DEFINE_COMMAND(SetGb28181Attr, Gb28181Attr, ky::cgi::kSetGb28181Attr)
