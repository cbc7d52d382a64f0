// Start-up and shut-down of the application object.
#include <gtest/gtest.h>

#include <QCoreApplication>

#include "core/services/AppDir.h"
#include "core/store/LocalStore.h"
#include "gui/shell/AppGlobals.h"
#include "gui/shell/KyCamToolApp.h"
#include "gui/shell/KyCamToolDlg.h"
#include "tests/support/GuiTestSupport.h"

using namespace kytest;

namespace {

TEST(StartupTest, MissingDatabaseEndsWithATranslatedMessageAndNoWindow) {
    {
        GuiAppDir dir;
        RecordingPresenter presenter;
        CKyCamToolApp app;
        app.SetAppDir(dir.path());
        EXPECT_FALSE(app.InitInstance());
        EXPECT_EQ(app.MainWindow(), nullptr);
        // The database's own reason comes first, code in eight hex digits.
        ASSERT_EQ(presenter.texts.size(), 2);
        EXPECT_EQ(presenter.texts[0].split('\n').size(), 5);
        EXPECT_EQ(presenter.texts[0].split('\n')[0].size(), 8);
        EXPECT_EQ(presenter.Last(), "Failed to initialize data!");
        app.ExitInstance();
        EXPECT_EQ(g_pLocalStore, nullptr);
        EXPECT_FALSE(std::filesystem::exists(dir.file("db.dat")));   // never created by the tool
    }
    GuiAppDir dir;
    dir.WriteLang("lang_chn.dat", "[CONFIG]\nFailed to initialize data!=数据初始化失败!\n");
    RecordingPresenter presenter;
    CKyCamToolApp app;
    app.SetAppDir(dir.path());
    EXPECT_FALSE(app.InitInstance());
    EXPECT_EQ(presenter.Last(), "数据初始化失败!");
}

TEST(StartupTest, StartsWithTheBuiltInUserAndTheStoredDefaults) {
    GuiAppDir dir;
    dir.CreateDb("580247!K", "root", "", 1);
    RecordingPresenter presenter;
    CKyCamToolApp app;
    app.SetAppDir(dir.path());
    ASSERT_TRUE(app.InitInstance());
    EXPECT_TRUE(presenter.texts.isEmpty());
    EXPECT_EQ(g_strAppDir, dir.path());
    ASSERT_NE(app.MainWindow(), nullptr);
    EXPECT_TRUE(app.MainWindow()->isVisible());
    EXPECT_EQ(app.MainWindow()->CurrentLayout(), CKyCamToolDlg::Layout::Preview);
    EXPECT_EQ(CurrentToolUser().user, "admin");
    EXPECT_EQ(CurrentToolUser().password, "580247!K");
    ASSERT_EQ(g_pLocalStore, app.Store());
    EXPECT_EQ(g_pLocalStore->GetDefaults().strUser, "root");
    EXPECT_EQ(g_pLocalStore->GetDefaults().stream, 1);
    EXPECT_NE(app.MainWindow()->Page(24), nullptr);

    app.ExitInstance();
    EXPECT_EQ(app.MainWindow(), nullptr);
    EXPECT_EQ(g_pLocalStore, nullptr);
    app.ExitInstance();   // twice is harmless
}

}   // namespace
