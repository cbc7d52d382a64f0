#pragma once
// Validation of the GB28181 page (the ONVIF page checks nothing: its port may
// even equal the web port; only the network page refuses that).
#include "core/cgi/Catalogue.h"
#include "core/cgi/Records.h"

namespace ky::cgi {

// Nothing is refused: numbers are sent as given, and the request escapes what
// the camera would decode in a text, so it stores each text as typed.
const char* ValidateGb28181Page(const Gb28181Attr& rec, const PageContext& context);

}   // namespace ky::cgi
