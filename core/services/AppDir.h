#pragma once
// Where the program's files are. Two layouts:
// - portable (a build tree or any folder of its own): settings.ini, db.dat,
//   the language files, music.g711 and skin/ beside the executable, snapshots
//   and recordings in SnapPic/ and RecFiles/ there;
// - installed (the executable in <prefix>/bin beside <prefix>/share/kycameratool):
//   read-only files from that share folder, settings.ini under
//   $XDG_CONFIG_HOME/kycameratool, db.dat under $XDG_DATA_HOME/kycameratool
//   (copied from the share folder's template on first start), snapshots and
//   recordings in the user's pictures and videos folders.
#include <functional>
#include <string>
#include <vector>

struct AppLayout {
    bool installed = false;
    std::string assets;       // language files, music.g711, skin/, the db.dat template
    std::string config;       // settings.ini
    std::string data;         // db.dat
    std::string snapshots;    // default snapshot folder
    std::string recordings;   // default recording folder
};

// Directory of the running executable, without a trailing '/' (except when it
// is the root itself). Empty until InitAppDir runs or when /proc/self/exe
// cannot be read; the portable layout then uses paths relative to the working
// directory.
extern std::string g_strAppDir;

// Sets g_strAppDir from /proc/self/exe and chooses the layout. Call once at
// start-up, before any thread that reads them is started.
void InitAppDir();

// The portable layout in dir.
void SetAppDirForTesting(std::string dir);
void SetAppLayoutForTesting(AppLayout layout);

// The layout for an executable in exeDir; env returns an environment
// variable's value or null.
AppLayout ResolveAppLayout(const std::string& exeDir, const std::function<const char*(const char*)>& env);

const AppLayout& CurrentAppLayout();

// dir + "/" + name, or "./" + name while dir is empty.
std::string JoinPath(const std::string& dir, const std::string& name);

// A read-only file of the program (language file, music.g711, skin image).
std::string AssetPath(const std::string& name);

// Folders a language file is looked for in, first match wins: installed, the
// user's own settings folder before the shared one, so each user picks a
// language by copying a file the package offers; portable, beside the program.
std::vector<std::string> LanguageFolders(const AppLayout& layout);

// Installed layout: makes the per-user folders (owner only) and, with
// copyDatabase, copies the template db.dat when the user has none, readable by
// the owner only. A missing template is left to the database's own open to
// report. Portable layout: nothing to do. False when a folder or the copy
// could not be made.
bool PrepareUserFiles(const AppLayout& layout, bool copyDatabase = true);
