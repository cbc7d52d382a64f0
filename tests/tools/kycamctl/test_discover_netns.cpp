// kycamctl discover against emulated cameras. It probes with broadcast and
// multicast, so it runs only in a private network namespace whose sole
// interface is loopback (ctest runs it through run-in-netns.sh); anywhere
// else it is skipped before sending.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/Netns.h"
#include "tests/support/EmulatorProcess.h"
#include "tests/support/FakeCamera.h"
#include "tools/kycam-emulator/DiscoveryResponder.h"
#include "tools/kycamctl/Kycamctl.h"

namespace {

using Json = nlohmann::json;
using ky::test::FakeCameraInfo;

int Discover(std::vector<std::string> extra, std::string* out, std::string* err = nullptr) {
    std::vector<std::string> args = {"discover", "--timeout", "2000"};
    args.insert(args.end(), extra.begin(), extra.end());
    std::ostringstream o, e;
    const int rc = ky::ctl::Run(args, o, e);
    *out = o.str();
    if (err) *err = e.str();
    return rc;
}

std::vector<std::vector<std::string>> Lines(const std::string& text) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        std::vector<std::string> fields;
        size_t start = 0;
        for (size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
            fields.push_back(line.substr(start, tab - start));
        fields.push_back(line.substr(start));
        rows.push_back(fields);
    }
    return rows;
}

class DiscoverNetns : public ::testing::Test {
protected:
    void SetUp() override {
        if (!ky::test::OnlyLoopback()) GTEST_SKIP() << ky::test::kNetnsSkip;
    }
};

TEST_F(DiscoverNetns, FindsTwoHundredEmulatedCamerasOnce) {
    if (!std::filesystem::exists(ky::test::EmulatorProcess::BinaryPath())) GTEST_SKIP() << "built without the emulator";
    ky::test::EmulatorProcess emulator({"--cameras", "200", "--no-rtsp", "--quiet"}, 60000);
    ASSERT_TRUE(emulator.Ok()) << "kycam-emulator did not start";
    std::set<std::string> ports;
    for (int port : ky::test::EmulatorProcess::Ports(emulator.ReadyLine(), "http")) ports.insert(std::to_string(port));
    ASSERT_EQ(ports.size(), 200u);

    std::string out, err;
    ASSERT_EQ(ky::ctl::kOk, Discover({"--json"}, &out, &err)) << err;
    const Json all = Json::parse(out);
    ASSERT_TRUE(all.is_array());
    std::set<std::string> ids, seenPorts;
    for (const Json& cam : all) {
        ids.insert(cam["id"].get<std::string>());
        seenPorts.insert(cam["port"].get<std::string>());
        EXPECT_EQ(cam["ip"], "127.0.0.1");
    }
    EXPECT_EQ(all.size(), 200u) << "listed more than once, or missing";
    EXPECT_EQ(ids.size(), 200u);
    EXPECT_TRUE(ids.count("KY7200-EMU-000001") && ids.count("KY7200-EMU-000200"));
    EXPECT_EQ(seenPorts, ports);   // each camera reports its own web port
}

class DiscoverResponders : public DiscoverNetns {
protected:
    void Add(const DeviceInfo& info) {
        cams_.push_back(std::make_unique<emu::DiscoveryResponder>(info));
        std::string error;
        ASSERT_TRUE(cams_.back()->Start(&error)) << error;
    }
    std::vector<std::unique_ptr<emu::DiscoveryResponder>> cams_;
};

TEST_F(DiscoverResponders, OneLinePerIdentifierByNumericAddress) {
    Add(FakeCameraInfo("CAM-B", "192.168.1.100", "Hall"));
    Add(FakeCameraInfo("CAM-A", "192.168.1.20", "Gate"));
    Add(FakeCameraInfo("CAM-A", "192.168.1.21", "Gate again"));   // same identifier: listed once
    std::string out;
    ASSERT_EQ(ky::ctl::kOk, Discover({}, &out));
    const auto rows = Lines(out);
    ASSERT_EQ(rows.size(), 2u) << out;
    const std::vector<std::string> first = {"192.168.1.20",      "80",        "CAM-A", "V5.1.0", "KY7200", "Gate",
                                            "02:4B:59:00:00:01", "uuid-CAM-A"};
    const std::vector<std::string> gateAgain = {
        "192.168.1.21", "80", "CAM-A", "V5.1.0", "KY7200", "Gate again", "02:4B:59:00:00:01", "uuid-CAM-A"};
    EXPECT_TRUE(rows[0] == first || rows[0] == gateAgain) << out;   // whichever answered first
    EXPECT_EQ(rows[1][0], "192.168.1.100");                         // .20 before .100
    EXPECT_EQ(rows[1][2], "CAM-B");
}

TEST_F(DiscoverResponders, HostileTextsNeitherBreakLinesNorJson) {
    Add(FakeCameraInfo("CAM-X", "10.0.0.2", "evil\tname\nfake line"));
    Add(FakeCameraInfo("CAM-Y", "10.0.0.3", "bad \xff\xfe utf8"));
    std::string out;
    ASSERT_EQ(ky::ctl::kOk, Discover({}, &out));
    const auto rows = Lines(out);
    ASSERT_EQ(rows.size(), 2u) << out;
    for (const auto& r : rows) EXPECT_EQ(r.size(), 8u) << out;
    EXPECT_EQ(rows[0][5], "evil?name?fake line");

    ASSERT_EQ(ky::ctl::kOk, Discover({"--json"}, &out));
    const Json all = Json::parse(out);   // valid JSON despite the broken name
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[1]["name"], "bad \xEF\xBF\xBD\xEF\xBF\xBD utf8");
    EXPECT_EQ(all[1]["family"], 8);
}

TEST_F(DiscoverResponders, NoCameraGivesAnEmptyList) {
    std::string out;
    ASSERT_EQ(ky::ctl::kOk, Discover({"--json"}, &out));
    EXPECT_EQ(Json::parse(out), Json::array());
    EXPECT_EQ(ky::ctl::kUsage, Discover({"extra"}, &out));
}

}   // namespace
