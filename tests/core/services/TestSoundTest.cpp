// The talk test sound: the file the build puts beside the program, and the
// µ-law coding it is made with.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

#include "core/services/TestSound.h"

TEST(TestSound, BuiltFileIsWholeFramesOfAudibleSound) {
    std::ifstream in(KY_TEST_SOUND_PATH, std::ios::binary);
    ASSERT_TRUE(in) << KY_TEST_SOUND_PATH;
    const std::vector<uint8_t> sound((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    ASSERT_FALSE(sound.empty());
    EXPECT_EQ(sound.size() % kTestSoundFrameBytes, 0u);
    EXPECT_GE(sound.size(), size_t(kTestSoundRate));   // at least a second
    EXPECT_EQ(sound, MakeTestSound());

    // Decoded: loud beeps (about -6 dBFS) and true silence in between.
    int peak = 0, loud = 0;
    for (uint8_t code : sound) {
        const int v = std::abs(int(UlawToLinear(code)));
        peak = std::max(peak, v);
        if (v > 4000) ++loud;
    }
    EXPECT_GT(peak, 14000);
    EXPECT_GT(loud, kTestSoundRate / 2);
    EXPECT_EQ(UlawToLinear(sound.back()), 0);
}

TEST(TestSound, UlawRoundTripKeepsSignAndScale) {
    EXPECT_EQ(LinearToUlaw(0), 0xFF);
    EXPECT_EQ(UlawToLinear(0xFF), 0);
    EXPECT_EQ(UlawToLinear(0x80), 32124);
    EXPECT_EQ(UlawToLinear(0x00), -32124);
    // Extremes clip instead of wrapping.
    EXPECT_EQ(UlawToLinear(LinearToUlaw(32767)), 32124);
    EXPECT_EQ(UlawToLinear(LinearToUlaw(-32768)), -32124);
    for (int v = -32000; v <= 32000; v += 97) {
        const int back = UlawToLinear(LinearToUlaw(int16_t(v)));
        // µ-law keeps about 4 bits of mantissa: error within 1/16 of the value plus the step at zero.
        EXPECT_LE(std::abs(back - v), std::abs(v) / 16 + 8) << v;
        if (std::abs(v) > 8) {
            EXPECT_EQ(back < 0, v < 0) << v;
        }
    }
}
