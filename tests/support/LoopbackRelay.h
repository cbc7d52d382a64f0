#pragma once
// A loopback TCP relay for tests and benchmarks: connections to Port() are
// passed on, one at a time, to a server on 127.0.0.1, both ways as the bytes
// come. What clients send is kept; a filter may hold back and rewrite what the
// server sends (for a camera that answers differently).
#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace ky::test {

// A listening TCP socket on 127.0.0.1 at a free port: the descriptor (-1 on
// failure) and *port.
int ListenLoopback(int* port, int backlog = 64);

class LoopbackRelay {
public:
    // Gets the server's bytes not yet passed on, returns those to pass on now
    // and leaves in `held` what it keeps back for later.
    using Filter = std::function<std::string(std::string& held)>;

    explicit LoopbackRelay(int targetPort, Filter toClient = {});
    ~LoopbackRelay();
    LoopbackRelay(const LoopbackRelay&) = delete;
    LoopbackRelay& operator=(const LoopbackRelay&) = delete;

    int Port() const { return port_; }
    std::string FromClients() const;

private:
    void Pump(int client, int server);

    Filter filter_;
    int listen_ = -1, port_ = 0;
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    std::string fromClients_;
    std::thread thread_;
};

}   // namespace ky::test
