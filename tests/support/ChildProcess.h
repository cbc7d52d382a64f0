#pragma once
// Child processes for tests and benchmarks: the emulator, curl, ffprobe, the
// tools under test. Standard output comes back on a pipe, standard input is
// the given text (or empty), and a child never outlives its owner.
#include <sys/resource.h>
#include <sys/types.h>

#include <csignal>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace ky::test {

struct ChildOptions {
    bool quietStderr = false;   // standard error to /dev/null
    bool mergeStderr = false;   // standard error into the captured output
    // SIGTERM to the child when the thread that started it ends, so a crashed
    // test or benchmark leaves nothing running.
    bool dieWithParent = true;
    int cpu = -1;           // >= 0: the child is pinned to this CPU
    rlim_t openFiles = 0;   // > 0: the child's descriptor limit (RLIMIT_NOFILE)
};

class ChildProcess {
public:
    static constexpr int kStillRunning = -2;

    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    // args[0] is a path, or a program name looked up in PATH.
    bool Start(const std::vector<std::string>& args, const ChildOptions& options = {}, const std::string& input = {});
    pid_t Pid() const { return pid_; }

    // Reads output until done(everything read and not yet taken) holds; false
    // at the end of the output or after timeoutMs (-1: no limit).
    bool ReadUntil(const std::function<bool(std::string_view)>& done, int timeoutMs);
    // The next whole line, without its '\n'.
    bool ReadLine(std::string* line, int timeoutMs);
    // Everything not yet taken, up to the end of the output.
    std::string ReadAll(int timeoutMs = -1);

    // Exit status once the child has ended, -1 when a signal ended it,
    // kStillRunning when it has not ended within timeoutMs (-1: waits).
    int Wait(int timeoutMs = -1, rusage* usage = nullptr);
    // Sends sig, then SIGKILL after graceMs; the exit status as Wait gives it.
    int Stop(int sig = SIGTERM, int graceMs = 5000);

private:
    bool ReadMore(int timeoutMs);

    pid_t pid_ = -1;
    int out_ = -1;
    int status_ = -1;
    std::string buffer_;
};

struct ProcessResult {
    int exitCode = -1;   // -1: ended by a signal, killed after the time limit, or never started
    std::string out;
};

// Runs args to the end; a child still running after timeoutMs (0: no limit)
// is killed.
ProcessResult RunProcess(const std::vector<std::string>& args, const std::string& input = {},
                         const ChildOptions& options = {}, int timeoutMs = 0, rusage* usage = nullptr);

}   // namespace ky::test
