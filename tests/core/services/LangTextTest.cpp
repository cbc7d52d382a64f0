#include "core/services/LangText.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <thread>
#include <vector>

#include "core/services/AppDir.h"
#include "tests/support/TestFiles.h"

using kytest::AppDirScope;
using kytest::Repeat;
using kytest::WriteBytes;

namespace {

const char* const kFiles[] = {"lang_chn.dat",    "lang_Japan.dat",  "lang_Italian.dat", "lang_Russian.dat",
                              "lang_French.dat", "lang_Korean.dat", "lang_Polish.dat",  "lang_CHT.dat"};

class LangTextTest : public ::testing::Test {
protected:
    void SetUp() override { ResetLangChoiceForTesting(); }
    void TearDown() override { ResetLangChoiceForTesting(); }
    void Lang(const std::string& name, const std::string& body) { WriteBytes(m_app.file(name), body); }

    AppDirScope m_app;
};

// Without a usable translation the key itself is the text, and a miss
// always asks again next time: no file, an empty translation, a folder in a
// file's place.
TEST_F(LangTextTest, MissesGiveTheKey) {
    EXPECT_EQ(GetLangText("Parameter setting succeeded!"), "Parameter setting succeeded!");
    EXPECT_EQ(GetLangFile(), m_app.file("lang_chn.dat"));
    EXPECT_EQ(GetLangChoice(), -1);
    Lang("lang_CHT.dat", "[CONFIG]\nOK=\n");
    EXPECT_EQ(GetLangText("OK"), "OK");
    EXPECT_EQ(GetLangChoice(), -1);
    std::filesystem::create_directory(m_app.file("lang_chn.dat"));
    Lang("lang_Polish.dat", "[CONFIG]\nOK=Dobrze\n");
    EXPECT_EQ(GetLangText("OK"), "Dobrze");
}

TEST_F(LangTextTest, FileOrderDecides) {
    // Add files from last to first: each newly added one takes over.
    for (int i = 7; i >= 0; --i) {
        Lang(kFiles[i], "[CONFIG]\nOK=" + std::string(kFiles[i]) + "\n");
        ResetLangChoiceForTesting();
        EXPECT_EQ(GetLangText("OK"), kFiles[i]);
        EXPECT_EQ(GetLangChoice(), i + 1);
        EXPECT_EQ(GetLangFile(), m_app.file(kFiles[i]));
    }
}

TEST_F(LangTextTest, MissFallsBackAndChoosesAgain) {
    Lang("lang_French.dat", "[CONFIG]\nOK=D'accord\n");
    EXPECT_EQ(GetLangText("OK"), "D'accord");
    EXPECT_EQ(GetLangChoice(), 5);

    // An earlier file appears: the choice holds while lookups succeed...
    Lang("lang_chn.dat", "[CONFIG]\nOK=确定\n");
    EXPECT_EQ(GetLangText("OK"), "D'accord");
    // ...a miss gives the key and resets the choice...
    EXPECT_EQ(GetLangText("Cancel"), "Cancel");
    EXPECT_EQ(GetLangChoice(), -1);
    // ...so the next lookup finds the new file.
    EXPECT_EQ(GetLangText("OK"), "确定");
    EXPECT_EQ(GetLangChoice(), 1);
}

// Dialog sections, UTF-16 files, and at most 199 characters of a translation.
TEST_F(LangTextTest, DialogSectionsEncodingsAndLength) {
    Lang("lang_CHT.dat", kytest::Utf16LeFile(u"[CONFIG]\r\nOK=確定\r\n[P_NET_DLG]\r\nIP Address=IP 位址\r\n"));
    EXPECT_EQ(GetLangText("OK"), "確定");
    EXPECT_EQ(GetLangTextEx("P_NET_DLG", "IP Address"), "IP 位址");
    EXPECT_EQ(GetLangText("IP Address"), "IP Address");   // not in CONFIG
    EXPECT_EQ(GetLangTextEx("p_net_dlg", "ip address"), "IP 位址");
    Lang("lang_Russian.dat", "[CONFIG]\nLong=" + Repeat("Щ", 250) + "\nExact=" + Repeat("ж", 199) + "\n");
    ResetLangChoiceForTesting();
    EXPECT_EQ(GetLangText("Long"), Repeat("Щ", 199));
    EXPECT_EQ(GetLangText("Exact"), Repeat("ж", 199));
}

// Installed, a file in the user's settings folder comes before any file in
// the shared folder, whatever their order in the list.
TEST_F(LangTextTest, InstalledUserFolderComesFirst) {
    AppLayout layout;
    layout.installed = true;
    layout.assets = m_app.file("share");
    layout.config = m_app.file("config");
    std::filesystem::create_directory(layout.assets);
    std::filesystem::create_directory(layout.config);
    SetAppLayoutForTesting(layout);
    WriteBytes(layout.assets + "/lang_chn.dat", "[CONFIG]\nOK=确定\n");
    WriteBytes(layout.config + "/lang_CHT.dat", "[CONFIG]\nOK=確定\n");
    EXPECT_EQ(GetLangText("OK"), "確定");
    std::filesystem::remove(layout.config + "/lang_CHT.dat");
    ResetLangChoiceForTesting();
    EXPECT_EQ(GetLangText("OK"), "确定");
}

TEST_F(LangTextTest, EmptyAppDirUsesTheWorkingDirectory) {
    Lang("lang_Italian.dat", "[CONFIG]\nOK=Va bene\n");
    char saved[4096];
    ASSERT_NE(::getcwd(saved, sizeof saved), nullptr);
    ASSERT_EQ(::chdir(m_app.dir().path().c_str()), 0);
    SetAppDirForTesting("");
    const std::string text = GetLangText("OK");
    const std::string file = GetLangFile();
    ASSERT_EQ(::chdir(saved), 0);
    EXPECT_EQ(text, "Va bene");
    EXPECT_EQ(file, "./lang_Italian.dat");
}

TEST_F(LangTextTest, WorkersMayLookUpConcurrently) {
    Lang("lang_Japan.dat", "[CONFIG]\nOK=了解\n");
    std::vector<std::thread> threads;
    std::atomic<int> wrong{0};
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 50; ++i) {
                if (GetLangText("OK") != "了解") ++wrong;
                if (GetLangText("Missing") != "Missing") ++wrong;   // resets the choice under the others' feet
            }
        });
    for (auto& t : threads) t.join();
    EXPECT_EQ(wrong, 0);
}

}   // namespace
