#pragma once
// A loopback TCP server for tests and benchmarks that plays a fixed script:
// it accepts connections on 127.0.0.1 (ephemeral port) one after the other,
// reads each HTTP request up to its blank line and answers as told. It records
// every byte it receives so tests can check what went over the wire.
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace ky::test {

class ScriptedServer {
public:
    enum class Mode {
        ReplyThenClose,   // answer the request, then close the connection
        ReplyKeepOpen,    // answer every request, close only when the client does
        NeverAnswer,      // accept and read, never write anything
    };

    struct Script {
        Mode mode = Mode::ReplyThenClose;
        std::string reply;   // bytes written after each request
        // Optional: builds the reply from the request text (headers included)
        // instead of `reply`.
        std::function<std::string(const std::string& request)> handler;
        size_t chunkSize = 0;   // >0: write the reply in pieces of this size...
        int chunkGapMs = 0;     // ...with this pause between them
        bool record = true;     // keep the received bytes (off for benchmarks)
    };

    explicit ScriptedServer(Script script);
    ScriptedServer(Mode mode, std::string reply);
    ~ScriptedServer();
    ScriptedServer(const ScriptedServer&) = delete;
    ScriptedServer& operator=(const ScriptedServer&) = delete;

    uint16_t Port() const { return port_; }
    bool Ok() const { return listenFd_ >= 0; }

    // Everything received so far on all connections, in order.
    std::string Received() const;
    int Accepted() const;
    int Finished() const;   // connections the server has closed
    // Waits until `count` connections are finished (the client closed, or the
    // server closed after replying). False when that does not happen in time.
    bool WaitFinished(int count, int timeoutMs = 10000) const;

    // An HTTP reply as the camera writes it; Content-Length only when asked.
    static std::string HttpReply(const std::string& body, bool contentLength = false,
                                 const std::string& status = "200 OK",
                                 const std::string& contentType = "Content-Type:text/html");
    // A loopback port on which nothing listens (connecting is refused).
    static uint16_t ClosedPort();

private:
    void Run();
    void Serve(int fd);
    bool WriteReply(int fd, const std::string& reply);
    bool WaitReadable(int fd);   // false when told to stop

    Script script_;
    int listenFd_ = -1;
    int wakeFds_[2] = {-1, -1};
    uint16_t port_ = 0;
    std::thread thread_;

    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::string received_;
    int accepted_ = 0;
    int finished_ = 0;
};

}   // namespace ky::test
