#include "core/services/Version.h"

const char* KyVersion() { return KY_VERSION; }
