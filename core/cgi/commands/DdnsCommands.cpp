// DDNS, UPnP and the internet address.
#include "core/cgi/Catalogue.h"
#include "core/cgi/rules/DdnsRules.h"

namespace ky::cgi {
namespace {

constexpr std::array kDdnsFields{
    KY_FIELD(DdnsAttr, d3th_enable),   KY_FIELD(DdnsAttr, d3th_service), KY_FIELD(DdnsAttr, d3th_uname),
    KY_FIELD(DdnsAttr, d3th_passwd),   KY_FIELD(DdnsAttr, d3th_domain),  KY_FIELD(DdnsAttr, upm_enable),
    KY_FIELD(DdnsAttr, our_enable),    KY_FIELD(DdnsAttr, our_port),     KY_FIELD_RO(DdnsAttr, our_interval),
    KY_FIELD(DdnsAttr, our_server),    KY_FIELD(DdnsAttr, our_uname),    KY_FIELD(DdnsAttr, our_passwd),
    KY_FIELD_RO(DdnsAttr, our_domain),   // never read; the page always sends it empty
};
constexpr RecordInfo kDdnsAttr{"DdnsAttr", sizeof(DdnsAttr), kDdnsFields};
#define F(name) FieldIndex(kDdnsFields, #name)

constexpr KeySpec kDdnsKeys[] = {
    {"var d3th_enable=", F(d3th_enable), Conv::Int},
    {"var d3th_service=", F(d3th_service), Conv::Int},
    {"var d3th_uname=", F(d3th_uname)},
    {"var d3th_passwd=", F(d3th_passwd)},
    {"var d3th_domain=", F(d3th_domain)},
    {"var upm_enable=", F(upm_enable), Conv::Int},
    {"var our_enable=", F(our_enable), Conv::Int},
    {"var our_server=", F(our_server)},
    {"var our_port=", F(our_port), Conv::Int},
    {"var our_uname=", F(our_uname)},
    {"var our_passwd=", F(our_passwd)},
    {"var our_interval=", F(our_interval), Conv::Int},
};
constexpr ArgSpec kDdnsSetArgs[] = {
    {F(upm_enable)}, {F(d3th_enable)}, {F(d3th_service)}, {F(d3th_uname)}, {F(d3th_passwd)}, {F(d3th_domain)},
    {F(our_enable)}, {F(our_port)},    {F(our_uname)},    {F(our_passwd)}, {F(our_server)},  {F(our_domain)},
};
#undef F

constexpr CommandDesc kGetDdnsAttr{
    .name = "GetDdnsAttr",
    .record = &kDdnsAttr,
    .request = "GET /cgi-bin/ky7200/param.cgi?cmd=get3thddnsattr&cmd=getupnpattr&cmd=getourddnsattr",
    .keys = kDdnsKeys,
};
constexpr CommandDesc kSetDdnsAttr{
    .name = "SetDdnsAttr",
    .record = &kDdnsAttr,
    .request =
        "GET /cgi-bin/ky7200/param.cgi?cmd=setupnpattr&-upm_enable=%d"
        "&cmd=set3thddnsattr&-d3th_enable=%d&-d3th_service=%d&-d3th_uname=%s&-d3th_passwd=%s"
        "&-d3th_domain=%s&cmd=setourddnsattr&-our_enable=%d&-our_port=%d&-our_uname=%s&-our_passwd=%s"
        "&-our_server=%s&-our_domain=%s",
    .args = kDdnsSetArgs,
    .exchangeSize = 2048,
};

constexpr std::array kInterIpFields{KY_FIELD_RO(InternetIpAttr, interip)};
constexpr RecordInfo kInternetIpAttr{"InternetIpAttr", sizeof(InternetIpAttr), kInterIpFields};
constexpr KeySpec kInterIpKeys[] = {{"var interip=", FieldIndex(kInterIpFields, "interip")}};

constexpr CommandDesc kGetInternetIp{
    .name = "GetInternetIp",
    .record = &kInternetIpAttr,
    .request = "GET /cgi-bin/ky7200/param.cgi?cmd=getinterip",
    .keys = kInterIpKeys,
};

constexpr const CommandDesc* kCommands[] = {&kGetDdnsAttr, &kSetDdnsAttr, &kGetInternetIp};

constexpr const CommandDesc* kDdnsGets[] = {&kGetDdnsAttr};
constexpr const CommandDesc* kDdnsSets[] = {&kSetDdnsAttr};
constexpr PageDesc kDdnsPage{
    "ddns",
    "maker's DDNS (our_*), outside provider DDNS (d3th_*, service 0-3) and UPnP (upm_enable)",
    &kDdnsAttr,
    kDdnsGets,
    kDdnsSets,
    nullptr,
    [](const void* rec, const PageContext& ctx) { return ValidateDdnsPage(*static_cast<const DdnsAttr*>(rec), ctx); }};

// The internet address is no page: a camera without a way out cannot learn
// it, and every backup would then report a failure.
constexpr const PageDesc* kPages[] = {&kDdnsPage};

}   // namespace

std::span<const CommandDesc* const> DdnsCommands() { return kCommands; }
std::span<const PageDesc* const> DdnsPages() { return kPages; }

}   // namespace ky::cgi

KY_DEFINE_COMMAND(GetDdnsAttr, DdnsAttr, ky::cgi::kGetDdnsAttr)
KY_DEFINE_COMMAND(SetDdnsAttr, DdnsAttr, ky::cgi::kSetDdnsAttr)
KY_DEFINE_COMMAND(GetInternetIp, InternetIpAttr, ky::cgi::kGetInternetIp)
