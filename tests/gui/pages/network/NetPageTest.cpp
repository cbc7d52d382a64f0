// The wired network page: shown values and rows, the order of its refusals,
// what Apply sends, and the end of the session after an address change.
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <unistd.h>

#include <utility>
#include <vector>

#include "gui/pages/network/P_NetDlg.h"
#include "tests/gui/pages/PageTestSupport.h"

namespace {

class NetPageTest : public kytest::PageFixture<CP_NetDlg> {
protected:
    void SetUp() override {
        kytest::PageFixture<CP_NetDlg>::SetUp();
        // The page refuses web ports above 49151: restart such an emulator.
        for (int p = 20000 + getpid() % 20000; emulator->HttpPort() > 49151; p += 97) {
            emulator = std::make_unique<ky::test::EmulatorProcess>(std::vector<std::string>{
                "--no-rtsp", "--no-discovery", "--password", kPassword, "--http-port", std::to_string(p)});
            std::snprintf(camera.device.info.httpPort, sizeof camera.device.info.httpPort, "%d", emulator->HttpPort());
        }
    }
    QLineEdit* Edit(int id) const { return Ctl<QLineEdit>(id); }
    void Choose(int combo, int index) {
        Ctl<QComboBox>(combo)->setCurrentIndex(index);
        emit Ctl<QComboBox>(combo)->activated(index);
    }
};

TEST_F(NetPageTest, ShowsTheCameraValuesAndHidesByType) {
    const auto rows = {1100, 1101, 1102, 1162, 1163, 1164, 1106, 1107, 1160, 1161};
    Refresh(*page);
    EXPECT_EQ(kytest::Texts(*page, {1100, 1101, 1102, 1107, 1152, 1153, 1103}),
              (QStringList{"127.0.0.1", "255.255.255.0", "192.168.1.1", "8.8.4.4",
                           QString::number(emulator->HttpPort()), "554", "1935"}));
    EXPECT_TRUE(Ctl<QRadioButton>(1104)->isChecked());
    EXPECT_TRUE(Shown(rows));

    EmuSet({{"dhcpflag", "on"}, {"dnsstat", "1"}, {"rtsp_aenable", "0"}});
    Refresh(*page);
    EXPECT_EQ(Ctl<QComboBox>(1098)->currentText() + Ctl<QComboBox>(1099)->currentText(),
              "Dynamic IP AddressFrom DHCP Server");
    EXPECT_TRUE(Ctl<QRadioButton>(1105)->isChecked());
    EXPECT_TRUE(Shown(rows, false));
    EXPECT_EQ(Edit(1100)->text(), "127.0.0.1");   // hidden rows keep their text
    Choose(1098, 0);
    Choose(1099, 0);
    EXPECT_TRUE(Shown(rows));
}

TEST_F(NetPageTest, RefusalsInOrderSendNothing) {
    EmuSet("ov_port", "8000");
    const struct {
        std::vector<std::pair<int, const char*>> typed;
        const char* message;
    } kCases[] = {
        {{{1100, "192.168.1.300"}}, "The IP address does not meet the requirements!"},
        {{{1100, "192.168.1.10 "}}, "The IP address does not meet the requirements!"},
        {{{1101, "255.255.255"}}, "Mask address does not meet requirements!"},
        {{{1102, "x"}}, "Gateway address does not meet requirements!"},
        {{{1152, "49152"}}, "HTTP port does not meet the requirements!"},
        {{{1153, "1023"}}, "RTSP port does not meet the requirements!"},
        {{{1103, "rtmp"}}, "RTMP port does not meet the requirements!"},
        {{{1152, "8000"}}, "HTTP port and ONVIF port conflict!"},
        {{{1153, "8000"}}, "RTSP port and ONVIF port conflict!"},
        {{{1103, "8000"}}, "RTMP port and ONVIF port conflict!"},
        {{{1152, "1080"}, {1153, "1080"}}, "HTTP port and RTSP port conflict!"},
        {{{1152, "49151"}, {1103, "49151"}}, "HTTP port and RTMP port conflict!"},
        {{{1153, "1024"}, {1103, "1024"}}, "RTSP port and RTMP port conflict!"},
    };
    for (const auto& c : kCases) {
        Refresh(*page);
        Choose(1098, 1);   // an address left in a hidden field still counts
        for (const auto& [id, text] : c.typed) Edit(id)->setText(QString::fromUtf8(text));
        EXPECT_EQ(ApplyMessage(), c.message) << c.typed.front().second;
        EXPECT_EQ(EmuGet("dhcpflag"), "off");
    }
    EXPECT_EQ(camera.disconnects, 0);
}

TEST_F(NetPageTest, ApplySendsEverythingAndKeepsTheSessionForOtherPorts) {
    Refresh(*page);
    Choose(1099, 1);
    // Hidden DNS texts are sent as typed, whatever they hold.
    for (const auto& [id, text] :
         {std::pair{1106, "dns+1%20 \xC3\xA9"}, {1107, "a&b#c"}, {1153, "10554"}, {1103, "1024"}})
        Edit(id)->setText(QString::fromUtf8(text));
    Ctl<QRadioButton>(1105)->setChecked(true);
    EXPECT_EQ(ApplyMessage(), "Parameter setting succeeded!");
    ExpectEmu("rtmpport=1024 rtspport=10554 rtsp_aenable=0 dnsstat=1 sdnsip=a&b#c ip=127.0.0.1");
    EXPECT_EQ(EmuGet("fdnsip"), "dns+1%20 \xC3\xA9");
    EXPECT_EQ(camera.disconnects, 0);
}

TEST_F(NetPageTest, AnAddressOrWebPortChangeEndsTheSession) {
    for (const auto& [id, text] : {std::pair{1100, "10.0.0.9"}, {1152, "1080"}}) {
        camera.loggedIn = true;
        Refresh(*page);
        Edit(id)->setText(text);
        EXPECT_EQ(ApplyMessage(), "Parameter setting succeeded!");
        EXPECT_FALSE(camera.loggedIn);
        EXPECT_EQ(EmuAwait("ip", "10.0.0.9"), "10.0.0.9");
    }
    EXPECT_EQ(camera.disconnects, 2);

    // An unreachable camera: the page resets and says the network is gone.
    camera.loggedIn = true;
    Refresh(*page);
    emulator->Stop();
    EXPECT_EQ(ApplyMessage(),
              "The network parameters have been changed. The network has been disconnected. Please reconnect!");
    EXPECT_EQ(Edit(1100)->text(), "");
    EXPECT_EQ(camera.disconnects, 2);
}

}   // namespace
