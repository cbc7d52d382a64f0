// A 64 MB package to the emulated camera on loopback, five times each: our
// streamed upload (with its 1 ms pause after every 21 pieces) against curl
// -F, the peer's best configuration. Reports the medians, their ratio, what
// the pauses cost, and our peak resident memory (the file is never held).
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "core/cgi/CgiClient.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/EmulatorProcess.h"

namespace {

constexpr size_t kSize = 64u << 20;
constexpr int kRuns = 5;

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

long PeakKb() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

}   // namespace

int main() {
    ky::test::EmulatorProcess emu({"--no-discovery", "--no-rtsp", "--password", "pw", "--restart-ms", "1"});
    if (!emu.Ok()) return 1;
    const std::string path = "/tmp/ky_bench_upgrade_" + std::to_string(getpid()) + ".pkg";
    {
        std::ofstream f(path, std::ios::binary);
        std::string block(1 << 20, '\0');
        for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i * 7);
        for (size_t i = 0; i < kSize / block.size(); ++i) f << block;
    }
    const long before = PeakKb();
    UpgradeTask t{};
    std::strcpy(t.ip, "127.0.0.1");
    t.port = static_cast<uint16_t>(emu.HttpPort());
    std::strcpy(t.user, "admin");
    std::strcpy(t.password, "pw");
    std::snprintf(t.path, sizeof t.path, "%s", path.c_str());
    const std::string url = "http://127.0.0.1:" + std::to_string(emu.HttpPort()) + "/web/cgi-bin/ky7200/upgrade.cgi";
    const std::vector<std::string> curl = {
        "curl", "-s", "-o", "/dev/null", "-u", "admin:pw", "-F", "setting_file=@" + path, url};
    std::vector<double> ours, peer;
    int failures = 0;
    for (int i = 0; i < kRuns; ++i) {
        auto a = std::chrono::steady_clock::now();
        if (CCgiClient().UploadFile(t) != 0) ++failures;
        ours.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - a).count());
        std::this_thread::sleep_for(std::chrono::milliseconds(200));   // the emulated restart
        a = std::chrono::steady_clock::now();
        if (ky::test::RunProcess(curl).exitCode != 0) ++failures;
        peer.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - a).count());
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
    const long peak = PeakKb();
    unlink(path.c_str());
    const double pauses = static_cast<double>(kSize / CCgiClient::kUploadPiece / 21);
    const double o = Median(ours), p = Median(peer);
    std::printf("upload 64 MB: ours %.0f ms, curl -F %.0f ms, ratio %.2f\n", o, p, o / p);
    std::printf("pauses: %.0f of 1 ms (at least %.0f ms of ours)\n", pauses, pauses);
    std::printf("peak resident memory: %ld kB (before the uploads %ld kB)\n", peak, before);
    std::printf("ours_ms=%.0f peer_ms=%.0f ratio=%.2f pauses_ms=%.0f peak_rss_kb=%ld failures=%d\n", o, p, o / p,
                pauses, peak, failures);
    return failures || peak > 40 * 1024 ? 1 : 0;
}
