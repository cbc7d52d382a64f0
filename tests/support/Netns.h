#pragma once
// Device search broadcasts and multicasts, so whatever searches (tests,
// benchmarks) runs only inside a private network namespace whose sole
// interface is loopback: tests/support/run-in-netns.sh makes one. These
// helpers check for it before anything is sent, and re-run a program in it.
#include <ifaddrs.h>
#include <net/if.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

namespace ky::test {

// Empty inside such a namespace (loopback only, up, multicast on), else what
// is wrong.
inline std::string NetnsProblem() {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return "getifaddrs failed";
    std::string problem;
    bool loUp = false;
    for (ifaddrs* i = list; i; i = i->ifa_next) {
        if (std::strcmp(i->ifa_name, "lo") != 0) {
            problem = std::string("interface ") + i->ifa_name + " exists";
            break;
        }
        if ((i->ifa_flags & IFF_UP) && (i->ifa_flags & IFF_MULTICAST)) loUp = true;
    }
    freeifaddrs(list);
    if (problem.empty() && !loUp) problem = "lo is not up with multicast on";
    return problem;
}

inline bool OnlyLoopback() { return NetnsProblem().empty(); }

// What a namespace test says when it is run anywhere else.
inline constexpr const char* kNetnsSkip = "sends broadcast and multicast: runs only through run-in-netns.sh";

// Replaces this process by args run through run-in-netns.sh; returns 77
// (skipped) only when that cannot even start.
inline int ExecInPrivateNetns(const std::string& script, std::vector<std::string> args) {
    args.insert(args.begin(), {"sh", script});
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    ::execvp("sh", argv.data());
    return 77;
}

}   // namespace ky::test
