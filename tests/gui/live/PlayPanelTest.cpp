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
using kytest::FakeCamera;
using kytest::GuiAppDir;
using kytest::RecordingPresenter;

namespace {

// A camera that only notes the records it is asked to open.
class ConnectRecorder : public FakeCamera {
public:
    int Connect(const DeviceRecord& d) override {
        opened.push_back(d);
        return 0;
    }
    std::vector<DeviceRecord> opened;
};

std::string Str(const char* field, size_t width) { return std::string(field, strnlen(field, width)); }

class PlayPanel : public ::testing::Test {
protected:
    void SetUp() override { MakePanel(); }
    void MakePanel() {
        panel.reset();
        panel = std::make_unique<CLeftPlayDlg>();
        panel->SetFrontRaiser([this] { ++fronts; });
        panel->SetFolderOpener([this](const QString& f) { opened << f; });
    }
    void WriteSetting(const std::string& key, const std::string& value) {
        CIniFile(SettingsFilePath()).WriteString("Config", key, value);
    }
    // Fills the form and presses Preview.
    void Preview(const QString& ip, const QString& port) {
        panel->IpEdit()->setText(ip);
        panel->PortEdit()->setText(port);
        presenter.Clear();
        panel->Button("preview")->click();
    }

    GuiAppDir app;
    RecordingPresenter presenter;
    ConnectRecorder camera;
    std::unique_ptr<CLeftPlayDlg> panel;
    int fronts = 0;
    QStringList opened;
};

TEST_F(PlayPanel, StartsWithTheFormDefaultsAndTheSnapshotFolder) {
    EXPECT_EQ(panel->UserEdit()->text(), "admin");
    EXPECT_EQ(panel->PasswordEdit()->text(), "tovel");
    EXPECT_EQ(panel->PasswordEdit()->echoMode(), QLineEdit::Password);
    EXPECT_EQ(panel->IpEdit()->text(), "");
    EXPECT_EQ(panel->PortEdit()->text(), "80");
    ASSERT_EQ(panel->StreamList()->count(), 2);
    EXPECT_EQ(panel->StreamList()->currentText(), "First stream");
    EXPECT_EQ(panel->PresetEdit()->text(), "1");
    EXPECT_EQ(panel->TalkButton()->text(), "Start talk");
    EXPECT_EQ(panel->ListenButton()->text(), "Listen");
    EXPECT_TRUE(panel->StartRecordButton()->isEnabled());
    EXPECT_FALSE(panel->StopRecordButton()->isEnabled());
    // The snapshot folder is named in settings.ini and made at once.
    EXPECT_EQ(CIniFile(SettingsFilePath()).GetString("Config", "SnapFiles", ""), app.file("SnapPic"));
    EXPECT_TRUE(fs::is_directory(app.file("SnapPic")));
}

TEST_F(PlayPanel, SpeedListShowsTheStoredIndexAndStoresTheChoice) {
    QComboBox* speed = panel->SpeedList();
    ASSERT_EQ(speed->count(), 63);
    EXPECT_EQ(speed->itemText(0), "1");
    EXPECT_EQ(speed->itemText(62), "63");
    // Nothing stored: index 45, the entry "46".
    EXPECT_EQ(speed->currentText(), "46");
    EXPECT_EQ(panel->PtzSpeed(), 45);

    speed->setCurrentIndex(9);
    EXPECT_EQ(CIniFile(SettingsFilePath()).GetString("Config", "PTZSpeed", ""), "9");
    EXPECT_EQ(panel->PtzSpeed(), 9);
    MakePanel();
    EXPECT_EQ(panel->SpeedList()->currentText(), "10");

    WriteSetting("PTZSpeed", "0");
    MakePanel();
    EXPECT_EQ(panel->SpeedList()->currentText(), "1");
    WriteSetting("PTZSpeed", "");
    MakePanel();
    EXPECT_EQ(panel->PtzSpeed(), 45);
    // Outside the list: kept inside it rather than selecting nothing.
    WriteSetting("PTZSpeed", "200");
    MakePanel();
    EXPECT_EQ(panel->SpeedList()->currentText(), "63");
    WriteSetting("PTZSpeed", "-4");
    MakePanel();
    EXPECT_EQ(panel->PtzSpeed(), 0);
}

TEST_F(PlayPanel, IpAddressRules) {
    for (const char* ok : {"192.168.1.0", "1.2.3.4", "255.255.255.255", "127.0.0.1", "10.0.0.001"})
        EXPECT_TRUE(CLeftPlayDlg::IsValidIp(QString::fromLatin1(ok))) << ok;
    for (const char* bad :
         {"0.1.2.3", "1.2.3", "1.2.3.4a", "256.1.1.1", "1.2.3.256", "1.2.3.4.", "1..2.3", ".1.2.3", "1.2.3.-4",
          " 1.2.3.4", "1.2.3.4 ", "", "a.b.c.d", "1.2.3.4.5", "1.2.3.99999999999", "0001.0002.0003.4"})
        EXPECT_FALSE(CLeftPlayDlg::IsValidIp(QString::fromLatin1(bad))) << bad;
}

TEST_F(PlayPanel, PortRules) {
    for (long ok : {80L, 1024L, 8080L, 49151L}) EXPECT_TRUE(CLeftPlayDlg::IsValidPort(ok)) << ok;
    for (long bad : {0L, 79L, 81L, 443L, 1023L, 49152L, 65535L, -80L})
        EXPECT_FALSE(CLeftPlayDlg::IsValidPort(bad)) << bad;
}

TEST_F(PlayPanel, PreviewChecksTheFormAndOpensTheRecord) {
    Preview("1.2.3", "80");
    EXPECT_EQ(presenter.texts, QStringList{"Illegal IP address!"});
    EXPECT_TRUE(camera.opened.empty());

    // The IP text is taken before the port is checked.
    Preview("192.168.1.20", "443");
    EXPECT_EQ(presenter.texts, QStringList{"Illegal port"});
    EXPECT_TRUE(camera.opened.empty());
    EXPECT_EQ(Str(panel->Device().info.ip, 32), "192.168.1.20");
    EXPECT_EQ(Str(panel->Device().info.httpPort, 18), "");

    Preview("192.168.1.20", "");
    EXPECT_EQ(presenter.texts, QStringList{"Illegal port"});

    panel->UserEdit()->setText(QStringLiteral("operator"));
    panel->PasswordEdit()->setText(QStringLiteral("pässwörd"));
    panel->StreamList()->setCurrentIndex(1);
    panel->Button("startRecord")->setEnabled(false);
    panel->Button("stopRecord")->setEnabled(true);
    Preview("192.168.1.20", "8080");
    EXPECT_TRUE(presenter.texts.isEmpty());
    ASSERT_EQ(camera.opened.size(), 1u);
    const DeviceRecord& d = camera.opened[0];
    EXPECT_EQ(Str(d.info.ip, 32), "192.168.1.20");
    EXPECT_EQ(Str(d.info.httpPort, 18), "8080");
    EXPECT_EQ(Str(d.user, 64), "operator");
    EXPECT_EQ(Str(d.password, 64), "pässwörd");
    EXPECT_EQ(d.stream, 1);
    EXPECT_EQ(fronts, 1);
    EXPECT_TRUE(panel->StartRecordButton()->isEnabled());
    EXPECT_FALSE(panel->StopRecordButton()->isEnabled());
}

TEST_F(PlayPanel, PreviewWhileLoggedInOnlyBringsThePlayViewToTheFront) {
    camera.Login("IPC");
    Preview("192.168.1.30", "80");
    EXPECT_TRUE(camera.opened.empty());
    EXPECT_TRUE(presenter.texts.isEmpty());
    EXPECT_EQ(fronts, 1);
}

TEST_F(PlayPanel, LongCredentialsAreCutOnCharacterBoundaries) {
    // 40 two-byte characters: 80 bytes, cut to 63 bytes = 31 whole characters.
    panel->UserEdit()->setText(QString(40, QChar(0x00E9)));
    panel->PasswordEdit()->setText(QString(40, QChar(0x00E9)));
    Preview("10.1.1.1", "80");
    ASSERT_EQ(camera.opened.size(), 1u);
    EXPECT_EQ(QString::fromUtf8(camera.opened[0].user), QString(31, QChar(0x00E9)));
    EXPECT_EQ(QString::fromUtf8(camera.opened[0].password), QString(31, QChar(0x00E9)));
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
    EXPECT_EQ(panel->IpEdit()->text(), "192.168.7.9");
    EXPECT_EQ(panel->PortEdit()->text(), "8081");
    EXPECT_EQ(panel->UserEdit()->text(), "guest");
    EXPECT_EQ(panel->PasswordEdit()->text(), "secret");
    EXPECT_EQ(panel->StreamList()->currentIndex(), 1);
    EXPECT_EQ(std::memcmp(&panel->Device(), &d, sizeof d), 0);
    EXPECT_TRUE(camera.opened.empty());

    // Opening it keeps what the search list knew about the device.
    panel->Button("preview")->click();
    ASSERT_EQ(camera.opened.size(), 1u);
    EXPECT_STREQ(camera.opened[0].info.deviceId, "KY-0001");
    EXPECT_STREQ(camera.opened[0].info.deviceName, "Gate");
    EXPECT_STREQ(camera.opened[0].info.httpPort, "8081");

    // Stream values outside 0..1 land on the nearest entry.
    d.stream = 5;
    panel->FillConnectForm(d);
    EXPECT_EQ(panel->StreamList()->currentIndex(), 1);
    d.stream = -1;
    panel->FillConnectForm(d);
    EXPECT_EQ(panel->StreamList()->currentIndex(), 0);
}

TEST_F(PlayPanel, PresetNumberFilter) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {{"0", ""},    {"1234", "123"}, {"12a", "12"},   {"a12", "12"}, {"1a2b", "12"},
                 {"00", "00"}, {"255", "255"},  {"12ab5", "12"}, {"", ""}};
    for (const Case& c : cases) {
        // The filter runs again on its own result, as the field does.
        QString t = QString::fromLatin1(c.in), prev;
        do {
            prev = t;
            t = CLeftPlayDlg::FilterNumberText(t);
        } while (t != prev);
        EXPECT_EQ(t, QString::fromLatin1(c.out)) << c.in;
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
    EXPECT_EQ(preset->text(), "987");
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
    EXPECT_EQ(panel->TalkButton()->text(), "Start talk");
    EXPECT_EQ(panel->ListenButton()->text(), "Listen");
}

TEST_F(PlayPanel, StopRecordEnablesBothRecordButtons) {
    panel->StartRecordButton()->setEnabled(false);
    panel->StopRecordButton()->setEnabled(true);
    panel->StopRecordButton()->click();
    EXPECT_TRUE(panel->StartRecordButton()->isEnabled());
    EXPECT_TRUE(panel->StopRecordButton()->isEnabled());
}

TEST_F(PlayPanel, FolderButtons) {
    // Not logged in: the base folders.
    panel->Button("snapOpen")->click();
    panel->Button("recOpen")->click();
    EXPECT_EQ(opened,
              (QStringList{QString::fromStdString(app.file("SnapPic")), QString::fromStdString(app.file("RecFiles"))}));
    EXPECT_TRUE(fs::is_directory(app.file("RecFiles")));

    // Logged in: the camera's sub-folder, made on the way.
    camera.Login("IPC");
    std::strcpy(camera.device.info.ip, "192.168.1.5");
    opened.clear();
    panel->Button("snapOpen")->click();
    EXPECT_EQ(opened, QStringList{QString::fromStdString(app.file("SnapPic/192.168.1.5"))});
    EXPECT_TRUE(fs::is_directory(app.file("SnapPic/192.168.1.5")));
    // A search reply's IP text never leads out of the folder.
    std::strcpy(camera.device.info.ip, "../../x");
    opened.clear();
    panel->Button("recOpen")->click();
    EXPECT_EQ(opened, QStringList{QString::fromStdString(app.file("RecFiles/.._.._x"))});

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
    WriteSetting("RecFiles", "");
    panel->SetFolderChooser([](QWidget*, const QString&, const QString&) { return QString(); });
    panel->Button("recPath")->click();
    EXPECT_EQ(CIniFile(SettingsFilePath()).GetString("Config", "RecFiles", ""), app.file("RecFiles"));
    EXPECT_EQ(GetSnapDir(), chosen);
}

TEST(SnapNames, PatternsAndCounter) {
    std::tm t{};
    t.tm_year = 2024 - 1900;
    t.tm_mon = 2;
    t.tm_mday = 7;
    t.tm_hour = 9;
    t.tm_min = 5;
    t.tm_sec = 3;
    EXPECT_EQ(SnapFileName(t, 12), "Snap_20240307-090503_12.jpg");
    EXPECT_EQ(RecFileName(t), "RecFile_20240307-090503.avi");
    ResetSnapCounter();
    EXPECT_EQ(NextSnapCounter(), 0);
    EXPECT_EQ(NextSnapCounter(), 1);
    ResetSnapCounter();
    EXPECT_EQ(NextSnapCounter(), 0);
    EXPECT_EQ(CameraFolderName("10.0.0.2"), "10.0.0.2");
    EXPECT_EQ(CameraFolderName(".."), "_");
    EXPECT_EQ(CameraFolderName(""), "_");
    EXPECT_EQ(CameraFolderName("a/b\\c"), "a_b_c");
}

}   // namespace
