// bench_hosts_scale [--cameras N] [--parallel N]
//
// Starts N emulated cameras (default 1000; one kycam-emulator, no RTSP, no
// discovery) on loopback ports of their own choosing and runs
// `kycamctl --hosts FILE --json get serverinfo` and `... --json backup` over
// all of them: wall time, peak resident memory, the most descriptors open at
// once (sampled from /proc) and that every camera answered.
//
// The peer reads the same requests with curl: the request targets are those
// kycamctl sent to one camera (recorded through a loopback relay), and
// `xargs -P 16 -n K curl -sSf -u admin:admin URL...` fetches them from every
// camera, K being the URLs per process that leaves each of the 16 workers
// one share: the fewest process starts at kycamctl's default parallelism,
// the best a user could pick with xargs.
// Ends with one line:
//   cameras=... get_s=... get_mb=... get_fds=... get_ok=... curl_get_s=...
//   backup_s=... backup_mb=... backup_fds=... backup_ok=... curl_backup_s=...
//   ratio_get=... ratio_backup=...

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/ChildProcess.h"
#include "tests/support/EmulatorProcess.h"
#include "tests/support/LoopbackRelay.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

struct Measured {
    double seconds = 0, peakMb = 0;
    int peakFds = 0, exit = -1;
    std::string out;
};

int OpenFds(pid_t pid) {
    std::error_code ec;
    int n = 0;
    for (auto it = fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ec); !ec && it != fs::end(it);
         it.increment(ec))
        ++n;
    return n;
}

// Runs args to the end, sampling the child's open descriptors meanwhile.
Measured Measure(const std::vector<std::string>& args) {
    Measured m;
    ky::test::ChildProcess child;
    const auto t0 = Clock::now();
    if (!child.Start(args, {.quietStderr = true})) return m;
    std::atomic<bool> done{false};
    std::thread sampler([&] {
        while (!done) {
            m.peakFds = std::max(m.peakFds, OpenFds(child.Pid()));
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
    });
    m.out = child.ReadAll();
    rusage usage{};
    m.exit = child.Wait(-1, &usage);
    m.seconds = Seconds(Clock::now() - t0);
    done = true;
    sampler.join();
    m.peakMb = usage.ru_maxrss / 1024.0;
    return m;
}

// The targets of the GET requests in what a client sent, in order.
std::vector<std::string> Targets(const std::string& sent) {
    std::vector<std::string> targets;
    for (size_t at = 0; (at = sent.find("GET ", at)) != std::string::npos; at += 4)
        targets.push_back(sent.substr(at + 4, sent.find(' ', at + 4) - at - 4));
    return targets;
}

// Cameras whose entry says ok in kycamctl's JSON array.
int CountOk(const std::string& out) {
    const auto doc = nlohmann::json::parse(out, nullptr, false);
    if (!doc.is_array()) return 0;
    return int(std::count_if(doc.begin(), doc.end(), [](const auto& e) { return e.value("ok", false); }));
}

// xargs -P 16 curl over the targets of every camera; the command line is
// printed once.
Measured Curl(const std::vector<int>& ports, const std::vector<std::string>& targets, const fs::path& dir,
              const char* what) {
    const fs::path list = dir / (std::string(what) + ".urls");
    {
        std::ofstream urls(list);
        for (int port : ports)
            for (const std::string& t : targets) urls << "http://127.0.0.1:" << port << t << "\n";
    }
    const size_t share = (ports.size() * targets.size() + 15) / 16;
    const std::vector<std::string> args = {"xargs", "-a",   list, "-P",         "16", "-n", std::to_string(share),
                                           "curl",  "-sSf", "-u", "admin:admin"};
    std::string line;
    for (const auto& a : args) line += (line.empty() ? "" : " ") + a;
    std::printf("peer %s: %s\n", what, line.c_str());
    return Measure(args);
}

}   // namespace

int main(int argc, char** argv) {
    int cameras = 1000, parallel = 16;
    for (int i = 1; i + 1 < argc; i += 2) {
        if (std::strcmp(argv[i], "--cameras") == 0) cameras = std::clamp(std::atoi(argv[i + 1]), 1, 5000);
        if (std::strcmp(argv[i], "--parallel") == 0) parallel = std::clamp(std::atoi(argv[i + 1]), 1, 64);
    }
    const char* env = std::getenv("KYCAMCTL");
    const std::string kycamctl = env ? env : KYCAMCTL_PATH;
    const fs::path dir = fs::temp_directory_path() / ("bench_hosts_scale." + std::to_string(::getpid()));
    fs::create_directories(dir);

    // A listening socket per camera and some for the clients: the
    // emulator's own limit is raised as far as allowed.
    rlimit files{};
    ::getrlimit(RLIMIT_NOFILE, &files);
    const rlim_t want = std::min<rlim_t>(files.rlim_max, rlim_t(cameras) * 2 + 256);
    const auto bootStart = Clock::now();
    ky::test::EmulatorProcess emu(
        {"--cameras", std::to_string(cameras), "--no-rtsp", "--no-discovery", "--quiet", "--password", "admin"}, 120000,
        {}, {.openFiles = std::max(want, files.rlim_cur)});
    const std::vector<int> ports = ky::test::EmulatorProcess::Ports(emu.ReadyLine(), "http");
    if (!emu.Ok() || int(ports.size()) != cameras) {
        std::fprintf(stderr, "bench_hosts_scale: the emulator did not start %d cameras\n", cameras);
        return 1;
    }
    std::thread drain([&emu] { emu.Process().ReadAll(); });
    std::printf("emulator: %d cameras ready in %.2f s\n", cameras, Seconds(Clock::now() - bootStart));
    {
        std::ofstream hosts(dir / "hosts"), secret(dir / "secret");
        for (int port : ports) hosts << "127.0.0.1:" << port << "\n";
        secret << "admin\n";
    }
    const std::vector<std::string> base = {
        kycamctl, "--hosts", dir / "hosts", "--password-file", dir / "secret", "--parallel", std::to_string(parallel),
        "--json"};

    std::string line = "cameras=" + std::to_string(cameras);
    double ours[2] = {}, peers[2] = {};
    int status = 0;
    for (const char* what : {"get", "backup"}) {
        std::vector<std::string> command = {"get", "serverinfo"};
        if (std::strcmp(what, "backup") == 0) command = {"backup"};
        // The requests of one camera, as the peer will make them.
        ky::test::LoopbackRelay relay(ports.front());
        std::vector<std::string> one = {kycamctl, "-P", std::to_string(relay.Port()), "-p", "admin"};
        one.insert(one.end(), command.begin(), command.end());
        ky::test::RunProcess(one, {}, {.quietStderr = true});
        const std::vector<std::string> targets = Targets(relay.FromClients());

        std::vector<std::string> args = base;
        args.insert(args.end(), command.begin(), command.end());
        const Measured m = Measure(args);
        const int ok = CountOk(m.out);
        const Measured peer = Curl(ports, targets, dir, what);
        const int i = std::strcmp(what, "get") == 0 ? 0 : 1;
        ours[i] = m.seconds, peers[i] = peer.seconds;
        std::printf(
            "kycamctl --hosts --parallel %d --json %s: %.2f s, peak %.1f MB, %d descriptors at most, %d of %d ok; "
            "curl (%zu requests a camera): %.2f s, exit %d\n",
            parallel, what, m.seconds, m.peakMb, m.peakFds, ok, cameras, targets.size(), peer.seconds, peer.exit);
        char buf[256];
        std::snprintf(buf, sizeof buf, " %s_s=%.2f %s_mb=%.1f %s_fds=%d %s_ok=%d curl_%s_s=%.2f", what, m.seconds, what,
                      m.peakMb, what, m.peakFds, what, ok, what, peer.seconds);
        line += buf;
        if (ok != cameras || peer.exit != 0) status = 1;
    }
    emu.Stop();
    drain.join();
    fs::remove_all(dir);
    std::printf("%s ratio_get=%.2f ratio_backup=%.2f\n", line.c_str(), peers[0] > 0 ? ours[0] / peers[0] : 0,
                peers[1] > 0 ? ours[1] / peers[1] : 0);
    return status;
}
