#pragma once
#include <sqlite3.h>

#include <filesystem>
#include <string>

// A fresh directory under the temporary folder, removed with its content.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& Path() const { return m_path; }
    std::string File(const std::string& name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

// Runs SQL on a database file directly (test setup and inspection).
void ExecSql(const std::string& path, const std::string& sql);
// First column of the first row as text ("" when there is none).
std::string QueryText(const std::string& path, const std::string& sql);

void WriteFile(const std::string& path, const std::string& bytes);
std::string ReadFile(const std::string& path);
