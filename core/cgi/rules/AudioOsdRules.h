#pragma once
// Validation of the audio and OSD pages. Each check returns the first failing
// rule's message (the English text key) or nullptr.
#include <string>
#include <string_view>

#include "core/cgi/Records.h"

namespace ky::cgi {

constexpr size_t kOsdNameMaxBytes = 31;

// Input volume 1..100, an input type chosen (0 or 1), output volume 1..100,
// and a format for both streams that the write can send.
const char* CheckAudioAttr(const AudioAttr& a);
// A camera name of at most 31 bytes (UTF-8).
const char* CheckOsdName(std::string_view utf8);
// The name rule for region 1; region 0 carries no name.
const char* CheckOsdRegion(const OsdRegion& r);

// The camera escapes a backquote, a double quote and a backslash with a
// backslash in the names it reports; undone in that same order.
std::string UnescapeOsdName(std::string_view text);

// The formats the camera takes in the combined write: g711a, g711u, g726.
bool IsAudioFormat(std::string_view format);

}   // namespace ky::cgi
