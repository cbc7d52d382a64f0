#pragma once
// Device search library: search channels that send probes (SearchProto) to a
// multicast or broadcast address and report every valid reply to a callback.
//
// Every probe leaves once per local interface address, from a socket bound to
// that address (with IP_MULTICAST_IF for multicast), so that it goes out of
// that interface and no other. Replies come back to the same socket; one
// library thread per channel reads them.
//
// All functions are thread-safe and return 0 for success and -1 for failure.
#include <cstddef>
#include <string>
#include <vector>

#include "core/discovery/SearchProto.h"

namespace ky {

// handle: the channel that received the reply. localIndex: the position, in
// the list of local addresses, of the address the reply came back to.
// info: the device's record (valid only during the call). Returns 0.
// Runs on the channel's library thread; it may call every function here,
// including SearchClose on its own channel.
using SearchCallback = int (*)(int handle, int localIndex, const DeviceInfo* info, void* user);

inline constexpr int kSearchMaxLocalAddresses = 10;
inline constexpr size_t kSearchAddressSize = 16;   // "255.255.255.255" + NUL

// Opens a channel that probes address:port (IPv4 text; multicast addresses
// get IP_MULTICAST_IF and TTL 1, others SO_BROADCAST). Sets *handle to a
// small positive number. Sends nothing.
int SearchOpen(const char* address, int port, int* handle);

// Closes the channel. When it returns, the channel's thread has ended and no
// callback for it runs any more (unless called from that very callback).
int SearchClose(int handle);

// The local IPv4 addresses every channel probes from, for all channels:
// count entries of 16 bytes, NUL-terminated text. Only the first ten valid
// entries are kept; a count of 0 goes back to the automatic choice
// (LocalSearchAddresses, re-read at every probe). Fails when count > 0 and no
// entry is a valid IPv4 address (the previous list stays then).
int SearchSetLocalAddresses(const char (*addresses)[kSearchAddressSize], int count);

// Sends one probe from every local address. Succeeds when at least one left.
int SearchProbe(int handle);

// Installs (or, with nullptr, removes) the channel's reply callback.
int SearchSetCallback(int handle, SearchCallback callback, void* user);

// ---- local addresses -------------------------------------------------------

struct LocalInterface {
    std::string name;      // adapter name, e.g. "eth0"
    std::string address;   // dotted IPv4 text
    bool up = false;
    bool loopback = false;
    bool pointToPoint = false;   // tunnels and VPNs rarely lead to cameras
};

// The system's IPv4 interface addresses in adapter order (getifaddrs).
std::vector<LocalInterface> ListLocalInterfaces();

// The addresses to search from, at most maxCount:
//  - interfaces that are down, 0.0.0.0 and repeated addresses are skipped;
//  - loopback addresses are used only when nothing else is left;
//  - private ranges (10/8, 172.16/12, 192.168/16) come first, then other
//    addresses, then link-local 169.254/16; point-to-point interfaces follow
//    all of these in the same order;
//  - within one group, adapter order is kept; the first maxCount are taken.
std::vector<std::string> ChooseSearchAddresses(const std::vector<LocalInterface>& interfaces,
                                               size_t maxCount = kSearchMaxLocalAddresses);

// ChooseSearchAddresses(ListLocalInterfaces()).
std::vector<std::string> LocalSearchAddresses();

}   // namespace ky
