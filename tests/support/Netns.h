#pragma once
// Discovery tests broadcast and multicast, so they run only inside a private
// network namespace (tests/support/run-in-netns.sh). They check this first
// and refuse to send anything anywhere else.
#include <ifaddrs.h>

#include <cstring>

namespace ky::test {

// True when every network interface is loopback.
inline bool OnlyLoopback() {
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return false;
    bool only = true;
    for (ifaddrs* i = list; i; i = i->ifa_next)
        if (std::strcmp(i->ifa_name, "lo") != 0) only = false;
    freeifaddrs(list);
    return only;
}

}   // namespace ky::test
