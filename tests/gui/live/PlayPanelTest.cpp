// The play panel without a camera: the connection form and its checks, the
// preset number filter, the PTZ speed setting, the folders, and what the
// camera buttons do while nothing is logged in.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <cstring>
#include <filesystem>

#include "core/services/IniFile.h"
#include "core/services/Settings.h"
#include "gui/live/LeftPlayDlg.h"
#include "gui/live/SnapThread.h"
#include "tests/support/GuiTestSupport.h"

namespace fs = std::filesystem;

namespace {

// A camera that only notes the records it is asked to open.
class ConnectRecorder : public kytest::FakeCamera {
public:
    int Connect(const DeviceRecord& d) override {
        opened.push_back(d);
        return 0;
    }
    std::vector<DeviceRecord> opened;
};

std::string Describe(const DeviceRecord& d) {
    return std::string(ky::FieldText(d.info.ip)) + ":" + std::string(ky::FieldText(d.info.httpPort)) + " " +
           std::string(ky::FieldText(d.user)) + "/" + std::string(ky::FieldText(d.password)) + " stream " +
           std::to_string(d.stream);
}

class PlayPanel : public ::testing::Test {
protected:
    void SetUp() override { MakePanel(); }
    void MakePanel() {
        panel = std::make_unique<CLeftPlayDlg>();
        panel->SetFrontRaiser([this] { ++fronts; });
        panel->SetFolderOpener([this](const QString& f) { opened << f; });
    }
    std::string Setting(const std::string& key) { return CIniFile(SettingsFilePath()).GetString("Config", key, ""); }
    // Fills the form and presses Preview.
    void Preview(const QString& ip, const QString& port) {
        panel->IpEdit()->setText(ip);
        panel->PortEdit()->setText(port);
        presenter.Clear();
        panel->Button("preview")->click();
    }

    kytest::GuiAppDir app;
    kytest::RecordingPresenter presenter;
    ConnectRecorder camera;
    std::unique_ptr<CLeftPlayDlg> panel;
    int fronts = 0;
    QStringList opened;
};

TEST_F(PlayPanel, StartsWithTheFormDefaultsAndTheSnapshotFolder) {
    const QStringList form = {
        panel->UserEdit()->text(),   panel->PasswordEdit()->text(),      panel->IpEdit()->text(),
        panel->PortEdit()->text(),   panel->StreamList()->currentText(), panel->PresetEdit()->text(),
        panel->TalkButton()->text(), panel->ListenButton()->text()};
    EXPECT_EQ(form, (QStringList{"admin", "tovel", "", "80", "First stream", "1", "Start talk", "Listen"}));
    EXPECT_EQ(panel->PasswordEdit()->echoMode(), QLineEdit::Password);
    EXPECT_EQ(panel->StreamList()->count(), 2);
    EXPECT_TRUE(panel->StartRecordButton()->isEnabled());
    EXPECT_FALSE(panel->StopRecordButton()->isEnabled());
    // The snapshot folder is named in settings.ini and made at once.
    EXPECT_EQ(Setting("SnapFiles"), app.file("SnapPic"));
    EXPECT_TRUE(fs::is_directory(app.file("SnapPic")));
}

TEST_F(PlayPanel, SpeedListShowsTheStoredIndexAndStoresTheChoice) {
    QComboBox* speed = panel->SpeedList();
    ASSERT_EQ(speed->count(), 63);
    EXPECT_EQ(speed->itemText(0) + speed->itemText(62), "163");
    speed->setCurrentIndex(9);
    EXPECT_EQ(Setting("PTZSpeed"), "9");
    EXPECT_EQ(panel->PtzSpeed(), 9);
    // Stored text -> entry shown and index used; nothing stored: index 45, the
    // entry "46"; outside the list: kept inside it rather than selecting nothing.
    for (auto [stored, shown, index] :
         {std::tuple{"9", "10", 9}, {"0", "1", 0}, {"", "46", 45}, {"200", "63", 62}, {"-4", "1", 0}}) {
        CIniFile(SettingsFilePath()).WriteString("Config", "PTZSpeed", stored);
        MakePanel();
        EXPECT_EQ(panel->SpeedList()->currentText(), shown) << stored;
        EXPECT_EQ(panel->PtzSpeed(), index) << stored;
    }
}

TEST(PlayPanelRules, IpAddressAndPort) {
    for (const char* ok : {"192.168.1.0", "1.2.3.4", "255.255.255.255", "127.0.0.1", "10.0.0.001"})
        EXPECT_TRUE(CLeftPlayDlg::IsValidIp(QString::fromLatin1(ok))) << ok;
    for (const char* bad :
         {"0.1.2.3", "1.2.3", "1.2.3.4a", "256.1.1.1", "1.2.3.256", "1.2.3.4.", "1..2.3", ".1.2.3", "1.2.3.-4",
          " 1.2.3.4", "1.2.3.4 ", "", "a.b.c.d", "1.2.3.4.5", "1.2.3.99999999999", "0001.0002.0003.4"})
        EXPECT_FALSE(CLeftPlayDlg::IsValidIp(QString::fromLatin1(bad))) << bad;
    for (long ok : {80L, 1024L, 8080L, 49151L}) EXPECT_TRUE(CLeftPlayDlg::IsValidPort(ok)) << ok;
    for (long bad : {0L, 79L, 81L, 443L, 1023L, 49152L, 65535L, -80L})
        EXPECT_FALSE(CLeftPlayDlg::IsValidPort(bad)) << bad;
}

TEST_F(PlayPanel, PreviewChecksTheFormAndOpensTheRecord) {
    Preview("1.2.3", "80");
    EXPECT_EQ(presenter.texts, QStringList{"Illegal IP address!"});
    // The IP text is taken before the port is checked.
    Preview("192.168.1.20", "443");
    EXPECT_EQ(presenter.texts, QStringList{"Illegal port"});
    EXPECT_EQ(Describe(panel->Device()), "192.168.1.20: / stream 0");
    Preview("192.168.1.20", "");
    EXPECT_EQ(presenter.texts, QStringList{"Illegal port"});
    EXPECT_TRUE(camera.opened.empty());

    panel->UserEdit()->setText(QStringLiteral("operator"));
    panel->PasswordEdit()->setText(QStringLiteral("pässwörd"));
    panel->StreamList()->setCurrentIndex(1);
    panel->Button("startRecord")->setEnabled(false);
    panel->Button("stopRecord")->setEnabled(true);
    Preview("192.168.1.20", "8080");
    EXPECT_TRUE(presenter.texts.isEmpty());
    ASSERT_EQ(camera.opened.size(), 1u);
    EXPECT_EQ(Describe(camera.opened[0]), "192.168.1.20:8080 operator/pässwörd stream 1");
    EXPECT_EQ(fronts, 1);
    EXPECT_TRUE(panel->StartRecordButton()->isEnabled());
    EXPECT_FALSE(panel->StopRecordButton()->isEnabled());

    // Long credentials are cut on character boundaries: 40 two-byte characters
    // (80 bytes) to 63 bytes, 31 whole characters.
    panel->UserEdit()->setText(QString(40, QChar(0x00E9)));
    panel->PasswordEdit()->setText(QString(40, QChar(0x00E9)));
    Preview("10.1.1.1", "80");
    ASSERT_EQ(camera.opened.size(), 2u);
    EXPECT_EQ(QString::fromUtf8(camera.opened[1].user), QString(31, QChar(0x00E9)));
    EXPECT_EQ(QString::fromUtf8(camera.opened[1].password), QString(31, QChar(0x00E9)));

    // While logged in, Preview only brings the play view to the front.
    camera.Login("IPC");
    Preview("192.168.1.30", "80");
    EXPECT_EQ(camera.opened.size(), 2u);
    EXPECT_TRUE(presenter.texts.isEmpty());
    EXPECT_EQ(fronts, 3);
}

TEST_F(PlayPanel, FillConnectFormCopiesTheSearchRecord) {
    DeviceRecord d{};
    std::strcpy(d.info.deviceId, "KY-0001");
    std::strcpy(d.info.deviceName, "Gate");
    std::strcpy(d.info.ip, "192.168.7.9");
    std::strcpy(d.info.httpPort, "8081");
    std::strcpy(d.user, "guest");
    std::strcpy(d.password, "secret");
    d.stream = 1;
    panel->FillConnectForm(d);
    EXPECT_EQ((QStringList{panel->IpEdit()->text(), panel->PortEdit()->text(), panel->UserEdit()->text(),
                           panel->PasswordEdit()->text()}),
              (QStringList{"192.168.7.9", "8081", "guest", "secret"}));
    EXPECT_EQ(panel->StreamList()->currentIndex(), 1);
    EXPECT_EQ(std::memcmp(&panel->Device(), &d, sizeof d), 0);
    EXPECT_TRUE(camera.opened.empty());
    // Opening it keeps what the search list knew about the device.
    panel->Button("preview")->click();
    ASSERT_EQ(camera.opened.size(), 1u);
    EXPECT_EQ(std::memcmp(&camera.opened[0], &d, sizeof d), 0);
    // Stream values outside 0..1 land on the nearest entry.
    for (auto [stream, index] : {std::pair{5, 1}, {-1, 0}}) {
        d.stream = stream;
        panel->FillConnectForm(d);
        EXPECT_EQ(panel->StreamList()->currentIndex(), index) << stream;
    }
}

TEST_F(PlayPanel, PresetNumberFilter) {
    for (auto [in, out] : {std::pair{"0", ""},
                           {"1234", "123"},
                           {"12a", "12"},
                           {"a12", "12"},
                           {"1a2b", "12"},
                           {"00", "00"},
                           {"255", "255"},
                           {"12ab5", "12"},
                           {"", ""}}) {
        // The filter runs again on its own result, as the field does.
        QString t = QString::fromLatin1(in), prev;
        do {
            prev = t;
            t = CLeftPlayDlg::FilterNumberText(t);
        } while (t != prev);
        EXPECT_EQ(t, QString::fromLatin1(out)) << in;
    }
    bool cut = false;
    EXPECT_EQ(CLeftPlayDlg::FilterNumberText(QStringLiteral("1234"), &cut), "123");
    EXPECT_TRUE(cut);

    // In the field itself, as typed.
    QLineEdit* preset = panel->PresetEdit();
    preset->clear();
    QTest::keyClicks(preset, QStringLiteral("1234"));
    EXPECT_EQ(preset->text(), "123");
    preset->clear();
    QTest::keyClicks(preset, QStringLiteral("0"));
    EXPECT_EQ(preset->text(), "");
    QTest::keyClicks(preset, QStringLiteral("4x"));
    EXPECT_EQ(preset->text(), "4");
    preset->setText(QStringLiteral("98765"));
    EXPECT_EQ(preset->selectedText(), "987");
    preset->setText(QStringLiteral("0a"));   // "0" after the letter goes, then cleared
    EXPECT_EQ(preset->text(), "");
}

TEST_F(PlayPanel, CameraButtonsWithoutALoginSendAndShowNothing) {
    for (const char* name :
         {"ptzUp", "ptzDown", "ptzLeft", "ptzRight", "zoomIn", "zoomOut", "focusIn", "focusOut", "ptzHome",
          "cruiseHorizontal", "cruiseVertical", "presetSet", "presetCall", "presetDelete", "capture", "startRecord"}) {
        ASSERT_NE(panel->Button(name), nullptr) << name;
        panel->Button(name)->click();
    }
    EXPECT_TRUE(presenter.texts.isEmpty());
    EXPECT_EQ(fronts, 0);
    EXPECT_EQ(panel->PendingSnapshots(), 0u);
    EXPECT_FALSE(fs::exists(app.file("RecFiles")));
    panel->Button("talk")->click();
    panel->Button("listen")->click();
    EXPECT_EQ(presenter.texts, (QStringList{"Not connected!", "Not connected!"}));
    EXPECT_EQ(panel->TalkButton()->text() + panel->ListenButton()->text(), "Start talkListen");

    // Stop record enables both record buttons.
    panel->StartRecordButton()->setEnabled(false);
    panel->StopRecordButton()->setEnabled(true);
    panel->StopRecordButton()->click();
    EXPECT_TRUE(panel->StartRecordButton()->isEnabled() && panel->StopRecordButton()->isEnabled());
}

TEST_F(PlayPanel, FolderButtons) {
    auto path = [&](const std::string& rel) { return QString::fromStdString(app.file(rel)); };
    // Not logged in: the base folders.
    panel->Button("snapOpen")->click();
    panel->Button("recOpen")->click();
    EXPECT_EQ(opened, (QStringList{path("SnapPic"), path("RecFiles")}));
    EXPECT_TRUE(fs::is_directory(app.file("RecFiles")));
    // Logged in: the camera's sub-folder, made on the way; a search reply's IP
    // text never leads out of the folder.
    camera.Login("IPC");
    std::strcpy(camera.device.info.ip, "192.168.1.5");
    panel->Button("snapOpen")->click();
    EXPECT_TRUE(fs::is_directory(app.file("SnapPic/192.168.1.5")));
    std::strcpy(camera.device.info.ip, "../../x");
    panel->Button("recOpen")->click();
    EXPECT_EQ(opened.mid(2), (QStringList{path("SnapPic/192.168.1.5"), path("RecFiles/.._.._x")}));

    // Choosing: a picked folder is made and stored; a cancel stores the current one again.
    QString title;
    const std::string chosen = app.file("pictures/new");
    panel->SetFolderChooser([&](QWidget*, const QString& t, const QString&) {
        title = t;
        return QString::fromStdString(chosen);
    });
    panel->Button("snapPath")->click();
    EXPECT_EQ(title, QString::fromUtf8("选择路径"));
    EXPECT_EQ(GetSnapDir(), chosen);
    EXPECT_TRUE(fs::is_directory(chosen));
    CIniFile(SettingsFilePath()).WriteString("Config", "RecFiles", "");
    panel->SetFolderChooser([](QWidget*, const QString&, const QString&) { return QString(); });
    panel->Button("recPath")->click();
    EXPECT_EQ(Setting("RecFiles"), app.file("RecFiles"));
    EXPECT_EQ(GetSnapDir(), chosen);
}

TEST(SnapNames, PatternsAndCounter) {
    std::tm t{};
    t.tm_year = 2024 - 1900, t.tm_mon = 2, t.tm_mday = 7, t.tm_hour = 9, t.tm_min = 5, t.tm_sec = 3;
    EXPECT_EQ(SnapFileName(t, 12), "Snap_20240307-090503_12.jpg");
    EXPECT_EQ(RecFileName(t), "RecFile_20240307-090503.avi");
    ResetSnapCounter();
    EXPECT_EQ(NextSnapCounter(), 0);
    EXPECT_EQ(NextSnapCounter(), 1);
    ResetSnapCounter();
    EXPECT_EQ(NextSnapCounter(), 0);
    for (auto [ip, folder] : {std::pair{"10.0.0.2", "10.0.0.2"}, {"..", "_"}, {"", "_"}, {"a/b\\c", "a_b_c"}})
        EXPECT_EQ(CameraFolderName(ip), folder) << ip;
}

}   // namespace
