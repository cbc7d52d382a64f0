#pragma once
// The version every program prints with --version; set once, in the top-level
// CMakeLists.txt (project VERSION), which the package takes too.
const char* KyVersion();
