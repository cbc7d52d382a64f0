#include "core/services/TestSound.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <numbers>
#include <system_error>

uint8_t LinearToUlaw(int16_t sample) {
    constexpr int kBias = 0x84;
    constexpr int kClip = 32635;
    int s = sample;
    const int sign = s < 0 ? 0x80 : 0;
    if (s < 0) s = -s;
    if (s > kClip) s = kClip;
    s += kBias;
    int exponent = 7;
    for (int mask = 0x4000; exponent > 0 && !(s & mask); mask >>= 1) --exponent;
    const int mantissa = (s >> (exponent + 3)) & 0x0F;
    return uint8_t(~(sign | (exponent << 4) | mantissa));
}

int16_t UlawToLinear(uint8_t code) {
    const int u = ~code & 0xFF;
    const int exponent = (u >> 4) & 0x07;
    const int magnitude = (((u & 0x0F) << 3) + 0x84) << exponent;
    return int16_t((u & 0x80) ? 0x84 - magnitude : magnitude - 0x84);
}

std::vector<uint8_t> MakeTestSound() {
    constexpr double kAmplitude = 0.5 * 32767;   // -6 dBFS
    constexpr int kFade = 80;                    // 10 ms ramps keep the beeps click-free
    std::vector<uint8_t> out;
    auto silence = [&](int samples) { out.insert(out.end(), size_t(samples), LinearToUlaw(0)); };
    for (double freq : {600.0, 800.0, 1000.0}) {
        const int n = kTestSoundRate * 4 / 10;   // 0.4 s
        for (int i = 0; i < n; ++i) {
            const double ramp = std::min({1.0, double(i) / kFade, double(n - 1 - i) / kFade});
            const double v = kAmplitude * ramp * std::sin(2 * std::numbers::pi * freq * i / kTestSoundRate);
            out.push_back(LinearToUlaw(int16_t(std::lround(v))));
        }
        silence(kTestSoundRate / 10);
    }
    silence(kTestSoundRate);
    // Whole frames only: a partial last frame would never be sent.
    out.resize(out.size() / kTestSoundFrameBytes * kTestSoundFrameBytes, LinearToUlaw(0));
    return out;
}

bool WriteTestSound(const std::string& path) {
    const std::vector<uint8_t> sound = MakeTestSound();
    std::error_code ec;
    const std::string part = path + ".part";
    std::FILE* f = std::fopen(part.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(sound.data(), 1, sound.size(), f) == sound.size();
    if (std::fclose(f) != 0 || !ok) {
        std::filesystem::remove(part, ec);
        return false;
    }
    std::filesystem::rename(part, path, ec);
    if (ec) {
        std::filesystem::remove(part, ec);
        return false;
    }
    return true;
}

bool EnsureTestSound(const std::string& path) {
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) return true;
    WriteTestSound(path);
    return std::filesystem::exists(path, ec);
}
