#pragma once
// Video cover (privacy mask) regions.
#include <cstdint>

// One cover region in the picture's own coordinates.
struct CoverRegion {
    int32_t show;   // 1 shown, 0 not
    int32_t color;
    int32_t x;
    int32_t y;
    int32_t w;
    int32_t h;
};

// The four regions of the cover read and write, one column per region
// property: element i is region i + 1 (keys "var show_1=" ... "var h_4=").
struct CoverAttr {
    static constexpr int kRegions = 4;
    int32_t show[kRegions];
    int32_t color[kRegions];   // reported only; every write sends colour 000000
    int32_t x[kRegions];
    int32_t y[kRegions];
    int32_t w[kRegions];
    int32_t h[kRegions];

    CoverRegion Region(int i) const { return {show[i], color[i], x[i], y[i], w[i], h[i]}; }
    void SetRegion(int i, const CoverRegion& r) {
        show[i] = r.show;
        color[i] = r.color;
        x[i] = r.x;
        y[i] = r.y;
        w[i] = r.w;
        h[i] = r.h;
    }
};
