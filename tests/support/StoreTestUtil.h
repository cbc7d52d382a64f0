#pragma once
// Direct access to database files for the store tests: setting up and
// inspecting what the code under test reads and writes.
#include <string>

#include "tests/support/TestFiles.h"

// Runs SQL on a database file directly.
void ExecSql(const std::string& path, const std::string& sql);
// First column of the first row as text ("" when there is none).
std::string QueryText(const std::string& path, const std::string& sql);
