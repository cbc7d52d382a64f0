// Profile-file parser on arbitrary file bytes and entries: lookups must not
// crash, and a value written through SetValue must read back exactly while
// entries of other sections stay as they were.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <cstdlib>
#include <string>

#include "core/services/IniFile.h"

namespace {

bool SameSection(std::string_view a, std::string_view b) {
    auto trim = [](std::string_view s) {
        while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r' || s.front() == '\v' || s.front() == '\f'))
            s.remove_prefix(1);
        while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\v' || s.back() == '\f'))
            s.remove_suffix(1);
        return s;
    };
    a = trim(a);
    b = trim(b);
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i) {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
        if (lower(a[i]) != lower(b[i])) return false;
    }
    return true;
}

}   // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace ky::ini;
    FuzzedDataProvider in(data, size);
    const std::string section = in.ConsumeRandomLengthString(32);
    const std::string key = in.ConsumeRandomLengthString(32);
    const std::string value = in.ConsumeRandomLengthString(64);
    const std::string bytes = in.ConsumeRemainingBytesAsString();

    const std::string text = DecodeProfileBytes(bytes);
    const auto probe = FindValue(text, "Config", "PTZSpeed");
    (void)FindValue(text, "CONFIG", "Have card, free space");
    (void)FindValue(text, section, key);
    if (probe) {
        (void)ParseLeadingInt(*probe);
        const std::string_view cut = CutToChars(*probe, 199);
        if (cut.size() > probe->size() || probe->compare(0, cut.size(), cut) != 0) std::abort();
    }

    const auto updated = SetValue(text, section, key, value);
    if (!updated) return 0;
    const auto back = FindValue(*updated, section, key);
    if (!back || *back != value) std::abort();
    if (!SameSection(section, "Config") && FindValue(*updated, "Config", "PTZSpeed") != probe) std::abort();
    return 0;
}
