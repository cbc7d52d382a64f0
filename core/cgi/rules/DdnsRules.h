#pragma once
// Validation of the DDNS/UPnP page.
#include "core/cgi/Catalogue.h"
#include "core/cgi/Records.h"

namespace ky::cgi {

// The page checks no value of its own; its texts travel unescaped, so each
// must be one the query can carry (see IsRawQueryText).
const char* ValidateDdnsPage(const DdnsAttr& rec, const PageContext& context);

}   // namespace ky::cgi
