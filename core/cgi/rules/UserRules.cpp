#include "core/cgi/rules/UserRules.h"

#include <cstdint>

namespace ky::cgi {

namespace {

constexpr size_t kMaxBytes = 63;

struct TextFacts {
    size_t units = 0;   // UTF-16 code units
    bool chinese = false;
};

// Decodes well-formed UTF-8 sequences; any other byte counts as one unit.
TextFacts Inspect(std::string_view s) {
    TextFacts facts;
    for (size_t i = 0; i < s.size();) {
        const auto b = static_cast<unsigned char>(s[i]);
        size_t len = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
        uint32_t cp = len == 1 ? b : len == 2 ? (b & 0x1Fu) : len == 3 ? (b & 0x0Fu) : (b & 0x07u);
        if (len == 0 || i + len > s.size()) len = 1, cp = 0xFFFD;
        for (size_t k = 1; k < len; ++k) {
            const auto c = static_cast<unsigned char>(s[i + k]);
            if ((c & 0xC0) != 0x80) {
                len = 1;
                cp = 0xFFFD;
                break;
            }
            cp = (cp << 6) | (c & 0x3Fu);
        }
        facts.units += cp >= 0x10000 ? 2 : 1;
        if (cp >= 0x4E00 && cp <= 0x9FCF) facts.chinese = true;
        i += len;
    }
    return facts;
}

bool TooLong(std::string_view s, const TextFacts& f) { return f.units > kMaxBytes || s.size() > kMaxBytes; }

}   // namespace

const char* CheckUserInput(std::string_view name, std::string_view password, std::string_view retyped) {
    const TextFacts n = Inspect(name);
    if (name.empty()) return "Incorrect user name!";
    if (n.chinese) return "User name cannot be Chinese!";
    if (TooLong(name, n)) return "User name length exceeds 63!";
    const TextFacts p = Inspect(password);
    if (password.empty()) return "Password cannot be empty!";
    if (TooLong(password, p)) return "Password length exceeds 63!";
    if (p.chinese) return "Password cannot be Chinese!";
    if (password != retyped) return "The two passwords are different!";
    return nullptr;
}

}   // namespace ky::cgi
