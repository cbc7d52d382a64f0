#include "core/services/AppDir.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <utility>
#include <vector>

#include "core/services/IniFile.h"
#include "core/services/Trace.h"

std::string g_strAppDir;

namespace {

constexpr const char* kPackageDir = "kycameratool";
constexpr const char* kDatabaseName = "db.dat";

AppLayout g_layout;

AppLayout PortableLayout(const std::string& dir) {
    AppLayout layout;
    layout.assets = layout.config = layout.data = dir;
    layout.snapshots = JoinPath(dir, "SnapPic");
    layout.recordings = JoinPath(dir, "RecFiles");
    return layout;
}

std::string Parent(const std::string& dir) {
    const size_t slash = dir.rfind('/');
    if (slash == std::string::npos) return {};
    return slash == 0 ? std::string("/") : dir.substr(0, slash);
}

bool IsDirectory(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// The XDG base directories count only when absolute.
std::string AbsoluteOr(const char* value, const std::string& fallback) {
    return value && value[0] == '/' ? std::string(value) : fallback;
}

std::string HomeDir(const std::function<const char*(const char*)>& env) {
    if (const char* home = env("HOME"); home && home[0] == '/') return home;
    if (const passwd* pw = ::getpwuid(::getuid()); pw && pw->pw_dir) return pw->pw_dir;
    return "/";
}

// XDG_<key>_DIR from user-dirs.dirs: a quoted "$HOME/..." or absolute path;
// fallback when the file or the entry is missing or unusable.
std::string UserDir(const std::string& configHome, const std::string& home, const std::string& key,
                    const std::string& fallback) {
    std::string text;
    bool exists = false;
    if (!ky::ini::ReadWholeFile(configHome + "/user-dirs.dirs", text, exists) || !exists) return fallback;
    const std::string prefix = "XDG_" + key + "_DIR=\"";
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        if (line.rfind(prefix, 0) != 0 || line.size() < prefix.size() + 1 || line.back() != '"') continue;
        std::string value = line.substr(prefix.size(), line.size() - prefix.size() - 1);
        if (value.rfind("$HOME", 0) == 0) value = home + value.substr(5);
        // "$HOME" alone marks the folder as unused.
        if (value.empty() || value[0] != '/' || value == home || value == home + "/") return fallback;
        return value;
    }
    return fallback;
}

// Missing folders, parents included, are made for the owner only.
bool MakeOwnerDir(const std::string& dir) {
    if (dir.empty() || IsDirectory(dir)) return true;
    const std::string parent = Parent(dir);
    if (!parent.empty() && parent != dir && !MakeOwnerDir(parent)) return false;
    if (::mkdir(dir.c_str(), 0700) == 0 || (errno == EEXIST && IsDirectory(dir))) return true;
    KY_TRACE("Line-%d create folder [%s] failure\n", __LINE__, dir.c_str());
    return false;
}

}   // namespace

void InitAppDir() {
    std::vector<char> buf(4096);
    for (;;) {
        ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
        if (n < 0) {
            g_strAppDir.clear();
            break;
        }
        if (static_cast<size_t>(n) < buf.size()) {
            std::string path(buf.data(), static_cast<size_t>(n));
            const size_t slash = path.rfind('/');
            if (slash == std::string::npos)
                g_strAppDir.clear();
            else
                g_strAppDir = slash == 0 ? std::string("/") : path.substr(0, slash);
            break;
        }
        buf.resize(buf.size() * 2);   // possibly truncated: retry larger
    }
    g_layout = ResolveAppLayout(g_strAppDir, [](const char* name) { return std::getenv(name); });
}

void SetAppDirForTesting(std::string dir) {
    g_strAppDir = std::move(dir);
    g_layout = PortableLayout(g_strAppDir);
}

void SetAppLayoutForTesting(AppLayout layout) {
    g_strAppDir = layout.assets;
    g_layout = std::move(layout);
}

AppLayout ResolveAppLayout(const std::string& exeDir, const std::function<const char*(const char*)>& env) {
    const size_t slash = exeDir.rfind('/');
    const std::string prefix = Parent(exeDir);
    const std::string assets = prefix + "/share/" + kPackageDir;
    if (slash == std::string::npos || exeDir.substr(slash + 1) != "bin" || !IsDirectory(assets))
        return PortableLayout(exeDir);

    AppLayout layout;
    layout.installed = true;
    layout.assets = assets;
    const std::string home = HomeDir(env);
    const std::string configHome = AbsoluteOr(env("XDG_CONFIG_HOME"), home + "/.config");
    layout.config = configHome + "/" + kPackageDir;
    layout.data = AbsoluteOr(env("XDG_DATA_HOME"), home + "/.local/share") + "/" + kPackageDir;
    layout.snapshots = UserDir(configHome, home, "PICTURES", home + "/Pictures");
    layout.recordings = UserDir(configHome, home, "VIDEOS", home + "/Videos");
    return layout;
}

const AppLayout& CurrentAppLayout() { return g_layout; }

std::string JoinPath(const std::string& dir, const std::string& name) {
    if (dir.empty()) return "./" + name;
    if (dir.back() == '/') return dir + name;
    return dir + "/" + name;
}

std::string AssetPath(const std::string& name) { return JoinPath(g_layout.assets, name); }

std::vector<std::string> LanguageFolders(const AppLayout& layout) {
    if (layout.installed) return {layout.config, layout.assets};
    return {layout.assets};
}

bool PrepareUserFiles(const AppLayout& layout, bool copyDatabase) {
    if (!layout.installed) return true;
    if (!MakeOwnerDir(layout.config) || !MakeOwnerDir(layout.data)) return false;
    const std::string database = JoinPath(layout.data, kDatabaseName);
    struct stat st {};
    if (!copyDatabase || ::lstat(database.c_str(), &st) == 0) return true;
    std::string bytes;
    bool exists = false;
    if (!ky::ini::ReadWholeFile(JoinPath(layout.assets, kDatabaseName), bytes, exists)) return false;
    // No template: the database open reports the missing file.
    return !exists || ky::ini::WriteFileAtomically(database, bytes, 0600);
}
