#include "core/cgi/rules/RegionsRules.h"

namespace ky::cgi {

const char* CheckCoverAttr(const CoverAttr& cover) {
    for (int i = 0; i < CoverAttr::kRegions; ++i) {
        if (cover.show[i] != 0 && cover.show[i] != 1) return "Value must be 0 or 1";
        if (cover.x[i] < 0 || cover.y[i] < 0 || cover.w[i] < 0 || cover.h[i] < 0)
            return "Region coordinates cannot be negative!";
    }
    return nullptr;
}

}   // namespace ky::cgi
