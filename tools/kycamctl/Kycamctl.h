#pragma once
#include <iosfwd>
#include <string>
#include <vector>

namespace ky::ctl {

enum Exit { kOk = 0, kRefused = 1, kUsage = 2, kNoConnection = 3 };

// The whole command line client; returns the exit status. Questions (reboot,
// factory-reset without --yes) are answered from `in` (standard input if null).
int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, std::istream* in = nullptr);

// kycamctl's input files checked as it reads them, without a camera and
// without reading any other file: "" when usable, else the reason it gives.
std::string HostsProblem(const std::string& text);    // a --hosts file
std::string BackupProblem(const std::string& text);   // a backup for restore

}   // namespace ky::ctl
