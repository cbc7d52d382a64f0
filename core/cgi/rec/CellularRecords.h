#pragma once
// 4G/5G modem state and access-point settings.
#include <cstdint>

struct CellularAttr {
    int32_t g4_runmode;   // APN mode: 0 auto, 1 manual
    int32_t g4_simcard;   // 1: a SIM card is present
    int32_t g4_status;
    int32_t g4_quality;    // signal
    int32_t g4_authtype;   // 0 NONE, 1 PAP, 2 CHAP, 3 PAP or CHAP
    char g4_ver[32];
    char g4_mcc[16];
    char g4_mnc[16];
    char g4_carrier[64];
    char g4_apn[32];
    char g4_username[64];
    char g4_password[64];
    char g4_imei[64];
    char g4_iccid[64];
};
