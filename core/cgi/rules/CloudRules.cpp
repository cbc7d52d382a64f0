#include "core/cgi/rules/CloudRules.h"

namespace ky::cgi {

const char* CheckP2pSwitch(const P2pAttr& rec) {
    return rec.enable == 1 && rec.uid[0] == '\0' ? "Enable P2P, UUID cannot be empty!" : nullptr;
}

}   // namespace ky::cgi
