#pragma once
// Validation and derived values of the image page.
#include <string_view>

#include "core/cgi/Records.h"

namespace ky::cgi {

// The IR-cut switching value must be 1..1024.
const char* CheckImageAttr(const ImageAttr& a);

// The single-value slider writes take 0..255 only.
constexpr bool IsSliderValue(int32_t v) { return v >= 0 && v <= 255; }

// A capability range text "%d-%d" (at most 16 characters count); false, with
// 0..255 in min/max, when it does not parse.
bool ParseSliderRange(std::string_view text, int& min, int& max);

// The image type the grouped write sends: with the normal night-vision mode
// 1 for infrared closed, 0 for open and display_mode for auto; 1 in full
// colour; display_mode otherwise.
int32_t ImageType(const ImageAttr& a);

}   // namespace ky::cgi
