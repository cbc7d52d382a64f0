// The tool login dialog and the default-settings page.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <sqlite3.h>

#include "core/services/IniFile.h"
#include "core/services/Settings.h"
#include "core/store/LocalStore.h"
#include "gui/pages/advanced/P_DefDlg.h"
#include "gui/shell/AppGlobals.h"
#include "gui/shell/LoginDlg.h"
#include "tests/support/GuiTestSupport.h"

using namespace kytest;

namespace {

class StoreDialogsTest : public ::testing::Test {
protected:
    void SetUp() override { CurrentToolUser().Set("admin", "580247!K"); }
    void OpenStore(const std::string& toolPassword = "580247!K", const std::string& user = "admin",
                   const std::string& password = "tovel", int stream = 0) {
        dir.CreateDb(toolPassword, user, password, stream);
        ASSERT_TRUE(store.Init(dir.path()));
    }
    // The first defaults row as a fresh store loads it.
    DeviceDefaults Stored() {
        CLocalStore other;
        EXPECT_TRUE(other.Init(dir.path()));
        return other.GetDefaults();
    }

    GuiAppDir dir;
    RecordingPresenter presenter;
    CLocalStore store;
};

// ---- tool login --------------------------------------------------------------

TEST_F(StoreDialogsTest, LoginAcceptsOnlyAStoredPasswordOf8To31Characters) {
    const struct {
        std::string stored;
        bool accepted;
    } cases[] = {{"Abcdefg", false},
                 {"Abcdefg8", true},
                 {std::string(30, 'a') + "1", true},
                 {std::string(31, 'a') + "1", false}};
    for (const auto& c : cases) {
        GuiAppDir local;
        local.CreateDb(c.stored);
        CLocalStore db;
        ASSERT_TRUE(db.Init(local.path()));
        CurrentToolUser().Set("admin", "580247!K");
        presenter.Clear();
        CLoginDlg login(&db);
        login.PasswordEdit()->setText("Wrongpw8");
        login.OnOK();   // as often as the user likes
        login.OnOK();
        login.PasswordEdit()->setText(QString::fromStdString(c.stored));
        login.OnOK();
        EXPECT_EQ(login.result(), c.accepted ? QDialog::Accepted : QDialog::Rejected) << c.stored;
        EXPECT_EQ(presenter.texts, QStringList(c.accepted ? 2 : 3, "密码错误!")) << c.stored;
        EXPECT_EQ(CurrentToolUser().password.toStdString(), c.accepted ? c.stored : "580247!K");
    }
}

TEST_F(StoreDialogsTest, LoginFormWithoutDatabaseRefusesAndEscDoesNotClose) {
    CLoginDlg login(nullptr);
    EXPECT_EQ(login.windowTitle(), "登录");
    EXPECT_EQ(login.UserEdit()->text(), "admin");
    EXPECT_FALSE(login.UserEdit()->isEnabled());
    EXPECT_EQ(login.PasswordEdit()->echoMode(), QLineEdit::Password);
    login.PasswordEdit()->setText("580247!K");
    login.OnOK();
    EXPECT_EQ(presenter.Last(), "密码错误!");

    login.show();
    QTest::keyClick(&login, Qt::Key_Escape);
    EXPECT_TRUE(login.isVisible());
    auto* cancel = login.findChild<QPushButton*>("2");
    ASSERT_NE(cancel, nullptr);
    QTest::mouseClick(cancel, Qt::LeftButton);
    EXPECT_FALSE(login.isVisible());
    EXPECT_EQ(login.result(), QDialog::Rejected);
}

// ---- default-settings page -----------------------------------------------------

TEST_F(StoreDialogsTest, DefaultsPageShowsTheStoredDefaultsAndFolders) {
    OpenStore("580247!K", "root", "secret", 1);
    CP_DefDlg page(nullptr, &store);
    EXPECT_EQ(page.UserEdit()->text(), "admin");
    EXPECT_EQ(page.StreamList()->currentIndex(), 0);
    // The default folders are filled in, stored and created.
    EXPECT_EQ(page.SnapEdit()->text().toStdString(), dir.file("SnapPic"));
    EXPECT_EQ(page.RecEdit()->text().toStdString(), dir.file("RecFiles"));
    EXPECT_TRUE(std::filesystem::is_directory(dir.file("SnapPic")));
    EXPECT_EQ(CIniFile(dir.file("settings.ini")).GetString("Config", "RecFiles", ""), dir.file("RecFiles"));

    page.RefreshFromDevice();
    EXPECT_EQ(page.UserEdit()->text(), "root");
    EXPECT_EQ(page.PasswordEdit()->text(), "secret");
    EXPECT_EQ(page.StreamList()->currentIndex(), 1);
    EXPECT_TRUE(presenter.texts.isEmpty());
}

TEST_F(StoreDialogsTest, DefaultsPageValidatesInOrder) {
    OpenStore();
    CP_DefDlg page(nullptr, &store);
    page.RefreshFromDevice();
    const struct {
        const char *user, *password, *message;
    } cases[] = {
        {"中", "", "Password cannot be empty!"},
        {"中", "中", "User name cannot be Chinese!"},
        {"admin", "中", "Password cannot be Chinese!"},
        {"admin", "\xE9\xBF\x8F", "Password cannot be Chinese!"},             // U+9FCF, the last one counted
        {"admin", " ", "Set successfully!"},                                  // one blank is a password
        {"admin", "かなカナ\xE9\xBF\x90\xE3\x90\x80", "Set successfully!"},   // kana, U+9FD0, U+3400
    };
    for (const auto& c : cases) {
        page.UserEdit()->setText(QString::fromUtf8(c.user));
        page.PasswordEdit()->setText(QString::fromUtf8(c.password));
        page.StreamList()->setCurrentIndex(1);
        presenter.Clear();
        page.OnApply();
        EXPECT_EQ(presenter.Last(), c.message) << c.password;
        const bool saved = presenter.Last() == "Set successfully!";
        EXPECT_EQ(Stored().strPassword == "tovel", !saved) << c.password;   // nothing changed by a refusal
    }
    const DeviceDefaults saved = Stored();
    EXPECT_EQ(saved.strUser, "admin");
    EXPECT_EQ(saved.strPassword, "かなカナ\xE9\xBF\x90\xE3\x90\x80");
    EXPECT_EQ(saved.stream, 1);
    EXPECT_STREQ(store.GetDefaults().password, saved.strPassword.c_str());
}

TEST_F(StoreDialogsTest, DefaultsPageKeepsUnsavedDefaultsWhenSavingFails) {
    OpenStore();
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(dir.file("db.dat").c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "DELETE FROM tblDeviceInfo", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
    dir.WriteLang("lang_Polish.dat", "[P_DEF_DLG]\nSetting failed!=Ustawienie nie powiodło się!\n");

    CP_DefDlg page(nullptr, &store);
    page.RefreshFromDevice();
    page.PasswordEdit()->setText("newpass");
    page.OnApply();
    EXPECT_EQ(presenter.Last(), "Ustawienie nie powiodło się!");
    page.PasswordEdit()->clear();
    page.RefreshFromDevice();   // the new defaults stay in use until the program ends
    EXPECT_EQ(page.PasswordEdit()->text(), "newpass");
}

TEST_F(StoreDialogsTest, DefaultsPageTranslatesItsTexts) {
    dir.WriteLang("lang_Japan.dat",
                  "[P_DEF_DLG]\nStream:=ストリーム:\nFirst stream=メイン\n"
                  "Apply=適用\nPassword cannot be empty!=パスワードを入力してください\n");
    CP_DefDlg page(nullptr, nullptr);
    QStringList labels;
    for (auto* l : page.findChildren<QLabel*>()) labels << l->text();
    EXPECT_TRUE(labels.contains("ストリーム:"));
    EXPECT_TRUE(labels.contains("User name:"));
    EXPECT_EQ(page.StreamList()->itemText(0), "メイン");
    EXPECT_EQ(page.StreamList()->itemText(1), "Second stream");
    ASSERT_NE(page.findChild<QPushButton*>("1"), nullptr);
    EXPECT_EQ(page.findChild<QPushButton*>("1")->text(), "適用");
    page.OnApply();
    EXPECT_EQ(presenter.Last(), "パスワードを入力してください");
}

TEST_F(StoreDialogsTest, FolderChoicesAreStoredAtOnceAndCancelKeepsTheFolder) {
    CP_DefDlg page(nullptr, nullptr);
    QString answer;
    QStringList titles;
    page.SetFolderChooser([&](QWidget*, const QString& title, const QString&) { return titles << title, answer; });
    const std::string chosen = dir.file("pics/new");
    answer = QString::fromStdString(chosen);
    page.OnChooseSnapDir();
    answer.clear();   // cancelled
    page.OnChooseSnapDir();
    EXPECT_EQ(page.SnapEdit()->text().toStdString(), chosen);
    EXPECT_EQ(GetSnapDir(), chosen);
    EXPECT_TRUE(std::filesystem::is_directory(chosen));

    page.OnChooseRecDir();   // cancelled with no folder set: the default
    EXPECT_EQ(page.RecEdit()->text().toStdString(), dir.file("RecFiles"));
    answer = QString::fromStdString(dir.file("movies"));
    page.OnChooseRecDir();
    EXPECT_EQ(GetRecDir(), dir.file("movies"));
    EXPECT_EQ(titles, QStringList(4, "选择路径"));
    EXPECT_TRUE(presenter.texts.isEmpty());
}

}   // namespace
