#pragma once
// Validation of the PTZ page.
#include "core/cgi/Records.h"

namespace ky::cgi {

// The alarm PTZ mask goes into the query as it is, so it may only hold
// characters that need no escaping there.
const char* CheckMotorAttr(const MotorAttr& m);

// A camera without tracking (smartrack_flag other than 1) reports neither
// switch nor mode, read as 255; the write then sends 0 for both.
void TrackingForWrite(MotorAttr& m);

}   // namespace ky::cgi
