// Search channels over loopback unicast only (safe in any namespace): a fake
// camera on 127.0.0.1 answers the probes with good and bad replies.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstring>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "core/discovery/SearchLib.h"
#include "tests/core/discovery/Collector.h"
#include "tests/support/FakeCamera.h"

using namespace ky;
using ky::test::FakeCamera;
using Bytes = std::vector<uint8_t>;

namespace {

Bytes ReplyFor(uint32_t id, const char* deviceId) {
    Bytes msg(search::kMessageSize);
    search::EncodeReply(id, ky::test::FakeCameraInfo(deviceId), msg.data());
    return msg;
}

void UseLocalAddresses(std::vector<const char*> list) {
    std::vector<std::array<char, kSearchAddressSize>> raw(list.size());
    for (size_t i = 0; i < list.size(); ++i) search::SetText(raw[i].data(), kSearchAddressSize, list[i]);
    ASSERT_EQ(0, SearchSetLocalAddresses(reinterpret_cast<const char(*)[kSearchAddressSize]>(raw.data()),
                                         static_cast<int>(raw.size())));
}

class SearchLoopback : public ::testing::Test {
protected:
    void TearDown() override { SearchSetLocalAddresses(nullptr, 0); }
    // Opens a channel to the camera reporting to col and probes `probes` times.
    int Probe(const FakeCamera& cam, Collector& col, int probes = 1) {
        int h = 0;
        EXPECT_EQ(0, SearchOpen("127.0.0.1", cam.port(), &h));
        EXPECT_EQ(0, SearchSetCallback(h, &Collector::Callback, &col));
        for (int i = 0; i < probes; ++i) EXPECT_EQ(0, SearchProbe(h));
        return h;
    }
};

}   // namespace

TEST_F(SearchLoopback, OnlyWellFormedRepliesToOurProbesReachTheCallback) {
    FakeCamera cam([](uint32_t id, size_t) {
        Bytes shortMsg = ReplyFor(id, "FAKE-SHORT");
        shortMsg.pop_back();
        Bytes longMsg = ReplyFor(id, "FAKE-LONG");
        longMsg.push_back(0);
        Bytes badMagic = ReplyFor(id, "FAKE-MAGIC");
        badMagic[0] = 'X';
        Bytes probe(search::kMessageSize);
        search::EncodeProbe(id, probe.data());
        return std::vector<Bytes>{ReplyFor(id + 1, "FAKE-STALE"), shortMsg, longMsg, badMagic, probe,
                                  ReplyFor(id, "FAKE-OK")};
    });
    UseLocalAddresses({"127.0.0.1"});

    Collector col;
    const int h = Probe(cam, col);
    // Loopback keeps order: once FAKE-OK is in, the bad ones were handled.
    ASSERT_TRUE(col.WaitFor(1));
    ASSERT_EQ(0, SearchClose(h));

    const auto seen = col.Snapshot();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_STREQ(seen[0].info.deviceId, "FAKE-OK");
    EXPECT_EQ(seen[0].handle, h);
    EXPECT_EQ(seen[0].localIndex, 0);
}

TEST_F(SearchLoopback, ProbesLeaveFromEveryLocalAddressAndRepliesKeepTheirIndex) {
    FakeCamera cam([](uint32_t id, size_t) { return std::vector<Bytes>{ReplyFor(id, "CAM")}; });
    UseLocalAddresses({"127.0.0.1", "bogus", "127.0.0.2"});

    Collector col;
    const int h = Probe(cam, col);
    ASSERT_TRUE(col.WaitFor(2));
    SearchClose(h);

    std::set<std::string> sources;
    for (const auto& p : cam.probes()) sources.insert(p.source);
    EXPECT_EQ(sources, (std::set<std::string>{"127.0.0.1", "127.0.0.2"}));
    std::set<int> indexes;
    for (const auto& s : col.Snapshot()) indexes.insert(s.localIndex);
    EXPECT_EQ(indexes, (std::set<int>{0, 1}));   // "bogus" was never part of the list
}

TEST_F(SearchLoopback, RepliesToEarlierProbesStillCount) {
    std::mutex m;
    std::vector<uint32_t> ids;
    // Answers only when the second probe arrives, for both probes.
    FakeCamera cam([&](uint32_t id, size_t index) {
        std::lock_guard lock(m);
        ids.push_back(id);
        std::vector<Bytes> out;
        if (index == 1)
            for (uint32_t i : ids) out.push_back(ReplyFor(i, "CAM"));
        return out;
    });
    UseLocalAddresses({"127.0.0.1"});
    Collector col;
    const int h = Probe(cam, col, 2);
    EXPECT_TRUE(col.WaitFor(2));
    SearchClose(h);
}

TEST_F(SearchLoopback, CallbackMayCloseItsOwnChannel) {
    FakeCamera cam([](uint32_t id, size_t) {
        return std::vector<Bytes>{ReplyFor(id, "A"), ReplyFor(id, "B"), ReplyFor(id, "C")};
    });
    UseLocalAddresses({"127.0.0.1"});
    Collector col;
    std::atomic<int> closeResult{1};
    col.onReply = [&](int handle) { closeResult = SearchClose(handle); };
    const int h = Probe(cam, col);
    ASSERT_TRUE(col.WaitFor(1));
    // The channel is gone at once; the detached thread ends by itself and
    // reports nothing more (B and C were already queued behind A).
    EXPECT_EQ(closeResult.load(), 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(col.Snapshot().size(), 1u);
    EXPECT_EQ(-1, SearchProbe(h));
    EXPECT_EQ(-1, SearchClose(h));
}

TEST(SearchLib, OpenAndTheAddressListValidateTheirArguments) {
    int h = 0;
    const std::pair<const char*, int> bad[] = {{nullptr, 12109},           {"", 12109},
                                               {"239.255.255.256", 12109}, {"localhost", 12109},
                                               {"239.255.255.250", 0},     {"239.255.255.250", 65536}};
    for (const auto& [address, port] : bad) EXPECT_EQ(-1, SearchOpen(address, port, &h)) << port;
    EXPECT_EQ(-1, SearchOpen("239.255.255.250", 12109, nullptr));
    EXPECT_EQ(h, 0);
    const char none[2][kSearchAddressSize] = {"not an address", "1.2.3"};
    EXPECT_EQ(-1, SearchSetLocalAddresses(none, 2));
    EXPECT_EQ(-1, SearchSetLocalAddresses(nullptr, 1));
    char unterminated[1][kSearchAddressSize];
    std::memset(unterminated, '1', sizeof unterminated);
    EXPECT_EQ(-1, SearchSetLocalAddresses(unterminated, 1));
    EXPECT_EQ(0, SearchSetLocalAddresses(nullptr, 0));
}

TEST(SearchLib, HandlesAreSmallPositiveAndReused) {
    int a = 0, b = 0, c = 0, d = 0;
    ASSERT_EQ(0, SearchOpen(search::kMulticastAddress, search::kMulticastPort, &a));
    ASSERT_EQ(0, SearchOpen(search::kBroadcastAddress, search::kBroadcastPort, &b));
    ASSERT_EQ(0, SearchOpen(search::kBroadcastAddress, search::kBroadcastPort, &c));
    EXPECT_GT(a, 0);
    EXPECT_LT(c, 100);
    EXPECT_EQ(std::set<int>({a, b, c}).size(), 3u);

    EXPECT_EQ(0, SearchClose(b));
    EXPECT_EQ(-1, SearchClose(b));
    EXPECT_EQ(-1, SearchProbe(b));
    EXPECT_EQ(-1, SearchSetCallback(b, nullptr, nullptr));
    ASSERT_EQ(0, SearchOpen(search::kMulticastAddress, search::kMulticastPort, &d));
    EXPECT_EQ(d, b);
    for (int h : {a, c, d}) EXPECT_EQ(0, SearchClose(h));
}

namespace {
LocalInterface If(const char* name, const char* addr, bool up = true, bool loopback = false, bool p2p = false) {
    return {name, addr, up, loopback, p2p};
}
}   // namespace

// Loopback only when nothing else is up; private addresses first, then the
// adapters' order; no duplicates, no 0.0.0.0; at most ten.
TEST(ChooseSearchAddresses, PrivateFirstThenAdapterOrderCappedAtTen) {
    EXPECT_EQ(ChooseSearchAddresses({If("lo", "127.0.0.1", true, true), If("eth0", "192.168.1.5")}),
              std::vector<std::string>{"192.168.1.5"});
    EXPECT_EQ(ChooseSearchAddresses({If("lo", "127.0.0.1", true, true), If("eth0", "192.168.1.5", false)}),
              std::vector<std::string>{"127.0.0.1"});
    EXPECT_TRUE(ChooseSearchAddresses({}).empty());
    std::vector<LocalInterface> in = {If("tun0", "10.8.0.2", true, false, true),
                                      If("eth0", "203.0.113.7"),
                                      If("eth1", "169.254.3.3"),
                                      If("eth2", "172.20.0.1"),
                                      If("eth3", "172.32.0.1"),
                                      If("eth4", "0.0.0.0"),
                                      If("eth5", "192.168.7.1"),
                                      If("eth6", "192.168.7.1"),
                                      If("eth7", "10.1.1.1")};
    EXPECT_EQ(ChooseSearchAddresses(in),
              (std::vector<std::string>{"172.20.0.1", "192.168.7.1", "10.1.1.1", "203.0.113.7", "172.32.0.1",
                                        "169.254.3.3", "10.8.0.2"}));
    in.clear();
    for (int i = 0; i < 12; ++i) in.push_back(If("eth", ("198.51.100." + std::to_string(i + 1)).c_str()));
    in.push_back(If("wlan0", "192.168.0.9"));
    const auto chosen = ChooseSearchAddresses(in);
    ASSERT_EQ(chosen.size(), 10u);
    EXPECT_EQ(chosen.front() + " " + chosen.back(), "192.168.0.9 198.51.100.9");
}
