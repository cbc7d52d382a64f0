#include "core/services/StopSignals.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>

namespace ky {
namespace {

// The handler may only touch these: a lock-free atomic and write(2).
std::atomic<int> g_caught{0};
int g_pipe[2] = {-1, -1};
struct sigaction g_previous[2];
constexpr int kSignals[2] = {SIGINT, SIGTERM};

void OnSignal(int sig) {
    const int saved = errno;
    int none = 0;
    g_caught.compare_exchange_strong(none, sig);
    const char byte = 1;
    (void)!::write(g_pipe[1], &byte, 1);
    errno = saved;
}

}   // namespace

StopSignals::StopSignals() {
    g_caught = 0;
    if (::pipe2(g_pipe, O_CLOEXEC | O_NONBLOCK) != 0) g_pipe[0] = g_pipe[1] = -1;
    struct sigaction action {};
    action.sa_handler = &OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int i = 0; i < 2; ++i) ::sigaction(kSignals[i], &action, &g_previous[i]);
}

StopSignals::~StopSignals() {
    for (int i = 0; i < 2; ++i) ::sigaction(kSignals[i], &g_previous[i], nullptr);
    for (int& fd : g_pipe) {
        if (fd >= 0) ::close(fd);
        fd = -1;
    }
}

int StopSignals::Fd() const { return g_pipe[0]; }

int StopSignals::Caught() const { return g_caught.load(); }

bool StopSignals::Wait(int timeoutMs) const {
    if (Caught() == 0 && g_pipe[0] >= 0) {
        pollfd p{g_pipe[0], POLLIN, 0};
        ::poll(&p, 1, timeoutMs);
    }
    return Caught() != 0;
}

}   // namespace ky
