#include "core/discovery/SearchLib.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <random>
#include <system_error>
#include <thread>

#include "core/services/FieldText.h"

namespace ky {

namespace {

constexpr int kPollMs = 50;            // upper bound on how long SearchClose waits
constexpr size_t kRecentProbes = 32;   // replies to older probes are stale

// The sockets of one channel, one per local address; closed with the set.
// The receive thread keeps its own reference, so a set replaced by a probe
// is closed only after the thread has stopped polling it.
struct SocketSet {
    std::vector<std::string> addresses;
    std::vector<int> fds;   // -1 where the address could not be used
    ~SocketSet() {
        for (int fd : fds)
            if (fd >= 0) ::close(fd);
    }
};

// What the channel's thread shares with the callers.
struct ChannelState {
    int handle = 0;
    sockaddr_in dest{};
    bool multicast = false;

    std::mutex mutex;   // guards everything below
    std::condition_variable wake;
    bool stop = false;
    SearchCallback callback = nullptr;
    void* user = nullptr;
    std::shared_ptr<SocketSet> sockets;
    std::array<uint32_t, kRecentProbes> recent{};
    size_t recentCount = 0;
    size_t recentNext = 0;
};

// Owned by the registry; destroying it stops and joins the thread.
struct Channel {
    std::shared_ptr<ChannelState> state;
    std::thread thread;

    ~Channel() { Stop(); }
    void Stop() {
        {
            std::lock_guard lock(state->mutex);
            state->stop = true;
        }
        state->wake.notify_all();
        if (!thread.joinable()) return;
        if (thread.get_id() == std::this_thread::get_id())
            thread.detach();   // closed from its own callback; it ends by itself
        else
            thread.join();
    }
};

struct Registry {
    std::mutex mutex;
    std::map<int, std::unique_ptr<Channel>> channels;

    std::mutex addressMutex;
    std::vector<std::string> addresses;   // empty: automatic
};

Registry& Reg() {
    static Registry registry;
    return registry;
}

std::shared_ptr<ChannelState> FindState(int handle) {
    Registry& reg = Reg();
    std::lock_guard lock(reg.mutex);
    auto it = reg.channels.find(handle);
    return it == reg.channels.end() ? nullptr : it->second->state;
}

uint32_t NewRequestId() {
    static std::mutex mutex;
    static std::mt19937 gen{std::random_device{}()};
    std::lock_guard lock(mutex);
    return static_cast<uint32_t>(gen());
}

bool ParseIPv4(const char* text, in_addr* out) { return text != nullptr && inet_pton(AF_INET, text, out) == 1; }

int OpenProbeSocket(const ChannelState& st, const std::string& local) {
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    if (!ParseIPv4(local.c_str(), &addr.sin_addr)) return -1;
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0) return -1;
    bool ok = ::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
    if (ok && st.multicast) {
        // The interface is chosen by address; TTL 1 keeps probes on the LAN,
        // loop lets cameras emulated on this very machine answer.
        const unsigned char ttl = 1, loop = 1;
        ok = setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &addr.sin_addr, sizeof addr.sin_addr) == 0 &&
             setsockopt(fd, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl) == 0 &&
             setsockopt(fd, IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof loop) == 0;
    } else if (ok) {
        const int on = 1;
        ok = setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) == 0;
    }
    if (!ok) {
        ::close(fd);
        return -1;
    }
    // Hundreds of cameras answer within milliseconds; the default receive
    // buffer drops part of the first round. Best effort: the kernel caps it.
    const int receiveBuffer = 1 << 20;
    setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    return fd;
}

std::vector<std::string> CurrentAddresses() {
    {
        Registry& reg = Reg();
        std::lock_guard lock(reg.addressMutex);
        if (!reg.addresses.empty()) return reg.addresses;
    }
    return LocalSearchAddresses();
}

bool IsRecent(ChannelState& st, uint32_t id) {
    for (size_t i = 0; i < st.recentCount; ++i)
        if (st.recent[i] == id) return true;
    return false;
}

void ReceiveLoop(std::shared_ptr<ChannelState> st) {
    std::vector<pollfd> pfds;
    std::vector<int> index;
    // One byte more than a message so that oversized datagrams are seen.
    uint8_t buf[search::kMessageSize + 1];
    for (;;) {
        std::shared_ptr<SocketSet> set;
        {
            std::unique_lock lock(st->mutex);
            if (st->stop) return;
            if (!st->sockets) {
                st->wake.wait_for(lock, std::chrono::milliseconds(kPollMs));
                continue;
            }
            set = st->sockets;
        }
        pfds.clear();
        index.clear();
        for (size_t i = 0; i < set->fds.size(); ++i) {
            if (set->fds[i] < 0) continue;
            pfds.push_back({set->fds[i], POLLIN, 0});
            index.push_back(static_cast<int>(i));
        }
        if (::poll(pfds.data(), pfds.size(), kPollMs) <= 0) continue;
        for (size_t p = 0; p < pfds.size(); ++p) {
            if (pfds[p].revents == 0) continue;   // recv also clears a pending error
            for (;;) {
                const ssize_t n = ::recv(pfds[p].fd, buf, sizeof buf, MSG_DONTWAIT);
                if (n < 0) break;   // EAGAIN, or an ICMP error queued on the socket
                uint32_t id = 0;
                DeviceInfo info;
                if (!search::DecodeReply(buf, static_cast<size_t>(n), &id, &info)) continue;
                SearchCallback cb;
                void* user;
                {
                    std::lock_guard lock(st->mutex);
                    if (st->stop) return;
                    if (!IsRecent(*st, id)) continue;
                    cb = st->callback;
                    user = st->user;
                }
                if (cb) cb(st->handle, index[p], &info, user);
            }
        }
    }
}

bool IsPrivate(uint32_t a) {
    return (a >> 24) == 10 || (a >> 20) == ((172u << 4) | 1) || (a >> 16) == ((192u << 8) | 168);
}

}   // namespace

int SearchOpen(const char* address, int port, int* handle) {
    if (handle == nullptr || port <= 0 || port > 65535) return -1;
    auto st = std::make_shared<ChannelState>();
    st->dest.sin_family = AF_INET;
    st->dest.sin_port = htons(static_cast<uint16_t>(port));
    if (!ParseIPv4(address, &st->dest.sin_addr)) return -1;
    st->multicast = IN_MULTICAST(ntohl(st->dest.sin_addr.s_addr));

    Registry& reg = Reg();
    std::lock_guard lock(reg.mutex);
    int h = 1;
    while (reg.channels.count(h)) ++h;
    st->handle = h;
    auto ch = std::make_unique<Channel>();
    ch->state = st;
    try {
        ch->thread = std::thread(ReceiveLoop, st);
    } catch (const std::system_error&) {
        return -1;
    }
    reg.channels.emplace(h, std::move(ch));
    *handle = h;
    return 0;
}

int SearchClose(int handle) {
    std::unique_ptr<Channel> ch;
    {
        Registry& reg = Reg();
        std::lock_guard lock(reg.mutex);
        auto it = reg.channels.find(handle);
        if (it == reg.channels.end()) return -1;
        ch = std::move(it->second);
        reg.channels.erase(it);
    }
    ch.reset();   // stops and joins outside the registry lock
    return 0;
}

int SearchSetLocalAddresses(const char (*addresses)[kSearchAddressSize], int count) {
    std::vector<std::string> list;
    if (count > 0 && addresses == nullptr) return -1;
    for (int i = 0; i < count && list.size() < kSearchMaxLocalAddresses; ++i) {
        std::string text(FieldText(addresses[i], kSearchAddressSize));
        in_addr a;
        if (!ParseIPv4(text.c_str(), &a)) continue;
        char canon[INET_ADDRSTRLEN];
        inet_ntop(AF_INET, &a, canon, sizeof canon);
        if (std::find(list.begin(), list.end(), canon) == list.end()) list.emplace_back(canon);
    }
    if (count > 0 && list.empty()) return -1;
    Registry& reg = Reg();
    std::lock_guard lock(reg.addressMutex);
    reg.addresses = std::move(list);
    return 0;
}

int SearchProbe(int handle) {
    std::shared_ptr<ChannelState> st = FindState(handle);
    if (!st) return -1;
    const std::vector<std::string> addresses = CurrentAddresses();

    std::shared_ptr<SocketSet> set;
    uint32_t id = NewRequestId();
    {
        std::lock_guard lock(st->mutex);
        if (st->stop) return -1;
        if (!st->sockets || st->sockets->addresses != addresses) {
            auto fresh = std::make_shared<SocketSet>();
            fresh->addresses = addresses;
            for (const std::string& a : addresses) fresh->fds.push_back(OpenProbeSocket(*st, a));
            st->sockets = fresh;
        }
        set = st->sockets;
        st->recent[st->recentNext] = id;
        st->recentNext = (st->recentNext + 1) % kRecentProbes;
        st->recentCount = std::min(st->recentCount + 1, kRecentProbes);
    }
    st->wake.notify_all();

    uint8_t msg[search::kMessageSize];
    search::EncodeProbe(id, msg);
    int sent = 0;
    for (int fd : set->fds) {
        if (fd < 0) continue;
        if (::sendto(fd, msg, sizeof msg, MSG_NOSIGNAL, reinterpret_cast<const sockaddr*>(&st->dest),
                     sizeof st->dest) == static_cast<ssize_t>(sizeof msg))
            ++sent;
    }
    return sent > 0 ? 0 : -1;
}

int SearchSetCallback(int handle, SearchCallback callback, void* user) {
    std::shared_ptr<ChannelState> st = FindState(handle);
    if (!st) return -1;
    std::lock_guard lock(st->mutex);
    st->callback = callback;
    st->user = user;
    return 0;
}

std::vector<LocalInterface> ListLocalInterfaces() {
    std::vector<LocalInterface> out;
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0) return out;
    for (ifaddrs* ifa = list; ifa; ifa = ifa->ifa_next) {
        if (!ifa->ifa_addr || ifa->ifa_addr->sa_family != AF_INET) continue;
        const auto* sin = reinterpret_cast<const sockaddr_in*>(ifa->ifa_addr);
        char text[INET_ADDRSTRLEN];
        if (!inet_ntop(AF_INET, &sin->sin_addr, text, sizeof text)) continue;
        LocalInterface li;
        li.name = ifa->ifa_name ? ifa->ifa_name : "";
        li.address = text;
        li.up = (ifa->ifa_flags & IFF_UP) != 0;
        li.loopback = (ifa->ifa_flags & IFF_LOOPBACK) != 0;
        li.pointToPoint = (ifa->ifa_flags & IFF_POINTOPOINT) != 0;
        out.push_back(std::move(li));
    }
    freeifaddrs(list);
    return out;
}

std::vector<std::string> ChooseSearchAddresses(const std::vector<LocalInterface>& interfaces, size_t maxCount) {
    struct Candidate {
        int rank;
        std::string address;
    };
    std::vector<Candidate> normal, loop;
    std::vector<std::string> seen;
    for (const LocalInterface& li : interfaces) {
        in_addr a;
        if (!li.up || !ParseIPv4(li.address.c_str(), &a) || a.s_addr == INADDR_ANY) continue;
        char canon[INET_ADDRSTRLEN];
        inet_ntop(AF_INET, &a, canon, sizeof canon);
        if (std::find(seen.begin(), seen.end(), canon) != seen.end()) continue;
        seen.emplace_back(canon);
        const uint32_t h = ntohl(a.s_addr);
        if (li.loopback || (h >> 24) == 127) {
            loop.push_back({0, canon});
            continue;
        }
        int rank = IsPrivate(h) ? 0 : (h >> 16) == ((169u << 8) | 254) ? 2 : 1;
        if (li.pointToPoint) rank += 3;
        normal.push_back({rank, canon});
    }
    std::vector<Candidate>& pick = normal.empty() ? loop : normal;
    std::stable_sort(pick.begin(), pick.end(), [](const Candidate& x, const Candidate& y) { return x.rank < y.rank; });
    std::vector<std::string> out;
    for (const Candidate& c : pick) {
        if (out.size() >= maxCount) break;
        out.push_back(c.address);
    }
    return out;
}

std::vector<std::string> LocalSearchAddresses() { return ChooseSearchAddresses(ListLocalInterfaces()); }

}   // namespace ky
