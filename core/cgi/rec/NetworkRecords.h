#pragma once
// Wired network settings and service ports.
#include <cstddef>
#include <cstdint>

#include "core/cgi/rec/SystemRecords.h"

// The leading fifteen fields of DeviceNetInfo, read and written on their own.
struct NetAttr {
    char ip[40];
    char netmask[40];
    char gateway[40];
    char macaddress[40];
    char fdnsip[40];
    char sdnsip[40];
    char upnpstatus[40];
    char facddnsstatus[32];
    char th3ddnsstatus[32];
    int32_t dhcpflag;   // 0 fixed address, 1 DHCP
    int32_t dnsstat;    // 0 manual DNS, 1 from the DHCP server
    int32_t httpport;
    int32_t rtspport;
    int32_t rtmpport;
    int32_t rtsp_aenable;   // 1: RTSP asks for a password
};

// A NetAttr must be readable straight out of a DeviceNetInfo.
#define KY_NET_PREFIX(m) \
    static_assert(offsetof(NetAttr, m) == offsetof(DeviceNetInfo, m) && sizeof(NetAttr::m) == sizeof(DeviceNetInfo::m))
KY_NET_PREFIX(ip);
KY_NET_PREFIX(netmask);
KY_NET_PREFIX(gateway);
KY_NET_PREFIX(macaddress);
KY_NET_PREFIX(fdnsip);
KY_NET_PREFIX(sdnsip);
KY_NET_PREFIX(upnpstatus);
KY_NET_PREFIX(facddnsstatus);
KY_NET_PREFIX(th3ddnsstatus);
KY_NET_PREFIX(dhcpflag);
KY_NET_PREFIX(dnsstat);
KY_NET_PREFIX(httpport);
KY_NET_PREFIX(rtspport);
KY_NET_PREFIX(rtmpport);
KY_NET_PREFIX(rtsp_aenable);
#undef KY_NET_PREFIX
static_assert(sizeof(NetAttr) == offsetof(DeviceNetInfo, softVersion));
