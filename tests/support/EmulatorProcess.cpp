#include "tests/support/EmulatorProcess.h"

#include <unistd.h>

#include <cstdlib>
#include <sstream>

namespace ky::test {

std::string EmulatorProcess::BinaryPath() {
    if (const char* env = std::getenv("KYCAM_EMULATOR")) return env;
#ifdef KYCAM_EMULATOR_PATH
    return KYCAM_EMULATOR_PATH;
#else
    // Benchmarks: the emulator is built into the same folder.
    char self[4096] = {0};
    const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
    const std::string path = n > 0 ? std::string(self, static_cast<size_t>(n)) : std::string();
    return path.substr(0, path.rfind('/') + 1) + "kycam-emulator";
#endif
}

std::vector<int> EmulatorProcess::Ports(const std::string& readyLine, const std::string& key) {
    std::vector<int> ports;
    const size_t at = readyLine.find(key + "=");
    if (at == std::string::npos) return ports;
    const size_t start = at + key.size() + 1;
    std::stringstream list(readyLine.substr(start, readyLine.find(' ', start) - start));
    for (std::string item; std::getline(list, item, ',');)
        if (const int port = std::atoi(item.c_str()); port > 0) ports.push_back(port);
    return ports;
}

EmulatorProcess::EmulatorProcess(std::vector<std::string> extraArgs, int readyTimeoutMs, std::string binary,
                                 const ChildOptions& options) {
    std::vector<std::string> args = {binary.empty() ? BinaryPath() : binary, "--bind", "127.0.0.1", "--http-port", "0"};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    if (!child_.Start(args, options)) return;
    for (std::string line; child_.ReadLine(&line, readyTimeoutMs);) {
        const size_t at = line.find("READY");
        if (at == std::string::npos) continue;
        ready_ = line.substr(at);
        const auto http = Ports(ready_, "http");
        const auto rtsp = Ports(ready_, "rtsp");
        httpPort_ = http.empty() ? 0 : http.front();
        rtspPort_ = rtsp.empty() ? 0 : rtsp.front();
        return;
    }
}

}   // namespace ky::test
