#include "core/services/Settings.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/services/IniFile.h"
#include "tests/support/TestFiles.h"

namespace fs = std::filesystem;
using kytest::AppDirScope;
using kytest::ReadBytes;
using kytest::WriteBytes;

namespace {

TEST(Settings, PtzSpeedReadAsText) {
    AppDirScope app;
    EXPECT_EQ(GetPtzSpeed(), 45);   // no file
    for (const auto& [text, expected] : std::vector<std::pair<std::string, int>>{
             {"", 45}, {"0", 0}, {"abc", 0}, {"30", 30}, {" 12x", 12}, {"-5", -5}}) {
        WriteBytes(app.file("settings.ini"), "[Config]\nPTZSpeed=" + text + "\n");
        EXPECT_EQ(GetPtzSpeed(), expected) << "'" << text << "'";
    }
    ASSERT_TRUE(SetPtzSpeed(60));
    EXPECT_EQ(ReadBytes(app.file("settings.ini")), "[Config]\nPTZSpeed=60\n");
    EXPECT_EQ(GetPtzSpeed(), 60);
}

TEST(Settings, DefaultFoldersAreWrittenBackAndCreated) {
    AppDirScope app;
    const std::string snap = app.file("SnapPic");
    const std::string rec = app.file("RecFiles");
    EXPECT_EQ(GetSnapDir(), snap);
    EXPECT_EQ(GetRecDir(), rec);
    EXPECT_TRUE(fs::is_directory(snap));
    EXPECT_TRUE(fs::is_directory(rec));
    const CIniFile ini(SettingsFilePath());
    EXPECT_EQ(ini.GetString("Config", "SnapFiles", ""), snap);
    EXPECT_EQ(ini.GetString("Config", "RecFiles", ""), rec);
}

TEST(Settings, ChosenFolderIsKeptAndRecreatedWithParents) {
    AppDirScope app;
    const std::string chosen = app.file("deep/er/Snaps 1");
    ASSERT_TRUE(SetSnapDir(chosen));
    EXPECT_EQ(GetSnapDir(), chosen);
    EXPECT_TRUE(fs::is_directory(chosen));
    fs::remove_all(app.file("deep"));
    EXPECT_EQ(GetSnapDir(), chosen);   // deleted while running: made again
    EXPECT_TRUE(fs::is_directory(chosen));

    const std::string recs = app.file("recs");
    ASSERT_TRUE(SetRecDir(recs));
    EXPECT_EQ(GetRecDir(), recs);
    EXPECT_EQ(CIniFile(SettingsFilePath()).GetString("Config", "SnapFiles", ""), chosen);
}

TEST(Settings, EmptyFolderValueFallsBackToDefault) {
    AppDirScope app;
    WriteBytes(app.file("settings.ini"), "[Config]\nSnapFiles=\nPTZSpeed=7\n");
    EXPECT_EQ(GetSnapDir(), app.file("SnapPic"));
    EXPECT_EQ(ReadBytes(app.file("settings.ini")), "[Config]\nSnapFiles=" + app.file("SnapPic") + "\nPTZSpeed=7\n");
}

TEST(Settings, FolderThatCannotBeCreatedIsStillReturned) {
    AppDirScope app;
    WriteBytes(app.file("blocker"), "a file, not a folder");
    const std::string bad = app.file("blocker/Snap");
    ASSERT_TRUE(SetSnapDir(bad));
    EXPECT_EQ(GetSnapDir(), bad);
    EXPECT_FALSE(fs::exists(bad));
}

TEST(Settings, LongFolderIsNotCutIntoAnotherFolder) {
    AppDirScope app;
    std::string deep = app.dir().path();
    while (deep.size() < 400) deep += "/level-of-nesting";
    ASSERT_TRUE(SetRecDir(deep));
    EXPECT_EQ(GetRecDir(), deep);
    EXPECT_TRUE(fs::is_directory(deep));
}

TEST(Settings, DisplayMode) {
    AppDirScope app;
    EXPECT_EQ(GetDisplayMode(), 0);
    ASSERT_TRUE(SetDisplayMode(1));
    EXPECT_EQ(GetDisplayMode(), 1);
    ASSERT_TRUE(SetPtzSpeed(20));   // other keys leave it alone
    EXPECT_EQ(GetDisplayMode(), 1);
    EXPECT_EQ(ReadBytes(app.file("settings.ini")), "[Config]\nDisplayMode=1\nPTZSpeed=20\n");
}

}   // namespace
