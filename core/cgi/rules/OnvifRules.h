#pragma once
// Validation of the GB28181 page (the ONVIF page checks nothing: its port may
// even equal the web port; only the network page refuses that).
#include "core/cgi/Catalogue.h"
#include "core/cgi/Records.h"

namespace ky::cgi {

// The texts travel unescaped, so each must be one the query can carry (see
// IsRawQueryText); numbers are sent as given.
const char* ValidateGb28181Page(const Gb28181Attr& rec, const PageContext& context);

}   // namespace ky::cgi
