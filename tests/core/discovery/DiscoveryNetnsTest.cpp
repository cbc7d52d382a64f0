// Multicast and broadcast search against several emulated cameras. Runs only
// in a private network namespace whose sole interface is loopback (ctest runs
// it through run-in-netns.sh); anywhere else it is skipped before sending.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "tests/support/FakeCamera.h"
#include "tests/support/Netns.h"
#include "core/discovery/DeviceFinder.h"
#include "core/discovery/SearchLib.h"
#include "tests/core/discovery/Collector.h"
#include "tools/kycam-emulator/DiscoveryResponder.h"

using namespace ky;

namespace {

constexpr int kCameras = 3;

// Camera n (1..kCameras) carries n as its family.
DeviceInfo Camera(int n) {
    const std::string id = std::to_string(n);
    return ky::test::FakeCameraInfo("KY-CAM-" + id, "127.0.0.1", "Caméra " + id, std::to_string(8080 + n), n);
}

// Every camera answered at least perDevice times on this channel.
bool EachAnswered(Collector& col, int handle, int perDevice) {
    return col.WaitUntil([&](const std::vector<Collector::Seen>& seen) {
        const auto count = Collector::CountFor(seen, handle);
        if (count.size() < kCameras) return false;
        for (const auto& [id, n] : count)
            if (n < perDevice) return false;
        return true;
    });
}

class DiscoveryNetns : public ::testing::Test {
protected:
    void SetUp() override {
        if (!ky::test::OnlyLoopback()) GTEST_SKIP() << ky::test::kNetnsSkip;
        SearchSetLocalAddresses(nullptr, 0);   // automatic choice
        for (int n = 1; n <= kCameras; ++n) {
            cams_.push_back(std::make_unique<emu::DiscoveryResponder>(Camera(n)));
            std::string error;
            ASSERT_TRUE(cams_.back()->Start(&error)) << error;
        }
    }
    std::vector<std::unique_ptr<emu::DiscoveryResponder>> cams_;
};

const std::map<std::string, int> kAllOnce = {{"KY-CAM-1", 1}, {"KY-CAM-2", 1}, {"KY-CAM-3", 1}};

}   // namespace

// Every answer is the responder's current record (camera 2's changed).
TEST_F(DiscoveryNetns, BothChannelsFindEveryCameraAndReportEveryReply) {
    DeviceInfo changed = Camera(2);
    search::SetText(changed.httpPort, "9000");
    search::SetText(changed.version, "V2.0.0");
    cams_[1]->SetDeviceInfo(changed);
    EXPECT_EQ(LocalSearchAddresses(), std::vector<std::string>{"127.0.0.1"});   // loopback, as it is all there is
    Collector col;
    const auto channel = [&](const char* address, int port) {
        int h = 0;
        EXPECT_EQ(0, SearchOpen(address, port, &h));
        EXPECT_EQ(0, SearchSetCallback(h, &Collector::Callback, &col));
        EXPECT_EQ(0, SearchProbe(h));
        return h;
    };
    const int mc = channel(search::kMulticastAddress, search::kMulticastPort);
    const int bc = channel(search::kBroadcastAddress, search::kBroadcastPort);
    ASSERT_TRUE(EachAnswered(col, mc, 1));
    ASSERT_TRUE(EachAnswered(col, bc, 1));

    // A second probe: the library reports the repeated answers, it does not
    // filter them (that is the search view's job).
    ASSERT_EQ(0, SearchProbe(bc));
    ASSERT_TRUE(EachAnswered(col, bc, 2));
    const auto seen = col.Snapshot();
    EXPECT_EQ(Collector::CountFor(seen, mc), kAllOnce);   // broadcast replies never leak into multicast
    for (const auto& [h, index, info] : seen) {
        const int n = info.family;
        ASSERT_TRUE(n >= 1 && n <= kCameras);
        const DeviceInfo expected = cams_[n - 1]->GetDeviceInfo();
        EXPECT_EQ(0, std::memcmp(&info, &expected, sizeof info)) << info.deviceId;
    }
    EXPECT_EQ(0, SearchClose(mc));
    EXPECT_EQ(0, SearchClose(bc));
    for (auto& cam : cams_) EXPECT_EQ(cam->ProbesAnswered(), 3u);
}

TEST_F(DiscoveryNetns, RespondersAnswerOnlyValidProbes) {
    int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    ASSERT_GE(fd, 0);
    const int on = 1;
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ASSERT_EQ(0, setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on));
    ASSERT_EQ(0, ::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local));
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(search::kBroadcastPort);
    to.sin_addr.s_addr = htonl(INADDR_BROADCAST);
    auto send = [&](const std::vector<uint8_t>& m) {
        ASSERT_EQ(::sendto(fd, m.data(), m.size(), 0, reinterpret_cast<sockaddr*>(&to), sizeof to),
                  static_cast<ssize_t>(m.size()));
    };

    const auto probe = [](uint32_t id) {
        std::vector<uint8_t> m(search::kMessageSize);
        search::EncodeProbe(id, m.data());
        return m;
    };
    auto shortProbe = probe(111), stuffed = probe(222), reply = probe(0);
    shortProbe.pop_back();
    stuffed[100] = 1;
    search::EncodeReply(333, Camera(9), reply.data());
    for (const auto& m : {shortProbe, stuffed, reply, probe(444)}) send(m);

    // The valid probe came last; on loopback its answers arrive after any
    // answer to the bad ones would have.
    std::map<std::string, int> answers;
    uint8_t buf[1024];
    while (answers.size() < kCameras) {
        pollfd p{fd, POLLIN, 0};
        ASSERT_EQ(1, ::poll(&p, 1, 5000)) << "missing answers";
        const ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        uint32_t id = 0;
        DeviceInfo info;
        ASSERT_TRUE(search::DecodeReply(buf, static_cast<size_t>(n), &id, &info));
        EXPECT_EQ(id, 444u);
        ++answers[info.deviceId];
    }
    ::close(fd);
    EXPECT_EQ(answers, kAllOnce);
}

TEST_F(DiscoveryNetns, DeviceFinderWaitsForOneDevice) {
    DeviceInfo found{};
    ASSERT_TRUE(DeviceFinder::Find("KY-CAM-2", &found));
    EXPECT_STREQ(found.httpPort, "8082");
    DeviceFinder finder;
    ASSERT_EQ(0, finder.Open());
    int seen = 0;
    EXPECT_FALSE(finder.Wait("KY-CAM-404", &found, &seen));   // gives up after its time-out
    EXPECT_EQ(seen, kCameras);
    finder.Close();
    // A stopped camera is missed, and found again once it answers.
    cams_[0]->Stop();
    EXPECT_FALSE(DeviceFinder::Find("KY-CAM-1"));
    ASSERT_TRUE(cams_[0]->Start());
    EXPECT_TRUE(DeviceFinder::Find("KY-CAM-1"));
}
