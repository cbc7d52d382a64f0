#include "core/cgi/rules/DdnsRules.h"

#include <cstring>

#include "core/cgi/rules/NetworkRules.h"

namespace ky::cgi {

const char* ValidateDdnsPage(const DdnsAttr& rec, const PageContext&) {
    for (const char* text : {rec.d3th_uname, rec.d3th_passwd, rec.d3th_domain, rec.our_server, rec.our_uname,
                             rec.our_passwd, rec.our_domain})
        if (!IsRawQueryText(std::string_view(text, strnlen(text, 64)))) return kRawTextMessage;
    return nullptr;
}

}   // namespace ky::cgi
