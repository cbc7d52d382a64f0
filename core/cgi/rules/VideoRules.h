#pragma once
// Validation and resolution/mode rules of the video page. The mode-list and
// profile texts come from the camera's capability record at login.
#include <string>
#include <string_view>
#include <vector>

#include "core/cgi/Records.h"

namespace ky::cgi {

// One stream's encoding, in the page's order: bit rate (32..6144 first
// stream, 32..2048 second), key-frame interval 2..150, frame rate 1..30, key
// frame interval not below the frame rate, at most 25 fps at 50 Hz (vinorm
// 50), image quality 1..6. stream 0 is the first stream, any other the second.
const char* CheckVencAttr(const VencAttr& v, int vinorm);

struct PictureSize {
    int width = 0;
    int height = 0;
    bool operator==(const PictureSize&) const = default;
};

constexpr int kResolutionCount = 22;
// Size of resolution index 0..21 (indices 3..5 differ at 50 Hz); {0,0} otherwise.
PictureSize ResolutionSize(int index, bool hz50);
// First- and second-stream resolution indices of a video mode; every mode
// the table does not list is 1280x720 + 640x352 (6, 7).
struct ModeResolutions {
    int first;
    int second;
};
ModeResolutions VideoModeResolutions(int mode);
// "%dx%d".
std::string SizeText(PictureSize s);

// Mode numbers of a capability mode-list text ("40;41;42;"): only its first
// 16 characters count, each ";" ends a number, other non-digits are skipped,
// a trailing number without ";" and numbers of 10 or more digits are dropped.
std::vector<int> ParseModeList(std::string_view text);
// The mode for a chosen pair of sizes: the only mode of a one-mode list;
// else the first mode whose sizes at the selected frequency match, then at
// the other frequency; -1 when none does.
int FindVideoMode(const std::vector<int>& modes, PictureSize first, PictureSize second, bool hz50);

// "H264 baseline", "H264 mainprofile", "H264 highprofile", "H265 maiprofile"
// for 0..3, nullptr otherwise.
const char* ProfileName(int profile);
// Profiles offered by a supported-profiles bit-mask text, in list order;
// false (list unchanged) when the text is empty or blank.
bool ProfilesFromMask(std::string_view maskText, std::vector<int>& profiles);

}   // namespace ky::cgi
