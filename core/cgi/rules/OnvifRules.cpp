#include "core/cgi/rules/OnvifRules.h"

#include <cstring>

#include "core/cgi/rules/NetworkRules.h"

namespace ky::cgi {

const char* ValidateGb28181Page(const Gb28181Attr& rec, const PageContext&) {
    for (const char* text : {rec.gb_svrid, rec.gb_svrip, rec.gb_devid, rec.gb_devpwd, rec.gb_alarmid})
        if (!IsRawQueryText(std::string_view(text, strnlen(text, 64)))) return kRawTextMessage;
    return nullptr;
}

}   // namespace ky::cgi
