// Probe/reply encoding: the byte layout other implementations rely on, and
// the strict decoder that drops everything that is not exactly one message.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "core/discovery/SearchProto.h"
#include "core/services/FieldText.h"
#include "tests/support/FakeCamera.h"

using namespace ky::search;

namespace {

DeviceInfo SampleInfo() { return ky::test::FakeCameraInfo("KY123456789", "192.168.1.20", "Caméra entrée", "8080", -2); }

std::vector<uint8_t> Reply(uint32_t id, const DeviceInfo& info) {
    std::vector<uint8_t> msg(kMessageSize);
    EncodeReply(id, info, msg.data());
    return msg;
}

bool Decodes(const std::vector<uint8_t>& msg) {
    uint32_t id;
    DeviceInfo info;
    return DecodeReply(msg.data(), msg.size(), &id, &info);
}

}   // namespace

TEST(SearchProto, ReplyRoundTripAndWireLayout) {
    const DeviceInfo in = SampleInfo();
    std::vector<uint8_t> msg = Reply(0xA1B2C3D4u, in);

    // Header: magic, version, type, reserved, request id little-endian.
    const uint8_t header[] = {'K', 'Y', 'S', 'R', 1, 2, 0, 0, 0xD4, 0xC3, 0xB2, 0xA1};
    EXPECT_EQ(0, std::memcmp(msg.data(), header, sizeof header));
    // Record fields at their fixed offsets after the header.
    const char* body = reinterpret_cast<const char*>(msg.data()) + kHeaderSize;
    EXPECT_STREQ(body + 0, "KY123456789");
    EXPECT_STREQ(body + 107, "Caméra entrée");
    EXPECT_STREQ(body + 214, "8080");
    EXPECT_STREQ(body + 232, "192.168.1.20");
    EXPECT_STREQ(body + 340, "uuid-KY123456789");
    const uint8_t family[] = {0xFE, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(0, std::memcmp(body + 480, family, 4));

    // A byte after a text's NUL is not part of it and must not leak into the record.
    msg[kHeaderSize + 232 + 20] = 'X';
    uint32_t id = 0;
    DeviceInfo out;
    ASSERT_TRUE(DecodeReply(msg.data(), msg.size(), &id, &out));
    EXPECT_EQ(id, 0xA1B2C3D4u);
    EXPECT_EQ(0, std::memcmp(&in, &out, sizeof in));
}

TEST(SearchProto, ProbeRoundTripAndRules) {
    std::vector<uint8_t> probe(kMessageSize);
    EncodeProbe(7, probe.data());
    uint32_t id = 0;
    ASSERT_TRUE(DecodeProbe(probe.data(), probe.size(), &id));
    EXPECT_EQ(id, 7u);

    // Shorter, padded, longer; a reply is not a probe and a probe is not a reply.
    auto padded = probe, longer = probe;
    padded.back() = 1;
    longer.push_back(0);
    for (const auto& bad :
         {std::vector<uint8_t>(probe.begin(), probe.end() - 1), padded, longer, Reply(7, SampleInfo())})
        EXPECT_FALSE(DecodeProbe(bad.data(), bad.size(), &id)) << bad.size();
    EXPECT_FALSE(Decodes(probe));
}

TEST(SearchProto, MalformedRepliesAreDropped) {
    const auto good = Reply(1, SampleInfo());
    ASSERT_TRUE(Decodes(good));

    auto truncated = good;
    truncated.pop_back();
    EXPECT_FALSE(Decodes(truncated));
    auto oversized = good;
    oversized.push_back(0);
    EXPECT_FALSE(Decodes(oversized));
    EXPECT_FALSE(Decodes({}));
    EXPECT_FALSE(DecodeReply(nullptr, kMessageSize, nullptr, nullptr));

    // Magic, version, type and reserved bytes.
    const std::pair<size_t, uint8_t> changes[] = {{0, 'k'}, {3, 'r'}, {4, 0}, {4, 2}, {4, 255},
                                                  {5, 0},   {5, 1},   {5, 3}, {6, 1}, {7, 1}};
    for (const auto& [at, value] : changes) {
        auto bad = good;
        bad[at] = value;
        EXPECT_FALSE(Decodes(bad)) << "byte " << at << " = " << int(value);
    }
}

TEST(SearchProto, ReplyWithUnterminatedFieldIsDroppedAndLeavesOutputAlone) {
    const auto good = Reply(1, SampleInfo());
    for (const TextField& f : kTextFields) {
        auto bad = good;
        std::memset(bad.data() + kHeaderSize + f.offset, 'A', f.width);
        DeviceInfo out;
        std::memset(&out, 0x5A, sizeof out);
        uint32_t id = 99;
        EXPECT_FALSE(DecodeReply(bad.data(), bad.size(), &id, &out)) << f.name;
        EXPECT_EQ(id, 99u) << f.name;
        EXPECT_EQ(out.deviceId[0], 0x5A) << f.name;

        // The field filled right up to its last byte is still valid.
        bad[kHeaderSize + f.offset + f.width - 1] = 0;
        EXPECT_TRUE(Decodes(bad)) << f.name;
    }
}

TEST(SearchProto, EncoderNeverEmitsWhatItsDecoderDrops) {
    DeviceInfo info = SampleInfo();
    std::memset(info.deviceName, 'n', sizeof info.deviceName);   // no NUL at all
    std::memcpy(info.deviceType, "\xE6\x91\x84", 3);             // multibyte at the end
    std::memset(info.deviceType + 3, 'x', sizeof info.deviceType - 3);
    std::memcpy(info.deviceType + sizeof info.deviceType - 2, "\xC3\xA9", 2);
    const auto msg = Reply(5, info);
    DeviceInfo out;
    ASSERT_TRUE(DecodeReply(msg.data(), msg.size(), nullptr, &out));
    EXPECT_EQ(ky::FieldText(out.deviceName), std::string(40, 'n'));
    // The two-byte sequence would not fit before the NUL: cut whole.
    EXPECT_EQ(ky::FieldText(out.deviceType).size(), sizeof info.deviceType - 2);
}

TEST(SearchProto, SetTextFitsTheFieldOnUtf8Boundaries) {
    char field[6];
    SetText(field, "abcdefgh");
    EXPECT_STREQ(field, "abcde");
    SetText(field, "ab\xE2\x82\xAC");   // "ab€" is exactly 5 bytes
    EXPECT_STREQ(field, "ab\xE2\x82\xAC");
    SetText(field, "abc\xE2\x82\xAC");   // the euro sign no longer fits
    EXPECT_STREQ(field, "abc");
    EXPECT_EQ(field[4], 0);
    SetText(field, std::string_view("a\0b", 3));
    EXPECT_STREQ(field, "a");
}
