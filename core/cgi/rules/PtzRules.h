#pragma once
// Validation of the PTZ page.
#include "core/cgi/Records.h"

namespace ky::cgi {

// The alarm PTZ mask goes into the query as it is, so it may only hold
// characters that need no escaping there.
const char* CheckMotorAttr(const MotorAttr& m);

}   // namespace ky::cgi
