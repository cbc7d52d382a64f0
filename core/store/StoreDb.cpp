#include "core/store/StoreDb.h"

#include <cstring>

namespace ky::store {

Statement::Statement(sqlite3* db, const char* sql) {
    if (db && sqlite3_prepare_v2(db, sql, -1, &m_stmt, nullptr) != SQLITE_OK) {
        sqlite3_finalize(m_stmt);
        m_stmt = nullptr;
    }
}

Statement::~Statement() { sqlite3_finalize(m_stmt); }

bool Statement::BindText(int index, std::string_view text) {
    return m_stmt &&
           sqlite3_bind_text64(m_stmt, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8) == SQLITE_OK;
}

int Statement::Step() { return m_stmt ? sqlite3_step(m_stmt) : SQLITE_MISUSE; }

std::string ColumnText(sqlite3_stmt* stmt, int column) {
    switch (sqlite3_column_type(stmt, column)) {
        case SQLITE_NULL: return {};
        case SQLITE_INTEGER: return std::to_string(sqlite3_column_int64(stmt, column));
        default: {
            const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
            if (!text) return {};
            const size_t bytes = static_cast<size_t>(sqlite3_column_bytes(stmt, column));
            return std::string(text, strnlen(text, bytes));
        }
    }
}

std::string PlainFilePath(const std::string& path) {
    if (!path.empty() && path[0] != '/') return "./" + path;
    return path;
}

namespace {

bool Fail(sqlite3* db, OpenError& error, const std::string& what) {
    error.code = db ? sqlite3_extended_errcode(db) : SQLITE_ERROR;
    error.message = what;
    if (db) {
        error.message += ": ";
        error.message += sqlite3_errmsg(db);
    }
    return false;
}

// Every read must succeed, not only the parsing of the query: a damaged file
// may hold an intact schema page.
bool Verify(sqlite3* db, OpenError& error) {
    {
        Statement check(db, "PRAGMA quick_check");
        if (!check.Ok()) return Fail(db, error, "cannot read the database");
        int rc = check.Step();
        if (rc != SQLITE_ROW) return Fail(db, error, "cannot read the database");
        std::string verdict = ColumnText(check.Get(), 0);
        if (verdict != "ok") {
            error.code = SQLITE_CORRUPT;
            error.message = "the database is damaged: " + verdict;
            return false;
        }
    }
    for (const char* sql : {kSelectFirstDefaults, kSelectAnyUser}) {
        Statement query(db, sql);
        if (!query.Ok()) return Fail(db, error, "the database lacks the tool's tables");
        int rc = query.Step();
        if (rc != SQLITE_ROW && rc != SQLITE_DONE) return Fail(db, error, "cannot read the database");
    }
    return true;
}

}   // namespace

sqlite3* OpenExisting(const std::string& path, OpenError& error) {
    error = {};
    if (path.empty() || path.find('\0') != std::string::npos) {
        // SQLite would open a private temporary database for "".
        error.code = SQLITE_CANTOPEN;
        error.message = "no database file name";
        return nullptr;
    }
    sqlite3* db = nullptr;
    const std::string file = PlainFilePath(path);
    int rc = sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE, nullptr);
    if (rc != SQLITE_OK) {
        Fail(db, error, "cannot open " + path);
        if (!db) error.code = rc;
        sqlite3_close_v2(db);
        return nullptr;
    }
    sqlite3_extended_result_codes(db, 1);
    // The admin command may be writing at the same moment.
    sqlite3_busy_timeout(db, 2000);
    if (!Verify(db, error)) {
        sqlite3_close_v2(db);
        return nullptr;
    }
    return db;
}

}   // namespace ky::store
