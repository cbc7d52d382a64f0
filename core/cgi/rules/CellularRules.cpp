#include "core/cgi/rules/CellularRules.h"

#include <cstring>

#include "core/services/FieldText.h"

namespace ky::cgi {

const char* CheckCellularSupport(int capability4g, int capability5g) {
    return capability4g == 0 && capability5g == 0 ? "The device does not support 4g/5g settings!" : nullptr;
}

const char* CheckCellularInput(int32_t authType, int32_t runMode, std::string_view apn, std::string_view user,
                               std::string_view password) {
    if (authType < 0 || authType > 3) return "Please select the authentication method!";
    if (runMode == 1 && apn.empty()) return "APN is Invalidate!";
    if (apn.size() > 31) return "APN is too long!";
    if (user.size() > 63) return "The User length is limited to 63 chars!";
    if (password.size() > 63) return "The Password length is limited to 63 chars!";
    return nullptr;
}

const char* ValidateCellularPage(const CellularAttr& rec, const PageContext&) {
    return CheckCellularInput(rec.g4_authtype, rec.g4_runmode, FieldText(rec.g4_apn), FieldText(rec.g4_username),
                              FieldText(rec.g4_password));
}

}   // namespace ky::cgi
