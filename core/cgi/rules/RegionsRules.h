#pragma once
// Video cover page rules.
#include "core/cgi/Records.h"

namespace ky::cgi {

// Every region shown (1) or not (0), with a rectangle that lies at or right
// of and below the picture's origin.
const char* CheckCoverAttr(const CoverAttr& cover);

}   // namespace ky::cgi
