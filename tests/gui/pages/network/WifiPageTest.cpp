// The Wireless page and the scan dialog against the emulated camera: shown
// values and the visibility rule, what Apply sends, refusals in order, the
// camera's test and scan on their workers while the window keeps working.
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTimer>

#include "gui/pages/network/P_WIFIDlg.h"
#include "gui/pages/network/SearchWFDlg.h"
#include "tests/gui/pages/PageTestSupport.h"

namespace {

constexpr int kWifiControls[] = {1240, 1239, 1176, 1241, 1177, 1244, 1246, 1243, 1247, 1245, 1248, 1242, 1173};

class WifiPageTest : public kytest::PageTest {
protected:
    void SetUp() override {
        kytest::PageTest::SetUp();
        page = std::make_unique<CP_WIFIDlg>();
        EmuSet("wf_enable", "1");
        EmuSet("wf_ssid", "HomeNet");
        EmuSet("wf_key", "k+%41y");
        EmuSet("wf_auth", "2");
        EmuSet("wf_enc", "0");
    }
    void TearDown() override {
        // No worker may outlive the test's emulator.
        PumpUntil([] { return !CP_WIFIDlg::CheckBusy() && !CSearchWFDlg::ScanBusy(); });
        page.reset();
        kytest::PageTest::TearDown();
    }
    QLineEdit* Edit(int id) const { return page->Control<QLineEdit>(id); }
    QComboBox* Combo(int id) const { return page->Control<QComboBox>(id); }
    bool Visible(int id) const { return !page->Control<QWidget>(id)->isHidden(); }
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
    std::unique_ptr<CP_WIFIDlg> page;
};

TEST_F(WifiPageTest, ShowsTheCameraValuesAndTheSecurityRule) {
    Refresh(*page);
    EXPECT_TRUE(page->Control<QRadioButton>(1174)->isChecked());
    EXPECT_EQ(
        (QStringList{Edit(1239)->text(), Edit(1247)->text(), Combo(1177)->currentText(), Combo(1246)->currentText()}),
        (QStringList{"HomeNet", "k+%41y", "WPA-PSK", "TKIP"}));
    for (int id : kWifiControls) EXPECT_TRUE(Visible(id)) << id;

    // Security type -> key rows, cipher row.
    const struct {
        int security;
        bool key, cipher;
    } kRule[] = {{0, false, false}, {1, true, false}, {2, true, true}, {3, true, true}, {-1, false, false}};
    for (const auto& r : kRule) {
        Combo(1177)->setCurrentIndex(r.security);
        page->OnSecurityChanged();
        for (int id : {1243, 1247, 1245, 1248}) EXPECT_EQ(Visible(id), r.key) << r.security << " " << id;
        for (int id : {1244, 1246}) EXPECT_EQ(Visible(id), r.cipher) << r.security << " " << id;
        EXPECT_TRUE(Visible(1239));
    }
    page->Control<QRadioButton>(1175)->click();
    for (int id : kWifiControls) EXPECT_FALSE(Visible(id)) << id;

    EmuSet("wf_enable", "0");
    Refresh(*page);
    EXPECT_TRUE(page->Control<QRadioButton>(1175)->isChecked());
    for (int id : kWifiControls) EXPECT_FALSE(Visible(id)) << id;

    camera.loggedIn = false;
    Refresh(*page);
    EXPECT_FALSE(page->Control<QRadioButton>(1174)->isChecked() || page->Control<QRadioButton>(1175)->isChecked());
    EXPECT_EQ(Combo(1177)->currentIndex(), -1);
    EXPECT_FALSE(Visible(1239));
    page->OnCheck();
    EXPECT_EQ(presenter.Last(), "Device not connected");
}

TEST_F(WifiPageTest, ApplyStoresTheTypedTextsAndRefusesInOrder) {
    Refresh(*page);
    const std::string s63(63, 's'), s64(64, 's');
    const struct {
        QString ssid, key, confirm, message;
    } kRefused[] = {
        {"Net", "Secret", "secret", "The two passwords are inconsistent."},
        {QString::fromStdString(s64), "k", "x", "The two passwords are inconsistent."},
        {QString::fromStdString(s64), "k", "k", "SSID maximum length cannot exceed 63 bytes."},
        // 32 two-byte letters are 64 bytes.
        {"Net", QString(32, QChar(0xE9)), QString(32, QChar(0xE9)), "The maximum key length cannot exceed 63 bytes"},
    };
    for (const auto& c : kRefused) {
        Type(c.ssid, c.key, c.confirm);
        presenter.Clear();
        Apply(*page);
        EXPECT_EQ(presenter.texts, QStringList{c.message}) << c.ssid.size();
        EXPECT_EQ(EmuGet("wf_ssid"), "HomeNet");
    }

    // Blanks, + and %, letters beyond ASCII; security None with no key is fine here.
    const QString ssid = QString::fromUtf8("Caf\xC3\xA9 +%20 \xE5\xAE\xB6");
    Type(ssid, "", "");
    Combo(1177)->setCurrentIndex(0);
    Combo(1246)->setCurrentIndex(1);
    page->Control<QRadioButton>(1175)->setChecked(true);
    presenter.Clear();
    Apply(*page);
    EXPECT_EQ(presenter.Last(), "Parameter setting succeeded!");
    EXPECT_EQ(QString::fromStdString(EmuGet("wf_ssid")), ssid);
    EXPECT_EQ(EmuGet("wf_key") + EmuGet("wf_auth") + EmuGet("wf_enc") + EmuGet("wf_enable"), "010");

    Type(QString::fromStdString(s63), "p+%q", "p+%q");
    Apply(*page);
    EXPECT_EQ(EmuGet("wf_ssid"), s63);
    EXPECT_EQ(EmuGet("wf_key"), "p+%q");
}

TEST_F(WifiPageTest, TheCameraTestsTheTypedSettings) {
    Refresh(*page);
    Type("", "k", "k");
    EXPECT_EQ(Checked(), "SSID cannot be empty!");
    Combo(1177)->setCurrentIndex(0);
    Type("HomeNet", "", "");
    EXPECT_EQ(Checked(), "Key cannot be empty!");

    // The emulated camera reaches the networks of its scan list.
    Type("HomeNet", "k", "k");
    EXPECT_EQ(Checked(), "WiFi works normally!");
    EXPECT_EQ(EmuGet("emu.chk.wf_ssid"), "HomeNet");
    Type("Elsewhere", "k", "k");
    EXPECT_EQ(Checked(), "The device WiFi works abnormally and cannot be connected to the router!");
    // The test changes none of the camera's settings.
    EXPECT_EQ(EmuGet("wf_ssid"), "HomeNet");

    // A slow camera: the window keeps working, a second test is refused.
    Fault("slow");
    Type("Office Guest", "k", "k");
    presenter.Clear();
    page->OnCheck();
    ASSERT_TRUE(CP_WIFIDlg::CheckBusy());
    EXPECT_FALSE(page->Control<QPushButton>(1173)->isEnabled());
    page->OnCheck();
    EXPECT_EQ(presenter.texts, QStringList{"Checking WiFi, please wait..."});
    int ticks = 0;
    presenter.Clear();
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
    timer.start(5);
    ASSERT_TRUE(PumpUntil([&] { return !presenter.texts.isEmpty(); }));
    EXPECT_EQ(presenter.Last(), "WiFi works normally!");
    EXPECT_GE(ticks, 3);
    EXPECT_TRUE(page->Control<QPushButton>(1173)->isEnabled());
    Fault("none");

    // An unreachable camera.
    emulator->Stop();
    EXPECT_EQ(Checked(), "The device WiFi works abnormally and cannot be connected to the router!");
}

TEST_F(WifiPageTest, ScanListIsShownAndChosen) {
    Refresh(*page);
    int ticks = 0;
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, [&ticks] { ++ticks; });
    timer.start(5);
    Fault("slow");
    page->SetDialogRunner([&](CSearchWFDlg& dialog) {
        QTableWidget* list = dialog.List();
        ASSERT_TRUE(CSearchWFDlg::ScanBusy());
        // A second scan while one runs is refused.
        presenter.Clear();
        dialog.OnRefresh();
        EXPECT_EQ(presenter.texts, QStringList{"Searching WiFi, please wait..."});
        ASSERT_TRUE(PumpUntil([&] { return list->rowCount() == 3; }));
        EXPECT_GE(ticks, 3);
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
    EXPECT_TRUE(Visible(1246));
    Fault("none");

    // Double-click chooses; an authentication the list does not know selects None.
    EmuSet("wauth[2]", "WPA3-SAE");
    EmuSet("wenc[2]", "GCMP");
    page->SetDialogRunner([&](CSearchWFDlg& dialog) {
        ASSERT_TRUE(PumpUntil([&] { return dialog.List()->rowCount() == 3; }));
        emit dialog.List()->cellDoubleClicked(2, 0);
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
    });
    page->OnSearch();
    EXPECT_EQ(Edit(1239)->text(), QString::fromUtf8("Caf\xC3\xA9-Lager"));
    EXPECT_EQ(Combo(1177)->currentIndex(), 0);
    EXPECT_EQ(Combo(1246)->currentIndex(), -1);
    EXPECT_FALSE(Visible(1247));

    // Confirm with nothing checked, Cancel, an empty scan, a failed scan.
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
