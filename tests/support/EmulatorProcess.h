#pragma once
// Runs kycam-emulator as a child process on loopback for one test: waits for
// its READY line, exposes the ports it chose, and stops it on destruction.
#include <sys/types.h>

#include <string>
#include <vector>

namespace ky::test {

class EmulatorProcess {
public:
    // extraArgs are added after "--bind 127.0.0.1 --http-port 0"; binary
    // empty means BinaryPath().
    explicit EmulatorProcess(std::vector<std::string> extraArgs = {}, int readyTimeoutMs = 20000,
                             std::string binary = {});
    ~EmulatorProcess();
    EmulatorProcess(const EmulatorProcess&) = delete;
    EmulatorProcess& operator=(const EmulatorProcess&) = delete;

    bool Ok() const { return httpPort_ > 0; }
    int HttpPort() const { return httpPort_; }
    int RtspPort() const { return rtspPort_; }
    const std::string& ReadyLine() const { return ready_; }
    pid_t Pid() const { return pid_; }
    // Sends SIGTERM and waits; returns the exit status (-1 when it had to be killed).
    int Stop();

    // KYCAM_EMULATOR, else the path the build gave, else beside this program.
    static std::string BinaryPath();

private:
    pid_t pid_ = -1;
    int out_ = -1;
    int httpPort_ = 0;
    int rtspPort_ = 0;
    std::string ready_;
};

}   // namespace ky::test
