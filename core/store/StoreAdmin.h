#pragma once
// Creating db.dat and managing its tool users. The tool itself never creates
// or reorganises the file; the admin command and the tests do, through these.
#include <cstddef>
#include <string>
#include <vector>

// The two tables as the tool reads them.
extern const char* const kStoreSchema;

// Creates a new database file with the schema and one defaults row. Refuses
// (-1) when anything already exists at `path`; on any failure the half-made
// file is removed. The user name and password are cut to 63 bytes like the
// store's fields. The file is readable by its owner only (it holds the
// default camera password in clear). 0 on success; `error` says why not.
int CreateDatabase(const std::string& path, const std::string& defUser, const std::string& defPwd, int defStream,
                   std::string* error = nullptr);

// Adds the tool user, or replaces the password of every row with that name,
// storing the encoded password. The file must exist and hold both tables.
// Refuses an empty name and passwords the login check could not encode.
int SetToolUser(const std::string& path, const std::string& user, const std::string& password,
                std::string* error = nullptr);

// What the admin command shows. Passwords are never read out.
struct StoreSummary {
    size_t defaultRows = 0;   // rows in tblDeviceInfo; the first one counts
    std::string defUser;      // first row, as stored
    bool defPasswordEmpty = true;
    std::string defStream;            // first row, the stored text
    std::vector<std::string> users;   // USERINFO names in row order
};
int ReadStoreSummary(const std::string& path, StoreSummary& summary, std::string* error = nullptr);
