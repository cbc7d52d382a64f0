#pragma once
// Diagnostic traces. Operations describe failures with a short line such as
// KY_TRACE("Line-%d Connect [%s] failure\n", __LINE__, ip). The text is
// discarded unless the developer sets KYCAM_TRACE=1, which prints it to
// stderr. The format is checked by the compiler at every call site, and a
// disabled trace costs one cached flag test: the arguments are not formatted.

namespace ky {

// KYCAM_TRACE read once, at the first trace.
bool TraceEnabledSlow();
inline bool TraceEnabled() {
    static const bool enabled = TraceEnabledSlow();
    return enabled;
}

// Formats and writes one trace text to stderr in a single write.
void TraceWrite(const char* fmt, ...) __attribute__((format(printf, 1, 2)));

}   // namespace ky

#define KY_TRACE(...)                                            \
    do {                                                         \
        if (::ky::TraceEnabled()) ::ky::TraceWrite(__VA_ARGS__); \
    } while (0)
