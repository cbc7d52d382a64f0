#include "tests/support/EmulatorProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <cstring>

namespace ky::test {

namespace {
// The first port of "key=P0,P1 ..." in the READY line; 0 when absent.
int FirstNumberAfter(const std::string& line, const std::string& key) {
    const size_t at = line.find(key);
    if (at == std::string::npos) return 0;
    return std::atoi(line.c_str() + at + key.size());
}
}   // namespace

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

EmulatorProcess::EmulatorProcess(std::vector<std::string> extraArgs, int readyTimeoutMs, std::string binary) {
    std::vector<std::string> args = {binary.empty() ? BinaryPath() : binary, "--bind", "127.0.0.1", "--http-port", "0"};
    args.insert(args.end(), extraArgs.begin(), extraArgs.end());
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return;
    pid_ = fork();
    if (pid_ == 0) {
        dup2(fds[1], STDOUT_FILENO);
        std::vector<char*> argv;
        for (auto& a : args) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    close(fds[1]);
    out_ = fds[0];
    if (pid_ < 0) return;

    // Read until the whole READY line has arrived.
    std::string text;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(readyTimeoutMs);
    auto complete = [&] {
        const size_t at = text.find("READY");
        return at != std::string::npos && text.find('\n', at) != std::string::npos;
    };
    while (!complete()) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return;
        pollfd p{out_, POLLIN, 0};
        if (poll(&p, 1, static_cast<int>(left.count())) <= 0) return;
        char buf[512];
        const ssize_t n = read(out_, buf, sizeof buf);
        if (n <= 0) return;
        text.append(buf, static_cast<size_t>(n));
    }
    const size_t at = text.find("READY");
    ready_ = text.substr(at, text.find('\n', at) - at);
    httpPort_ = FirstNumberAfter(ready_, "http=");
    rtspPort_ = FirstNumberAfter(ready_, "rtsp=");
}

int EmulatorProcess::Stop() {
    if (pid_ <= 0) return -1;
    kill(pid_, SIGTERM);
    int status = 0;
    for (int i = 0; i < 100; ++i) {
        if (waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        }
        usleep(50000);
    }
    kill(pid_, SIGKILL);
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return -1;
}

EmulatorProcess::~EmulatorProcess() {
    Stop();
    if (out_ >= 0) close(out_);
}

}   // namespace ky::test
