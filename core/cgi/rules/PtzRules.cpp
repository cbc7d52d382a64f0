#include "core/cgi/rules/PtzRules.h"

#include <cstring>

namespace ky::cgi {

const char* CheckMotorAttr(const MotorAttr& m) {
    const size_t n = strnlen(m.ptzalarmmask, sizeof m.ptzalarmmask);
    for (size_t i = 0; i < n; ++i) {
        const char c = m.ptzalarmmask[i];
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                           std::strchr("-._*@", c) != nullptr;
        if (!plain) return "Invalid alarm PTZ mask!";
    }
    return nullptr;
}

void TrackingForWrite(MotorAttr& m) {
    if (m.smartrack_flag == 1) return;
    m.smartrack_enable = 0;
    m.smartrack_mode = 0;
}

}   // namespace ky::cgi
