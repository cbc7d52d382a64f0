#include "core/services/AppDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "tests/support/TestFiles.h"

namespace fs = std::filesystem;

namespace {

TEST(AppDir, IsTheFolderOfThisExecutable) {
    const std::string saved = g_strAppDir;
    InitAppDir();
    const std::string dir = g_strAppDir;
    const AppLayout layout = CurrentAppLayout();
    SetAppDirForTesting(saved);
    ASSERT_FALSE(dir.empty());
    EXPECT_NE(dir.back(), '/');
    EXPECT_TRUE(std::filesystem::is_regular_file(dir + "/ky_services_test"));
    EXPECT_EQ(std::filesystem::canonical("/proc/self/exe").parent_path().string(), dir);
    EXPECT_FALSE(layout.installed);   // a build tree
    EXPECT_EQ(layout.config, dir);
}

// The layout on one line, folders below the scratch root shown from it.
std::string Describe(const AppLayout& l, const std::string& root) {
    std::string out = l.installed ? "installed" : "portable";
    for (const std::string* dir : {&l.assets, &l.config, &l.data, &l.snapshots, &l.recordings})
        out += " " + (dir->rfind(root, 0) == 0 ? dir->substr(root.size()) : *dir);
    return out;
}

TEST(AppDir, InstalledLayoutFollowsTheUsersFolders) {
    kytest::TempDir t;
    const std::string root = t.path(), home = root + "/h";
    fs::create_directories(root + "/usr/share/kycameratool");
    fs::create_directories(home + "/conf");
    kytest::WriteBytes(home + "/conf/user-dirs.dirs",
                       "# xdg-user-dirs\nXDG_PICTURES_DIR=\"$HOME/Bilder\"\n"
                       "XDG_VIDEOS_DIR=\"$HOME\"\n");
    const struct {
        std::string exeDir;
        std::map<std::string, std::string> env;
        std::string want;
    } cases[] = {
        // bin/ without share/kycameratool beside it: a build tree.
        {"/opt/bin", {{"HOME", home}}, "portable /opt/bin /opt/bin /opt/bin /opt/bin/SnapPic /opt/bin/RecFiles"},
        {"/usr/bin",
         {{"HOME", home}},
         "installed /usr/share/kycameratool /h/.config/kycameratool /h/.local/share/kycameratool /h/Pictures "
         "/h/Videos"},
        // Relative XDG folders do not count; "$HOME" alone marks a folder unused.
        {"/usr/bin",
         {{"HOME", home}, {"XDG_CONFIG_HOME", home + "/conf"}, {"XDG_DATA_HOME", "data"}},
         "installed /usr/share/kycameratool /h/conf/kycameratool /h/.local/share/kycameratool /h/Bilder /h/Videos"},
    };
    for (const auto& c : cases) {
        const AppLayout got = ResolveAppLayout(root + c.exeDir, [&](const char* name) {
            const auto it = c.env.find(name);
            return it == c.env.end() ? nullptr : it->second.c_str();
        });
        EXPECT_EQ(Describe(got, root), c.want);
    }
}

TEST(AppDir, FirstStartCopiesTheTemplateForTheOwnerOnly) {
    kytest::TempDir t;
    AppLayout layout{
        true, t.file("share"), t.file("home/.config/kycameratool"), t.file("home/.local/share/kycameratool"), "", ""};
    const std::string db = layout.data + "/db.dat";
    fs::create_directories(layout.assets);
    ASSERT_TRUE(PrepareUserFiles(layout));   // no template: no database
    EXPECT_FALSE(fs::exists(db));
    EXPECT_EQ(fs::status(layout.config).permissions(), fs::perms::owner_all);
    EXPECT_EQ(fs::status(t.file("home/.local")).permissions(), fs::perms::owner_all);

    kytest::WriteBytes(layout.assets + "/db.dat", "template");
    ASSERT_TRUE(PrepareUserFiles(layout, false));
    EXPECT_FALSE(fs::exists(db));
    ASSERT_TRUE(PrepareUserFiles(layout));
    EXPECT_EQ(kytest::ReadBytes(db), "template");
    EXPECT_EQ(fs::status(db).permissions(), fs::perms::owner_read | fs::perms::owner_write);

    // The user's own database is never replaced.
    kytest::WriteBytes(db, "mine");
    ASSERT_TRUE(PrepareUserFiles(layout));
    EXPECT_EQ(kytest::ReadBytes(db), "mine");
}

}   // namespace
