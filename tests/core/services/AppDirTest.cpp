#include "core/services/AppDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

TEST(AppDir, IsTheFolderOfThisExecutable) {
    const std::string saved = g_strAppDir;
    InitAppDir();
    const std::string dir = g_strAppDir;
    SetAppDirForTesting(saved);
    ASSERT_FALSE(dir.empty());
    EXPECT_NE(dir.back(), '/');
    EXPECT_TRUE(std::filesystem::is_regular_file(dir + "/ky_services_test"));
    EXPECT_EQ(std::filesystem::canonical("/proc/self/exe").parent_path().string(), dir);
}

}   // namespace
