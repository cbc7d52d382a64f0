#include "core/store/Cipher.h"

#include "core/store/Base64.h"

#include <openssl/evp.h>

#include <climits>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>

namespace {

constexpr size_t kKeySize = 16;
constexpr size_t kBlockSize = 16;
constexpr size_t kMaxBlocks = 25;
constexpr unsigned char kWhitening = 0x3F;
constexpr char kPasswordKey[] = "mavrel4417";

// One key for the whole program, shared by every thread that encodes.
struct CipherState {
    std::mutex lock;
    unsigned char key[kKeySize] = {};
    bool keySet = false;
};

CipherState& State() {
    static CipherState state;   // created on first use, thread-safe
    return state;
}

void StoreKey(CipherState& s, const char* key, size_t length) {
    memset(s.key, 0, sizeof(s.key));
    if (length > kKeySize) length = kKeySize;
    if (length) memcpy(s.key, key, length);
    s.keySet = true;
}

struct CtxFree {
    void operator()(EVP_CIPHER_CTX* c) const { EVP_CIPHER_CTX_free(c); }
};

// Enciphers with a private copy of the key so that a concurrent SetCipherKey
// cannot change the key half-way through a password. The blocks are built in
// a scratch copy and written back only when every block succeeded.
int EncryptWithKey(const unsigned char (&key)[kKeySize], unsigned char* buffer, size_t length) {
    size_t blocks = length / kBlockSize;
    if (blocks > kMaxBlocks) blocks = kMaxBlocks;
    if (blocks == 0) return 1;

    std::unique_ptr<EVP_CIPHER_CTX, CtxFree> ctx(EVP_CIPHER_CTX_new());
    if (!ctx || EVP_EncryptInit_ex(ctx.get(), EVP_aes_128_ecb(), nullptr, key, nullptr) != 1 ||
        EVP_CIPHER_CTX_set_padding(ctx.get(), 0) != 1)
        return -1;

    unsigned char scratch[kMaxBlocks * kBlockSize];
    for (size_t b = 0; b < blocks; ++b) {
        unsigned char block[kBlockSize];
        for (size_t i = 0; i < kBlockSize; ++i) block[i] = buffer[b * kBlockSize + i] ^ kWhitening;
        int outLength = 0;
        if (EVP_EncryptUpdate(ctx.get(), scratch + b * kBlockSize, &outLength, block, static_cast<int>(kBlockSize)) !=
                1 ||
            outLength != static_cast<int>(kBlockSize))
            return -1;
    }
    memcpy(buffer, scratch, blocks * kBlockSize);
    return 1;
}

}   // namespace

int SetCipherKey(const char* key, size_t length) {
    if (!key && length) return -1;
    CipherState& s = State();
    std::lock_guard<std::mutex> guard(s.lock);
    StoreKey(s, key, length);
    return 0;
}

int EncryptBlocks(unsigned char* buffer, size_t length) {
    unsigned char key[kKeySize];
    {
        CipherState& s = State();
        std::lock_guard<std::mutex> guard(s.lock);
        if (!s.keySet) return -1;
        memcpy(key, s.key, sizeof(key));
    }
    if (!buffer) return length ? -1 : 1;
    return EncryptWithKey(key, buffer, length);
}

int EncryptToBase64(unsigned char* buffer, size_t length) {
    if (!buffer) return -1;
    // The text length must be representable, both as size_t and as the result.
    if (length > static_cast<size_t>(INT_MAX) / 4 * 3) return -1;
    const size_t textLength = Base64TextLength(length);

    std::unique_ptr<char[]> work(new (std::nothrow) char[textLength + 1]);
    if (!work) return -1;

    unsigned char key[kKeySize];
    {
        CipherState& s = State();
        std::lock_guard<std::mutex> guard(s.lock);
        StoreKey(s, kPasswordKey, sizeof(kPasswordKey) - 1);
        memcpy(key, s.key, sizeof(key));
    }
    if (EncryptWithKey(key, buffer, length) != 1) return -1;

    Base64Encode(buffer, length, work.get());
    // The text is never shorter than the input, so it covers every input byte.
    memcpy(buffer, work.get(), textLength + 1);
    return static_cast<int>(textLength);
}
