#pragma once
// The loudspeaker test sound that talk sends: G.711 µ-law, 8 kHz mono. The
// build writes it beside the program as music.g711 (tools/make-test-sound);
// talk writes the same sound itself when the file is missing.
#include <cstdint>
#include <string>
#include <vector>

inline constexpr int kTestSoundRate = 8000;
// Bytes of sound in one 20 ms talk frame; the sound is a whole number of them.
inline constexpr int kTestSoundFrameBytes = 160;

// Three rising beeps (600, 800, 1000 Hz) with short pauses, then a second of
// silence; its length is a whole number of talk frames.
std::vector<uint8_t> MakeTestSound();
// Writes MakeTestSound() to path unless a file is there already; true when
// the file exists afterwards.
bool EnsureTestSound(const std::string& path);
// Writes MakeTestSound() to path, replacing what is there (under a temporary
// name first, so a reader never sees half a file); true on success.
bool WriteTestSound(const std::string& path);

// G.711 µ-law of one 16-bit sample, and back.
uint8_t LinearToUlaw(int16_t sample);
int16_t UlawToLinear(uint8_t code);
