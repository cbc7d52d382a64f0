#pragma once
// PTZ motor behaviour and the RS-485 port.
#include <cstdint>

// The camera's own pan/tilt behaviour; the record is 1132 bytes, of which
// only the leading fields travel over CGI.
struct MotorAttr {
    int32_t panscan;            // pan cruise laps
    int32_t tiltscan;           // tilt cruise laps (not reported by the camera)
    int32_t movehome;           // 1 centre at self-check
    int32_t light_enable;       // 1 indicator lit
    int32_t smartrack_enable;   // 255 when the camera does not report it
    int32_t smartrack_flag;     // 1 tracking supported; 255 when not reported
    int32_t smartrack_mode;     // 0 zoom tracking on, 1 off; 255 when not reported
    char ptzalarmmask[32];      // "on" / "off"
    char reserved[1072];
};
static_assert(sizeof(MotorAttr) == 1132);

struct PtzComAttr {
    int32_t protocal;   // 0 PELCO-D, 1 PELCO-P
    int32_t address;
    int32_t speed;   // 0..63
    int32_t baud;
    int32_t databit;   // 7 or 8
    int32_t stopbit;   // 1 or 2
    int32_t check;     // 0 none, 1 odd, 2 even
};
