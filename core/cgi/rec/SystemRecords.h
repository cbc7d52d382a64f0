#pragma once
#include <cstdint>

// The first fifteen fields (ip .. rtsp_aenable) are NetAttr on their own.
struct DeviceNetInfo {
    char ip[40];
    char netmask[40];
    char gateway[40];
    char macaddress[40];
    char fdnsip[40];
    char sdnsip[40];
    char upnpstatus[40];
    char facddnsstatus[32];
    char th3ddnsstatus[32];
    int32_t dhcpflag;
    int32_t dnsstat;
    int32_t httpport;
    int32_t rtspport;
    int32_t rtmpport;
    int32_t rtsp_aenable;
    char softVersion[65];
    char hardVersion[65];
    char webVersion[65];
    char rs485Version[65];
    char name[41];
    char devtype[41];
    char startdate[41];
    char networktype[32];
    int32_t stream_num;
};

struct SdCardState {
    int32_t status;   // -1 no card or unknown, 0 ready, 1 read-only
    int32_t freespace;
    int32_t totalspace;
};
