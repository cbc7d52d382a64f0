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

TEST(Settings, PtzSpeedAndDisplayModeReadAsText) {
    AppDirScope app;
    EXPECT_EQ(GetPtzSpeed(), 45);   // no file
    for (const auto& [text, expected] : std::vector<std::pair<std::string, int>>{
             {"", 45}, {"0", 0}, {"abc", 0}, {"30", 30}, {" 12x", 12}, {"-5", -5}}) {
        WriteBytes(app.file("settings.ini"), "[Config]\nPTZSpeed=" + text + "\n");
        EXPECT_EQ(GetPtzSpeed(), expected) << "'" << text << "'";
    }
    ASSERT_TRUE(SetDisplayMode(1) && SetPtzSpeed(60));
    EXPECT_EQ(ReadBytes(app.file("settings.ini")), "[Config]\nPTZSpeed=60\nDisplayMode=1\n");
    EXPECT_EQ(GetPtzSpeed() * 10 + GetDisplayMode(), 601);
}

// Default folders beside the program are written back and made; an empty
// value falls back to the default.
TEST(Settings, DefaultFolders) {
    AppDirScope app;
    WriteBytes(app.file("settings.ini"), "[Config]\nSnapFiles=\nPTZSpeed=7\n");
    EXPECT_EQ(GetSnapDir(), app.file("SnapPic"));
    EXPECT_EQ(GetRecDir(), app.file("RecFiles"));
    EXPECT_TRUE(fs::is_directory(app.file("SnapPic")) && fs::is_directory(app.file("RecFiles")));
    EXPECT_EQ(ReadBytes(app.file("settings.ini")),
              "[Config]\nSnapFiles=" + app.file("SnapPic") + "\nPTZSpeed=7\nRecFiles=" + app.file("RecFiles") + "\n");
}

// A chosen folder is kept whole (however long) and made again with its
// parents when deleted; one that cannot be made is still returned.
TEST(Settings, ChosenFolders) {
    AppDirScope app;
    const std::string chosen = app.file("deep/er/Snaps 1");
    ASSERT_TRUE(SetSnapDir(chosen));
    EXPECT_EQ(GetSnapDir(), chosen);
    fs::remove_all(app.file("deep"));
    EXPECT_EQ(GetSnapDir(), chosen);
    EXPECT_TRUE(fs::is_directory(chosen));
    std::string deep = app.dir().path();
    while (deep.size() < 400) deep += "/level-of-nesting";
    ASSERT_TRUE(SetRecDir(deep));
    EXPECT_EQ(GetRecDir(), deep);
    EXPECT_TRUE(fs::is_directory(deep));
    EXPECT_EQ(CIniFile(SettingsFilePath()).GetString("Config", "SnapFiles", ""), chosen);

    WriteBytes(app.file("blocker"), "a file, not a folder");
    ASSERT_TRUE(SetSnapDir(app.file("blocker/Snap")));
    EXPECT_EQ(GetSnapDir(), app.file("blocker/Snap"));
    EXPECT_FALSE(fs::exists(app.file("blocker/Snap")));
}

}   // namespace
