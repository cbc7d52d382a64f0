// The admin command, run as a child process, and the store reading its work.
#include "core/store/LocalStore.h"

#include "tests/support/ChildProcess.h"
#include "tests/support/TestFiles.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// The tool's exit status and its standard output and error together.
ky::test::ProcessResult RunTool(std::vector<std::string> args, const std::string& input = {},
                                const std::string& exe = KYCAM_DB_EXE) {
    args.insert(args.begin(), exe);
    ky::test::ChildOptions merged;
    merged.mergeStderr = true;
    return ky::test::RunProcess(args, input, merged);
}

class KycamDbTest : public testing::Test {
protected:
    kytest::TempDir dir;
    std::string db = dir.file("db.dat");
};

}   // namespace

TEST_F(KycamDbTest, CreatedFileAndUsersWorkWithTheStore) {
    auto r = RunTool({"create", "--db", db, "--def-user", "root", "--def-password", "cam-secret", "--def-stream", "1"});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(fs::status(db).permissions() & fs::perms::others_read, fs::perms::none);
    r = RunTool({"user", "--db", db, "admin", "goodpass1"});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    r = RunTool({"user", "--db=" + db, "--", "-operator", "0123456789abcdefX"});
    ASSERT_EQ(r.exitCode, 0) << r.out;

    CLocalStore store;
    ASSERT_TRUE(store.Init(dir.path())) << store.LastError();
    EXPECT_EQ(store.GetDefaults().strUser, "root");
    EXPECT_EQ(store.GetDefaults().strPassword, "cam-secret");
    EXPECT_EQ(store.GetDefaults().stream, 1);
    EXPECT_EQ(store.CheckLogin("admin", "goodpass1"), 1);
    EXPECT_EQ(store.CheckLogin("-operator", "0123456789abcdefX"), 1);
    EXPECT_EQ(store.CheckLogin("admin", "goodpass2"), 0);

    // Replacing a password; the password may come from standard input.
    r = RunTool({"user", "--db", db, "admin", "-"}, "newpass-42\n");
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(store.CheckLogin("admin", "goodpass1"), 0);
    EXPECT_EQ(store.CheckLogin("admin", "newpass-42"), 1);

    r = RunTool({"show", "--db", db});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_NE(r.out.find("root"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("admin"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("-operator"), std::string::npos) << r.out;
    for (const char* secret : {"cam-secret", "newpass", "0123456789", "bmV3"})
        EXPECT_EQ(r.out.find(secret), std::string::npos) << secret << " shown:\n" << r.out;
}

TEST_F(KycamDbTest, CreateNeverOverwrites) {
    ASSERT_EQ(RunTool({"create", "--db", db}).exitCode, 0);
    ASSERT_EQ(RunTool({"user", "--db", db, "admin", "goodpass1"}).exitCode, 0);
    const std::string before = kytest::ReadBytes(db);
    auto r = RunTool({"create", "--db", db, "--def-user", "intruder"});
    EXPECT_EQ(r.exitCode, 1) << r.out;
    EXPECT_EQ(kytest::ReadBytes(db), before);

    const std::string text = dir.file("notes.txt");
    kytest::WriteBytes(text, "keep me");
    EXPECT_EQ(RunTool({"create", "--db", text}).exitCode, 1);
    EXPECT_EQ(kytest::ReadBytes(text), "keep me");
}

TEST_F(KycamDbTest, DefaultsAndDefaultPathBesideTheProgram) {
    // A copy of the program in a folder of its own keeps the test tree clean.
    const fs::path exe = fs::path(dir.path()) / "kycam-db";
    fs::copy_file(KYCAM_DB_EXE, exe);
    auto r = RunTool({"create"}, {}, exe.string());
    ASSERT_EQ(r.exitCode, 0) << r.out;
    ASSERT_TRUE(fs::exists(db));
    ASSERT_EQ(RunTool({"user", "admin", "goodpass1"}, {}, exe.string()).exitCode, 0);

    CLocalStore store;
    ASSERT_TRUE(store.Init(dir.path()));
    EXPECT_EQ(store.GetDefaults().strUser, "admin");
    EXPECT_EQ(store.GetDefaults().strPassword, "admin");
    EXPECT_EQ(store.GetDefaults().stream, 0);
    EXPECT_EQ(store.CheckLogin("admin", "goodpass1"), 1);
}

TEST_F(KycamDbTest, UsageErrorsAndFailures) {
    EXPECT_EQ(RunTool({}).exitCode, 2);
    EXPECT_EQ(RunTool({"frobnicate"}).exitCode, 2);
    auto help = RunTool({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_NE(help.out.find("kycam-db create"), std::string::npos);
    EXPECT_EQ(RunTool({"create", "--db", db, "--def-stream", "2"}).exitCode, 2);
    EXPECT_EQ(RunTool({"create", "--db", db, "--bogus"}).exitCode, 2);
    EXPECT_EQ(RunTool({"create", "--db"}).exitCode, 2);
    EXPECT_FALSE(fs::exists(db));

    ASSERT_EQ(RunTool({"create", "--db", db}).exitCode, 0);
    EXPECT_EQ(RunTool({"user", "--db", db, "admin"}).exitCode, 2);
    EXPECT_EQ(RunTool({"user", "--db", db, "admin", "short-7"}).exitCode, 2);
    EXPECT_EQ(RunTool({"user", "--db", db, "admin", std::string(32, 'x')}).exitCode, 2);
    EXPECT_EQ(RunTool({"user", "--db", db, "admin", std::string(31, 'x')}).exitCode, 0);
    // Eight characters, sixteen bytes: the dialog counts characters.
    EXPECT_EQ(RunTool({"user", "--db", db, "admin",
                       "\xc3\xa4\xc3\xa4\xc3\xa4\xc3\xa4\xc3\xa4\xc3\xa4"
                       "\xc3\xa4\xc3\xa4"})
                  .exitCode,
              0);
    EXPECT_EQ(RunTool({"user", "--db", db, "--def-user", "x", "admin", "goodpass1"}).exitCode, 2);

    const std::string missing = dir.file("missing.dat");
    EXPECT_EQ(RunTool({"user", "--db", missing, "admin", "goodpass1"}).exitCode, 1);
    EXPECT_EQ(RunTool({"show", "--db", missing}).exitCode, 1);
    EXPECT_FALSE(fs::exists(missing));
}
