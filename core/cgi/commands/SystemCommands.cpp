// Device information, SD card and system log.
#include <strings.h>

#include "core/cgi/Catalogue.h"

namespace ky::cgi {
namespace {

constexpr std::array kDeviceNetInfoFields{
    KY_FIELD_RO(DeviceNetInfo, ip),
    KY_FIELD_RO(DeviceNetInfo, netmask),
    KY_FIELD_RO(DeviceNetInfo, gateway),
    KY_FIELD_RO(DeviceNetInfo, macaddress),
    KY_FIELD_RO(DeviceNetInfo, fdnsip),
    KY_FIELD_RO(DeviceNetInfo, sdnsip),
    KY_FIELD_RO(DeviceNetInfo, upnpstatus),
    KY_FIELD_RO(DeviceNetInfo, facddnsstatus),
    KY_FIELD_RO(DeviceNetInfo, th3ddnsstatus),
    KY_FIELD_RO(DeviceNetInfo, dhcpflag),
    KY_FIELD_RO(DeviceNetInfo, softVersion),
    KY_FIELD_RO(DeviceNetInfo, hardVersion),
    KY_FIELD_RO(DeviceNetInfo, webVersion),
    KY_FIELD_RO(DeviceNetInfo, rs485Version),
    KY_FIELD_RO(DeviceNetInfo, name),
    KY_FIELD_RO(DeviceNetInfo, devtype),
    KY_FIELD_RO(DeviceNetInfo, startdate),
    KY_FIELD_RO(DeviceNetInfo, networktype),
    KY_FIELD_RO(DeviceNetInfo, stream_num),
};
constexpr RecordInfo kDeviceNetInfo{"DeviceNetInfo", sizeof(DeviceNetInfo), kDeviceNetInfoFields};
#define F(name) FieldIndex(kDeviceNetInfoFields, #name)

constexpr KeySpec kDeviceInfoKeys[] = {
    {"var name=", F(name)},
    {"var devtype=", F(devtype)},
    {"var networktype=", F(networktype)},
    {"var stream_num=", F(stream_num), Conv::Int},
    {"var hardVersion=", F(hardVersion)},
    {"var softVersion=", F(softVersion)},
    {"var webVersion=", F(webVersion)},
    {"var rs485Version=", F(rs485Version)},
    {"var macaddress=", F(macaddress)},
    {"var ip=", F(ip)},
    {"var netmask=", F(netmask)},
    {"var gateway=", F(gateway)},
    {"var upnpstatus=", F(upnpstatus)},
    {"var fdnsip=", F(fdnsip)},
    {"var sdnsip=", F(sdnsip)},
    {"var facddnsstatus=", F(facddnsstatus)},
    {"var th3ddnsstatus=", F(th3ddnsstatus)},
    {"var startdate=", F(startdate)},
    {"var dhcpflag=", F(dhcpflag), Conv::OnOffAlways},
};
#undef F

constexpr CommandDesc kGetDeviceInfo{
    .name = "GetDeviceInfo",
    .record = &kDeviceNetInfo,
    .request = "GET /cgi-bin/ky7200/param.cgi?cmd=getserverinfo&cmd=getnetattr&cmd=getstreamnum&cmd=getdevtype",
    .keys = kDeviceInfoKeys,
};

constexpr std::array kSdFields{
    KY_FIELD_RO(SdCardState, status),
    KY_FIELD_RO(SdCardState, freespace),
    KY_FIELD_RO(SdCardState, totalspace),
};
constexpr RecordInfo kSdCardState{"SdCardState", sizeof(SdCardState), kSdFields};

int SdPrepare(const CommandDesc&, void* rec) {
    static_cast<SdCardState*>(rec)->status = -1;
    return 0;
}

// "out", "Ready" and "Readonly" compared without regard to case; the sizes are
// read only for a card that is present.
void SdParse(const CommandDesc&, const char* reply, uint32_t capacity, void* rec) {
    auto* sd = static_cast<SdCardState*>(rec);
    CCgiClient client;
    const std::string status = client.GetValue(reply, capacity, "var sdstatus=");
    if (strcasecmp(status.c_str(), "out") == 0) {
        sd->status = -1;
        return;
    }
    if (strcasecmp(status.c_str(), "Ready") == 0)
        sd->status = 0;
    else if (strcasecmp(status.c_str(), "Readonly") == 0)
        sd->status = 1;
    else
        return;
    sd->freespace = std::atoi(client.GetValue(reply, capacity, "var sdfreespace=").c_str());
    sd->totalspace = std::atoi(client.GetValue(reply, capacity, "var sdtotalspace=").c_str());
}

constexpr CommandDesc kGetSdStatus{
    .name = "GetSdStatus",
    .record = &kSdCardState,
    .request = "GET /cgi-bin/ky7200/param.cgi?cmd=getserverinfo",
    .exchangeSize = 1024,
    .prepare = SdPrepare,
    .parse = SdParse,
};

constexpr CommandDesc kFormatSd{
    .name = "FormatSd",
    .record = nullptr,
    .request = "GET /cgi-bin/ky7200/param.cgi?cmd=sdfrmt",
    .exchange = Exchange::RequestLong,
    .mustContain = "Succeed",
    .fixedTimeoutMs = 600000,
    .needsRecord = false,
};

constexpr CommandDesc kStopSd{
    .name = "StopSd",
    .record = nullptr,
    .request = "GET /cgi-bin/ky7200/param.cgi?cmd=sdstop",
    .exchange = Exchange::RequestLong,
    .mustContain = "Succeed",
    .fixedTimeoutMs = 600000,
    .needsRecord = false,
};

constexpr CommandDesc kCleanLog{
    .name = "CleanLog",
    .record = nullptr,
    .request = "GET /cgi-bin/ky7200/param.cgi?cmd=cleanlog&-name=sys",
    .needsRecord = false,
};

constexpr const CommandDesc* kCommands[] = {&kGetDeviceInfo, &kGetSdStatus, &kFormatSd, &kStopSd, &kCleanLog};

constexpr const CommandDesc* kServerInfoGets[] = {&kGetDeviceInfo};
constexpr PageDesc kServerInfoPage{
    "serverinfo", "device identity, versions and network state (read-only)", &kDeviceNetInfo, kServerInfoGets, {}};
constexpr const CommandDesc* kSdGets[] = {&kGetSdStatus};
constexpr PageDesc kSdPage{
    "sd", "SD card state: status -1 none, 0 ready, 1 read-only (read-only)", &kSdCardState, kSdGets, {}};
constexpr const PageDesc* kPages[] = {&kServerInfoPage, &kSdPage};

}   // namespace

std::span<const CommandDesc* const> SystemCommands() { return kCommands; }
std::span<const PageDesc* const> SystemPages() { return kPages; }

}   // namespace ky::cgi

KY_DEFINE_COMMAND(GetDeviceInfo, DeviceNetInfo, ky::cgi::kGetDeviceInfo)
KY_DEFINE_COMMAND(GetSdStatus, SdCardState, ky::cgi::kGetSdStatus)
KY_DEFINE_COMMAND(FormatSd, NoRecord, ky::cgi::kFormatSd)
KY_DEFINE_COMMAND(StopSd, NoRecord, ky::cgi::kStopSd)
KY_DEFINE_COMMAND(CleanLog, NoRecord, ky::cgi::kCleanLog)
