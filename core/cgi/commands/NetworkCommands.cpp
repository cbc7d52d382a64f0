// Wired network settings and service ports.
#include "core/cgi/Catalogue.h"
#include "core/cgi/rules/NetworkRules.h"

namespace ky::cgi {
namespace {

constexpr std::array kNetFields{
    KY_FIELD(NetAttr, ip),
    KY_FIELD(NetAttr, netmask),
    KY_FIELD(NetAttr, gateway),
    KY_FIELD_RO(NetAttr, macaddress),
    KY_FIELD(NetAttr, fdnsip),
    KY_FIELD(NetAttr, sdnsip),
    KY_FIELD_RO(NetAttr, upnpstatus),
    KY_FIELD_RO(NetAttr, facddnsstatus),
    KY_FIELD_RO(NetAttr, th3ddnsstatus),
    KY_FIELD(NetAttr, dhcpflag),
    KY_FIELD(NetAttr, dnsstat),
    KY_FIELD(NetAttr, httpport),
    KY_FIELD(NetAttr, rtspport),
    KY_FIELD(NetAttr, rtmpport),
    KY_FIELD(NetAttr, rtsp_aenable),
};
constexpr RecordInfo kNetAttr{"NetAttr", sizeof(NetAttr), kNetFields};
#define F(name) FieldIndex(kNetFields, #name)

constexpr KeySpec kNetKeys[] = {
    {"var macaddress=", F(macaddress)},
    {"var ip=", F(ip)},
    {"var netmask=", F(netmask)},
    {"var gateway=", F(gateway)},
    {"var dnsstat=", F(dnsstat), Conv::Int},
    {"var dhcpflag=", F(dhcpflag), Conv::OnOffAlways},
    {"var fdnsip=", F(fdnsip)},
    {"var sdnsip=", F(sdnsip)},
    {"var httpport=", F(httpport), Conv::Int},
    {"var rtspport=", F(rtspport), Conv::Int},
    {"var rtmpport=", F(rtmpport), Conv::Int},
    {"var rtsp_aenable=", F(rtsp_aenable), Conv::Int},
};

constexpr ArgSpec kNetSetArgs[] = {
    {F(dhcpflag), Enc::OnOff},
    {F(ip)},
    {F(netmask)},
    {F(gateway)},
    {F(dnsstat)},
    {F(fdnsip)},
    {F(sdnsip)},
    {F(httpport)},
    {F(rtspport)},
    {F(rtsp_aenable)},
    {F(rtmpport)},
};
#undef F

constexpr CommandDesc kGetNetAttr{
    .name = "GetNetAttr",
    .record = &kNetAttr,
    .request =
        "GET /cgi-bin/ky7200/param.cgi?cmd=getnetattr&cmd=gethttpport&cmd=getrtspport&cmd=getrtspauth"
        "&cmd=getrtmpattr",
    .keys = kNetKeys,
};

// The camera may move to its new address before it answers, so the write is
// sent without waiting for a reply; it is the only request whose Host line
// carries the camera's own address.
constexpr CommandDesc kSetNetAttr{
    .name = "SetNetAttr",
    .record = &kNetAttr,
    .request =
        "GET /cgi-bin/ky7200/param.cgi?cmd=setnetattr&-dhcp=%s&-ipaddr=%s&-netmask=%s&-gateway=%s"
        "&-dnsstat=%d&-fdnsip=%s&-sdnsip=%s&cmd=sethttpport&-httpport=%d&cmd=setrtspport&-rtspport=%d"
        "&cmd=setrtspauth&-rtsp_aenable=%d&cmd=setrtmpattr&-rtmpport=%d",
    .args = kNetSetArgs,
    .exchange = Exchange::SendOnly,
    .hostIsCamera = true,
};

constexpr const CommandDesc* kCommands[] = {&kGetNetAttr, &kSetNetAttr};

constexpr const CommandDesc* kNetGets[] = {&kGetNetAttr};
constexpr const CommandDesc* kNetSets[] = {&kSetNetAttr};
constexpr PageDesc kNetPage{
    "net",
    "addresses, DNS, HTTP/RTSP/RTMP ports, RTSP password check (dhcpflag/dnsstat 0 manual, 1 DHCP)",
    &kNetAttr,
    kNetGets,
    kNetSets,
    nullptr,
    [](const void* rec, const PageContext& ctx) { return ValidateNetPage(*static_cast<const NetAttr*>(rec), ctx); }};

constexpr const PageDesc* kPages[] = {&kNetPage};

}   // namespace

std::span<const CommandDesc* const> NetworkCommands() { return kCommands; }
std::span<const PageDesc* const> NetworkPages() { return kPages; }

}   // namespace ky::cgi

KY_DEFINE_COMMAND(GetNetAttr, NetAttr, ky::cgi::kGetNetAttr)
KY_DEFINE_COMMAND(SetNetAttr, NetAttr, ky::cgi::kSetNetAttr)
