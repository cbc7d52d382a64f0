#include "core/cgi/PercentEncode.h"

namespace ky::cgi {

namespace {

bool IsAlnum(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'); }

template <class Keep>
std::string Encode(std::string_view bytes, bool blankAsPlus, Keep keep) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(bytes.size() * 3);
    for (const char ch : bytes) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == ' ' && blankAsPlus) {
            out += '+';
        } else if (keep(c)) {
            out += ch;
        } else {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        }
    }
    return out;
}

}   // namespace

std::string EncodeQueryValue(std::string_view bytes) {
    return Encode(bytes, true, [](unsigned char c) {
        return IsAlnum(c) || c == '-' || c == '.' || c == '*' || c == '@' || c == '_';
    });
}

std::string EncodeUrlPath(std::string_view bytes) {
    return Encode(bytes, false, [](unsigned char c) {
        return c > 0x20 && c < 0x7f && c != '\\' && c != '"' && c != '<' && c != '>';
    });
}

}   // namespace ky::cgi
