#pragma once
// kycamctl commands that go through the camera SDK (live media and control):
// snapshot, record, ptz, preset, reboot, factory-reset, md-area.
#include <array>
#include <cstdint>
#include <iosfwd>
#include <span>
#include <string>
#include <vector>

#include "core/sdk/KySdk.h"

namespace ky::ctl {

struct SdkTarget {
    std::string host;
    uint16_t port;
    std::string user;
    std::string password;
    int stream;   // 0 first, 1 second
};

// args[0] is the command word. Returns the exit status; usage problems come
// back as a non-empty *usage with status 2 and nothing sent.
int RunSdkCommand(const SdkTarget& target, const std::vector<std::string>& args, bool yes, std::istream& in,
                  std::ostream& out, std::ostream& err, std::string* usage);

bool IsSdkCommand(const std::string& word);

// The four motion-detection areas, through one SDK login. On failure the
// status is the exit status and *error says why.
using MdAreas = std::array<MdArea, 4>;
int ReadMdAreas(const SdkTarget& target, MdAreas& areas, std::string* error);
// Writes the areas (each names itself); the first refused one ends it.
int WriteMdAreas(const SdkTarget& target, std::span<const MdArea> areas, std::string* error);
// Sets one field of an area by name (x, y, w, h, enable, sensitivity) within
// what the camera takes; the reason when the name or value is refused.
const char* SetMdAreaField(MdArea& area, const std::string& name, int64_t value);
// The fields by name, in the order printed.
constexpr const char* kMdAreaFields[] = {"enable", "sensitivity", "x", "y", "w", "h"};
int32_t MdAreaField(const MdArea& area, const std::string& name);

}   // namespace ky::ctl
