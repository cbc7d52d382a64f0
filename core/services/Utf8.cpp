#include "core/services/Utf8.h"

#include <cstdint>

namespace ky {

namespace {
// Length of the well-formed sequence starting at s[i], or 1 for a stray byte.
size_t SequenceLength(std::string_view s, size_t i) {
    const auto b = static_cast<unsigned char>(s[i]);
    size_t n = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 1;
    if (i + n > s.size()) return 1;
    for (size_t k = 1; k < n; ++k)
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 1;
    return n;
}

}   // namespace

void AppendUtf8(std::string& out, unsigned long cp) {
    if (cp == 0 || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = 0xFFFD;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

size_t Utf8FitLength(std::string_view s, size_t maxBytes) {
    size_t i = 0;
    while (i < s.size()) {
        const size_t n = SequenceLength(s, i);
        if (i + n > maxBytes) break;
        i += n;
    }
    return i;
}

std::string Utf8Truncate(std::string_view s, size_t maxBytes) {
    return std::string(s.substr(0, Utf8FitLength(s, maxBytes)));
}

std::string Utf8Repair(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        const auto b = static_cast<unsigned char>(s[i]);
        // Trailing bytes the lead byte asks for, and the range of the first.
        size_t need = 0;
        unsigned char lo = 0x80, hi = 0xBF;
        if (b >= 0xC2 && b <= 0xDF) {
            need = 1;
        } else if (b >= 0xE0 && b <= 0xEF) {
            need = 2;
            if (b == 0xE0) lo = 0xA0;   // no overlong forms
            if (b == 0xED) hi = 0x9F;   // no surrogates
        } else if (b >= 0xF0 && b <= 0xF4) {
            need = 3;
            if (b == 0xF0) lo = 0x90;
            if (b == 0xF4) hi = 0x8F;   // nothing past U+10FFFF
        }
        if (b < 0x80) {
            out += s[i++];
            continue;
        }
        size_t n = 1;
        for (; n <= need && i + n < s.size(); ++n) {
            const auto c = static_cast<unsigned char>(s[i + n]);
            if (c < (n == 1 ? lo : 0x80) || c > (n == 1 ? hi : 0xBF)) break;
        }
        if (need > 0 && n == need + 1) {
            out.append(s.substr(i, n));
        } else {
            out += "\xEF\xBF\xBD";
        }
        i += n;
    }
    return out;
}

std::string Utf8Printable(std::string_view s, bool keepLines) {
    const std::string repaired = Utf8Repair(s);
    std::string out;
    out.reserve(repaired.size());
    for (size_t i = 0; i < repaired.size(); ++i) {
        const auto c = static_cast<unsigned char>(repaired[i]);
        const bool line = keepLines && (c == '\t' || c == '\r' || c == '\n');
        if ((c < 0x20 && !line) || c == 0x7F) {
            out += '?';
        } else if (c == 0xC2 && i + 1 < repaired.size() && static_cast<unsigned char>(repaired[i + 1]) < 0xA0) {
            out += '?';   // U+0080..U+009F
            ++i;
        } else {
            out += repaired[i];
        }
    }
    return out;
}

std::string Utf16LeToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    const size_t units = bytes.size() / 2;
    auto unit = [&](size_t k) {
        return static_cast<uint32_t>(static_cast<unsigned char>(bytes[2 * k]) |
                                     (static_cast<unsigned char>(bytes[2 * k + 1]) << 8));
    };
    for (size_t k = 0; k < units; ++k) {
        uint32_t u = unit(k);
        if (u >= 0xD800 && u <= 0xDBFF && k + 1 < units && unit(k + 1) >= 0xDC00 && unit(k + 1) <= 0xDFFF) {
            u = 0x10000 + ((u - 0xD800) << 10) + (unit(k + 1) - 0xDC00);
            ++k;
        } else if (u >= 0xD800 && u <= 0xDFFF) {
            u = 0xFFFD;
        }
        AppendUtf8(out, u);
    }
    return out;
}

}   // namespace ky
