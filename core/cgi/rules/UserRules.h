#pragma once
// Camera user page rules.
#include <string_view>

namespace ky::cgi {

// Checks the typed user name, password and its confirmation (UTF-8) in the
// page's order. A character counts as Chinese from U+4E00 to U+9FCF; lengths
// count UTF-16 units as typed, and a text must also fit its 63-byte field,
// since a silently shortened password would lock the user out.
const char* CheckUserInput(std::string_view name, std::string_view password, std::string_view retyped);

}   // namespace ky::cgi
