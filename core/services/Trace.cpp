#include "core/services/Trace.h"

#include <unistd.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace ky {

bool TraceEnabledSlow() {
    const char* v = std::getenv("KYCAM_TRACE");
    return v != nullptr && std::strcmp(v, "1") == 0;
}

void TraceWrite(const char* fmt, ...) {
    char buf[1024];
    va_list ap;
    va_start(ap, fmt);
    int n = std::vsnprintf(buf, sizeof buf, fmt, ap);
    va_end(ap);
    if (n < 0) return;
    size_t len = static_cast<size_t>(n) < sizeof buf ? static_cast<size_t>(n) : sizeof buf - 1;
    // One write per trace so lines from several threads do not interleave.
    ssize_t rc = ::write(STDERR_FILENO, buf, len);
    (void)rc;
}

}   // namespace ky
