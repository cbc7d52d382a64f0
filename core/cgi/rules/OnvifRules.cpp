#include "core/cgi/rules/OnvifRules.h"

namespace ky::cgi {

const char* ValidateGb28181Page(const Gb28181Attr&, const PageContext&) { return nullptr; }

}   // namespace ky::cgi
