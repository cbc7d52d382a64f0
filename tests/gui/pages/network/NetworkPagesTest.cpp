// The network pages against the emulated camera: wired, DDNS/UPnP, wireless,
// ONVIF, GB28181, P2P and 4G/5G. Typed texts with query and escape
// characters, blanks and letters beyond ASCII reach the camera as typed.
#include <unistd.h>

#include "gui/pages/network/P_28181Dlg.h"
#include "gui/pages/network/P_4GDlg.h"
#include "gui/pages/network/P_NetDlg.h"
#include "gui/pages/network/P_ONVIFDlg.h"
#include "gui/pages/network/P_P2PDlg.h"
#include "gui/pages/network/P_RmsetDlg.h"
#include "gui/pages/network/P_WIFIDlg.h"
#include "gui/pages/network/SearchWFDlg.h"
#include "tests/gui/pages/PageTestSupport.h"

namespace {

using namespace kytest;

class NetPageTest : public PageFixture<CP_NetDlg> {
protected:
    void SetUp() override {
        PageFixture::SetUp();
        // The page refuses web ports above 49151: restart such an emulator.
        for (int p = 20000 + getpid() % 20000; emulator->HttpPort() > 49151; p += 97) {
            emulator = std::make_unique<ky::test::EmulatorProcess>(std::vector<std::string>{
                "--no-rtsp", "--no-discovery", "--password", kPassword, "--http-port", std::to_string(p)});
            std::snprintf(camera.device.info.httpPort, sizeof camera.device.info.httpPort, "%d", emulator->HttpPort());
        }
    }
    void Choose(int combo, int index) {
        Ctl<QComboBox>(combo)->setCurrentIndex(index);
        emit Ctl<QComboBox>(combo)->activated(index);
    }
};

// Hidden rows keep their text.
TEST_F(NetPageTest, ShowsTheCameraValuesAndHidesByType) {
    const auto rows = {1100, 1101, 1102, 1162, 1163, 1164, 1106, 1107, 1160, 1161};
    Refresh(*page);
    EXPECT_EQ(Texts(*page, {1100, 1101, 1102, 1107, 1152, 1153, 1103}),
              (QStringList{"127.0.0.1", "255.255.255.0", "192.168.1.1", "8.8.4.4",
                           QString::number(emulator->HttpPort()), "554", "1935"}));
    EXPECT_TRUE(Ctl<QRadioButton>(1104)->isChecked() && Shown(rows));
    EmuSet({{"dhcpflag", "on"}, {"dnsstat", "1"}, {"rtsp_aenable", "0"}});
    Refresh(*page);
    EXPECT_EQ(States({Ctl(1098), Ctl(1099), Ctl(1105), Ctl(1100)}),
              (QStringList{"Dynamic IP Address", "From DHCP Server", "on", "127.0.0.1"}));
    EXPECT_TRUE(Shown(rows, false));
    Choose(1098, 0);
    Choose(1099, 0);
    EXPECT_TRUE(Shown(rows));
}

// The rules' order is the rules' golden file's; these rows are the page's
// controls, an address left in a hidden field, a port that is no number, and
// the ONVIF port read from the camera.
TEST_F(NetPageTest, RefusalsSendNothing) {
    EmuSet("ov_port", "8000");
    for (auto [id, text, message] :
         {std::tuple{1100, "192.168.1.10 ", "The IP address does not meet the requirements!"},
          {1101, "255.255.255", "Mask address does not meet requirements!"},
          {1102, "x", "Gateway address does not meet requirements!"},
          {1103, "rtmp", "RTMP port does not meet the requirements!"},
          {1152, "8000", "HTTP port and ONVIF port conflict!"},
          {1153, "1935", "RTSP port and RTMP port conflict!"}}) {
        Refresh(*page);
        Choose(1098, 1);
        Edit(id)->setText(text);
        EXPECT_EQ(ApplyMessage(), message) << text;
    }
    EXPECT_EQ(EmuGet("dhcpflag"), "off");
}

// Hidden DNS texts are sent as typed, whatever they hold.
TEST_F(NetPageTest, ApplySendsEverythingAndKeepsTheSessionForOtherPorts) {
    Refresh(*page);
    Choose(1099, 1);
    for (const auto& [id, text] :
         {std::pair{1106, "dns+1%20 \xC3\xA9"}, {1107, "a&b#c"}, {1153, "10554"}, {1103, "1024"}})
        Edit(id)->setText(QString::fromUtf8(text));
    Ctl<QRadioButton>(1105)->setChecked(true);
    EXPECT_EQ(ApplyMessage(), kOk);
    ExpectEmu("rtmpport=1024 rtspport=10554 rtsp_aenable=0 dnsstat=1 sdnsip=a&b#c ip=127.0.0.1");
    EXPECT_EQ(EmuGet("fdnsip"), "dns+1%20 \xC3\xA9");
    EXPECT_EQ(camera.disconnects, 0);
}

// An unreachable camera: the page resets and says the network is gone.
TEST_F(NetPageTest, AnAddressOrWebPortChangeEndsTheSession) {
    for (const auto& [id, text] : {std::pair{1100, "10.0.0.9"}, {1152, "1080"}}) {
        camera.loggedIn = true;
        Refresh(*page);
        Edit(id)->setText(text);
        EXPECT_EQ(ApplyMessage(), kOk);
        EXPECT_FALSE(camera.loggedIn);
        EXPECT_EQ(EmuAwait("ip", "10.0.0.9"), "10.0.0.9");
    }
    camera.loggedIn = true;
    Refresh(*page);
    emulator->Stop();
    EXPECT_EQ(ApplyMessage(),
              "The network parameters have been changed. The network has been disconnected. Please reconnect!");
    // A failed write keeps what was typed and says so on the page.
    EXPECT_EQ(Edit(1100)->text(), "10.0.0.9");
    EXPECT_TRUE(page->ErrorLine().startsWith("Writing the settings to "));
    EXPECT_EQ(camera.disconnects, 2);
}

class DdnsPageTest : public PageFixture<CP_RmsetDlg> {
protected:
    void SetUp() override {
        PageFixture::SetUp();
        EmuSet({{"our_enable", "0"}, {"our_uname", "maker user"}, {"our_passwd", "p+q%41"}, {"upm_enable", "1"}});
        EmuSet({{"d3th_enable", "1"}, {"d3th_service", "2"}, {"d3th_domain", "cam.example"}});
        Refresh(*page);
    }
    QRadioButton* Radio(int id) const { return Ctl<QRadioButton>(id); }
};

const auto kMainRows = {1131, 1282, 1110, 1283, 1001, 1284, 1002, 1285};
const auto kProviderRows = {1202, 1286, 1094, 1287, 1095, 1288, 1103, 1289};

// Hidden rows are filled all the same; Cancel reads the camera again.
TEST_F(DdnsPageTest, ShowsTheCameraValuesAndRows) {
    EXPECT_TRUE(Radio(1277)->isChecked() && Radio(1278)->isChecked() && Radio(1280)->isChecked());
    EXPECT_TRUE(Shown(kMainRows, false) && Shown(kProviderRows));
    EXPECT_EQ(Texts(*page, {1131, 1110, 1001, 1002, 1103}),
              (QStringList{"ddns.example.net", "80", "maker user", "p+q%41", "cam.example"}));
    EXPECT_EQ(Ctl<QComboBox>(1202)->currentText(), "3322");
    Radio(1276)->click();
    Radio(1279)->click();
    EXPECT_TRUE(Shown(kMainRows) && Shown(kProviderRows, false));
    Edit(1131)->setText("typed");
    Ctl<QPushButton>(2)->click();
    ASSERT_TRUE(WaitIdle(*page));
    EXPECT_EQ(Edit(1131)->text(), "ddns.example.net");
}

// The texts come back unchanged; a refused write clears the page silently.
TEST_F(DdnsPageTest, ApplyStoresEveryTextAsTyped) {
    Set(Radio(1276), "on", Radio(1281), "on");
    const std::tuple<int, const char*, const char*> typed[] = {
        {1131, "our_server", "a+b"},       {1001, "our_uname", "100% sure"},
        {1002, "our_passwd", "x&cmd=y#z"}, {1094, "d3th_uname", "Gr\xC3\xBC\xC3\x9F dich"},
        {1103, "d3th_domain", "%41%2B"},   {1095, "d3th_passwd", "\xE6\x91\x84\xE5\x83\x8F\xE6\x9C\xBA"}};
    for (const auto& [id, key, text] : typed) Edit(id)->setText(QString::fromUtf8(text));
    Set(Edit(1110), "8081", Ctl(1202), "#-1");
    EXPECT_EQ(ApplyMessage(), kOk);
    for (const auto& [id, key, text] : typed) EXPECT_EQ(EmuGet(key), text) << key;
    ExpectEmu("our_enable=1 our_port=8081 upm_enable=0 d3th_service=-1");
    Refresh(*page);
    for (const auto& [id, key, text] : typed) EXPECT_EQ(Edit(id)->text(), QString::fromUtf8(text));
    Fault("error");
    EXPECT_EQ(ApplyMessage(), "");
    EXPECT_EQ(Edit(1131)->text(), "a+b");
    EXPECT_TRUE(page->ErrorLine().startsWith("Writing the settings to "));
}

TEST_F(DdnsPageTest, InternetAddressOnRequest) {
    auto shown = [&] {
        Ctl<QPushButton>(1275)->click();
        EXPECT_TRUE(WaitIdle(*page));
        return Edit(1134)->text();
    };
    EXPECT_EQ(shown(), "203.0.113.25");
    EmuSet("interip", "");
    EXPECT_EQ(shown(), "Internet IP Address: NULL");
    Fault("silent");
    EmuSet("interip", "203.0.113.26");
    EXPECT_EQ(shown(), "Internet IP Address: NULL");
}

class WifiPageTest : public PageFixture<CP_WIFIDlg> {
protected:
    void SetUp() override {
        PageFixture::SetUp();
        EmuSet({{"wf_enable", "1"}, {"wf_ssid", "HomeNet"}, {"wf_key", "k+%41y"}, {"wf_auth", "2"}, {"wf_enc", "0"}});
        Refresh(*page);
    }
    void TearDown() override {
        // No worker may outlive the test's emulator.
        PumpUntil([] { return !CP_WIFIDlg::CheckBusy() && !CSearchWFDlg::ScanBusy(); });
        PageFixture::TearDown();
    }
    QComboBox* Combo(int id) const { return Ctl<QComboBox>(id); }
    void Type(const QString& ssid, const QString& key) { Set(Edit(1239), ssid, Edit(1247), key, Edit(1248), key); }
    // Presses Check and waits for the test's message.
    QString Checked() {
        presenter.Clear();
        page->OnCheck();
        PumpUntil([&] { return !presenter.texts.isEmpty() && !CP_WIFIDlg::CheckBusy(); });
        return presenter.texts.join("|");
    }
};

const auto kWifiControls = {1240, 1239, 1176, 1241, 1177, 1244, 1246, 1243, 1247, 1245, 1248, 1242, 1173};

// The key is shown as read; the security type decides the key and cipher rows.
TEST_F(WifiPageTest, ShowsTheCameraValuesAndTheSecurityRule) {
    EXPECT_EQ(States({Ctl(1174), Edit(1239), Edit(1247), Combo(1177), Combo(1246)}),
              (QStringList{"on", "HomeNet", "k+%41y", "WPA-PSK", "TKIP"}));
    EXPECT_TRUE(Shown(kWifiControls));
    for (auto [security, key, cipher] :
         {std::tuple{0, false, false}, {1, true, false}, {2, true, true}, {3, true, true}, {-1, false, false}}) {
        Combo(1177)->setCurrentIndex(security);
        page->OnSecurityChanged();
        EXPECT_TRUE(Shown({1243, 1247, 1245, 1248}, key) && Shown({1244, 1246}, cipher) && Shown({1239})) << security;
    }
    Ctl<QRadioButton>(1175)->click();
    EXPECT_TRUE(Shown(kWifiControls, false));
}

// Lengths are bytes: 32 two-byte letters are 64. Security None needs no key.
TEST_F(WifiPageTest, ApplyStoresTheTypedTextsAndRefuses) {
    Type("Net", "Secret");
    Edit(1248)->setText("secret");
    EXPECT_EQ(ApplyMessage(), "The two passwords are inconsistent.");
    Type("Net", QString(32, QChar(0xE9)));
    EXPECT_EQ(ApplyMessage(), "The maximum key length cannot exceed 63 bytes");
    EXPECT_EQ(EmuGet("wf_ssid"), "HomeNet");

    const QString ssid = QString::fromUtf8("Caf\xC3\xA9 +%20 \xE5\xAE\xB6");
    Type(ssid, "");
    Set(Combo(1177), "#0", Combo(1246), "#1", Ctl(1175), "on");
    EXPECT_EQ(ApplyMessage(), kOk);
    EXPECT_EQ(QString::fromStdString(EmuGet("wf_ssid")), ssid);
    EXPECT_EQ(EmuGet("wf_key") + EmuGet("wf_auth") + EmuGet("wf_enc") + EmuGet("wf_enable"), "010");
    Type(QString(63, 's'), "p+%q");
    Apply(*page);
    EXPECT_EQ(EmuGet("wf_ssid") + EmuGet("wf_key"), std::string(63, 's') + "p+%q");
}

// The emulated camera reaches the networks of its scan list; the test
// changes no setting. A slow camera: a second test is refused meanwhile.
TEST_F(WifiPageTest, TheCameraTestsTheTypedSettings) {
    const char* fails = "The device WiFi works abnormally and cannot be connected to the router!";
    Type("", "k");
    EXPECT_EQ(Checked(), "SSID cannot be empty!");
    for (auto [ssid, message] : {std::pair{"HomeNet", "WiFi works normally!"}, {"Elsewhere", fails}}) {
        Type(ssid, "k");
        EXPECT_EQ(Checked(), message) << ssid;
    }
    EXPECT_EQ(EmuGet("emu.chk.wf_ssid") + "/" + EmuGet("wf_ssid"), "Elsewhere/HomeNet");

    Fault("slow");
    Type("Office Guest", "k");
    page->OnCheck();
    ASSERT_TRUE(CP_WIFIDlg::CheckBusy());
    EXPECT_FALSE(Ctl(1173)->isEnabled());
    presenter.Clear();
    page->OnCheck();
    ASSERT_TRUE(PumpUntil([&] { return presenter.texts.size() == 2; }));
    EXPECT_EQ(presenter.texts.join("|"), "Checking WiFi, please wait...|WiFi works normally!");
    EXPECT_TRUE(Ctl(1173)->isEnabled());
    Fault("none");
    emulator->Stop();
    EXPECT_EQ(Checked(), fails);
    camera.loggedIn = false;
    EXPECT_EQ(Checked(), "Device not connected");
}

// One checked row at most and Confirm takes it, or a double-click does; an
// authentication the list does not know selects None. An empty scan, then a
// failed one ("No WiFi found!"), leave the page as it was.
TEST_F(WifiPageTest, ScanListIsShownAndChosen) {
    Fault("slow");
    page->SetDialogRunner([&](CSearchWFDlg& dialog) {
        QTableWidget* list = dialog.List();
        ASSERT_TRUE(CSearchWFDlg::ScanBusy());
        presenter.Clear();
        dialog.OnRefresh();
        EXPECT_EQ(presenter.texts, QStringList{"Searching WiFi, please wait..."});
        ASSERT_TRUE(PumpUntil([&] { return list->rowCount() == 3; }));
        QStringList row;
        for (int c = 0; c < CSearchWFDlg::kColumns; ++c) row << list->item(1, c)->text();
        EXPECT_EQ(row, (QStringList{"2", "-67", "Office Guest", "TKIP", "WPA-PSK", "Infra", "11"}));
        list->item(0, 0)->setCheckState(Qt::Checked);
        emit list->cellClicked(1, 3);
        EXPECT_EQ(list->item(0, 0)->checkState() + 2 * list->item(1, 0)->checkState(), 2 * Qt::Checked);
        dialog.OnConfirm();
    });
    page->OnSearch();
    EXPECT_EQ(States({Edit(1239), Combo(1177), Combo(1246)}), (QStringList{"Office Guest", "WPA-PSK", "TKIP"}));
    Fault("none");

    EmuSet({{"wauth[2]", "WPA3-SAE"}, {"wenc[2]", "GCMP"}});
    page->SetDialogRunner([&](CSearchWFDlg& dialog) {
        ASSERT_TRUE(PumpUntil([&] { return dialog.List()->rowCount() == 3; }));
        emit dialog.List()->cellDoubleClicked(2, 0);
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    });
    page->OnSearch();
    EXPECT_EQ(Edit(1239)->text(), QString::fromUtf8("Caf\xC3\xA9-Lager"));
    EXPECT_EQ(std::pair(Combo(1177)->currentIndex(), Combo(1246)->currentIndex()), std::pair(0, -1));
    EXPECT_TRUE(Shown({1247}, false));

    Edit(1239)->setText("kept");
    presenter.Clear();
    page->SetDialogRunner([&](CSearchWFDlg& dialog) {
        EXPECT_TRUE(PumpUntil([] { return !CSearchWFDlg::ScanBusy(); }));
        PumpEvents(20);
        EXPECT_EQ(dialog.List()->rowCount(), 0);
        dialog.OnConfirm();
    });
    EmuSet("waccess_points", "0");
    page->OnSearch();
    Fault("error");
    page->OnSearch();
    EXPECT_EQ(presenter.texts, QStringList{"No WiFi found!"});
    EXPECT_EQ(Edit(1239)->text(), "kept");
}

using InteropPagesTest = PageTest;

bool Hidden(const QList<QWidget*>& ws, bool hidden) {
    return std::all_of(ws.begin(), ws.end(), [&](QWidget* w) { return w->isHidden() == hidden; });
}

// A read shows or hides nothing; each Allow/Prohibit combination is written,
// a pair with nothing checked prohibits; the port may equal the web port.
// Values beyond the list or the two bits leave the controls unselected or as
// they were.
TEST_F(InteropPagesTest, Onvif) {
    CP_ONVIFDlg page;
    EmuSet({{"ov_enable", "0"}, {"ov_authflag", "0"}, {"ov_forbitset", "2"}});
    Refresh(page);
    EXPECT_EQ(States({page.Enable(), page.Auth(), page.TimeZone(), page.Image(), page.NvcType()}),
              (QStringList{"1", "1", "0", "1", "Normal"}));
    EXPECT_TRUE(Hidden(page.Switched(), false));
    for (auto [zone, image, sent] : {std::tuple{0, 0, "0"}, {1, 0, "1"}, {0, 1, "2"}, {1, 1, "3"}, {-1, 0, "1"}}) {
        Set(page.TimeZone(), QString::number(zone), page.Image(), QString::number(image));
        EXPECT_EQ(ApplyMessage(page), kOk);
        EXPECT_EQ(EmuGet("ov_forbitset"), sent);
    }
    Set(page.Enable(), "0", page.Port(), QString::number(emulator->HttpPort()));
    EXPECT_EQ(ApplyMessage(page), kOk);
    EXPECT_EQ(EmuGet("ov_enable") + EmuGet("ov_port"), "1" + std::to_string(emulator->HttpPort()));

    EmuSet({{"ov_forbitset", "5"}, {"ov_nvctype", "7"}});
    page.TimeZone()->Check(1);
    Refresh(page);
    EXPECT_EQ(States({page.TimeZone(), page.NvcType()}), (QStringList{"1", ""}));
    page.Enable()->Second()->click();
    EXPECT_TRUE(Hidden(page.Switched(), true));
}

const auto kGbFields = {1131, 1132, 1133, 1134, 1135, 1002, 1137, 1138, 1139, 1140};
const QStringList kGbDefaults{"", "", "5060", "", "5060", "97531086", "", "60", "3", "3600"};

// A word in a number field is 0. Cancel hides and resets the fields but keeps
// the switch; without a camera "On" shows the fields but keeps nothing chosen.
TEST_F(InteropPagesTest, Gb28181) {
    CP_28181Dlg page;
    EmuSet({{"gb_enable", "1"}, {"gb_regtime", "-5"}});
    Refresh(page);
    EXPECT_EQ(page.Enable()->Checked(), 0);
    EXPECT_TRUE(Hidden(page.Switched(), false));
    EXPECT_EQ(Texts(page, kGbFields),
              (QStringList{"34020000002000000001", "192.168.1.100", "5060", "34020000001320000001", "5060", "12345678",
                           "34020000001340000001", "60", "3", "-5"}));
    const std::tuple<int, const char*, const char*> typed[] = {{1131, "gb_svrid", "a+b"},
                                                               {1132, "gb_svrip", "100%25 & more"},
                                                               {1134, "gb_devid", "x=y#z"},
                                                               {1002, "gb_devpwd", "Stra\u00dfe \u5317\u4eac"},
                                                               {1137, "gb_alarmid", " lead"}};
    for (const auto& [id, key, text] : typed) page.Field(id)->setText(QString::fromUtf8(text));
    page.Field(1133)->setText("port");
    page.Enable()->Second()->click();
    EXPECT_TRUE(Hidden(page.Switched(), true));
    EXPECT_EQ(ApplyMessage(page), kOk);
    for (const auto& [id, key, text] : typed) EXPECT_EQ(EmuGet(key), text);
    EXPECT_EQ(EmuGet("gb_enable") + EmuGet("gb_svrport"), "00");

    page.Enable()->First()->click();
    page.OnCancel();
    EXPECT_TRUE(Hidden(page.Switched(), true));
    EXPECT_EQ(page.Enable()->Checked(), 0);
    EXPECT_EQ(Texts(page, kGbFields), kGbDefaults);
    camera.loggedIn = false;
    Set(page.Enable(), "-1", page.Field(1131), "X");
    page.Enable()->First()->click();
    EXPECT_EQ(page.Enable()->Checked(), -1);
    EXPECT_TRUE(Hidden(page.Switched(), false));
    EXPECT_EQ(Texts(page, kGbFields), kGbDefaults);
    Apply(page);
    EXPECT_TRUE(Hidden(page.Switched(), true));
}

using P2pPageTest = PageFixture<CP_P2PDlg>;

bool UuidShown(const CP_P2PDlg& p) { return !p.Uuid()->isHidden() && !p.UuidLabel()->isHidden(); }

// The family picks the commands. Switching off needs no UUID and is sent,
// switching on needs one; a failed write resets silently.
TEST_F(P2pPageTest, FamilyPicksTheCommandsAndOnlyOnNeedsTheUuid) {
    for (auto [family, prefix, uid] : {std::tuple{8, "kyp2p_", "KY-1"}, {0, "xqp2p_", "XQ-1"}, {9, "xqp2p_", ""}}) {
        SCOPED_TRACE(family);
        camera.device.info.family = family;
        const std::string enable = std::string(prefix) + "enable";
        EmuSet({{enable, "1"}, {std::string(prefix) + "uid", uid}});
        Refresh(*page);
        EXPECT_EQ(States({page->Uuid(), page->Enable()}), (QStringList{uid, "0"}));
        EXPECT_TRUE(UuidShown(*page));
        page->Enable()->Second()->click();
        EXPECT_FALSE(UuidShown(*page));
        EXPECT_EQ(ApplyMessage(), kOk);
        EXPECT_EQ(EmuGet(enable), "0");
    }
    page->Enable()->First()->click();
    EXPECT_EQ(ApplyMessage(), "Enable P2P, UUID cannot be empty!");
    EXPECT_EQ(EmuGet("xqp2p_enable"), "0");
    Fault("no-200");
    page->Uuid()->setText("U");
    EXPECT_EQ(ApplyMessage(), "");
    EXPECT_EQ(States({page->Uuid(), page->Enable()}), (QStringList{"U", "0"}));
    EXPECT_TRUE(UuidShown(*page));
    EXPECT_TRUE(page->ErrorLine().startsWith("Writing the settings to "));
}

class CellularPageTest : public PageFixture<CP_4GDlg> {
protected:
    void Type(int mode, const QString& apn, const QString& user, const QString& password) {
        page->ModeList()->setCurrentIndex(mode);
        Set(page->Field(1139), apn, page->Field(1001), user, page->Field(1002), password);
    }
};

TEST_F(CellularPageTest, CameraWithoutModemIsNeverAsked) {
    Fault("drop-first");   // the next connection is dropped: see the end
    page->Field(1139)->setText("typed");
    Refresh(*page);
    EXPECT_TRUE(page->Field(1139)->text().isEmpty());
    EXPECT_EQ(ApplyMessage(), "The device does not support 4g/5g settings!");
    // The drop is still pending, so the page never connected.
    CellularAttr rec{};
    EXPECT_EQ(CCameraPage::Call(CCameraPage::Target(), &CCgiClient::Get4gAttr, &rec), -1);
}

// With neither capability field at 1 the title is kept. The mode decides
// whether an APN is needed; the APN's 31 bytes fill its field; the operator
// goes back as read. Values beyond the lists clear the selection, and Apply
// then wants an authentication type. A failed write resets silently.
TEST_F(CellularPageTest, ShowsAndWrites) {
    for (auto [g4, g5, title, carrier, shown] : {std::tuple{"1", "0", "4G Settings", "chn-unicom", "CHN-UNICOM"},
                                                 {"1", "1", "5G Settings", "China Mobile", "CHINA MOBILE"},
                                                 {"2", "0", "5G Settings", "Vodafone", "Unknown Operator"}}) {
        std::strcpy(capability.field[13], g4);
        std::strcpy(capability.field[15], g5);
        EmuSet("g4_carrier", carrier);
        Refresh(*page);
        EXPECT_EQ(page->Title()->text() + "/" + page->Field(1136)->text(), QString(title) + "/" + shown);
    }
    EXPECT_EQ(Texts(*page, {1131, 1132, 1133, 1135, 1137, 1138}),
              (QStringList{"Have card", "EC200A-CN-V1.0", "24", "0", "861234567890123", "89860012345678901234"}));
    const QString u64(64, 'u');
    for (auto [mode, apn, message] :
         {std::tuple{1, QString(), "APN is Invalidate!"}, {0, QString(), "The User length is limited to 63 chars!"}}) {
        Type(mode, apn, u64, u64);
        EXPECT_EQ(ApplyMessage(), message);
    }
    EXPECT_EQ(EmuGet("g4_username"), "");

    page->AuthList()->setCurrentIndex(3);
    Type(1, QString::fromUtf8("n+4g%20 \u00e4") + QString(21, 'a'), "us er&=#", QString::fromUtf8("\u5bc6+%"));
    EXPECT_EQ(ApplyMessage(), kOk);
    EXPECT_EQ(EmuGet("g4_runmode") + EmuGet("g4_authtype") + EmuGet("g4_carrier"), "13Vodafone");
    EXPECT_EQ(EmuGet("g4_apn"), "n+4g%20 \u00e4" + std::string(21, 'a'));
    EXPECT_EQ(EmuGet("g4_username") + "|" + EmuGet("g4_password"), "us er&=#|\u5bc6+%");

    EmuSet({{"g4_runmode", "4"}, {"g4_authtype", "9"}});
    Refresh(*page);
    EXPECT_EQ(page->ModeList()->currentIndex() + page->AuthList()->currentIndex(), -2);
    EXPECT_EQ(ApplyMessage(), "Please select the authentication method!");
    page->AuthList()->setCurrentIndex(0);
    Fault("error");
    EXPECT_EQ(ApplyMessage(), "");
    EXPECT_FALSE(page->Field(1139)->text().isEmpty());
    EXPECT_EQ(page->AuthList()->currentIndex(), 0);
    EXPECT_TRUE(page->ErrorLine().startsWith("Writing the settings to "));
    // After a failed read nothing goes back: the operator was never read.
    Fault("none");
    Fault("no-200=1");
    Refresh(*page);
    Sent();
    EXPECT_EQ(ApplyMessage() + QString::fromStdString(Sent()), "");
}

}   // namespace
