#include "core/cgi/rules/ImageRules.h"

#include <cstdio>
#include <string>

namespace ky::cgi {

const char* CheckImageAttr(const ImageAttr& a) {
    if (a.saradc_switch_value < 1 || a.saradc_switch_value > 1024)
        return "IRCut value is not within the allowable range [1-1024]";
    return nullptr;
}

bool ParseSliderRange(std::string_view text, int& min, int& max) {
    const std::string s(text.substr(0, text.size() < 16 ? text.size() : 16));
    int lo = 0, hi = 0;
    if (std::sscanf(s.c_str(), "%d-%d", &lo, &hi) != 2) {
        min = 0;
        max = 255;
        return false;
    }
    min = lo;
    max = hi;
    return true;
}

int32_t ImageType(const ImageAttr& a) {
    if (a.lamp_mode == 0) {
        if (a.infraredstat == 0) return 1;
        if (a.infraredstat == 1) return 0;
        return a.display_mode;
    }
    return a.lamp_mode == 1 ? 1 : a.display_mode;
}

}   // namespace ky::cgi
