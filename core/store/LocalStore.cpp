#include "core/store/LocalStore.h"

#include "core/services/AppDir.h"
#include "core/services/Utf8.h"
#include "core/store/Cipher.h"
#include "core/store/StoreDb.h"

#include <sqlite3.h>

#include <climits>
#include <cstdlib>
#include <cstring>

using ky::store::ColumnText;
using ky::store::Statement;

namespace {

constexpr char kBuiltInUser[] = "admin";
constexpr char kBuiltInPassword[] = "tovel";

// Cuts to the 64-byte field (63 bytes and the zero) and fills both copies.
void SetField(std::string& text, char (&field)[DeviceDefaults::kFieldSize], std::string_view value) {
    text = ky::Utf8Truncate(value, DeviceDefaults::kFieldSize - 1);
    memset(field, 0, sizeof(field));
    memcpy(field, text.data(), text.size());
}

// Decimal text as the stream index: leading blanks and a sign allowed,
// reading stops at the first non-digit, no number at all gives 0.
int32_t ParseStream(const std::string& text) {
    char* end = nullptr;
    long long value = strtoll(text.c_str(), &end, 10);
    if (end == text.c_str()) return 0;
    if (value > INT32_MAX) return INT32_MAX;
    if (value < INT32_MIN) return INT32_MIN;
    return static_cast<int32_t>(value);
}

}   // namespace

void DeviceDefaults::SetUser(std::string_view text) { SetField(strUser, user, text); }

void DeviceDefaults::SetPassword(std::string_view text) { SetField(strPassword, password, text); }

int EncodeToolPassword(std::string_view password, std::string& encoded) {
    encoded.clear();
    if (password.size() > kMaxToolPasswordBytes) return -1;
    unsigned char buffer[kLoginBufferSize] = {};
    memcpy(buffer, password.data(), password.size());
    int n = EncryptToBase64(buffer, password.size());
    if (n < 0) return -1;
    encoded.assign(reinterpret_cast<const char*>(buffer), static_cast<size_t>(n));
    return 0;
}

CLocalStore::CLocalStore() { SetBuiltInDefaults(); }

CLocalStore::~CLocalStore() { Close(); }

bool CLocalStore::Init() { return Init(CurrentAppLayout().data); }

bool CLocalStore::Init(const std::string& dir) {
    // An empty directory means the working directory, as for the other files.
    std::string path = dir.empty() ? std::string("./") : dir;
    if (path.back() != '/') path += '/';
    path += "db.dat";
    if (Open(path) != 0) return false;
    LoadDefaults();
    return true;
}

int CLocalStore::Open(const std::string& path) {
    Close();
    ky::store::OpenError error;
    m_db = ky::store::OpenExisting(path, error);
    m_lastErrorCode = error.code;
    m_lastError = error.message;
    return m_db ? 0 : -1;
}

void CLocalStore::Close() {
    if (m_db) {
        sqlite3_close_v2(m_db);
        m_db = nullptr;
    }
}

void CLocalStore::SetBuiltInDefaults() {
    m_defaults.SetUser(kBuiltInUser);
    m_defaults.SetPassword(kBuiltInPassword);
    m_defaults.stream = 0;
}

void CLocalStore::LoadDefaults() {
    if (!m_db) return;
    SetBuiltInDefaults();
    Statement query(m_db,
                    "SELECT DEF_USER, DEF_PWD, DEF_STREAM FROM tblDeviceInfo "
                    "ORDER BY rowid LIMIT 1");
    if (query.Step() != SQLITE_ROW) return;
    m_defaults.SetUser(ColumnText(query.Get(), 0));
    m_defaults.SetPassword(ColumnText(query.Get(), 1));
    m_defaults.stream = ParseStream(ColumnText(query.Get(), 2));
}

int CLocalStore::SaveDefaults() {
    if (!m_db) return 0;
    // Writers may have set only the text copies; bring the fields back in step.
    m_defaults.SetUser(std::string(m_defaults.strUser));
    m_defaults.SetPassword(std::string(m_defaults.strPassword));

    Statement update(m_db,
                     "UPDATE tblDeviceInfo SET DEF_USER = ?1, DEF_PWD = ?2, DEF_STREAM = ?3 "
                     "WHERE rowid = (SELECT rowid FROM tblDeviceInfo ORDER BY rowid LIMIT 1)");
    const std::string stream = std::to_string(m_defaults.stream);
    if (!update.BindText(1, m_defaults.strUser) || !update.BindText(2, m_defaults.strPassword) ||
        !update.BindText(3, stream))
        return 0;
    if (update.Step() != SQLITE_DONE) return 0;
    return sqlite3_changes(m_db) == 1 ? 1 : 0;
}

int CLocalStore::CheckLogin(const std::string& user, const std::string& password) {
    if (!m_db) return 0;
    std::string encoded;
    if (EncodeToolPassword(password, encoded) != 0) return 0;
    Statement query(m_db, "SELECT 1 FROM USERINFO WHERE USERNAME = ?1 AND PASSWORD = ?2 LIMIT 1");
    if (!query.BindText(1, user) || !query.BindText(2, encoded)) return 0;
    return query.Step() == SQLITE_ROW ? 1 : 0;
}
