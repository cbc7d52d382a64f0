// The wired network page against the emulated camera: what it shows and
// hides, what Apply sends, the order of its refusals, the ONVIF-port conflict
// and the end of the session after an address change.
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <unistd.h>

#include <utility>
#include <vector>

#include "gui/pages/network/P_NetDlg.h"
#include "tests/gui/pages/PageTestSupport.h"

namespace {

class NetPageTest : public kytest::PageTest {
protected:
    void SetUp() override {
        kytest::PageTest::SetUp();
        PortTheRulesAccept();
        page = std::make_unique<CP_NetDlg>();
    }
    void TearDown() override {
        page.reset();
        kytest::PageTest::TearDown();
    }
    QLineEdit* Edit(int id) const { return page->Control<QLineEdit>(id); }
    bool Visible(int id) const { return !page->Control<QWidget>(id)->isHidden(); }
    QComboBox* Combo(int id) const { return page->Control<QComboBox>(id); }
    // The camera reports the address and web port the session uses. Ports
    // above 49151 are refused by the page: such an emulator is restarted on
    // one it accepts.
    void PortTheRulesAccept() {
        for (int p = 20000 + getpid() % 20000; emulator->HttpPort() > 49151; p += 97) {
            emulator = std::make_unique<ky::test::EmulatorProcess>(std::vector<std::string>{
                "--no-rtsp", "--no-discovery", "--password", kPassword, "--http-port", std::to_string(p)});
            std::snprintf(camera.device.info.httpPort, sizeof camera.device.info.httpPort, "%d", emulator->HttpPort());
        }
    }
    QString Port() const { return QString::number(emulator->HttpPort()); }
    QString ApplyMessage() {
        presenter.Clear();
        Apply(*page);
        EXPECT_LE(presenter.texts.size(), 1);
        return presenter.Last();
    }
    std::unique_ptr<CP_NetDlg> page;
};

TEST_F(NetPageTest, ShowsTheCameraValuesAndHidesByType) {
    const int rows[] = {1100, 1101, 1102, 1162, 1163, 1164, 1106, 1107, 1160, 1161};
    auto shown = [&] {
        QStringList texts;
        for (int id : {1100, 1101, 1102, 1107, 1152, 1153, 1103}) texts << Edit(id)->text();
        return texts;
    };
    Refresh(*page);
    EXPECT_EQ(shown(), (QStringList{"127.0.0.1", "255.255.255.0", "192.168.1.1", "8.8.4.4", Port(), "554", "1935"}));
    EXPECT_TRUE(page->Control<QRadioButton>(1104)->isChecked());
    for (int id : rows) EXPECT_TRUE(Visible(id)) << id;

    EmuSet("dhcpflag", "on");
    EmuSet("dnsstat", "1");
    EmuSet("rtsp_aenable", "0");
    Refresh(*page);
    EXPECT_EQ(Combo(1098)->currentText(), "Dynamic IP Address");
    EXPECT_EQ(Combo(1099)->currentText(), "From DHCP Server");
    EXPECT_TRUE(page->Control<QRadioButton>(1105)->isChecked());
    // Hidden rows keep their text.
    for (int id : rows) EXPECT_FALSE(Visible(id)) << id;
    EXPECT_EQ(Edit(1100)->text(), "127.0.0.1");
    // The user's choice shows and hides the same rows.
    emit Combo(1098)->activated(0);
    emit Combo(1099)->activated(0);
    for (int id : rows) EXPECT_TRUE(Visible(id)) << id;
    EXPECT_TRUE(presenter.texts.isEmpty());

    // Not logged in: the reset values.
    camera.loggedIn = false;
    Refresh(*page);
    EXPECT_EQ(shown(), (QStringList{"", "", "", "", "80", "554", "1935"}));
    EXPECT_FALSE(page->Control<QRadioButton>(1104)->isChecked() || page->Control<QRadioButton>(1105)->isChecked());
}

TEST_F(NetPageTest, RefusalsInOrderSendNothing) {
    EmuSet("ov_port", "8000");
    Refresh(*page);
    using Typed = std::vector<std::pair<int, const char*>>;
    const struct {
        Typed typed;
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
        // An address left in a hidden field still counts.
        Combo(1098)->setCurrentIndex(1);
        emit Combo(1098)->activated(1);
        for (const auto& [id, text] : c.typed) Edit(id)->setText(QString::fromUtf8(text));
        EXPECT_EQ(ApplyMessage(), c.message) << c.typed.front().second;
        EXPECT_EQ(EmuGet("dhcpflag"), "off");
    }
    EXPECT_EQ(camera.disconnects, 0);
}

TEST_F(NetPageTest, ApplySendsEverythingAndKeepsTheSessionForOtherPorts) {
    Refresh(*page);
    Combo(1099)->setCurrentIndex(1);
    emit Combo(1099)->activated(1);
    // Hidden DNS texts are sent as typed, whatever they hold.
    Edit(1106)->setText(QString::fromUtf8("dns+1%20 \xC3\xA9"));
    Edit(1107)->setText("a&b#c");
    Edit(1153)->setText("10554");
    Edit(1103)->setText("1024");
    page->Control<QRadioButton>(1105)->setChecked(true);
    EXPECT_EQ(ApplyMessage(), "Parameter setting succeeded!");
    EXPECT_EQ(EmuAwait("rtmpport", "1024"), "1024");
    const std::pair<const char*, const char*> stored[] = {
        {"rtspport", "10554"}, {"rtsp_aenable", "0"},           {"dnsstat", "1"},
        {"sdnsip", "a&b#c"},   {"fdnsip", "dns+1%20 \xC3\xA9"}, {"ip", "127.0.0.1"}};
    for (const auto& [key, value] : stored) EXPECT_EQ(EmuGet(key), value) << key;
    EXPECT_EQ(camera.disconnects, 0);
}

TEST_F(NetPageTest, AnAddressOrWebPortChangeEndsTheSession) {
    Refresh(*page);
    Edit(1100)->setText("10.0.0.9");
    EXPECT_EQ(ApplyMessage(), "Parameter setting succeeded!");
    EXPECT_EQ(EmuAwait("ip", "10.0.0.9"), "10.0.0.9");
    EXPECT_EQ(camera.disconnects, 1);
    EXPECT_FALSE(camera.loggedIn);

    camera.loggedIn = true;
    Refresh(*page);
    Edit(1152)->setText("1080");
    EXPECT_EQ(ApplyMessage(), "Parameter setting succeeded!");
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
