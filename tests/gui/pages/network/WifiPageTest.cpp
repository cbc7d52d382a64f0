// The Wireless page and the scan dialog: shown values and the visibility
// rule, refusals in order, what Apply sends, the camera's test and scan on
// their workers while the window keeps working.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>

#include "gui/pages/network/P_WIFIDlg.h"
#include "gui/pages/network/SearchWFDlg.h"
#include "tests/gui/pages/PageTestSupport.h"

namespace {

const auto kWifiControls = {1240, 1239, 1176, 1241, 1177, 1244, 1246, 1243, 1247, 1245, 1248, 1242, 1173};

class WifiPageTest : public kytest::PageFixture<CP_WIFIDlg> {
protected:
    void SetUp() override {
        kytest::PageFixture<CP_WIFIDlg>::SetUp();
        EmuSet({{"wf_enable", "1"}, {"wf_ssid", "HomeNet"}, {"wf_key", "k+%41y"}, {"wf_auth", "2"}, {"wf_enc", "0"}});
        Refresh(*page);
    }
    void TearDown() override {
        // No worker may outlive the test's emulator.
        PumpUntil([] { return !CP_WIFIDlg::CheckBusy() && !CSearchWFDlg::ScanBusy(); });
        kytest::PageFixture<CP_WIFIDlg>::TearDown();
    }
    QLineEdit* Edit(int id) const { return Ctl<QLineEdit>(id); }
    QComboBox* Combo(int id) const { return Ctl<QComboBox>(id); }
    void Type(const QString& ssid, const QString& key, const QString& confirm) {
        Edit(1239)->setText(ssid);
        Edit(1247)->setText(key);
        Edit(1248)->setText(confirm);
    }
    // Presses Check and waits for the test's message.
    QString Checked() {
        presenter.Clear();
        page->OnCheck();
        PumpUntil([&] { return !presenter.texts.isEmpty() && !CP_WIFIDlg::CheckBusy(); });
        return presenter.texts.join("|");
    }
};

TEST_F(WifiPageTest, ShowsTheCameraValuesAndTheSecurityRule) {
    EXPECT_TRUE(Ctl<QRadioButton>(1174)->isChecked());
    // The key is shown as read.
    EXPECT_EQ(
        (QStringList{Edit(1239)->text(), Edit(1247)->text(), Combo(1177)->currentText(), Combo(1246)->currentText()}),
        (QStringList{"HomeNet", "k+%41y", "WPA-PSK", "TKIP"}));
    EXPECT_TRUE(Shown(kWifiControls));
    // Security type -> key rows, cipher row.
    for (auto [security, key, cipher] :
         {std::tuple{0, false, false}, {1, true, false}, {2, true, true}, {3, true, true}, {-1, false, false}}) {
        Combo(1177)->setCurrentIndex(security);
        page->OnSecurityChanged();
        EXPECT_TRUE(Shown({1243, 1247, 1245, 1248}, key) && Shown({1244, 1246}, cipher) && Shown({1239})) << security;
    }
    Ctl<QRadioButton>(1175)->click();
    EXPECT_TRUE(Shown(kWifiControls, false));
}

TEST_F(WifiPageTest, ApplyStoresTheTypedTextsAndRefusesInOrder) {
    const QString s63(63, 's'), s64(64, 's'), e32(32, QChar(0xE9));   // 32 two-byte letters: 64 bytes
    for (auto [ssid, key, confirm, message] :
         {std::tuple{QString("Net"), QString("Secret"), QString("secret"), "The two passwords are inconsistent."},
          {s64, "k", "x", "The two passwords are inconsistent."},
          {s64, "k", "k", "SSID maximum length cannot exceed 63 bytes."},
          {"Net", e32, e32, "The maximum key length cannot exceed 63 bytes"}}) {
        Type(ssid, key, confirm);
        EXPECT_EQ(ApplyMessage(), message) << ssid.size();
        EXPECT_EQ(EmuGet("wf_ssid"), "HomeNet");
    }

    // Blanks, + and %, letters beyond ASCII; security None with no key is fine here.
    const QString ssid = QString::fromUtf8("Caf\xC3\xA9 +%20 \xE5\xAE\xB6");
    Type(ssid, "", "");
    Combo(1177)->setCurrentIndex(0);
    Combo(1246)->setCurrentIndex(1);
    Ctl<QRadioButton>(1175)->setChecked(true);
    EXPECT_EQ(ApplyMessage(), "Parameter setting succeeded!");
    EXPECT_EQ(QString::fromStdString(EmuGet("wf_ssid")), ssid);
    EXPECT_EQ(EmuGet("wf_key") + EmuGet("wf_auth") + EmuGet("wf_enc") + EmuGet("wf_enable"), "010");

    Type(s63, "p+%q", "p+%q");
    Apply(*page);
    EXPECT_EQ(EmuGet("wf_ssid") + EmuGet("wf_key"), s63.toStdString() + "p+%q");
}

// The emulated camera reaches the networks of its scan list; the test
// changes no setting.
TEST_F(WifiPageTest, TheCameraTestsTheTypedSettings) {
    const char* fails = "The device WiFi works abnormally and cannot be connected to the router!";
    for (auto [security, ssid, key, message] : {std::tuple{2, "", "k", "SSID cannot be empty!"},
                                                {0, "HomeNet", "", "Key cannot be empty!"},
                                                {0, "HomeNet", "k", "WiFi works normally!"},
                                                {0, "Elsewhere", "k", fails}}) {
        Combo(1177)->setCurrentIndex(security);
        Type(ssid, key, key);
        EXPECT_EQ(Checked(), message) << ssid;
    }
    EXPECT_EQ(EmuGet("emu.chk.wf_ssid") + "/" + EmuGet("wf_ssid"), "Elsewhere/HomeNet");

    // A slow camera: a second test is refused while the first runs.
    Fault("slow");
    Type("Office Guest", "k", "k");
    page->OnCheck();
    ASSERT_TRUE(CP_WIFIDlg::CheckBusy());
    EXPECT_FALSE(Ctl<QPushButton>(1173)->isEnabled());
    presenter.Clear();
    page->OnCheck();
    ASSERT_TRUE(PumpUntil([&] { return presenter.texts.size() == 2; }));
    EXPECT_EQ(presenter.texts.join("|"), "Checking WiFi, please wait...|WiFi works normally!");
    EXPECT_TRUE(Ctl<QPushButton>(1173)->isEnabled());
    Fault("none");
    emulator->Stop();
    EXPECT_EQ(Checked(), fails);
    camera.loggedIn = false;
    EXPECT_EQ(Checked(), "Device not connected");
}

TEST_F(WifiPageTest, ScanListIsShownAndChosen) {
    Fault("slow");
    page->SetDialogRunner([&](CSearchWFDlg& dialog) {
        QTableWidget* list = dialog.List();
        ASSERT_TRUE(CSearchWFDlg::ScanBusy());
        presenter.Clear();
        dialog.OnRefresh();   // a second scan while one runs is refused
        EXPECT_EQ(presenter.texts, QStringList{"Searching WiFi, please wait..."});
        ASSERT_TRUE(PumpUntil([&] { return list->rowCount() == 3; }));
        const QStringList row2 = {"2", "-67", "Office Guest", "TKIP", "WPA-PSK", "Infra", "11"};
        for (int c = 0; c < CSearchWFDlg::kColumns; ++c) EXPECT_EQ(list->item(1, c)->text(), row2[c]) << c;
        EXPECT_EQ(list->item(2, CSearchWFDlg::kSsid)->text(), QString::fromUtf8("Caf\xC3\xA9-Lager"));
        // One checked row at most; Confirm takes it.
        list->item(0, 0)->setCheckState(Qt::Checked);
        emit list->cellClicked(1, 3);
        EXPECT_EQ(list->item(0, 0)->checkState() + 2 * list->item(1, 0)->checkState(), 2 * Qt::Checked);
        dialog.OnConfirm();
    });
    page->OnSearch();
    EXPECT_EQ((QStringList{Edit(1239)->text(), Combo(1177)->currentText(), Combo(1246)->currentText()}),
              (QStringList{"Office Guest", "WPA-PSK", "TKIP"}));
    Fault("none");

    // Double-click chooses; an authentication the list does not know selects None.
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

    // Confirm with nothing checked after an empty scan, then Cancel after a failed scan.
    Edit(1239)->setText("kept");
    EmuSet("waccess_points", "0");
    presenter.Clear();
    page->SetDialogRunner([&](CSearchWFDlg& dialog) {
        EXPECT_TRUE(PumpUntil([] { return !CSearchWFDlg::ScanBusy(); }));
        kytest::PumpEvents(20);
        EXPECT_EQ(dialog.List()->rowCount(), 0);
        dialog.OnConfirm();
    });
    page->OnSearch();
    Fault("error");
    page->SetDialogRunner([&](CSearchWFDlg& dialog) {
        EXPECT_TRUE(PumpUntil([&] { return !presenter.texts.isEmpty(); }));
        dialog.reject();
    });
    page->OnSearch();
    EXPECT_EQ(presenter.texts, QStringList{"No WiFi found!"});
    EXPECT_EQ(Edit(1239)->text(), "kept");
}

}   // namespace
