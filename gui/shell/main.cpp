#include <cstdio>
#include <cstring>

#include "core/services/Version.h"
#include "gui/shell/KyCamToolApp.h"

namespace {

constexpr const char* kUsage =
    "usage: KyCameraTool [--help | --version] [Qt options]\n"
    "Opens the camera tool's main window. Qt's own options (-platform NAME,\n"
    "-style NAME, ...) are accepted too.\n"
    "Files: settings.ini, db.dat and the language files beside the program in a\n"
    "build tree; when installed, settings.ini in $XDG_CONFIG_HOME/kycameratool,\n"
    "db.dat in $XDG_DATA_HOME/kycameratool (first copied from\n"
    "/usr/share/kycameratool/db.dat) and the read-only files in\n"
    "/usr/share/kycameratool. Without a db.dat the tool ends with\n"
    "\"Failed to initialize data!\".\n";

}   // namespace

int main(int argc, char** argv) {
    // Answered before Qt starts, so they work without a display.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("KyCameraTool %s\n", KyVersion());
        return 0;
    }
    if (argc == 2 && (std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0)) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    CKyCamToolApp app;
    return app.Run(argc, argv);
}
