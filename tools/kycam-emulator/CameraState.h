#pragma once
// The whole observable state of one emulated camera as key/value text. CGI keys
// are stored under their reply name ("brightness", "wessid[1]", "x_0"); the
// emulator's own settings use the prefix "emu." and are never served by
// param.cgi (e.g. "emu.sd_delay_ms", "emu.syslog").
#include <map>
#include <mutex>
#include <string>

namespace emu {

class CameraState {
public:
    std::string Get(const std::string& key, const std::string& def = "") const;
    int GetInt(const std::string& key, int def = 0) const;
    bool Has(const std::string& key) const;
    void Set(const std::string& key, std::string value);
    void Erase(const std::string& key);
    std::map<std::string, std::string> Snapshot() const;

    // State files: UTF-8 text, one "key=value" per line; "\\", "\n" and "\r"
    // in values are written as \\ \n \r. Lines starting with '#' are comments.
    bool LoadFile(const std::string& path, std::string* error = nullptr);
    bool SaveFile(const std::string& path, std::string* error = nullptr) const;

private:
    mutable std::mutex mutex_;
    std::map<std::string, std::string> kv_;
};

}   // namespace emu
