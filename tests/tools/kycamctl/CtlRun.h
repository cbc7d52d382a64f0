#pragma once
// kycamctl run in-process against a camera on loopback: its exit status and
// what it printed.
#include <sstream>
#include <string>
#include <vector>

#include "tools/kycamctl/Kycamctl.h"

namespace ky::test {

struct CtlResult {
    int status;
    std::string out, err;
};

// kycamctl [-P PORT] -u USER -p PASSWORD ARGS... (no -P when port is 0), with
// `input` as standard input: questions are answered "no" unless it says yes.
inline CtlResult Ctl(int port, std::vector<std::string> args, const std::string& input = "",
                     const std::string& user = "admin", const std::string& password = "pw") {
    args.insert(args.begin(), {"-u", user, "-p", password});
    if (port) args.insert(args.begin(), {"-P", std::to_string(port)});
    std::ostringstream out, err;
    std::istringstream in(input);
    const int status = ky::ctl::Run(args, out, err, &in);
    return {status, out.str(), err.str()};
}

}   // namespace ky::test
