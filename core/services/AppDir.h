#pragma once
// The program's folder: settings.ini, db.dat, the language files, music.g711
// and skin/ live beside the executable (portable layout).
#include <string>

// Directory of the running executable, without a trailing '/' (except when it
// is the root itself). Empty until InitAppDir runs or when /proc/self/exe
// cannot be read; users then fall back to paths relative to the working
// directory.
extern std::string g_strAppDir;

// Sets g_strAppDir from /proc/self/exe. Call once at start-up, before any
// thread that reads it is started.
void InitAppDir();

void SetAppDirForTesting(std::string dir);

// g_strAppDir + "/" + name, or "./" + name while g_strAppDir is empty.
std::string AppFilePath(const std::string& name);
