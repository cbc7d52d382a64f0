#include "core/cgi/rules/AudioOsdRules.h"

#include <cstring>

namespace ky::cgi {

namespace {
constexpr const char* kVolumeRange = "Volume out of range (1-100), please reset!";

bool InVolumeRange(int32_t v) { return v >= 1 && v <= 100; }

std::string ReplaceAll(std::string_view s, std::string_view from, std::string_view to) {
    std::string out;
    size_t start = 0;
    for (size_t pos = s.find(from); pos != std::string_view::npos; pos = s.find(from, start)) {
        out.append(s.substr(start, pos - start)).append(to);
        start = pos + from.size();
    }
    return out.append(s.substr(start));
}
}   // namespace

const char* CheckAudioAttr(const AudioAttr& a) {
    if (!InVolumeRange(a.volume)) return kVolumeRange;
    if (a.volin_type != 0 && a.volin_type != 1) return "Please select the line input type!";
    if (!InVolumeRange(a.ao_volume)) return kVolumeRange;
    if (!IsAudioFormat(std::string_view(a.aeformat_a, strnlen(a.aeformat_a, sizeof a.aeformat_a))) ||
        !IsAudioFormat(std::string_view(a.aeformat_b, strnlen(a.aeformat_b, sizeof a.aeformat_b))))
        return "Audio format must be g711a, g711u or g726!";
    return nullptr;
}

const char* CheckOsdName(std::string_view utf8) {
    return utf8.size() > kOsdNameMaxBytes ? "OSD length does not exceed 31!" : nullptr;
}

const char* CheckOsdRegion(const OsdRegion& r) {
    if (r.region != 1) return nullptr;
    return CheckOsdName(std::string_view(r.name, strnlen(r.name, sizeof r.name)));
}

std::string UnescapeOsdName(std::string_view text) {
    const std::string a = ReplaceAll(text, "\\`", "`");
    const std::string b = ReplaceAll(a, "\\\"", "\"");
    return ReplaceAll(b, "\\\\", "\\");
}

bool IsAudioFormat(std::string_view format) { return format == "g711a" || format == "g711u" || format == "g726"; }

}   // namespace ky::cgi
