#pragma once
// Base64 (RFC 4648 alphabet, "=" padding, no line breaks).
#include <cstddef>

// Length of the Base64 text of `length` bytes, without the terminating zero:
// ceil(length / 3) * 4. Callers size their buffers with this plus one.
constexpr size_t Base64TextLength(size_t length) { return (length + 2) / 3 * 4; }

// Encodes `length` bytes into `out` and zero-terminates it. `out` must hold
// Base64TextLength(length) + 1 bytes.
void Base64Encode(const unsigned char* bytes, size_t length, char* out);

// Encodes the bytes of the zero-terminated `text` (the zero itself is not
// encoded) into `out`, which holds `capacity` bytes. Returns the length of
// the Base64 text. When the text and its terminating zero do not fit, nothing
// is encoded: `out` becomes an empty string (if capacity allows even that) and
// the result is -1. A cut credential would authenticate as someone else, so
// refusing is the only safe answer. With a capacity of 256, texts of up to 189
// bytes fit (190 bytes need 256 characters plus the zero).
int Base64EncodeText(const char* text, char* out, size_t capacity);
