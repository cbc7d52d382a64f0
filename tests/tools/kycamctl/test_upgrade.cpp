// kycamctl upgrade over many emulated cameras on loopback: the upload, the
// HTTP wait for the new version, the result table and the exit status.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/EmulatorProcess.h"
#include "tools/kycamctl/Kycamctl.h"

namespace {

namespace fs = std::filesystem;

std::vector<std::string> Ports(const std::string& ready) {
    const size_t from = ready.find("http=") + 5;
    std::stringstream list(ready.substr(from, ready.find(' ', from) - from));
    std::vector<std::string> ports;
    for (std::string p; std::getline(list, p, ',');) ports.push_back(p);
    return ports;
}

TEST(KycamctlUpgrade, TenCamerasFourAtATime) {
    ky::test::EmulatorProcess emu(
        {"--cameras", "10", "--no-rtsp", "--no-discovery", "--password", "pw", "--restart-ms", "400"});
    ASSERT_TRUE(emu.Ok());
    const std::vector<std::string> ports = Ports(emu.ReadyLine());
    ASSERT_EQ(ports.size(), 10u);
    const fs::path dir = fs::temp_directory_path() / ("ky_ctl_upgrade_" + std::to_string(getpid()));
    fs::create_directories(dir);
    const std::string pkg = (dir / "KY7200_V8.0.1_test.pkg").string();
    std::ofstream(pkg, std::ios::binary) << std::string(200000, 'f');
    const std::string hosts = (dir / "hosts.txt").string();
    {
        std::ofstream h(hosts);
        for (const auto& p : ports) h << "127.0.0.1:" << p << "\n";
    }
    std::ostringstream out, err;
    const int status = ky::ctl::Run(
        {"--hosts", hosts, "--parallel", "4", "-p", "pw", "--wait-seconds", "20", "upgrade", pkg}, out, err);
    EXPECT_EQ(status, 0) << out.str() << err.str();
    for (const auto& p : ports) {
        EXPECT_NE(out.str().find("127.0.0.1:" + p + " upgraded V"), std::string::npos) << p;
        EXPECT_NE(err.str().find("127.0.0.1:" + p + " upload 100% 200000/200000 bytes"), std::string::npos) << p;
    }
    EXPECT_NE(out.str().find("-> V8.0.1"), std::string::npos);

    // The same camera twice and one that comes back unchanged (the version
    // the package name gives is now the camera's own): neither counts.
    {
        std::ofstream h(hosts);
        h << "127.0.0.1:" << ports[0] << "\n127.0.0.1:" << ports[0] << "\n";
    }
    std::ostringstream out2, err2;
    EXPECT_NE(ky::ctl::Run({"--hosts", hosts, "-p", "pw", "--wait-seconds", "3", "upgrade", pkg}, out2, err2), 0);
    EXPECT_NE(out2.str().find("not confirmed"), std::string::npos) << out2.str();
    fs::remove_all(dir);
}

}   // namespace
