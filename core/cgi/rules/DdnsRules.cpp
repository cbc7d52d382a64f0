#include "core/cgi/rules/DdnsRules.h"

namespace ky::cgi {

const char* ValidateDdnsPage(const DdnsAttr&, const PageContext&) { return nullptr; }

}   // namespace ky::cgi
