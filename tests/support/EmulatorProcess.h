#pragma once
// Runs kycam-emulator as a child process on loopback for one test or
// benchmark: waits for its READY line, exposes the ports it chose, and stops
// it on destruction.
#include <sys/types.h>

#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"

namespace ky::test {

class EmulatorProcess {
public:
    // extraArgs are added after "--bind 127.0.0.1 --http-port 0" (a later
    // option wins); binary empty means BinaryPath().
    explicit EmulatorProcess(std::vector<std::string> extraArgs = {}, int readyTimeoutMs = 20000,
                             std::string binary = {}, const ChildOptions& options = {});

    bool Ok() const { return httpPort_ > 0; }
    int HttpPort() const { return httpPort_; }
    int RtspPort() const { return rtspPort_; }
    const std::string& ReadyLine() const { return ready_; }
    pid_t Pid() const { return child_.Pid(); }
    ChildProcess& Process() { return child_; }
    // Sends sig and waits; the exit status (-1 when it had to be killed).
    int Stop(int sig = SIGTERM) { return child_.Stop(sig); }

    // The ports of "key=P0,P1,..." in a READY line ("rtsp=none": none).
    static std::vector<int> Ports(const std::string& readyLine, const std::string& key);
    // KYCAM_EMULATOR, else the path the build gave, else beside this program.
    static std::string BinaryPath();

private:
    ChildProcess child_;
    int httpPort_ = 0;
    int rtspPort_ = 0;
    std::string ready_;
};

}   // namespace ky::test
