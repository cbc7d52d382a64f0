// Base64 encoders and the password cipher. Expected cipher texts were made
// independently with `openssl enc -aes-128-ecb -nopad` over the whitened block.
#include "core/store/Base64.h"
#include "core/store/Cipher.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace {

std::string Encode(const std::string& bytes) {
    std::vector<char> out(Base64TextLength(bytes.size()) + 1, 'Z');
    Base64Encode(reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), out.data());
    return out.data();
}

std::string EncodeText(const std::string& text, size_t capacity, int* result = nullptr) {
    std::vector<char> out(capacity + 1, 'Z');
    int n = Base64EncodeText(text.c_str(), out.data(), capacity);
    if (result) *result = n;
    return std::string(out.data(), strnlen(out.data(), capacity));
}

// The stored form of a password, in a buffer of exactly the documented size
// followed by guard bytes that must stay untouched.
std::string StoredForm(const std::string& password) {
    const size_t size = Base64TextLength(password.size()) + 1;
    std::vector<unsigned char> buf(size + 16, 0xA5);
    std::memset(buf.data(), 0, size);
    std::memcpy(buf.data(), password.data(), password.size());
    int n = EncryptToBase64(buf.data(), password.size());
    EXPECT_EQ(n, static_cast<int>(size - 1));
    EXPECT_EQ(buf[size - 1], 0);
    for (size_t i = size; i < buf.size(); ++i) EXPECT_EQ(buf[i], 0xA5) << "written past the buffer at " << i;
    return n < 0 ? std::string() : std::string(reinterpret_cast<char*>(buf.data()), n);
}

const unsigned char kBlock0123[16] = {0xa3, 0xd8, 0x11, 0xea, 0x67, 0x43, 0xd2, 0x34,
                                      0x06, 0x54, 0xff, 0xb6, 0xb9, 0xaf, 0xd1, 0x90};

}   // namespace

// The text encoder agrees with this one on every length (below).
TEST(Base64, Rfc4648Vectors) {
    const std::pair<const char*, const char*> cases[] = {{"", ""},
                                                         {"f", "Zg=="},
                                                         {"fo", "Zm8="},
                                                         {"foo", "Zm9v"},
                                                         {"foob", "Zm9vYg=="},
                                                         {"fooba", "Zm9vYmE="},
                                                         {"foobar", "Zm9vYmFy"}};
    for (const auto& [in, expected] : cases) EXPECT_EQ(Encode(in), expected) << in;
    EXPECT_EQ(Encode(std::string("\x00\xff\xfe", 3)), "AP/+");
}

TEST(Base64, EncodersAgreeOnEveryTailLength) {
    std::mt19937 rng(4417);
    for (size_t length = 0; length <= 150; ++length) {
        std::string text(length, '\0');
        for (char& c : text) c = static_cast<char>(1 + rng() % 255);   // no zero inside a text
        int n = 0;
        EXPECT_EQ(EncodeText(text, 256, &n), Encode(text)) << "length " << length;
        EXPECT_EQ(n, static_cast<int>(Base64TextLength(length)));
    }
}

TEST(Base64, TextTooLongForCapacityIsRefusedWithoutOverflow) {
    int n = 0;
    // 189 bytes make 252 characters: fit in 256 with the zero.
    EXPECT_EQ(EncodeText(std::string(189, 'a'), 256, &n).size(), 252u);
    EXPECT_EQ(n, 252);
    // 190 bytes would need 256 characters and the zero.
    std::vector<char> out(300, 'Z');
    EXPECT_EQ(Base64EncodeText(std::string(190, 'a').c_str(), out.data(), 256), -1);
    EXPECT_EQ(out[0], '\0');
    for (size_t i = 256; i < out.size(); ++i) ASSERT_EQ(out[i], 'Z');

    // Exact fit at a small capacity: "abc" needs 4 characters and the zero.
    EXPECT_EQ(EncodeText("abc", 5, &n), "YWJj");
    EXPECT_EQ(n, 4);
    EXPECT_EQ(EncodeText("abc", 4, &n), "");
    EXPECT_EQ(n, -1);
    EXPECT_EQ(EncodeText("", 1, &n), "");
    EXPECT_EQ(n, 0);
    char untouched = 'Z';
    EXPECT_EQ(Base64EncodeText("", &untouched, 0), -1);
    EXPECT_EQ(untouched, 'Z');
}

TEST(Cipher, KnownAnswers) {
    // 8 to 15 bytes: no whole block, the stored form is plain Base64.
    EXPECT_EQ(StoredForm("password"), "cGFzc3dvcmQ=");
    EXPECT_EQ(StoredForm("fifteen-chars!!"), Encode("fifteen-chars!!"));
    // 16 bytes: one enciphered block, 24 characters unlike the plain encoding.
    const std::string sixteen = StoredForm("0123456789abcdef");
    EXPECT_EQ(sixteen, "o9gR6mdD0jQGVP+2ua/RkA==");
    EXPECT_EQ(sixteen.size(), 24u);
    EXPECT_NE(sixteen, Encode("0123456789abcdef"));
    // 17 bytes: the 17th byte ("X") passes through unchanged.
    EXPECT_EQ(StoredForm("0123456789abcdefX"), "o9gR6mdD0jQGVP+2ua/RkFg=");
    // 31 bytes: first block enciphered, 15 plain bytes after it.
    EXPECT_EQ(StoredForm("Correct-Horse-Battery-Staple-31"), "WZemb+jqktlxv/6KbFhyonR0ZXJ5LVN0YXBsZS0zMQ==");
    EXPECT_EQ(StoredForm(""), "");
}

TEST(Cipher, BlocksAreCappedAtTwentyFiveAndTailIsUntouched) {
    ASSERT_EQ(SetCipherKey("mavrel4417", 10), 0);
    std::string plain;
    for (int i = 0; i < 26; ++i) plain += "0123456789abcdef";
    plain += "tail";
    std::vector<unsigned char> buf(plain.begin(), plain.end());
    ASSERT_EQ(EncryptBlocks(buf.data(), buf.size()), 1);
    for (size_t b = 0; b < 25; ++b) EXPECT_EQ(std::memcmp(buf.data() + b * 16, kBlock0123, 16), 0) << "block " << b;
    EXPECT_EQ(std::memcmp(buf.data() + 400, plain.data() + 400, plain.size() - 400), 0);
}

TEST(Cipher, KeyIsPaddedWithZerosAndCutToSixteenBytes) {
    unsigned char buf[16];
    std::memcpy(buf, "0123456789abcdef", 16);
    ASSERT_EQ(SetCipherKey("ABCDEFGHIJKLMNOPQRST", 20), 0);
    ASSERT_EQ(EncryptBlocks(buf, 16), 1);
    const unsigned char expected[16] = {0xe3, 0x2b, 0x87, 0xb6, 0x74, 0xc1, 0xc5, 0xe6,
                                        0x85, 0xe5, 0xb7, 0x3b, 0x00, 0x62, 0x5a, 0x35};
    EXPECT_EQ(std::memcmp(buf, expected, 16), 0);

    // The ten-byte key with six zeros, given explicitly, is the password key.
    std::memcpy(buf, "0123456789abcdef", 16);
    ASSERT_EQ(SetCipherKey("mavrel4417\0\0\0\0\0\0garbage", 23), 0);
    ASSERT_EQ(EncryptBlocks(buf, 16), 1);
    EXPECT_EQ(std::memcmp(buf, kBlock0123, 16), 0);
}

TEST(Cipher, PasswordKeyWinsOverAnotherKeySetMeanwhile) {
    std::thread other([] {
        for (int i = 0; i < 2000; ++i) SetCipherKey("some other key", 14);
    });
    for (int i = 0; i < 500; ++i) ASSERT_EQ(StoredForm("0123456789abcdef"), "o9gR6mdD0jQGVP+2ua/RkA==");
    other.join();
}

TEST(CipherDeathTest, WithoutKeyBlocksAreRefusedAndLeftAlone) {
    // A fresh process: no key has been set there yet.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            unsigned char buf[32];
            std::memset(buf, 'x', sizeof(buf));
            int rc = EncryptBlocks(buf, sizeof(buf));
            bool unchanged = buf[0] == 'x' && buf[31] == 'x';
            std::exit(rc == -1 && unchanged ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}
