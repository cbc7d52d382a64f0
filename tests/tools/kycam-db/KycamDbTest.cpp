// The admin command, run as a child process, and the store reading its work.
#include "core/store/LocalStore.h"

#include "tests/support/StoreTestUtil.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct Result {
    int exitCode = -1;
    std::string out;   // standard output and standard error together
};

Result RunTool(const std::vector<std::string>& args, const std::string& input = {},
               const std::string& exe = KYCAM_DB_EXE) {
    Result result;
    int in[2], out[2];
    if (pipe(in) != 0 || pipe(out) != 0) return result;
    pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(out[1], 2);
        close(in[0]);
        close(in[1]);
        close(out[0]);
        close(out[1]);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(exe.c_str()));
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(exe.c_str(), argv.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    if (!input.empty() && write(in[1], input.data(), input.size()) < 0) ADD_FAILURE() << "cannot feed the child";
    close(in[1]);
    char buf[4096];
    ssize_t n;
    while ((n = read(out[0], buf, sizeof(buf))) > 0) result.out.append(buf, static_cast<size_t>(n));
    close(out[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

class KycamDbTest : public testing::Test {
protected:
    TempDir dir;
    std::string db = dir.File("db.dat");
};

}   // namespace

TEST_F(KycamDbTest, CreatedFileAndUsersWorkWithTheStore) {
    Result r =
        RunTool({"create", "--db", db, "--def-user", "root", "--def-password", "cam-secret", "--def-stream", "1"});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    EXPECT_EQ(fs::status(db).permissions() & fs::perms::others_read, fs::perms::none);
    r = RunTool({"user", "--db", db, "admin", "goodpass1"});
    ASSERT_EQ(r.exitCode, 0) << r.out;
    r = RunTool({"user", "--db=" + db, "--", "-operator", "0123456789abcdefX"});
    ASSERT_EQ(r.exitCode, 0) << r.out;

    CLocalStore store;
    ASSERT_TRUE(store.Init(dir.Path().string())) << store.LastError();
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
    const std::string before = ReadFile(db);
    Result r = RunTool({"create", "--db", db, "--def-user", "intruder"});
    EXPECT_EQ(r.exitCode, 1) << r.out;
    EXPECT_EQ(ReadFile(db), before);

    const std::string text = dir.File("notes.txt");
    WriteFile(text, "keep me");
    EXPECT_EQ(RunTool({"create", "--db", text}).exitCode, 1);
    EXPECT_EQ(ReadFile(text), "keep me");
}

TEST_F(KycamDbTest, DefaultsAndDefaultPathBesideTheProgram) {
    // A copy of the program in a folder of its own keeps the test tree clean.
    const fs::path exe = dir.Path() / "kycam-db";
    fs::copy_file(KYCAM_DB_EXE, exe);
    Result r = RunTool({"create"}, {}, exe.string());
    ASSERT_EQ(r.exitCode, 0) << r.out;
    ASSERT_TRUE(fs::exists(db));
    ASSERT_EQ(RunTool({"user", "admin", "goodpass1"}, {}, exe.string()).exitCode, 0);

    CLocalStore store;
    ASSERT_TRUE(store.Init(dir.Path().string()));
    EXPECT_EQ(store.GetDefaults().strUser, "admin");
    EXPECT_EQ(store.GetDefaults().strPassword, "admin");
    EXPECT_EQ(store.GetDefaults().stream, 0);
    EXPECT_EQ(store.CheckLogin("admin", "goodpass1"), 1);
}

TEST_F(KycamDbTest, UsageErrorsAndFailures) {
    EXPECT_EQ(RunTool({}).exitCode, 2);
    EXPECT_EQ(RunTool({"frobnicate"}).exitCode, 2);
    Result help = RunTool({"--help"});
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

    const std::string missing = dir.File("missing.dat");
    EXPECT_EQ(RunTool({"user", "--db", missing, "admin", "goodpass1"}).exitCode, 1);
    EXPECT_EQ(RunTool({"show", "--db", missing}).exitCode, 1);
    EXPECT_FALSE(fs::exists(missing));
}
