// Base64 encoders agree on every input, and the password cipher stays inside
// a buffer of exactly the size its callers are told to provide.
#include "core/store/Base64.h"
#include "core/store/Cipher.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

bool IsBase64Text(const char* text, size_t length) {
    for (size_t i = 0; i < length; ++i) {
        const char c = text[i];
        const bool ok = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' ||
                        c == '/' || (c == '=' && i + 2 >= length);
        if (!ok) return false;
    }
    return true;
}

}   // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 4096) return 0;
    const size_t textLength = Base64TextLength(size);

    // Heap buffers of exact size: one byte more would hide an overflow.
    std::vector<char> encoded(textLength + 1);
    Base64Encode(data, size, encoded.data());
    if (strlen(encoded.data()) != textLength || !IsBase64Text(encoded.data(), textLength)) abort();

    // The text encoder reads up to the first zero byte.
    const std::string text(reinterpret_cast<const char*>(data), strnlen(reinterpret_cast<const char*>(data), size));
    std::vector<char> plain(Base64TextLength(text.size()) + 1);
    Base64Encode(reinterpret_cast<const unsigned char*>(text.data()), text.size(), plain.data());

    // Capacity taken from the input: enough, exactly enough, or too little.
    const size_t need = Base64TextLength(text.size()) + 1;
    size_t capacity = need;
    if (size > 0) capacity = data[0] % 3 == 0 ? need : data[0] % 3 == 1 ? need - 1 : data[0] + 1u;
    if (capacity == 0) capacity = 1;
    std::vector<char> out(capacity);
    int n = Base64EncodeText(text.c_str(), out.data(), capacity);
    if (capacity >= need) {
        if (n != static_cast<int>(need - 1) || strcmp(out.data(), plain.data()) != 0) abort();
    } else if (n != -1 || out[0] != '\0') {
        abort();
    }

    std::vector<unsigned char> cipher(textLength + 1);
    memcpy(cipher.data(), data, size);
    n = EncryptToBase64(cipher.data(), size);
    if (n != static_cast<int>(textLength) || cipher[textLength] != 0 ||
        !IsBase64Text(reinterpret_cast<char*>(cipher.data()), textLength))
        abort();
    // Without a whole block the cipher leaves the bytes alone.
    if (size < 16 && memcmp(cipher.data(), encoded.data(), textLength) != 0) abort();
    return 0;
}
