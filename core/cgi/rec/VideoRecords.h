#pragma once
// Video modes and encoding of both streams.
#include <cstdint>

struct VideoAttr {
    int32_t videomode;   // the camera's video-mode number
    int32_t vinorm;      // 50 or 60 (Hz)
    int32_t profile;     // 0 H264 baseline, 1 main, 2 high, 3 H265 main
    int32_t maxchn;      // reported, not used
};

// One stream's encoding. stream selects CGI channel 11 + stream and key
// index stream + 1.
struct VencAttr {
    int32_t reserved;   // always 0
    int32_t stream;     // 0 first stream, 1 second stream
    int32_t bps;        // kbit/s
    int32_t fps;
    int32_t gop;          // key-frame interval in frames
    int32_t brmode;       // 0 CBR, 1 VBR
    int32_t imagegrade;   // 1 (best) .. 6
    int32_t width;        // read only: the resolution follows the video mode
    int32_t height;
};
