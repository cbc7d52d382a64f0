#include "core/cgi/rules/VideoRules.h"

#include <algorithm>
#include <cstdlib>

namespace ky::cgi {

namespace {

struct StreamMessages {
    const char* bitRate;
    const char* frameRate;
    const char* quality;
};
constexpr StreamMessages kFirst{"Error in code rate parameter!",
                                "The input value of main code stream frame rate is illegal!",
                                "The main stream image quality input value is illegal!"};
constexpr StreamMessages kSecond{"Error in code rate parameter [32~2048] of secondary stream",
                                 "Illegal input value of secondary code stream frame rate!",
                                 "Illegal secondary stream image quality input value!"};

constexpr PictureSize kSizes[kResolutionCount] = {
    {640, 480},   {320, 240},   {160, 112},   {704, 480},   {352, 240}, {176, 120},   {1280, 720},  {640, 352},
    {320, 176},   {1280, 960},  {1920, 1080}, {1536, 1536}, {768, 768}, {800, 448},   {2304, 1296}, {1152, 648},
    {2560, 1440}, {2560, 1920}, {800, 600},   {3840, 2160}, {640, 360}, {2880, 1620},
};
constexpr PictureSize kSizes50[3] = {{704, 576}, {352, 288}, {176, 144}};   // indices 3..5

struct ModeRow {
    int mode;
    int first;
    int second;
};
constexpr ModeRow kModes[] = {
    {17, 0, 1},    {18, 0, 1},   {19, 0, 2},    {20, 1, 1},    {21, 1, 1},    {22, 1, 2},   {24, 2, 1},
    {25, 2, 2},    {32, 6, 8},   {33, 7, 7},    {34, 7, 8},    {35, 6, 3},    {36, 6, 4},   {40, 10, 10},
    {41, 10, 7},   {42, 10, 8},  {43, 7, 7},    {44, 7, 8},    {45, 10, 3},   {46, 10, 4},  {47, 10, 1},
    {48, 10, 6},   {49, 10, 20}, {51, 9, 0},    {52, 9, 1},    {53, 0, 0},    {54, 0, 1},   {55, 9, 3},
    {56, 9, 4},    {61, 11, 12}, {62, 12, 12},  {63, 14, 13},  {64, 14, 7},   {65, 10, 13}, {66, 10, 7},
    {67, 14, 6},   {68, 14, 20}, {81, 16, 13},  {82, 16, 7},   {83, 16, 10},  {84, 16, 20}, {85, 16, 6},
    {101, 17, 18}, {102, 17, 0}, {111, 21, 13}, {112, 19, 10}, {121, 19, 10}, {122, 19, 6}, {123, 19, 7},
};

int FirstMatch(const std::vector<int>& modes, PictureSize first, PictureSize second, bool hz50) {
    for (int m : modes) {
        const ModeResolutions r = VideoModeResolutions(m);
        if (ResolutionSize(r.first, hz50) == first && ResolutionSize(r.second, hz50) == second) return m;
    }
    return -1;
}

}   // namespace

const char* CheckVencAttr(const VencAttr& v, int vinorm) {
    const bool first = v.stream == 0;
    const StreamMessages& msg = first ? kFirst : kSecond;
    if (v.bps < 32 || v.bps > (first ? 6144 : 2048)) return msg.bitRate;
    if (v.gop < 2 || v.gop > 150) return "Main frame interval parameter error!";
    if (v.fps < 1 || v.fps > 30) return msg.frameRate;
    if (v.gop < v.fps) return "he main frame interval cannot be less than the frame rate!";
    if (vinorm == 50 && v.fps > 25) return "The frame rate cannot be greater than 25!";
    if (v.imagegrade < 1 || v.imagegrade > 6) return msg.quality;
    return nullptr;
}

PictureSize ResolutionSize(int index, bool hz50) {
    if (index < 0 || index >= kResolutionCount) return {};
    if (hz50 && index >= 3 && index <= 5) return kSizes50[index - 3];
    return kSizes[index];
}

ModeResolutions VideoModeResolutions(int mode) {
    for (const ModeRow& r : kModes)
        if (r.mode == mode) return {r.first, r.second};
    return {6, 7};
}

std::string SizeText(PictureSize s) { return std::to_string(s.width) + "x" + std::to_string(s.height); }

std::vector<int> ParseModeList(std::string_view text) {
    text = text.substr(0, std::min<size_t>(text.size(), 16));
    std::vector<int> modes;
    std::string digits;
    for (char c : text) {
        if (c >= '0' && c <= '9') {
            digits += c;
        } else if (c == ';') {
            if (!digits.empty() && digits.size() < 10) modes.push_back(std::atoi(digits.c_str()));
            digits.clear();
        }
    }
    return modes;
}

int FindVideoMode(const std::vector<int>& modes, PictureSize first, PictureSize second, bool hz50) {
    if (modes.size() == 1) return modes.front();
    const int m = FirstMatch(modes, first, second, hz50);
    return m >= 0 ? m : FirstMatch(modes, first, second, !hz50);
}

const char* ProfileName(int profile) {
    static constexpr const char* kNames[] = {"H264 baseline", "H264 mainprofile", "H264 highprofile",
                                             "H265 maiprofile"};
    return profile >= 0 && profile < 4 ? kNames[profile] : nullptr;
}

bool ProfilesFromMask(std::string_view maskText, std::vector<int>& profiles) {
    if (maskText.find_first_not_of(' ') == std::string_view::npos) return false;
    const int mask = std::atoi(std::string(maskText).c_str());
    profiles.clear();
    for (int bit = 0; bit < 4; ++bit)
        if (mask & (1 << bit)) profiles.push_back(bit);
    return true;
}

}   // namespace ky::cgi
