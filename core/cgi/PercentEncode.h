#pragma once
// Percent-encoding for the requests the CGI client and the web-page fetcher
// put on the wire; one routine, one named entry per kind of text.
#include <string>
#include <string_view>

namespace ky::cgi {

// Free text as a camera query value: a blank becomes "+", A-Z a-z 0-9 and
// "-.*@_" stay, every other byte becomes "%XX" (upper-case hex).
std::string EncodeQueryValue(std::string_view bytes);

// A URL path (and its query) made sendable: blanks, control bytes, bytes
// beyond ASCII and \ " < > become "%XX"; everything else stays, so escapes
// already in the path are kept as they are.
std::string EncodeUrlPath(std::string_view bytes);

}   // namespace ky::cgi
