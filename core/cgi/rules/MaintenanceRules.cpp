#include "core/cgi/rules/MaintenanceRules.h"

#include <sys/stat.h>

#include <iterator>
#include <string>

namespace ky::cgi {

const char* LensTypeText(int lenstype) {
    static constexpr const char* kLensTypes[] = {
        "2.8-8mm", "2.8-12mm",      "6-22mm",        "2.7-13.5mm(5)", "2.7-13.5mm",
        "unknown", "2.7-13.5mm(2)", "2.7-13.5mm(3)", "6-22mm(2)",     "2.7-13.5mm(4)",
    };
    return lenstype >= 0 && lenstype < static_cast<int>(std::size(kLensTypes)) ? kLensTypes[lenstype] : nullptr;
}

const char* CheckUpgradePath(std::string_view utf8Path) {
    size_t characters = 0;   // UTF-8 continuation bytes do not start a character
    for (const char c : utf8Path)
        if ((static_cast<unsigned char>(c) & 0xC0) != 0x80) ++characters;
    if (characters < 3) return "Illegal file name!";
    const std::string path(utf8Path);
    struct stat st {};
    if (path.find('\0') != std::string::npos || stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return "File does not exist!";
    if (utf8Path.size() >= 256) return "The full path file name is too long!";
    return nullptr;
}

}   // namespace ky::cgi
