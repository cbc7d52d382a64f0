#pragma once
// Index of every described camera command and of the pages kycamctl reads and
// writes. Each family file (cgi/commands/*.cpp) owns its descriptions.
#include <array>
#include <span>
#include <string>
#include <string_view>

#include "core/cgi/CgiClient.h"
#include "core/cgi/CommandEngine.h"

namespace ky::cgi {

// Compile-time field lookup: an unknown name fails the build.
template <size_t N>
consteval int FieldIndex(const std::array<FieldInfo, N>& fields, std::string_view name) {
    for (size_t i = 0; i < N; ++i)
        if (std::string_view(fields[i].name) == name) return static_cast<int>(i);
    throw "unknown record field";
}

// Options that select a command variant for a page (kycamctl flags).
struct PageOptions {
    int stream = 0;   // video/audio stream pages: 0 first, 1 second
};

// What a page's validation may consult besides the record: some rules compare
// with other settings of the same camera (e.g. ports against the ONVIF port).
// target is null when no camera is at hand; such rules then see defaults.
struct PageContext {
    const Target* target = nullptr;
    int timeoutMs = 3000;
};

// One page of camera settings as kycamctl sees it: the record, the command(s)
// that read it, the command(s) that write it, and the page's own validation.
struct PageDesc {
    const char* name;      // kycamctl page name, e.g. "cloud"
    const char* summary;   // one line for --help
    const RecordInfo* record;
    std::span<const CommandDesc* const> gets = {};
    std::span<const CommandDesc* const> sets = {};
    // Sets up the record before a read (zero-filled already), e.g. a family or
    // stream selector. May be null.
    void (*preset)(void* rec, const PageOptions& options) = nullptr;
    // First failing rule's message (the page's own text), or nullptr when valid.
    const char* (*validate)(const void* rec, const PageContext& context) = nullptr;
    // Pages read per stream (PageOptions::stream) have 2: backups keep both.
    int streams = 1;
};

std::span<const CommandDesc* const> AllCommands();
const CommandDesc* FindCommand(std::string_view name);
std::span<const PageDesc* const> AllPages();
const PageDesc* FindPage(std::string_view name);

// Family tables, defined in cgi/commands/<Family>Commands.cpp.
#define KY_CGI_FAMILY(Family)                               \
    std::span<const CommandDesc* const> Family##Commands(); \
    std::span<const PageDesc* const> Family##Pages();
#include "core/cgi/Families.inc"
#undef KY_CGI_FAMILY

}   // namespace ky::cgi

// Defines the CCgiClient method for a described command.
#define KY_DEFINE_COMMAND(Method, Record, Desc)                                                                \
    int CCgiClient::Method(const char* ip, uint16_t port, const char* user, const char* password, Record* rec, \
                           int timeoutMs) {                                                                    \
        return ::ky::cgi::RunCommand(Desc, {ip, port, user, password}, rec, timeoutMs);                        \
    }
