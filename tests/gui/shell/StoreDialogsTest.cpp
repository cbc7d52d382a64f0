// The tool login dialog and the default-settings page.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <sqlite3.h>

#include "gui/shell/AppGlobals.h"
#include "core/services/IniFile.h"
#include "core/services/Settings.h"
#include "core/store/LocalStore.h"
#include "gui/shell/LoginDlg.h"
#include "gui/pages/advanced/P_DefDlg.h"
#include "tests/support/GuiTestSupport.h"

using namespace kytest;

namespace {

class StoreDialogsTest : public ::testing::Test {
protected:
    void SetUp() override { CurrentToolUser().Set("admin", "580247!K"); }

    void OpenStore() { ASSERT_TRUE(store.Init(dir.path())); }

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

TEST_F(StoreDialogsTest, LoginChecksLengthBeforeTheDatabase) {
    dir.CreateDb("Abcdefg");   // 7 characters: stored, but never accepted
    OpenStore();
    CLoginDlg login(&store);
    EXPECT_EQ(login.windowTitle(), "登录");
    EXPECT_EQ(login.UserEdit()->text(), "admin");
    EXPECT_FALSE(login.UserEdit()->isEnabled());
    EXPECT_EQ(login.PasswordEdit()->echoMode(), QLineEdit::Password);

    login.PasswordEdit()->setText("Abcdefg");
    login.OnOK();
    EXPECT_EQ(presenter.texts, QStringList{"密码错误!"});
    EXPECT_EQ(login.result(), QDialog::Rejected);
    EXPECT_EQ(CurrentToolUser().password, "580247!K");
}

TEST_F(StoreDialogsTest, LoginAcceptsOnlyAStoredPasswordOf8To31Characters) {
    const std::string pwd31 = Repeat("a", 30) + "1";
    const std::string pwd32 = Repeat("a", 31) + "1";
    for (const std::string& stored : {std::string("Abcdefg8"), pwd31}) {
        GuiAppDir local;
        local.CreateDb(stored);
        CLocalStore db;
        ASSERT_TRUE(db.Init(local.path()));
        presenter.Clear();
        CLoginDlg login(&db);
        login.PasswordEdit()->setText("Wrongpw8");
        login.OnOK();   // as often as the user likes
        login.OnOK();
        EXPECT_EQ(presenter.texts, (QStringList{"密码错误!", "密码错误!"}));
        login.PasswordEdit()->setText(QString::fromStdString(stored));
        login.OnOK();
        EXPECT_EQ(login.result(), QDialog::Accepted) << stored;
        EXPECT_EQ(presenter.texts.size(), 2);
        EXPECT_EQ(CurrentToolUser().password.toStdString(), stored);
        EXPECT_EQ(CurrentToolUser().user, "admin");
    }
    GuiAppDir local;
    local.CreateDb(pwd32);
    CLocalStore db;
    ASSERT_TRUE(db.Init(local.path()));
    CLoginDlg login(&db);
    login.PasswordEdit()->setText(QString::fromStdString(pwd32));
    login.OnOK();
    EXPECT_EQ(login.result(), QDialog::Rejected);
    EXPECT_EQ(presenter.Last(), "密码错误!");
}

TEST_F(StoreDialogsTest, LoginWithoutDatabaseRefusesAndEscDoesNotClose) {
    CLoginDlg login(nullptr);
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
    dir.CreateDb("580247!K", "root", "secret", 1);
    OpenStore();
    CP_DefDlg page(nullptr, &store);
    EXPECT_EQ(page.UserEdit()->text(), "admin");
    EXPECT_EQ(page.StreamList()->count(), 2);
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
    dir.CreateDb();
    OpenStore();
    CP_DefDlg page(nullptr, &store);
    page.RefreshFromDevice();

    page.UserEdit()->setText("中");
    page.PasswordEdit()->setText("");
    page.OnApply();
    page.PasswordEdit()->setText("中");
    page.OnApply();
    page.UserEdit()->setText("admin");
    page.OnApply();
    EXPECT_EQ(presenter.texts, (QStringList{"Password cannot be empty!", "User name cannot be Chinese!",
                                            "Password cannot be Chinese!"}));
    // Nothing changed by a refused apply.
    EXPECT_EQ(store.GetDefaults().strPassword, "tovel");
    EXPECT_EQ(Stored().strPassword, "tovel");

    presenter.Clear();
    page.PasswordEdit()->setText(" ");   // one blank is a password
    page.StreamList()->setCurrentIndex(1);
    page.OnApply();
    page.PasswordEdit()->setText("かなカナ");   // kana lie outside U+4E00..U+9FCF
    page.OnApply();
    EXPECT_EQ(presenter.texts, (QStringList{"Set successfully!", "Set successfully!"}));
    const DeviceDefaults saved = Stored();
    EXPECT_EQ(saved.strUser, "admin");
    EXPECT_EQ(saved.strPassword, "かなカナ");
    EXPECT_EQ(saved.stream, 1);
    EXPECT_STREQ(store.GetDefaults().password, "かなカナ");

    EXPECT_TRUE(CP_DefDlg::HasChinese(QString::fromUtf8("\xE9\xBE\xA5")));    // U+9FA5
    EXPECT_TRUE(CP_DefDlg::HasChinese(QString::fromUtf8("\xE9\xBF\x8F")));    // U+9FCF
    EXPECT_FALSE(CP_DefDlg::HasChinese(QString::fromUtf8("\xE9\xBF\x90")));   // U+9FD0
    EXPECT_FALSE(CP_DefDlg::HasChinese(QString::fromUtf8("\xE3\x90\x80")));   // U+3400
}

TEST_F(StoreDialogsTest, DefaultsPageKeepsUnsavedDefaultsWhenSavingFails) {
    dir.CreateDb();
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
                  "[P_DEF_DLG]\nStream:=ストリーム:\nFirst stream=メイン\nFile save settings=ファイル保存\n"
                  "Apply=適用\nPassword cannot be empty!=パスワードを入力してください\n");
    CP_DefDlg page(nullptr, nullptr);
    QStringList labels;
    for (auto* l : page.findChildren<QLabel*>()) labels << l->text();
    EXPECT_TRUE(labels.contains("ストリーム:"));
    EXPECT_TRUE(labels.contains("User name:"));
    EXPECT_EQ(page.StreamList()->itemText(0), "メイン");
    EXPECT_EQ(page.StreamList()->itemText(1), "Second stream");
    EXPECT_NE(page.findChild<QPushButton*>("1"), nullptr);
    EXPECT_EQ(page.findChild<QPushButton*>("1")->text(), "適用");
    page.OnApply();
    EXPECT_EQ(presenter.Last(), "パスワードを入力してください");
}

TEST_F(StoreDialogsTest, FolderChoicesAreStoredAtOnceAndCancelKeepsTheFolder) {
    CP_DefDlg page(nullptr, nullptr);
    QString answer;
    QStringList titles;
    page.SetFolderChooser([&](QWidget*, const QString& title, const QString&) {
        titles << title;
        return answer;
    });
    const std::string chosen = dir.file("pics/new");
    answer = QString::fromStdString(chosen);
    page.OnChooseSnapDir();
    EXPECT_EQ(page.SnapEdit()->text().toStdString(), chosen);
    EXPECT_EQ(GetSnapDir(), chosen);
    EXPECT_TRUE(std::filesystem::is_directory(chosen));

    answer.clear();   // cancelled
    page.OnChooseSnapDir();
    EXPECT_EQ(page.SnapEdit()->text().toStdString(), chosen);
    EXPECT_EQ(GetSnapDir(), chosen);

    page.OnChooseRecDir();   // cancelled with no folder set: the default
    EXPECT_EQ(page.RecEdit()->text().toStdString(), dir.file("RecFiles"));
    answer = QString::fromStdString(dir.file("movies"));
    page.OnChooseRecDir();
    EXPECT_EQ(GetRecDir(), dir.file("movies"));
    EXPECT_EQ(titles, (QStringList{"选择路径", "选择路径", "选择路径", "选择路径"}));
    EXPECT_TRUE(presenter.texts.isEmpty());
}

}   // namespace
