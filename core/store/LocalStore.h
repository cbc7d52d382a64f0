#pragma once
// The local database db.dat in the layout's data folder (AppDir.h): the
// default camera credentials (first row of tblDeviceInfo) and the tool users
// (USERINFO).
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

struct sqlite3;

// Default camera credentials. The text copies and the fixed 64-byte fields
// hold the same UTF-8 text, at most 63 bytes, never cut inside a character;
// change them through SetUser/SetPassword so both stay in step.
struct DeviceDefaults {
    static constexpr size_t kFieldSize = 64;

    std::string strUser;
    std::string strPassword;
    char user[kFieldSize] = {};
    char password[kFieldSize] = {};
    int32_t stream = 0;   // 0 first stream, 1 second stream

    void SetUser(std::string_view text);
    void SetPassword(std::string_view text);
};

// Size of the buffer in which a typed password is encoded for the login
// check. Its Base64 form must fit with a terminating zero, so passwords of
// more than kMaxToolPasswordBytes bytes are refused.
inline constexpr size_t kLoginBufferSize = 512;
inline constexpr size_t kMaxToolPasswordBytes = (kLoginBufferSize - 1) / 4 * 3;   // 381

// The stored form of a tool user's password (cipher, then Base64). Returns 0,
// or -1 when the password is too long or the cipher fails.
int EncodeToolPassword(std::string_view password, std::string& encoded);

class CLocalStore {
public:
    CLocalStore();
    ~CLocalStore();
    CLocalStore(const CLocalStore&) = delete;
    CLocalStore& operator=(const CLocalStore&) = delete;

    // Opens db.dat in the layout's data folder and loads the defaults; true when open.
    bool Init();
    // Same with db.dat in `dir`.
    bool Init(const std::string& dir);

    // Opens an existing database file (never creates one) and checks that it
    // is intact and holds both tables. 0 when open, -1 otherwise; any earlier
    // connection is closed first.
    int Open(const std::string& path);
    bool IsOpen() const { return m_db != nullptr; }
    void Close();

    // Built-in admin / "tovel" / 0, then the first row of tblDeviceInfo.
    // Without a connection nothing changes.
    void LoadDefaults();
    // Writes the defaults into the first row of tblDeviceInfo: 1 when that row
    // was found and updated, 0 otherwise (an empty table stays empty).
    int SaveDefaults();
    DeviceDefaults& GetDefaults() { return m_defaults; }

    // 1 when USERINFO holds the user with this password, 0 otherwise.
    int CheckLogin(const std::string& user, const std::string& password);

    // Why the last Open failed: SQLite's extended result code and a text.
    int LastErrorCode() const { return m_lastErrorCode; }
    std::string LastError() const { return m_lastError; }

private:
    void SetBuiltInDefaults();

    sqlite3* m_db = nullptr;
    DeviceDefaults m_defaults;
    int m_lastErrorCode = 0;
    std::string m_lastError;
};
