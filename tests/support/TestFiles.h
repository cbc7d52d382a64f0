#pragma once
// Temporary folders and raw file helpers shared by the tests.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "core/services/AppDir.h"

namespace kytest {

class TempDir {
public:
    TempDir() {
        std::string tmpl = (std::filesystem::temp_directory_path() / "kysvc.XXXXXX").string();
        if (::mkdtemp(tmpl.data()) == nullptr) std::abort();
        m_path = tmpl;
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    std::string file(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

// Points g_strAppDir at a fresh folder for one test and restores it after.
class AppDirScope {
public:
    AppDirScope() : m_saved(g_strAppDir) { SetAppDirForTesting(m_dir.path()); }
    ~AppDirScope() { SetAppDirForTesting(m_saved); }
    const TempDir& dir() const { return m_dir; }
    std::string file(const std::string& name) const { return m_dir.file(name); }

private:
    TempDir m_dir;
    std::string m_saved;
};

inline void WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f << bytes;
}

inline std::string ReadBytes(const std::string& path) {
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

// UTF-16LE bytes of a text, with the FF FE byte-order mark.
inline std::string Utf16LeFile(const std::u16string& text) {
    std::string out = "\xFF\xFE";
    for (char16_t c : text) {
        out += static_cast<char>(c & 0xFF);
        out += static_cast<char>(c >> 8);
    }
    return out;
}

inline std::string Repeat(const std::string& s, size_t n) {
    std::string out;
    for (size_t i = 0; i < n; ++i) out += s;
    return out;
}

}   // namespace kytest
