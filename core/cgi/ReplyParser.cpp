#include <cstring>

#include "core/cgi/CgiClient.h"

std::string CCgiClient::GetValue(const char* reply, uint32_t /*capacity*/, const char* key) {
    if (reply == nullptr || key == nullptr || *key == '\0') return {};
    const char* at = std::strstr(reply, key);
    if (at == nullptr) return {};
    const char* start = at + std::strlen(key);
    const char* end = std::strstr(start, ";\r\n");
    if (end == nullptr) return {};
    size_t length = static_cast<size_t>(end - start);
    if (length > 0 && *start == '"') {
        // Drop the opening and the closing quote; a lone quote leaves nothing.
        ++start;
        length = length >= 2 ? length - 2 : 0;
    }
    if (length > kValueSize - 1) length = kValueSize - 1;
    return std::string(start, length);
}
