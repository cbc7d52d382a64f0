#pragma once
// Maintenance page rules: the lens-type names and the checks on a firmware
// file chosen for upgrade.
#include <string_view>

namespace ky::cgi {

// The lens type's text ("2.8-8mm" ...), or nullptr for a value outside the
// table.
const char* LensTypeText(int lenstype);

// The firmware path checks, in the page's order: at least 3 characters, an
// existing regular file, shorter than 256 bytes.
const char* CheckUpgradePath(std::string_view utf8Path);

}   // namespace ky::cgi
