#pragma once
// Audio encoding, volumes and OSD.
#include <cstdint>

// Both streams' audio encoding plus the input and output volumes. A stream
// index s selects CGI channel 11 + s and key index s + 1 (0..2 only).
struct AudioAttr {
    int32_t stream_a;      // stream index of the first slot (0)
    int32_t aeswitch_a;    // 1 audio on
    char aeformat_a[16];   // "g711a" or "g726"
    int32_t stream_b;      // stream index of the second slot (1)
    int32_t aeswitch_b;
    char aeformat_b[16];
    int32_t volume;       // input volume 1..100
    int32_t aec;          // echo cancellation (read only)
    int32_t denoise;      // noise reduction (read only)
    int32_t volin_type;   // 0 line in, 1 microphone
    int32_t ao_volume;    // output volume 1..100
};

// One OSD text: region 0 is the time stamp, region 1 the camera name.
struct OsdRegion {
    int32_t region;
    int32_t x;
    int32_t y;
    int32_t width;
    int32_t height;
    int32_t show;    // 1 shown
    int32_t place;   // 0 top left, 1 top right, 2 bottom left, 3 bottom right
    char name[64];   // region 1 only
};
