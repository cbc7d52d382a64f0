#pragma once
// Picture adjustments, IR-cut, infrared and lamp.
#include <cstdint>

// 28 consecutive words; reserved1/reserved2 are neither read nor written.
struct ImageAttr {
    int32_t display_mode;   // 0 black-and-white, else colour
    int32_t brightness;
    int32_t saturation;
    int32_t sharpness;
    int32_t contrast;
    int32_t hue;
    int32_t wdr;
    int32_t wdrvalue;
    int32_t night;
    int32_t shutter;
    int32_t flash_shutter;
    int32_t flip;
    int32_t mirror;
    int32_t gc;
    int32_t ae;        // -1 when not reported, at most 1
    int32_t targety;   // exposure
    int32_t noise;
    int32_t gamma;
    int32_t aemode;
    int32_t imgmode;      // 0 frame rate, 1 illuminance
    int32_t ratioslope;   // 65535 when not reported
    int32_t histoffset;   // 65535 when not reported
    int32_t defag;        // 65535 when not reported
    int32_t reserved1;
    int32_t reserved2;
    int32_t saradc_switch_value;   // IR-cut switching value 1..1024
    int32_t infraredstat;          // 0 close, 1 open, 2 auto
    int32_t lamp_mode;             // 0 normal, 1 full colour, 2 intelligent
};
static_assert(sizeof(ImageAttr) == 28 * 4);
