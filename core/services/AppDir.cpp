#include "core/services/AppDir.h"

#include <unistd.h>

#include <utility>
#include <vector>

std::string g_strAppDir;

void InitAppDir() {
    std::vector<char> buf(4096);
    for (;;) {
        ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0) {
            g_strAppDir.clear();
            return;
        }
        if (static_cast<size_t>(n) < buf.size()) {
            std::string path(buf.data(), static_cast<size_t>(n));
            const size_t slash = path.rfind('/');
            if (slash == std::string::npos)
                g_strAppDir.clear();
            else
                g_strAppDir = slash == 0 ? std::string("/") : path.substr(0, slash);
            return;
        }
        buf.resize(buf.size() * 2);   // possibly truncated: retry larger
    }
}

void SetAppDirForTesting(std::string dir) { g_strAppDir = std::move(dir); }

std::string AppFilePath(const std::string& name) {
    if (g_strAppDir.empty()) return "./" + name;
    if (g_strAppDir.back() == '/') return g_strAppDir + name;
    return g_strAppDir + "/" + name;
}
