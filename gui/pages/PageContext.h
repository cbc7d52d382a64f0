#pragma once
// What the parameter pages need from the live view beyond ICameraSession:
// the capability record the camera reported at login (SDK configuration code
// 0x1087), and the windows the pages open but do not own (the SD-card
// browser). The live-video window installs the capability source when it is
// created; until then no login has a valid device record.
#include <cstddef>
#include <functional>
#include <string>

class QWidget;

// 56 text fields of 16 bytes, as the camera reported them at login.
struct CapabilityRecord {
    static constexpr int kFieldCount = 56;
    static constexpr size_t kFieldSize = 16;
    char field[kFieldCount][kFieldSize];

    // Field i up to its first NUL (at most 16 bytes); empty when i is out of range.
    std::string Text(int i) const;
};
static_assert(sizeof(CapabilityRecord) == 896);

namespace ky::pages {

// Capability fields the pages read.
inline constexpr int kCapProfiles = 0;     // supported codec profiles, a decimal bit mask
inline constexpr int kCapVideoModes = 1;   // video modes, each followed by ";"

// Returns the record of the current login, or nullptr when the device record
// is not valid (no SDK login). A login whose capability read failed gives a
// zero-filled record.
using CapabilitySource = std::function<const CapabilityRecord*()>;
// An empty source means none: every device record counts as not valid.
void SetCapabilitySource(CapabilitySource source);
const CapabilityRecord* CurrentCapability();

// Opens the SD-card browser over parent instead of the built-in
// CBrowserSDDlg (tests, other front ends).
using SdBrowserOpener = std::function<void(QWidget* parent)>;
void SetSdBrowserOpener(SdBrowserOpener opener);
// Runs the opener; false when none is set.
bool OpenSdBrowser(QWidget* parent);

}   // namespace ky::pages
