#pragma once
// Application-wide objects that live from start-up to shut-down.
#include <QString>
#include <cstdint>

class CLocalStore;

// The tool user the program runs as. Start-up fills in the built-in user;
// a successful tool login replaces it.
struct ToolUser {
    static constexpr int kMaxChars = 63;   // 64-character fields with their terminator
    QString user;
    QString password;
    int32_t reserved = 0;

    // Both texts cut to kMaxChars characters.
    void Set(const QString& name, const QString& pwd);
};
ToolUser& CurrentToolUser();

inline constexpr const char* kBuiltInToolUser = "admin";
inline constexpr const char* kBuiltInToolPassword = "580247!K";

// The local database (db.dat); null before start-up opened it and after exit.
extern CLocalStore* g_pLocalStore;
