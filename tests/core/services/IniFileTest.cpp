#include "core/services/IniFile.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <csignal>
#include <filesystem>
#include <thread>
#include <vector>

#include "core/services/Utf8.h"
#include "tests/support/Golden.h"
#include "tests/support/TestFiles.h"

using kytest::ReadBytes;
using kytest::Repeat;
using kytest::TempDir;
using kytest::WriteBytes;

namespace {

class IniFileTest : public ::testing::Test {
protected:
    std::string Write(const std::string& bytes) {
        WriteBytes(m_path, bytes);
        return m_path;
    }
    CIniFile Ini() const { return CIniFile(m_path); }
    std::vector<std::string> FilesInDir() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(m_dir.path()))
            names.push_back(e.path().filename().string());
        return names;
    }

    TempDir m_dir;
    std::string m_path = m_dir.file("test.ini");
};

// Lookups, cuts and UTF-8 texts: golden/texts.txt.
TEST(ServicesGolden, LookupsCutsAndUtf8) {
    ky::test::ExpectGoldenResults(
        KY_SERVICES_GOLDEN,
        {{"Lookup",
          [](const auto& a) {
              return ky::ini::FindValue(ky::ini::DecodeProfileBytes(a.at(0)), a.at(1), a.at(2)).value_or("<missing>");
          }},
         {"Cut", [](const auto& a) { return std::string(ky::ini::CutToChars(a.at(0), std::stoul(a.at(1)))); }},
         {"Fit", [](const auto& a) { return std::to_string(ky::Utf8FitLength(a.at(0), std::stoul(a.at(1)))); }},
         {"Utf16", [](const auto& a) { return ky::Utf16LeToUtf8(a.at(0)); }},
         {"Int",
          [](const auto& a) {
              TempDir dir;
              WriteBytes(dir.file("x.ini"), a.at(0));
              return std::to_string(CIniFile(dir.file("x.ini")).GetInt(a.at(1), a.at(2), 5));
          }},
         {"Write",
          [](const auto& a) {
              TempDir dir;
              if (a.at(0) != "<none>") WriteBytes(dir.file("x.ini"), a.at(0));
              const bool ok = CIniFile(dir.file("x.ini")).WriteString(a.at(1), a.at(2), a.at(3));
              return (ok ? "" : "<refused>") + ReadBytes(dir.file("x.ini"));
          }},
         {"Repair", [](const auto& a) { return ky::Utf8Repair(a.at(0)); }},
         {"Printable", [](const auto& a) { return ky::Utf8Printable(a.at(0)); }}});
    EXPECT_EQ(ky::Utf8Truncate("ab\xE6\xB1\x89", 4), "ab");
}

// UTF-16 files are read, and rewritten as UTF-8.
TEST_F(IniFileTest, Utf16Files) {
    Write(kytest::Utf16LeFile(u"[CONFIG]\r\nOK=确定\r\nUPnP状态：=状态 \U0001F600\r\n[P_NET_DLG]\r\nIP=地址\r\n"));
    EXPECT_EQ(Ini().GetString("config", "UPnP状态：", ""), "状态 \U0001F600");
    EXPECT_EQ(Ini().GetString("P_NET_DLG", "IP", ""), "地址");
    Write(kytest::Utf16LeFile(u"[S]\r\nk=旧\r\nkeep=保留\r\n"));
    ASSERT_TRUE(Ini().WriteString("S", "k", "新"));
    EXPECT_EQ(ReadBytes(m_path), "[S]\r\nk=新\r\nkeep=保留\r\n");
}

// A missing file or a folder in its place gives defaults and is never replaced.
TEST_F(IniFileTest, MissingOrUnreadableFile) {
    EXPECT_EQ(Ini().GetInt("S", "k", 9), 9);
    std::filesystem::create_directory(m_path);
    WriteBytes(m_dir.file("test.ini/inner"), "data");
    EXPECT_EQ(Ini().GetString("S", "k", "def"), "def");
    EXPECT_FALSE(Ini().WriteInt("S", "k", 1));
    EXPECT_EQ(ReadBytes(m_dir.file("test.ini/inner")), "data");
    EXPECT_EQ(CIniFile().GetString("S", "k", "def"), "def");
    EXPECT_FALSE(CIniFile().WriteInt("S", "k", 1));
}

TEST_F(IniFileTest, NothingIsCached) {
    Write("[S]\nk=1\n");
    const CIniFile ini = Ini();
    EXPECT_EQ(ini.GetInt("S", "k", 0), 1);
    Write("[S]\nk=2\n");
    EXPECT_EQ(ini.GetInt("S", "k", 0), 2);
}

// The default buffer keeps 299 characters (not bytes); a smaller one never
// splits a sequence.
TEST_F(IniFileTest, BufferCuts) {
    Write("[S]\nascii=" + Repeat("a", 400) + "\ncjk=" + Repeat("汉", 400) + "\nexact=" + Repeat("b", 299) +
          "\nmixed=" + Repeat("x", 198) + "\U0001F600é tail\n");
    EXPECT_EQ(Ini().GetString("S", "ascii", ""), Repeat("a", 299));
    EXPECT_EQ(Ini().GetString("S", "cjk", ""), Repeat("汉", 299));
    EXPECT_EQ(Ini().GetString("S", "exact", ""), Repeat("b", 299));
    EXPECT_EQ(Ini().GetString("S", "missing", Repeat("d", 500)), Repeat("d", 299));
    EXPECT_EQ(Ini().GetString("S", "mixed", "", 200), Repeat("x", 198) + "\U0001F600");
    EXPECT_EQ(Ini().GetString("S", "mixed", "", 1), "");
    EXPECT_EQ(Ini().GetString("S", "mixed", "", 0), "");
}

TEST_F(IniFileTest, ValuesReadBackExactly) {
    for (const std::string v : {"", " lead", "trail\t", "\"quoted\"", "'single'", "\"", "a=b;c", "路径 /x"}) {
        ASSERT_TRUE(Ini().WriteString("S", "k", v)) << v;
        EXPECT_EQ(Ini().GetString("S", "k", "def"), v);
    }
}

// The file is replaced whole: no temporary left (what a writer killed
// mid-write left is removed, a running one's stays), its mode kept, a link
// followed to the real file.
TEST_F(IniFileTest, SuccessfulWriteReplacesTheFileWhole) {
    const std::string real = m_dir.file("real.ini");
    WriteBytes(real, "[S]\nk=1\n");
    ::chmod(real.c_str(), 0640);
    std::filesystem::create_symlink(real, m_path);
    WriteBytes(m_dir.file(".real.ini.999999999.0.tmp"), "[S]\nk=");   // no such process
    WriteBytes(m_dir.file(".real.ini.1.0.tmp"), "[S]\nk=");           // init
    ASSERT_TRUE(Ini().WriteInt("S", "k", 2));
    EXPECT_TRUE(std::filesystem::is_symlink(m_path));
    EXPECT_EQ(ReadBytes(real), "[S]\nk=2\n");
    std::vector<std::string> files = FilesInDir();
    std::sort(files.begin(), files.end());
    EXPECT_EQ(files, (std::vector<std::string>{".real.ini.1.0.tmp", "real.ini", "test.ini"}));
    struct stat st {};
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST_F(IniFileTest, FailedWriteKeepsTheOldFileWhole) {
    const std::string original = "[S]\nk=1\nother=keep\n";
    Write(original);
    // Limit file size so the temporary file cannot be completed (works as root too).
    struct rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const bool ok = Ini().WriteString("S", "k", Repeat("v", 10000));
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(ok);
    EXPECT_EQ(ReadBytes(m_path), original);
    EXPECT_EQ(FilesInDir(), std::vector<std::string>{"test.ini"});
}

// Writers on several threads lose no key, and a reader meanwhile never sees
// a partial file.
TEST_F(IniFileTest, ConcurrentWritersAndAReader) {
    Write("[S]\nk=start\n" + Repeat("filler=" + Repeat("f", 100) + "\n", 200));
    std::atomic<bool> done{false};
    std::atomic<int> misses{0};
    std::thread reader([&] {
        const CIniFile ini(m_path);
        while (!done)
            if (ini.GetString("S", "k", "").empty()) ++misses;
    });
    std::vector<std::thread> writers;
    for (int t = 0; t < 4; ++t)
        writers.emplace_back([this, t] {
            for (int i = 0; i < 25; ++i) Ini().WriteInt("S", "t" + std::to_string(t) + "_" + std::to_string(i), i);
        });
    for (auto& w : writers) w.join();
    done = true;
    reader.join();
    EXPECT_EQ(misses, 0);
    for (int t = 0; t < 4; ++t)
        for (int i = 0; i < 25; ++i)
            EXPECT_EQ(Ini().GetInt("S", "t" + std::to_string(t) + "_" + std::to_string(i), -1), i);
}

}   // namespace
