// bench_emulator_load [EMULATOR] [--seconds N]
//
// Starts kycam-emulator (the given path, or the one beside this program) on
// loopback, pinned to one CPU, and measures CGI GET requests/s with wrk
// (Basic authentication header as curl sends it). The peer is Python's
// http.server serving a file of the same size on loopback, pinned to the
// same CPU and measured the same way in the same run: the general HTTP
// server at hand, threaded as `python3 -m http.server` runs; it closes the
// connection after each reply (HTTP/1.0) as the emulated camera does, so
// both do the same work per request. Then starts 250
// cameras without RTSP and reads their resident memory from /proc.
// Ends with one line: emu_rps=... peer_rps=... ratio=... rss250_mb=...
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/EmulatorProcess.h"

namespace {

int FreePort() {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a);
    socklen_t len = sizeof a;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len);
    ::close(fd);
    return ntohs(a.sin_port);
}

// Output of a program run to its end, pinned to cpu when cpu >= 0.
std::string Run(const std::vector<std::string>& args, int cpu) {
    ky::test::ChildOptions options;
    options.quietStderr = true;
    options.cpu = cpu;
    return ky::test::RunProcess(args, {}, options).out;
}

bool WaitListening(int port, int ms) {
    for (int waited = 0; waited < ms; waited += 50) {
        int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(uint16_t(port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
        ::close(fd);
        if (ok) return true;
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

// wrk's "Requests/sec:" value, 0 when missing; *errors gets its error lines.
double Wrk(const std::string& url, int seconds, int cpu, std::string* report) {
    std::string out = Run({"wrk", "-t1", "-c16", "-d" + std::to_string(seconds) + "s", "-H",
                           "Authorization: Basic YWRtaW46YWRtaW4=", url},
                          cpu);
    *report = out;
    size_t at = out.find("Requests/sec:");
    return at == std::string::npos ? 0 : std::atof(out.c_str() + at + 13);
}

long RssKb(pid_t pid) {
    std::ifstream f("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(f, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
    return -1;
}

bool Exists(const std::string& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0;
}

}   // namespace

int main(int argc, char** argv) {
    ::signal(SIGPIPE, SIG_IGN);
    std::string emulator;
    int seconds = 5;
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        if (a == "--seconds" && i + 1 < argc)
            seconds = std::max(1, std::atoi(argv[++i]));
        else
            emulator = a;
    }
    if (emulator.empty()) emulator = ky::test::EmulatorProcess::BinaryPath();
    if (!Exists(emulator)) {
        std::fprintf(stderr, "emulator not found: %s (pass its path)\n", emulator.c_str());
        return 2;
    }
    if (Run({"wrk", "--version"}, -1).find("wrk") == std::string::npos) {
        std::fprintf(stderr, "wrk not found (Debian package wrk)\n");
        return 2;
    }
    unsigned cpus = std::thread::hardware_concurrency();
    int serverCpu = 0, clientCpu = cpus > 1 ? 1 : -1;
    std::string cache = "/tmp/bench-emulator-load-" + std::to_string(::getuid());

    // 1. Emulator, one CPU.
    double emuRps = 0;
    std::string body;
    {
        ky::test::ChildOptions pinned;
        pinned.quietStderr = true;
        pinned.cpu = serverCpu;
        ky::test::EmulatorProcess emu({"--no-rtsp", "--no-discovery", "--quiet", "--sd-cache", cache}, 20000, emulator,
                                      pinned);
        const int port = emu.HttpPort();
        if (port <= 0) {
            std::fprintf(stderr, "no READY line from %s\n", emulator.c_str());
            return 1;
        }
        std::string path = "/cgi-bin/ky7200/param.cgi?cmd=getimageattr";
        std::string url = "http://127.0.0.1:" + std::to_string(port) + path;
        body = Run({"curl", "-s", "-u", "admin:admin", url}, -1);
        std::string report;
        emuRps = Wrk(url, seconds, clientCpu, &report);
        std::printf("emulator: %.0f requests/s (reply body %zu bytes)\n", emuRps, body.size());
        if (emuRps <= 0) std::printf("%s\n", report.c_str());
    }

    // 2. Peer: python3 http.server with a file of the same size, same CPU.
    double peerRps = 0;
    {
        std::string dir = cache + "-peer";
        ::mkdir(dir.c_str(), 0700);
        std::ofstream(dir + "/param.cgi", std::ios::binary) << body;
        int port = FreePort();
        ky::test::ChildOptions pinned;
        pinned.quietStderr = true;
        pinned.cpu = serverCpu;
        ky::test::ChildProcess peer;
        if (peer.Start(
                {"python3", "-m", "http.server", "--bind", "127.0.0.1", "--directory", dir, std::to_string(port)},
                pinned) &&
            WaitListening(port, 10000)) {
            std::string report;
            peerRps = Wrk("http://127.0.0.1:" + std::to_string(port) + "/param.cgi", seconds, clientCpu, &report);
            std::printf("peer (python3 http.server): %.0f requests/s\n", peerRps);
        } else {
            std::printf("peer (python3 http.server) did not start\n");
        }
    }

    // 3. Memory of 250 cameras without RTSP.
    double rssMb = -1;
    {
        ky::test::ChildOptions quiet;
        quiet.quietStderr = true;
        ky::test::EmulatorProcess many(
            {"--cameras", "250", "--no-rtsp", "--no-discovery", "--quiet", "--sd-cache", cache}, 30000, emulator,
            quiet);
        if (many.Ok() && many.ReadyLine().find("cameras=250") != std::string::npos) {
            rssMb = RssKb(many.Pid()) / 1024.0;
            std::printf("250 cameras: RSS %.1f MB\n", rssMb);
        } else {
            std::printf("250 cameras did not start: %s\n", many.ReadyLine().c_str());
        }
    }

    double ratio = peerRps > 0 ? emuRps / peerRps : 0;
    std::printf("emu_rps=%.0f peer_rps=%.0f ratio=%.2f rss250_mb=%.1f\n", emuRps, peerRps, ratio, rssMb);
    return emuRps > 0 ? 0 : 1;
}
