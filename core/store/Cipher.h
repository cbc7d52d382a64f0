#pragma once
// Password cipher of the tool-user table: whole 16-byte blocks whitened and
// enciphered with AES-128, the result Base64-encoded. There is no decoding
// direction; a typed password is encoded the same way and the texts compared.
#include <cstddef>

// Stores the AES key: the key bytes followed by zeros, cut to 16 bytes.
// Returns 0, or -1 for a null key with a non-zero length.
int SetCipherKey(const char* key, size_t length);

// The cipher step alone, in place: at most 25 whole 16-byte blocks (400 bytes)
// are each XORed with 0x3F and enciphered with AES-128-ECB; the bytes after
// them stay as they are and no padding is added. Returns 1, or -1 when no key
// has been set (or the cipher engine fails, leaving the buffer unchanged).
int EncryptBlocks(unsigned char* buffer, size_t length);

// Sets the key "mavrel4417", enciphers `length` bytes of `buffer` and writes
// the Base64 text of all `length` bytes, zero-terminated, back into `buffer`.
// The buffer must hold Base64TextLength(length) + 1 = ceil(length / 3) * 4 + 1
// bytes; nothing is written past that. Returns the text length, or -1 when
// the working memory cannot be had or the cipher fails (buffer unchanged).
int EncryptToBase64(unsigned char* buffer, size_t length);
