// bench_discovery_scale [--runs N] [--cameras N] [--timeout MS]
//
// Finds 250 emulated cameras (one kycam-emulator, no RTSP) with the search
// library, probing exactly as `kycamctl discover` does, ten times, and
// prints for every run the time from the search start until the last camera
// arrived, how many were found, duplicates and losses. The peer is one run of
// the real `kycamctl discover --timeout 1500` in the same namespace (its wall
// time and the cameras it listed): no program outside this project speaks
// the cameras' search protocol, so the peer is what a user waits for at the
// command line, which listens for its whole time-out.
//
// Discovery sends broadcast and multicast, so all of this happens inside a
// private network namespace whose only interface is loopback: started
// normally, the program re-executes itself through run-in-netns.sh, and inside
// it refuses to run when any other interface exists.
//
// Ends with one line:
//   runs=10 expected=250 found_min=... duplicates=... seconds_max=... kycamctl_found=...
#include <arpa/inet.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "core/discovery/SearchLib.h"
#include "core/discovery/SearchProto.h"
#include "core/services/FieldText.h"
#include "tests/support/EmulatorProcess.h"
#include "tests/support/Netns.h"

namespace {

using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

std::string SelfPath(const char* argv0) {
    char self[4096] = {};
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    return n > 0 ? std::string(self, size_t(n)) : std::string(argv0);
}

bool Exists(const std::string& p) {
    struct stat st {};
    return ::stat(p.c_str(), &st) == 0;
}

// The tool from the environment, else the build's path, else beside us.
std::string ToolPath(const char* env, const char* built, const std::string& self, const char* name) {
    if (const char* e = std::getenv(env)) return e;
    if (built && Exists(built)) return built;
    return self.substr(0, self.rfind('/') + 1) + name;
}

// What one search run saw, per device identifier.
struct Arrival {
    double seconds = 0;   // first reply, from the search start
    int replies = 0;      // every valid reply (both channels, every round)
    DeviceInfo info{};
};

struct Collector {
    std::mutex mutex;
    Clock::time_point start;
    std::map<std::string, Arrival> byId;

    static int OnReply(int, int, const DeviceInfo* info, void* user) {
        const auto now = Clock::now();
        auto* self = static_cast<Collector*>(user);
        std::lock_guard lock(self->mutex);
        auto [it, fresh] = self->byId.try_emplace(std::string(ky::FieldText(info->deviceId)));
        if (fresh) {
            it->second.seconds = Seconds(now - self->start);
            it->second.info = *info;
        }
        ++it->second.replies;
        return 0;
    }
};

struct RunResult {
    bool sent = false;
    int found = 0;        // expected identifiers listed
    int unexpected = 0;   // identifiers that are none of the emulator's
    int duplicates = 0;   // listed entries naming a camera already listed
    int replies = 0;
    double lastSeconds = 0;   // arrival of the last expected camera
    double medianSeconds = 0;
};

// Counts the entries of a listed result that name a camera already listed:
// the same identifier twice, or one camera (address and web port) under two
// identifiers.
int CountDuplicates(const std::vector<std::pair<std::string, std::string>>& idAndEndpoint) {
    std::set<std::string> ids, endpoints;
    int dups = 0;
    for (const auto& [id, endpoint] : idAndEndpoint) {
        const bool newId = ids.insert(id).second;
        const bool newEndpoint = endpoints.insert(endpoint).second;
        if (!newId || !newEndpoint) ++dups;
    }
    return dups;
}

// One search as `kycamctl discover --timeout timeoutMs` does it: both
// channels, three probe rounds over the first half of the wait, then the rest
// of the wait; the result is one entry per identifier.
RunResult SearchOnce(int timeoutMs, const std::set<std::string>& expected) {
    Collector c;
    const std::pair<const char*, int> channels[] = {{ky::search::kBroadcastAddress, ky::search::kBroadcastPort},
                                                    {ky::search::kMulticastAddress, ky::search::kMulticastPort}};
    std::vector<int> open;
    for (const auto& [address, port] : channels) {
        int h = 0;
        if (ky::SearchOpen(address, port, &h) != 0) continue;
        open.push_back(h);
        ky::SearchSetCallback(h, &Collector::OnReply, &c);
    }
    {
        std::lock_guard lock(c.mutex);
        c.start = Clock::now();
    }
    const auto start = c.start;
    int sent = 0;
    for (int round = 0; round < 3; ++round) {
        std::this_thread::sleep_until(start + std::chrono::milliseconds(int64_t{timeoutMs} * round / 6));
        for (int h : open) sent += ky::SearchProbe(h) == 0;
    }
    if (sent > 0) std::this_thread::sleep_until(start + std::chrono::milliseconds(timeoutMs));
    for (int h : open) ky::SearchClose(h);   // no callback runs after this

    RunResult r;
    r.sent = sent > 0;
    std::vector<double> times;
    std::vector<std::pair<std::string, std::string>> listed;
    for (const auto& [id, a] : c.byId) {
        r.replies += a.replies;
        listed.emplace_back(id,
                            std::string(ky::FieldText(a.info.ip)) + ":" + std::string(ky::FieldText(a.info.httpPort)));
        if (!expected.count(id)) {
            ++r.unexpected;
            continue;
        }
        ++r.found;
        times.push_back(a.seconds);
    }
    r.duplicates = CountDuplicates(listed);
    std::sort(times.begin(), times.end());
    if (!times.empty()) {
        r.lastSeconds = times.back();
        r.medianSeconds = times[times.size() / 2];
    }
    return r;
}

struct PeerResult {
    bool ok = false;
    double seconds = 0;
    int lines = 0;
    int found = 0;
    int duplicates = 0;
    std::string error;
};

// One `kycamctl discover --timeout timeoutMs`: wall time from start to exit,
// its lines (ip port id ... tab-separated).
PeerResult RunKycamctl(const std::string& kycamctl, int timeoutMs, const std::set<std::string>& expected) {
    PeerResult p;
    ky::test::ChildProcess c;
    const auto start = Clock::now();
    if (!c.Start({kycamctl, "discover", "--timeout", std::to_string(timeoutMs)})) {
        p.error = "cannot start " + kycamctl;
        return p;
    }
    const std::string out = c.ReadAll(timeoutMs + 10000);
    const int status = c.Wait(2000);
    p.seconds = Seconds(Clock::now() - start);
    if (status == ky::test::ChildProcess::kStillRunning) {
        p.error = "kycamctl discover did not end in time";
        return p;   // the destructor stops it
    }
    if (status != 0) {
        p.error = "kycamctl discover failed (status " + std::to_string(status) + ")";
        return p;
    }
    std::vector<std::pair<std::string, std::string>> listed;
    std::set<std::string> ids;
    std::istringstream in(out);
    for (std::string line; std::getline(in, line);) {
        ++p.lines;
        std::vector<std::string> f;
        size_t at = 0;
        for (size_t tab; (tab = line.find('\t', at)) != std::string::npos; at = tab + 1)
            f.push_back(line.substr(at, tab - at));
        f.push_back(line.substr(at));
        if (f.size() < 3) continue;
        listed.emplace_back(f[2], f[0] + ":" + f[1]);
        if (expected.count(f[2])) ids.insert(f[2]);
    }
    p.found = int(ids.size());
    p.duplicates = CountDuplicates(listed);
    p.ok = true;
    return p;
}

// "KY7200-EMU-000001" ... for n cameras, as the emulator names them; checked
// against the web ports of its READY line by the run itself (an identifier
// outside this set counts as unexpected).
std::set<std::string> ExpectedIds(int n) {
    std::set<std::string> ids;
    char buf[32];
    for (int i = 1; i <= n; ++i) {
        std::snprintf(buf, sizeof buf, "KY7200-EMU-%06d", i);
        ids.insert(buf);
    }
    return ids;
}

int Inside(const std::string& self, int runs, int cameras, int timeoutMs) {
    const std::string problem = ky::test::NetnsProblem();
    if (!problem.empty()) {
        std::fprintf(stderr,
                     "bench_discovery_scale: refusing to search: %s. Discovery sends broadcast and multicast, "
                     "so it runs only in a private network namespace with loopback alone (start the "
                     "program without --inside).\n",
                     problem.c_str());
        return 2;
    }
    const std::string emulator = ToolPath("KYCAM_EMULATOR",
#ifdef KYCAM_EMULATOR_PATH
                                          KYCAM_EMULATOR_PATH,
#else
                                          nullptr,
#endif
                                          self, "kycam-emulator");
    const std::string kycamctl = ToolPath("KYCAMCTL",
#ifdef KYCAMCTL_PATH
                                          KYCAMCTL_PATH,
#else
                                          nullptr,
#endif
                                          self, "kycamctl");
    for (const auto& tool : {emulator, kycamctl}) {
        if (!Exists(tool)) {
            std::fprintf(stderr, "bench_discovery_scale: not found: %s\n", tool.c_str());
            return 2;
        }
    }

    const auto bootStart = Clock::now();
    ky::test::EmulatorProcess emu({"--cameras", std::to_string(cameras), "--no-rtsp", "--quiet"}, 120000, emulator);
    if (!emu.Ok()) {
        std::fprintf(stderr, "bench_discovery_scale: no READY line from %s within 120 s\n", emulator.c_str());
        return 1;
    }
    const std::string& readyLine = emu.ReadyLine();
    const size_t camAt = readyLine.find("cameras=");
    const int started = camAt == std::string::npos ? 0 : std::atoi(readyLine.c_str() + camAt + 8);
    std::printf("emulator: %d cameras ready in %.2f s\n", started, Seconds(Clock::now() - bootStart));
    if (started != cameras) {
        std::fprintf(stderr, "bench_discovery_scale: emulator started %d cameras, wanted %d\n", started, cameras);
        return 1;
    }
    // Nothing more is expected on stdout, but a full pipe must never stall it.
    std::thread drain([&emu] { emu.Process().ReadAll(); });
    const std::set<std::string> expected = ExpectedIds(cameras);

    int foundMin = cameras, duplicates = 0, losses = 0, unexpected = 0;
    double secondsMax = 0;
    bool allSent = true;
    for (int run = 1; run <= runs; ++run) {
        const RunResult r = SearchOnce(timeoutMs, expected);
        allSent = allSent && r.sent;
        foundMin = std::min(foundMin, r.found);
        duplicates += r.duplicates;
        losses += cameras - r.found;
        unexpected += r.unexpected;
        secondsMax = std::max(secondsMax, r.lastSeconds);
        std::printf("run %2d: found=%d lost=%d duplicates=%d unexpected=%d replies=%d median_s=%.3f last_s=%.3f%s\n",
                    run, r.found, cameras - r.found, r.duplicates, r.unexpected, r.replies, r.medianSeconds,
                    r.lastSeconds, r.sent ? "" : " (no probe could be sent)");
        std::fflush(stdout);
    }

    const PeerResult peer = RunKycamctl(kycamctl, timeoutMs, expected);
    if (peer.ok) {
        std::printf("kycamctl discover --timeout %d: %.3f s wall, %d lines, %d of %d found, %d duplicates\n", timeoutMs,
                    peer.seconds, peer.lines, peer.found, cameras, peer.duplicates);
    } else {
        std::printf("kycamctl discover: %s\n", peer.error.c_str());
    }

    const auto stopStart = Clock::now();
    const bool graceful = emu.Stop() != -1;   // its end closes the pipe: the drain thread ends
    std::printf("emulator: %s after %.2f s\n", graceful ? "stopped" : "killed (SIGTERM not honoured in 5 s)",
                Seconds(Clock::now() - stopStart));
    drain.join();

    const bool goal =
        allSent && foundMin == cameras && duplicates == 0 && unexpected == 0 && secondsMax <= timeoutMs / 1000.0;
    std::printf("goal (all %d found in every run, no duplicates, within %.1f s): %s\n", cameras, timeoutMs / 1000.0,
                goal ? "met" : "NOT met");
    // ratio: the library's time until the last camera arrived against the
    // wall time after which kycamctl had listed them.
    std::printf(
        "runs=%d expected=%d found_min=%d duplicates=%d losses=%d seconds_max=%.3f kycamctl_found=%d "
        "kycamctl_lines=%d kycamctl_duplicates=%d kycamctl_seconds=%.3f ratio=%.3f\n",
        runs, cameras, foundMin, duplicates, losses, secondsMax, peer.ok ? peer.found : -1, peer.ok ? peer.lines : -1,
        peer.ok ? peer.duplicates : -1, peer.seconds, peer.ok && peer.seconds > 0 ? secondsMax / peer.seconds : 0.0);
    return goal && peer.ok ? 0 : 1;
}

}   // namespace

int main(int argc, char** argv) {
    ::signal(SIGPIPE, SIG_IGN);
    const std::string self = SelfPath(argv[0]);
    bool inside = false;
    int runs = 10, cameras = 250, timeoutMs = 1500;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&](int lo, int hi, int* out) {
            if (i + 1 >= argc) return false;
            *out = std::atoi(argv[++i]);
            return *out >= lo && *out <= hi;
        };
        bool ok = true;
        if (a == "--inside")
            inside = true;
        else if (a == "--runs")
            ok = value(1, 1000, &runs);
        else if (a == "--cameras")
            ok = value(1, 5000, &cameras);
        else if (a == "--timeout")
            ok = value(100, 60000, &timeoutMs);
        else
            ok = false;
        if (!ok) {
            std::fprintf(stderr, "usage: bench_discovery_scale [--runs N] [--cameras N] [--timeout MS]\n");
            return 2;
        }
    }
    if (!inside) {
        // Broadcast and multicast stay inside a private network namespace.
        std::vector<std::string> args = {self, "--inside"};
        for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
        std::fflush(nullptr);
        return ky::test::ExecInPrivateNetns(KY_RUN_IN_NETNS, args);
    }
    return Inside(self, runs, cameras, timeoutMs);
}
