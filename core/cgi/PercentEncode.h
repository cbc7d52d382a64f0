#pragma once
#include <string>
#include <string_view>

namespace ky::cgi {

// Escapes free text for a query value: a blank becomes "+", A-Z a-z 0-9 and
// "-.*@_" stay, every other byte becomes "%XX" (upper-case hex).
std::string PercentEncode(std::string_view bytes);

}   // namespace ky::cgi
