#include "core/store/StoreAdmin.h"

#include "core/services/Utf8.h"
#include "core/store/LocalStore.h"
#include "core/store/StoreDb.h"

#include <sqlite3.h>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

using ky::store::ColumnText;
using ky::store::Statement;

const char* const kStoreSchema =
    "CREATE TABLE tblDeviceInfo(DEF_USER TEXT, DEF_PWD TEXT, DEF_STREAM TEXT);\n"
    "CREATE TABLE USERINFO(USERNAME TEXT, PASSWORD TEXT);\n";

namespace {

int Fail(std::string* error, const std::string& text) {
    if (error) *error = text;
    return -1;
}

int FailDb(std::string* error, sqlite3* db, const std::string& what) {
    return Fail(error, what + ": " + (db ? sqlite3_errmsg(db) : "out of memory"));
}

class Connection {
public:
    explicit Connection(sqlite3* db) : m_db(db) {}
    ~Connection() { sqlite3_close_v2(m_db); }
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;
    sqlite3* Get() const { return m_db; }

private:
    sqlite3* m_db;
};

bool Exec(sqlite3* db, const char* sql) { return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK; }

int FillNewDatabase(const std::string& path, const std::string& defUser, const std::string& defPwd, int defStream,
                    std::string* error) {
    sqlite3* raw = nullptr;
    const std::string file = ky::store::PlainFilePath(path);
    int rc = sqlite3_open_v2(file.c_str(), &raw, SQLITE_OPEN_READWRITE, nullptr);
    Connection db(raw);
    if (rc != SQLITE_OK) return FailDb(error, raw, "cannot open " + path);
    if (!Exec(db.Get(), "BEGIN") || !Exec(db.Get(), kStoreSchema))
        return FailDb(error, db.Get(), "cannot create the tables");
    Statement insert(db.Get(), "INSERT INTO tblDeviceInfo(DEF_USER, DEF_PWD, DEF_STREAM) VALUES(?1, ?2, ?3)");
    if (!insert.BindText(1, ky::Utf8Truncate(defUser, DeviceDefaults::kFieldSize - 1)) ||
        !insert.BindText(2, ky::Utf8Truncate(defPwd, DeviceDefaults::kFieldSize - 1)) ||
        !insert.BindText(3, std::to_string(defStream)) || insert.Step() != SQLITE_DONE)
        return FailDb(error, db.Get(), "cannot store the defaults");
    if (!Exec(db.Get(), "COMMIT")) return FailDb(error, db.Get(), "cannot write " + path);
    return 0;
}

}   // namespace

int CreateDatabase(const std::string& path, const std::string& defUser, const std::string& defPwd, int defStream,
                   std::string* error) {
    if (path.empty() || path.find('\0') != std::string::npos) return Fail(error, "no database file name");
    // Claim the name atomically: an existing file (or link) is never touched.
    int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        if (errno == EEXIST) return Fail(error, path + " already exists; not overwriting it");
        return Fail(error, "cannot create " + path + ": " + strerror(errno));
    }
    close(fd);
    if (FillNewDatabase(path, defUser, defPwd, defStream, error) != 0) {
        unlink(path.c_str());
        unlink((path + "-journal").c_str());
        return -1;
    }
    return 0;
}

int SetToolUser(const std::string& path, const std::string& user, const std::string& password, std::string* error) {
    if (user.empty()) return Fail(error, "the user name is empty");
    std::string encoded;
    if (EncodeToolPassword(password, encoded) != 0) return Fail(error, "the password is too long");
    ky::store::OpenError openError;
    Connection db(ky::store::OpenExisting(path, openError));
    if (!db.Get()) return Fail(error, openError.message);
    if (!Exec(db.Get(), "BEGIN IMMEDIATE")) return FailDb(error, db.Get(), "cannot lock " + path);
    Statement remove(db.Get(), "DELETE FROM USERINFO WHERE USERNAME = ?1");
    Statement insert(db.Get(), "INSERT INTO USERINFO(USERNAME, PASSWORD) VALUES(?1, ?2)");
    if (!remove.BindText(1, user) || remove.Step() != SQLITE_DONE || !insert.BindText(1, user) ||
        !insert.BindText(2, encoded) || insert.Step() != SQLITE_DONE || !Exec(db.Get(), "COMMIT")) {
        std::string reason = sqlite3_errmsg(db.Get());
        Exec(db.Get(), "ROLLBACK");
        return Fail(error, "cannot store the user: " + reason);
    }
    return 0;
}

int ReadStoreSummary(const std::string& path, StoreSummary& summary, std::string* error) {
    summary = {};
    ky::store::OpenError openError;
    Connection db(ky::store::OpenExisting(path, openError));
    if (!db.Get()) return Fail(error, openError.message);

    Statement count(db.Get(), "SELECT count(*) FROM tblDeviceInfo");
    if (count.Step() != SQLITE_ROW) return FailDb(error, db.Get(), "cannot read tblDeviceInfo");
    summary.defaultRows = static_cast<size_t>(sqlite3_column_int64(count.Get(), 0));

    Statement first(db.Get(), ky::store::kSelectFirstDefaults);
    int rc = first.Step();
    if (rc == SQLITE_ROW) {
        summary.defUser = ColumnText(first.Get(), 1);
        summary.defPasswordEmpty = ColumnText(first.Get(), 2).empty();
        summary.defStream = ColumnText(first.Get(), 3);
    } else if (rc != SQLITE_DONE) {
        return FailDb(error, db.Get(), "cannot read tblDeviceInfo");
    }

    Statement users(db.Get(), "SELECT USERNAME FROM USERINFO ORDER BY rowid");
    while ((rc = users.Step()) == SQLITE_ROW) summary.users.push_back(ColumnText(users.Get(), 0));
    if (rc != SQLITE_DONE) return FailDb(error, db.Get(), "cannot read USERINFO");
    return 0;
}
