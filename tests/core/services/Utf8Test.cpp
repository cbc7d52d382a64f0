#include "core/services/Utf8.h"

#include <gtest/gtest.h>

namespace {

TEST(Utf8, FitLengthStopsOnSequenceBoundaries) {
    using ky::Utf8FitLength;
    const std::string s = "a\xC3\xA9\xE6\xB1\x89\xF0\x9F\x98\x80";   // a é 汉 😀
    EXPECT_EQ(Utf8FitLength(s, 0), 0u);
    EXPECT_EQ(Utf8FitLength(s, 2), 1u);
    EXPECT_EQ(Utf8FitLength(s, 3), 3u);
    EXPECT_EQ(Utf8FitLength(s, 5), 3u);
    EXPECT_EQ(Utf8FitLength(s, 9), 6u);
    EXPECT_EQ(Utf8FitLength(s, 10), 10u);
    EXPECT_EQ(Utf8FitLength(s, 100), 10u);
    // Stray and truncated bytes are single units.
    EXPECT_EQ(Utf8FitLength("\x80\xE6\xB1", 2), 2u);
    EXPECT_EQ(ky::Utf8Truncate("ab\xE6\xB1\x89", 4), "ab");
}

TEST(Utf8, Utf16LeConversion) {
    using ky::Utf16LeToUtf8;
    EXPECT_EQ(Utf16LeToUtf8(std::string("A\0\x49\x6C", 4)), "A汉");
    EXPECT_EQ(Utf16LeToUtf8(std::string("\x3D\xD8\x00\xDE", 4)), "\xF0\x9F\x98\x80");
    // Unpaired surrogates become U+FFFD; an odd last byte is dropped.
    EXPECT_EQ(Utf16LeToUtf8(std::string("\x3D\xD8"
                                        "A\0",
                                        4)),
              "\xEF\xBF\xBD"
              "A");
    EXPECT_EQ(Utf16LeToUtf8(std::string("\x00\xDE", 2)), "\xEF\xBF\xBD");
    EXPECT_EQ(Utf16LeToUtf8(std::string("A\0B", 3)), "A");
}

}   // namespace
