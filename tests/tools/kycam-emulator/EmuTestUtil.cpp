#include "EmuTestUtil.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>

extern char** environ;

// Sanitizer builds: GLib and GStreamer (used in-process to make the SD-card
// clips) keep process-wide allocations that are never freed.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libglib-2.0.so\nleak:libgobject-2.0.so\nleak:libgstreamer-1.0.so\nleak:libfontconfig.so\n";
}

namespace emutest {

CurlResult Curl(const std::vector<std::string>& args) {
    std::vector<std::string> all = {"curl", "-s", "-S", "--max-time", "10"};
    all.insert(all.end(), args.begin(), args.end());
    std::vector<char*> argv;
    for (auto& a : all) argv.push_back(a.data());
    argv.push_back(nullptr);

    int pipefd[2];
    CurlResult r;
    if (::pipe(pipefd) != 0) return r;
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_adddup2(&fa, pipefd[1], 1);
    posix_spawn_file_actions_addclose(&fa, pipefd[0]);
    posix_spawn_file_actions_addclose(&fa, pipefd[1]);
    pid_t pid;
    int rc = posix_spawnp(&pid, "curl", &fa, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&fa);
    ::close(pipefd[1]);
    if (rc != 0) {
        ::close(pipefd[0]);
        return r;
    }
    char buf[65536];
    ssize_t n;
    while ((n = ::read(pipefd[0], buf, sizeof buf)) > 0) r.out.append(buf, size_t(n));
    ::close(pipefd[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return r;
}

std::string Url(int port, const std::string& pathAndQuery) {
    return "http://127.0.0.1:" + std::to_string(port) + pathAndQuery;
}

CurlResult Get(int port, const std::string& pathAndQuery, const std::string& user, const std::string& password) {
    return Curl({"-i", "-u", user + ":" + password, Url(port, pathAndQuery)});
}

int ConnectLoopback(int port) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return -1;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

bool SendAll(int fd, const std::string& data) {
    size_t off = 0;
    while (off < data.size()) {
        ssize_t n = ::send(fd, data.data() + off, data.size() - off, MSG_NOSIGNAL);
        if (n <= 0) return false;
        off += size_t(n);
    }
    return true;
}

static std::string ReadLoop(int fd, size_t want, int quietMs, int* reads, bool* closed) {
    std::string out;
    if (closed) *closed = false;
    if (reads) *reads = 0;
    char buf[65536];
    while (out.size() < want) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, quietMs) <= 0) break;
        ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) {
            if (closed) *closed = true;
            break;
        }
        out.append(buf, size_t(n));
        if (reads) ++*reads;
    }
    return out;
}

std::string ReadSome(int fd, size_t want, int quietMs, bool* closed) {
    return ReadLoop(fd, want, quietMs, nullptr, closed);
}

std::string RawExchange(int port, const std::string& request, bool shutdownWrite, int quietMs, int* reads,
                        bool* closed) {
    int fd = ConnectLoopback(port);
    if (fd < 0) return {};
    SendAll(fd, request);
    if (shutdownWrite) ::shutdown(fd, SHUT_WR);
    std::string out = ReadLoop(fd, std::string::npos, quietMs, reads, closed);
    ::close(fd);
    return out;
}

std::string HeaderValue(const std::string& reply, const std::string& name) {
    size_t end = reply.find("\r\n\r\n");
    std::string head = reply.substr(0, end);
    size_t at = head.find("\r\n" + name + ":");
    if (at == std::string::npos) return {};
    at += name.size() + 3;
    size_t eol = head.find("\r\n", at);
    std::string v = head.substr(at, eol == std::string::npos ? std::string::npos : eol - at);
    while (!v.empty() && v.front() == ' ') v.erase(0, 1);
    return v;
}

std::string Body(const std::string& reply) {
    size_t end = reply.find("\r\n\r\n");
    return end == std::string::npos ? std::string() : reply.substr(end + 4);
}

std::string StatusLine(const std::string& reply) { return reply.substr(0, reply.find("\r\n")); }

std::string Base64(const std::string& s) {
    static const char* t = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    size_t i = 0;
    for (; i + 2 < s.size(); i += 3) {
        uint32_t v = (uint8_t(s[i]) << 16) | (uint8_t(s[i + 1]) << 8) | uint8_t(s[i + 2]);
        out += t[v >> 18];
        out += t[(v >> 12) & 63];
        out += t[(v >> 6) & 63];
        out += t[v & 63];
    }
    if (i + 1 == s.size()) {
        uint32_t v = uint8_t(s[i]) << 16;
        out += t[v >> 18];
        out += t[(v >> 12) & 63];
        out += "==";
    } else if (i + 2 == s.size()) {
        uint32_t v = (uint8_t(s[i]) << 16) | (uint8_t(s[i + 1]) << 8);
        out += t[v >> 18];
        out += t[(v >> 12) & 63];
        out += t[(v >> 6) & 63];
        out += '=';
    }
    return out;
}

std::string AuthHeader(const std::string& user, const std::string& password) {
    return "Authorization: Basic " + Base64(user + ":" + password) + "\r\n";
}

namespace {
// Folders made by TempDir, removed when the test program ends.
struct TempDirs {
    std::mutex mutex;
    std::vector<std::string> dirs;
    ~TempDirs() {
        std::error_code ec;
        for (const auto& d : dirs) std::filesystem::remove_all(d, ec);
    }
};
TempDirs& Dirs() {
    static TempDirs dirs;
    return dirs;
}
}   // namespace

std::string TempDir(const std::string& name) {
    const char* base = std::getenv("TMPDIR");
    std::string dir =
        std::string(base && *base ? base : "/tmp") + "/kyemu-test-" + std::to_string(::getpid()) + "-" + name;
    if (::mkdir(dir.c_str(), 0700) == 0) {
        std::lock_guard<std::mutex> lock(Dirs().mutex);
        Dirs().dirs.push_back(dir);
    }
    return dir;
}

}   // namespace emutest
