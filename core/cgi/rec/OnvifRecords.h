#pragma once
// ONVIF and GB28181.
#include <cstdint>

struct OnvifAttr {
    int32_t ov_enable;
    int32_t ov_port;
    int32_t ov_authflag;    // 1: clients must authenticate
    int32_t ov_forbitset;   // bit 0: time zone, bit 1: image settings locked for clients
    int32_t ov_subchn;
    int32_t ov_snapchn;
    int32_t ov_nvctype;   // 0 normal, 1 Uniview
};

struct Gb28181Attr {
    char gb_svrid[64];
    char gb_svrip[64];
    char gb_devid[64];
    char gb_devpwd[64];
    char gb_alarmid[64];
    int32_t gb_enable;
    int32_t gb_svrport;
    int32_t gb_devport;
    int32_t gb_heartcycle;
    int32_t gb_heartcount;
    int32_t gb_regtime;
};
