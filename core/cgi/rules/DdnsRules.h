#pragma once
// Validation of the DDNS/UPnP page.
#include "core/cgi/Catalogue.h"
#include "core/cgi/Records.h"

namespace ky::cgi {

// The page checks no value; the request escapes what the camera would decode
// in a text, so it stores each text as typed.
const char* ValidateDdnsPage(const DdnsAttr& rec, const PageContext& context);

}   // namespace ky::cgi
