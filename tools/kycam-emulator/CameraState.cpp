#include "tools/kycam-emulator/CameraState.h"

#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

namespace emu {

std::string CameraState::Get(const std::string& key, const std::string& def) const {
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = kv_.find(key);
    return it == kv_.end() ? def : it->second;
}

int CameraState::GetInt(const std::string& key, int def) const {
    std::string v = Get(key);
    if (v.empty()) return def;
    errno = 0;
    char* end = nullptr;
    long n = std::strtol(v.c_str(), &end, 10);
    if (end == v.c_str() || errno == ERANGE || n < INT32_MIN || n > INT32_MAX) return def;
    return static_cast<int>(n);
}

bool CameraState::Has(const std::string& key) const {
    std::lock_guard<std::mutex> lock(mutex_);
    return kv_.count(key) != 0;
}

void CameraState::Set(const std::string& key, std::string value) {
    std::lock_guard<std::mutex> lock(mutex_);
    kv_[key] = std::move(value);
}

void CameraState::Erase(const std::string& key) {
    std::lock_guard<std::mutex> lock(mutex_);
    kv_.erase(key);
}

std::map<std::string, std::string> CameraState::Snapshot() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return kv_;
}

namespace {

std::string Escape(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        switch (c) {
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            default: out += c;
        }
    }
    return out;
}

std::string Unescape(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) {
            out += s[i];
            continue;
        }
        char n = s[++i];
        if (n == 'n')
            out += '\n';
        else if (n == 'r')
            out += '\r';
        else if (n == '\\')
            out += '\\';
        else {   // unknown escape: keep it as written
            out += '\\';
            out += n;
        }
    }
    return out;
}

void SetError(std::string* error, std::string text) {
    if (error) *error = std::move(text);
}

}   // namespace

bool CameraState::LoadFile(const std::string& path, std::string* error) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        SetError(error, "cannot open " + path + ": " + std::strerror(errno));
        return false;
    }
    // Parse everything first so a bad file leaves the state untouched.
    std::map<std::string, std::string> loaded;
    std::string line;
    int lineNo = 0;
    while (std::getline(in, line)) {
        ++lineNo;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (lineNo == 1 && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line.erase(0, 3);
        if (line.empty() || line[0] == '#') continue;
        size_t eq = line.find('=');
        if (eq == std::string::npos || eq == 0) {
            SetError(error, path + ":" + std::to_string(lineNo) + ": expected key=value");
            return false;
        }
        loaded[Unescape(line.substr(0, eq))] = Unescape(line.substr(eq + 1));
    }
    if (in.bad()) {
        SetError(error, "read error on " + path);
        return false;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    kv_ = std::move(loaded);
    return true;
}

bool CameraState::SaveFile(const std::string& path, std::string* error) const {
    std::ostringstream text;
    text << "# kycam-emulator camera state: key=value, \\\\ \\n \\r escaped\n";
    for (const auto& [k, v] : Snapshot()) text << Escape(k) << '=' << Escape(v) << '\n';
    const std::string data = text.str();

    // Write beside the target and rename, so a crash never leaves half a file.
    std::string tmp = path + ".tmp" + std::to_string(::getpid());
    FILE* f = std::fopen(tmp.c_str(), "wb");
    if (!f) {
        SetError(error, "cannot write " + tmp + ": " + std::strerror(errno));
        return false;
    }
    bool ok = std::fwrite(data.data(), 1, data.size(), f) == data.size();
    ok = (std::fflush(f) == 0) && ok;
    ok = (::fsync(fileno(f)) == 0) && ok;
    ok = (std::fclose(f) == 0) && ok;
    if (!ok || std::rename(tmp.c_str(), path.c_str()) != 0) {
        SetError(error, "cannot write " + path + ": " + std::strerror(errno));
        std::remove(tmp.c_str());
        return false;
    }
    return true;
}

}   // namespace emu
