#pragma once
// SQLite plumbing shared by the store and its admin functions.
#include <sqlite3.h>

#include <string>
#include <string_view>

namespace ky::store {

// Prepared statement that finalizes itself.
class Statement {
public:
    Statement(sqlite3* db, const char* sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool Ok() const { return m_stmt != nullptr; }
    sqlite3_stmt* Get() const { return m_stmt; }
    bool BindText(int index, std::string_view text);
    // sqlite3_step result.
    int Step();

private:
    sqlite3_stmt* m_stmt = nullptr;
};

// A column value as text: NULL gives "", integers their decimal text, other
// values their text up to the first zero byte.
std::string ColumnText(sqlite3_stmt* stmt, int column);

// The queries that prove a file holds the tool's tables with their columns.
// "First row" of tblDeviceInfo is the row with the lowest rowid.
inline constexpr const char* kSelectFirstDefaults =
    "SELECT rowid, DEF_USER, DEF_PWD, DEF_STREAM FROM tblDeviceInfo ORDER BY rowid LIMIT 1";
inline constexpr const char* kSelectAnyUser = "SELECT USERNAME, PASSWORD FROM USERINFO LIMIT 1";

struct OpenError {
    int code = 0;          // SQLite extended result code
    std::string message;   // what went wrong, for the user
};

// Opens an existing database file for reading and writing (never creates it)
// and checks that it is an intact database holding both tables. Returns the
// connection, or nullptr with `error` filled.
sqlite3* OpenExisting(const std::string& path, OpenError& error);

// Path as SQLite must see it: the build enables URI file names, so a relative
// path that begins with "file:" is anchored with "./" to stay a plain file.
std::string PlainFilePath(const std::string& path);

}   // namespace ky::store
