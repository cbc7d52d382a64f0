#pragma once
// Validation of the P2P page (cloud and Tmall are plain switches).
#include "core/cgi/Records.h"

namespace ky::cgi {

// Switching P2P on needs the camera's UUID; switching off never does.
const char* CheckP2pSwitch(const P2pAttr& rec);

}   // namespace ky::cgi
