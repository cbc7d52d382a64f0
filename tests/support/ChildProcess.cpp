#include "tests/support/ChildProcess.h"

#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>
#include <utility>

namespace ky::test {

namespace {

using Clock = std::chrono::steady_clock;

int MsLeft(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(left) : 0;
}

Clock::time_point Deadline(int timeoutMs) {
    return timeoutMs < 0 ? Clock::time_point::max() : Clock::now() + std::chrono::milliseconds(timeoutMs);
}

}   // namespace

ChildProcess::~ChildProcess() {
    Stop();
    if (out_ >= 0) ::close(out_);
}

bool ChildProcess::Start(const std::vector<std::string>& args, const ChildOptions& options, const std::string& input) {
    if (pid_ > 0 || args.empty()) return false;
    // Everything the child needs is made before fork: after it, only
    // async-signal-safe calls until exec (execvp searches PATH on the stack).
    std::vector<char*> argv;
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    int out[2], in[2];
    if (::pipe2(out, O_CLOEXEC) != 0) return false;
    if (::pipe2(in, O_CLOEXEC) != 0) {
        ::close(out[0]);
        ::close(out[1]);
        return false;
    }
    cpu_set_t cpus;
    CPU_ZERO(&cpus);
    if (options.cpu >= 0) CPU_SET(options.cpu, &cpus);
    const pid_t parent = ::getpid();

    pid_ = ::fork();
    if (pid_ == 0) {
        if (options.dieWithParent) {
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            if (::getppid() != parent) _exit(127);
        }
        ::dup2(in[0], STDIN_FILENO);
        ::dup2(out[1], STDOUT_FILENO);
        if (options.mergeStderr) {
            ::dup2(out[1], STDERR_FILENO);
        } else if (options.quietStderr) {
            const int null = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
            if (null >= 0) ::dup2(null, STDERR_FILENO);
        }
        if (options.cpu >= 0) ::sched_setaffinity(0, sizeof cpus, &cpus);
        if (options.openFiles > 0) {
            const rlimit files{options.openFiles, options.openFiles};
            ::setrlimit(RLIMIT_NOFILE, &files);
        }
        ::execvp(argv[0], argv.data());
        _exit(127);
    }
    ::close(in[0]);
    ::close(out[1]);
    out_ = out[0];
    if (pid_ > 0 && !input.empty()) {
        for (size_t off = 0; off < input.size();) {
            const ssize_t n = ::write(in[1], input.data() + off, input.size() - off);
            if (n <= 0) break;
            off += static_cast<size_t>(n);
        }
    }
    ::close(in[1]);
    return pid_ > 0;
}

bool ChildProcess::ReadMore(int timeoutMs) {
    if (out_ < 0) return false;
    pollfd p{out_, POLLIN, 0};
    if (::poll(&p, 1, timeoutMs) <= 0) return false;
    char buf[65536];
    const ssize_t n = ::read(out_, buf, sizeof buf);
    if (n <= 0) return false;
    buffer_.append(buf, static_cast<size_t>(n));
    return true;
}

bool ChildProcess::ReadUntil(const std::function<bool(std::string_view)>& done, int timeoutMs) {
    const auto deadline = Deadline(timeoutMs);
    while (!done(buffer_))
        if (!ReadMore(timeoutMs < 0 ? -1 : MsLeft(deadline))) return false;
    return true;
}

bool ChildProcess::ReadLine(std::string* line, int timeoutMs) {
    if (!ReadUntil([](std::string_view t) { return t.find('\n') != std::string_view::npos; }, timeoutMs)) return false;
    const size_t end = buffer_.find('\n');
    *line = buffer_.substr(0, end);
    buffer_.erase(0, end + 1);
    return true;
}

std::string ChildProcess::ReadAll(int timeoutMs) {
    ReadUntil([](std::string_view) { return false; }, timeoutMs);
    return std::exchange(buffer_, {});
}

int ChildProcess::Wait(int timeoutMs, rusage* usage) {
    if (pid_ <= 0) return status_;
    const auto deadline = Deadline(timeoutMs);
    for (;;) {
        int status = 0;
        const pid_t r = ::wait4(pid_, &status, timeoutMs < 0 ? 0 : WNOHANG, usage);
        if (r == pid_ || r < 0) {
            status_ = r == pid_ && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
            pid_ = -1;   // ended or already reaped: its number is never signalled again
            return status_;
        }
        if (MsLeft(deadline) == 0) return kStillRunning;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

int ChildProcess::Stop(int sig, int graceMs) {
    if (pid_ <= 0) return status_;
    ::kill(pid_, sig);
    const int status = Wait(graceMs);
    if (status != kStillRunning) return status;
    ::kill(pid_, SIGKILL);
    Wait();
    return -1;
}

ProcessResult RunProcess(const std::vector<std::string>& args, const std::string& input, const ChildOptions& options,
                         int timeoutMs, rusage* usage) {
    ProcessResult r;
    ChildProcess child;
    if (!child.Start(args, options, input)) return r;
    const auto deadline = Deadline(timeoutMs > 0 ? timeoutMs : -1);
    r.out = child.ReadAll(timeoutMs > 0 ? MsLeft(deadline) : -1);
    if (timeoutMs > 0 && MsLeft(deadline) == 0) return r;   // the destructor kills it
    r.exitCode = child.Wait(timeoutMs > 0 ? MsLeft(deadline) + 1000 : -1, usage);
    if (r.exitCode == ChildProcess::kStillRunning) r.exitCode = -1;
    return r;
}

}   // namespace ky::test
