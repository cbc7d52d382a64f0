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

}   // namespace ky::ctl
