#include "core/services/LangText.h"

#include <sys/stat.h>

#include <mutex>

#include "core/services/AppDir.h"
#include "core/services/IniFile.h"

std::string g_strLangFile;

namespace {

constexpr const char* kLangFiles[] = {
    "lang_chn.dat",    "lang_Japan.dat",  "lang_Italian.dat", "lang_Russian.dat",
    "lang_French.dat", "lang_Korean.dat", "lang_Polish.dat",  "lang_CHT.dat",
};
constexpr size_t kLangBufferChars = 200;

std::mutex g_langLock;
int g_langChoice = -1;   // guarded by g_langLock, as are g_strLangFile and g_hook
LangLookupHook g_hook = nullptr;

void ChooseLanguageLocked() {
    const std::vector<std::string> folders = LanguageFolders(CurrentAppLayout());
    for (const std::string& folder : folders) {
        int number = 1;
        for (const char* name : kLangFiles) {
            const std::string path = JoinPath(folder, name);
            struct stat st {};
            // A folder of that name is not a language file.
            if (::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode)) {
                g_langChoice = number;
                g_strLangFile = path;
                return;
            }
            ++number;
        }
    }
    g_langChoice = 0;
    g_strLangFile = JoinPath(folders.back(), kLangFiles[0]);
}

}   // namespace

std::string GetLangFile() {
    std::lock_guard<std::mutex> lock(g_langLock);
    return g_strLangFile;
}

std::string GetLangTextEx(const std::string& section, const std::string& key) {
    std::lock_guard<std::mutex> lock(g_langLock);
    if (g_hook) g_hook(section, key);
    if (g_langChoice == -1) ChooseLanguageLocked();
    std::string text = CIniFile(g_strLangFile).GetString(section, key, "", kLangBufferChars);
    if (text.empty()) {
        g_langChoice = -1;
        return key;
    }
    return text;
}

std::string GetLangText(const std::string& key) { return GetLangTextEx("CONFIG", key); }

int GetLangChoice() {
    std::lock_guard<std::mutex> lock(g_langLock);
    return g_langChoice;
}

bool HasLangFile() {
    std::lock_guard<std::mutex> lock(g_langLock);
    if (g_langChoice == -1) ChooseLanguageLocked();
    return g_langChoice > 0;
}

void SetLangLookupHook(LangLookupHook hook) {
    std::lock_guard<std::mutex> lock(g_langLock);
    g_hook = hook;
}

void ResetLangChoiceForTesting() {
    std::lock_guard<std::mutex> lock(g_langLock);
    g_langChoice = -1;
    g_strLangFile.clear();
}
