#include "core/services/StopSignals.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <mutex>

namespace ky {
namespace {

// The handler touches only these: lock-free atomics and write(2).
std::atomic<int> g_caught{0};
std::atomic<int> g_wake{-1};   // the pipe's write end

std::mutex g_mutex;   // set-up and tear-down of what follows
int g_users = 0;
int g_readEnd = -1;
struct sigaction g_previous[2];
constexpr int kSignals[2] = {SIGINT, SIGTERM};

void OnSignal(int sig) {
    const int saved = errno;
    int none = 0;
    g_caught.compare_exchange_strong(none, sig);
    const char byte = 1;
    if (const int fd = g_wake.load(); fd >= 0) (void)!::write(fd, &byte, 1);
    errno = saved;
}

}   // namespace

StopSignals::StopSignals() {
    std::lock_guard lock(g_mutex);
    if (g_users++ > 0) return;
    g_caught = 0;
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
        g_readEnd = ends[0];
        g_wake = ends[1];
    }
    struct sigaction action {};
    action.sa_handler = &OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < 2; ++i) ::sigaction(kSignals[i], &action, &g_previous[i]);
}

StopSignals::~StopSignals() {
    std::lock_guard lock(g_mutex);
    if (--g_users > 0) return;
    for (int i = 0; i < 2; ++i) ::sigaction(kSignals[i], &g_previous[i], nullptr);
    if (const int fd = g_wake.exchange(-1); fd >= 0) ::close(fd);
    if (g_readEnd >= 0) ::close(g_readEnd);
    g_readEnd = -1;
}

int StopSignals::Fd() const { return g_readEnd; }

int StopSignals::Caught() const { return g_caught.load(); }

bool StopSignals::Wait(int timeoutMs) const {
    if (Caught() == 0 && g_readEnd >= 0) {
        pollfd p{g_readEnd, POLLIN, 0};
        ::poll(&p, 1, timeoutMs);
    }
    return Caught() != 0;
}

}   // namespace ky
