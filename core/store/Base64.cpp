#include "core/store/Base64.h"

#include <climits>
#include <cstring>

namespace {
constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

// One group of 1 to 3 input bytes as 4 characters, padded with "=".
void EncodeGroup(const unsigned char* in, size_t n, char* out) {
    const unsigned b0 = in[0];
    const unsigned b1 = n > 1 ? in[1] : 0;
    const unsigned b2 = n > 2 ? in[2] : 0;
    out[0] = kAlphabet[b0 >> 2];
    out[1] = kAlphabet[((b0 & 0x03) << 4) | (b1 >> 4)];
    out[2] = n > 1 ? kAlphabet[((b1 & 0x0F) << 2) | (b2 >> 6)] : '=';
    out[3] = n > 2 ? kAlphabet[b2 & 0x3F] : '=';
}
}   // namespace

void Base64Encode(const unsigned char* bytes, size_t length, char* out) {
    if (!out) return;
    size_t o = 0;
    for (size_t i = 0; bytes && i < length; i += 3, o += 4)
        EncodeGroup(bytes + i, length - i < 3 ? length - i : 3, out + o);
    out[o] = '\0';
}

int Base64EncodeText(const char* text, char* out, size_t capacity) {
    if (!out || capacity == 0) return -1;
    out[0] = '\0';
    if (!text) return -1;
    const size_t length = strlen(text);
    // Checked before writing anything: the result must fit with its zero.
    if (length > (capacity - 1) / 4 * 3) return -1;
    const size_t textLength = Base64TextLength(length);
    if (textLength > static_cast<size_t>(INT_MAX)) return -1;
    const auto* bytes = reinterpret_cast<const unsigned char*>(text);
    size_t o = 0;
    for (size_t i = 0; i < length; i += 3, o += 4) EncodeGroup(bytes + i, length - i < 3 ? length - i : 3, out + o);
    out[o] = '\0';
    return static_cast<int>(textLength);
}
