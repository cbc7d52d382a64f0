#pragma once
#include <iosfwd>
#include <string>
#include <vector>

namespace ky::ctl {

enum Exit { kOk = 0, kRefused = 1, kUsage = 2, kNoConnection = 3 };

// The whole command line client; returns the exit status. Questions (reboot,
// factory-reset without --yes) are answered from `in` (standard input if null).
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, std::istream* in = nullptr);

}   // namespace ky::ctl
