// kycamctl upgrade over many emulated cameras on loopback: the upload, the
// HTTP wait for the new version, the result table and the exit status.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/EmulatorProcess.h"
#include "tests/support/TestFiles.h"
#include "tests/tools/kycamctl/CtlRun.h"

namespace {

TEST(KycamctlUpgrade, TenCamerasFourAtATime) {
    using ky::test::EmulatorProcess;
    EmulatorProcess emu({"--cameras", "10", "--no-rtsp", "--no-discovery", "--password", "pw", "--restart-ms", "400"});
    const std::vector<int> ports = EmulatorProcess::Ports(emu.ReadyLine(), "http");
    ASSERT_EQ(ports.size(), 10u);
    kytest::TempDir dir;
    const std::string pkg = dir.file("KY7200_V8.0.1_test.pkg"), hosts = dir.file("hosts.txt");
    kytest::WriteBytes(pkg, std::string(200000, 'f'));
    std::string list;
    for (int p : ports) list += "127.0.0.1:" + std::to_string(p) + "\n";
    kytest::WriteBytes(hosts, list);
    auto r = ky::test::Ctl(0, {"--hosts", hosts, "--parallel", "4", "--wait-seconds", "20", "upgrade", pkg});
    EXPECT_EQ(r.status, 0) << r.out << r.err;
    for (int p : ports) {
        const std::string at = "127.0.0.1:" + std::to_string(p);
        EXPECT_NE(r.out.find(at + " upgraded V"), std::string::npos) << p;
        EXPECT_NE(r.err.find(at + " upload 100% 200000/200000 bytes"), std::string::npos) << p;
    }
    EXPECT_NE(r.out.find("-> V8.0.1"), std::string::npos);

    // The same camera twice and one that comes back unchanged (the version
    // the package name gives is now the camera's own): neither counts.
    kytest::WriteBytes(hosts, list.substr(0, list.find('\n') + 1) + list.substr(0, list.find('\n') + 1));
    r = ky::test::Ctl(0, {"--hosts", hosts, "--wait-seconds", "3", "upgrade", pkg});
    EXPECT_NE(r.status, 0);
    EXPECT_NE(r.out.find("not confirmed"), std::string::npos) << r.out;
}

}   // namespace
