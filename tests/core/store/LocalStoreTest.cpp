// The local store over real database files made by the admin functions.
#include "core/services/AppDir.h"
#include "core/store/LocalStore.h"
#include "core/store/StoreAdmin.h"

#include "tests/support/Golden.h"
#include "tests/support/StoreTestUtil.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

namespace fs = std::filesystem;

namespace {

class LocalStoreTest : public testing::Test {
protected:
    kytest::TempDir dir;
    std::string db = dir.file("db.dat");

    void Create(const std::string& user = "admin", const std::string& pwd = "admin", int stream = 0) {
        std::string error;
        ASSERT_EQ(CreateDatabase(db, user, pwd, stream, &error), 0) << error;
    }

    // Opens the file and loads its defaults.
    void OpenStore(CLocalStore& store) {
        ASSERT_EQ(store.Open(db), 0) << store.LastError();
        store.LoadDefaults();
    }

    static void ExpectDefaults(CLocalStore& store, const std::string& user, const std::string& pwd, int stream) {
        const DeviceDefaults& d = store.GetDefaults();
        EXPECT_EQ(d.strUser, user);
        EXPECT_EQ(d.strPassword, pwd);
        EXPECT_STREQ(d.user, user.c_str());
        EXPECT_STREQ(d.password, pwd.c_str());
        EXPECT_EQ(d.stream, stream);
    }
};

}   // namespace

// A missing file is never created: not by Init in the given or the program
// folder, nor by Open; without a connection nothing is read or written.
TEST_F(LocalStoreTest, InitFindsTheFileAndAMissingOneIsNeverCreated) {
    const std::string saved = g_strAppDir;
    SetAppDirForTesting(dir.path());
    CLocalStore store;
    EXPECT_FALSE(store.Init() || store.Init(dir.path()) || store.IsOpen());
    EXPECT_NE(store.LastErrorCode(), 0);
    EXPECT_FALSE(store.LastError().empty());
    EXPECT_EQ(store.Open(dir.file("nested/db.dat")), -1);
    EXPECT_TRUE(fs::is_empty(dir.path()));
    ExpectDefaults(store, "admin", "tovel", 0);
    store.GetDefaults().SetUser("kept");
    store.LoadDefaults();
    EXPECT_EQ(store.GetDefaults().strUser, "kept");
    EXPECT_EQ(store.SaveDefaults(), 0);
    EXPECT_EQ(store.CheckLogin("admin", "password"), 0);

    Create("beside", "the-program", 1);
    EXPECT_TRUE(store.Init());
    ExpectDefaults(store, "beside", "the-program", 1);
    SetAppDirForTesting(saved);
    CLocalStore given;
    ASSERT_TRUE(given.Init(dir.path()));
    ExpectDefaults(given, "beside", "the-program", 1);
    // A failed open closes the connection that was open before.
    EXPECT_EQ(given.Open(dir.file("missing.dat")), -1);
    EXPECT_FALSE(given.IsOpen());
    EXPECT_FALSE(fs::exists(dir.file("missing.dat")));
}

// The first row's defaults after changes to the file: golden/defaults.txt.
TEST_F(LocalStoreTest, DefaultsFromTheFirstRow) {
    ky::test::ExpectGoldenResults(KY_STORE_GOLDEN,
                                  {{"Defaults", [&](const auto& a) {
                                        fs::remove(db);
                                        Create("admin", "admin", 1);
                                        ExecSql(db, a.at(0));
                                        CLocalStore store;
                                        OpenStore(store);
                                        const DeviceDefaults& d = store.GetDefaults();
                                        EXPECT_EQ(d.strUser + d.strPassword, std::string(d.user) + d.password);
                                        return d.strUser + " | " + d.strPassword + " | " + std::to_string(d.stream);
                                    }}});
    // Saving into an empty table inserts nothing.
    ExecSql(db, "DELETE FROM tblDeviceInfo");
    CLocalStore store;
    OpenStore(store);
    store.GetDefaults().SetUser("someone");
    EXPECT_EQ(store.SaveDefaults(), 0);
    EXPECT_EQ(QueryText(db, "SELECT count(*) FROM tblDeviceInfo"), "0");
}

TEST_F(LocalStoreTest, SaveThenLoadRoundTripTouchesOnlyTheFirstRow) {
    Create();
    ExecSql(db, "INSERT INTO tblDeviceInfo VALUES('other', 'other-pw', '0')");
    {
        CLocalStore store;
        OpenStore(store);
        DeviceDefaults& d = store.GetDefaults();
        d.SetUser("j\xc3\xbcrgen");
        d.SetPassword("it's \"quoted\"");
        d.stream = 1;
        EXPECT_EQ(store.SaveDefaults(), 1);
    }
    CLocalStore again;
    OpenStore(again);
    ExpectDefaults(again, "j\xc3\xbcrgen", "it's \"quoted\"", 1);
    EXPECT_EQ(QueryText(db, "SELECT DEF_STREAM FROM tblDeviceInfo ORDER BY rowid LIMIT 1"), "1");
    EXPECT_EQ(QueryText(db, "SELECT DEF_USER FROM tblDeviceInfo WHERE rowid = 2"), "other");

    // A writer that changed only the text copy gets both copies saved in step.
    again.GetDefaults().strUser = std::string(70, 'v');
    EXPECT_EQ(again.SaveDefaults(), 1);
    EXPECT_STREQ(again.GetDefaults().user, std::string(63, 'v').c_str());
    EXPECT_EQ(QueryText(db, "SELECT DEF_USER FROM tblDeviceInfo WHERE rowid = 1"), std::string(63, 'v'));
}

// Passwords are compared in their stored form (the cipher's, so files made
// elsewhere keep working); a user set again is replaced, not added.
TEST_F(LocalStoreTest, CheckLoginComparesTheEncodedPassword) {
    Create();
    // The longest password whose Base64 fills 508 of the 512-byte login buffer.
    const std::string longest(kMaxToolPasswordBytes, 'L');
    std::string error;
    ASSERT_EQ(SetToolUser(db, "admin", "password", &error), 0) << error;
    ASSERT_EQ(SetToolUser(db, "o'brien", "0123456789abcdefX", &error), 0) << error;
    ASSERT_EQ(SetToolUser(db, "long", longest, &error), 0) << error;
    ASSERT_EQ(SetToolUser(db, "other", "first-password", &error), 0) << error;
    ASSERT_EQ(SetToolUser(db, "other", "second-password", &error), 0) << error;
    EXPECT_NE(SetToolUser(db, "long", longest + "L", &error), 0);
    EXPECT_NE(SetToolUser(db, "", "second-password", &error), 0);
    EXPECT_EQ(QueryText(db, "SELECT count(*) FROM USERINFO WHERE USERNAME = 'other'"), "1");
    EXPECT_EQ(QueryText(db, "SELECT PASSWORD FROM USERINFO WHERE USERNAME = 'admin'"), "cGFzc3dvcmQ=");
    EXPECT_EQ(QueryText(db, "SELECT PASSWORD FROM USERINFO WHERE USERNAME = 'o''brien'"), "o9gR6mdD0jQGVP+2ua/RkFg=");

    CLocalStore store;
    OpenStore(store);
    // Text that would rewrite a pasted-together query is only a name here.
    EXPECT_EQ(store.CheckLogin("admin", "password"), 1);
    EXPECT_EQ(store.CheckLogin("admin", "Password"), 0);
    EXPECT_EQ(store.CheckLogin("admin", ""), 0);
    EXPECT_EQ(store.CheckLogin("root", "password"), 0);
    // The name goes into the query as it is, like the encoded password.
    EXPECT_EQ(store.CheckLogin("Admin", "password"), 0);
    EXPECT_EQ(store.CheckLogin("O'BRIEN", "0123456789abcdefX"), 0);
    EXPECT_EQ(store.CheckLogin("o'brien", "0123456789abcdefX"), 1);
    EXPECT_EQ(store.CheckLogin("o'brien", "0123456789abcdef"), 0);
    EXPECT_EQ(store.CheckLogin("x' OR '1'='1", "password"), 0);
    EXPECT_EQ(store.CheckLogin("admin' --", "wrong-password"), 0);
    EXPECT_EQ(store.CheckLogin("long", longest), 1);
    EXPECT_EQ(store.CheckLogin("long", longest + "L"), 0);
    EXPECT_EQ(store.CheckLogin("long", std::string(100000, 'L')), 0);
    EXPECT_EQ(store.CheckLogin("other", "first-password"), 0);
    EXPECT_EQ(store.CheckLogin("other", "second-password"), 1);
}

TEST_F(LocalStoreTest, BadFilesFailCleanly) {
    Create();
    const std::string good = kytest::ReadBytes(db);
    ASSERT_GE(good.size(), 3 * 4096u);

    std::string damaged = good;
    for (size_t i = 4096 + 100; i < 2 * 4096; ++i)   // inside the first table's page
        damaged[i] = static_cast<char>(i * 7);
    // Files of another program: USERINFO missing, then its PASSWORD column.
    const std::string other = dir.file("other");
    kytest::WriteBytes(other, "");
    ExecSql(other, "CREATE TABLE tblDeviceInfo(DEF_USER TEXT, DEF_PWD TEXT, DEF_STREAM TEXT)");
    const std::string noUsers = kytest::ReadBytes(other);
    ExecSql(other, "CREATE TABLE USERINFO(USERNAME TEXT)");
    const std::pair<const char*, std::string> cases[] = {
        {"empty.dat", ""},
        {"text.dat", "DEF_USER=admin\nDEF_PWD=admin\n"},
        {"truncated.dat", good.substr(0, 4096 + 1000)},
        {"header-only.dat", good.substr(0, 100)},
        {"damaged.dat", damaged},
        {"no-users.dat", noUsers},
        {"no-password.dat", kytest::ReadBytes(other)},
    };
    for (const auto& [name, bytes] : cases) {
        const std::string path = dir.file(name);
        kytest::WriteBytes(path, bytes);
        CLocalStore store;
        EXPECT_EQ(store.Open(path), -1) << name;
        EXPECT_FALSE(store.IsOpen() || store.LastError().empty()) << name;
        EXPECT_EQ(kytest::ReadBytes(path), bytes) << name << " was changed";
        EXPECT_EQ(store.CheckLogin("admin", "password"), 0);
    }
    EXPECT_EQ(CLocalStore().Open(dir.path()), -1);   // a directory
    EXPECT_EQ(CLocalStore().Open(""), -1);
}
