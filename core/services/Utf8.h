#pragma once
// UTF-8 is the narrow code page of the tool. Field widths are byte widths;
// cutting a text to a field never splits a UTF-8 sequence.
#include <cstddef>
#include <string>
#include <string_view>

namespace ky {

// Longest prefix of s that is at most maxBytes long and ends on a UTF-8
// sequence boundary (bytes that are not valid UTF-8 count as single units).
size_t Utf8FitLength(std::string_view s, size_t maxBytes);

// s cut with Utf8FitLength.
std::string Utf8Truncate(std::string_view s, size_t maxBytes);

// Appends one code point as UTF-8; 0, surrogates and values past U+10FFFF
// become U+FFFD.
void AppendUtf8(std::string& out, unsigned long codePoint);

// s with every ill-formed part replaced by U+FFFD, one for each maximal
// ill-formed subpart (the Unicode recommendation, as browsers decode): a
// camera's text in another code page becomes displayable, valid UTF-8 stays
// as it is. Every output of camera text repairs it this one way.
std::string Utf8Repair(std::string_view s);

// Camera text for a terminal: Utf8Repair, then every control character (C0,
// DEL, C1) becomes '?', so no escape sequence reaches the terminal; with
// keepLines, tab, CR and LF stay.
std::string Utf8Printable(std::string_view s, bool keepLines = false);

// UTF-16LE bytes (no BOM) to UTF-8; unpaired surrogates become U+FFFD.
std::string Utf16LeToUtf8(std::string_view bytes);

}   // namespace ky
