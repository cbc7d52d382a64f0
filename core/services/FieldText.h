#pragma once
// Records keep their texts in fixed-width char fields: the text runs up to
// the first NUL, or fills the whole width when a camera sent none.
#include <cstddef>
#include <cstring>
#include <string_view>

namespace ky {

inline std::string_view FieldText(const char* field, size_t width) {
    const void* nul = std::memchr(field, 0, width);
    return {field, nul ? static_cast<size_t>(static_cast<const char*>(nul) - field) : width};
}

template <size_t N>
std::string_view FieldText(const char (&field)[N]) {
    return FieldText(field, N);
}

}   // namespace ky
