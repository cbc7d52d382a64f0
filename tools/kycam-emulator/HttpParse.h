#pragma once
// Request parsing for the emulated camera's web server: request head, query
// strings, Basic credentials, the multipart body of a firmware upload and the
// version rule for uploaded package names. Plain C++ without GStreamer or
// sockets, so the fuzz build can compile it on its own.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace emu {

// Limits of what the server accepts before it answers with an error.
inline constexpr size_t kMaxRequestLine = 4096;
inline constexpr size_t kMaxHeadBytes = 16384;
inline constexpr size_t kMaxHeaders = 100;

struct RequestHead {
    std::string method;                                         // "GET", "POST", ...
    std::string target;                                         // as sent: "/cgi-bin/ky7200/param.cgi?cmd=x"
    std::string path;                                           // target before '?', not decoded
    std::string query;                                          // text after the first '?', not decoded
    int versionMinor = 1;                                       // HTTP/1.x
    std::vector<std::pair<std::string, std::string>> headers;   // names as sent, values trimmed

    // First header whose name matches without regard to ASCII case.
    const std::string* Header(std::string_view name) const;
};

enum class HeadError {
    None,
    BadRequest,     // 400: malformed request line or header
    UriTooLong,     // 414: request line longer than kMaxRequestLine
    HeadTooLarge,   // 431: head longer than kMaxHeadBytes or too many headers
    BadVersion,     // 505: not HTTP/1.x
};

// Finds the end of the request head in `data` (after the blank line; a bare
// LF line ending is tolerated). Returns the head length including the blank
// line, 0 when more data is needed, or sets *error when the data can never
// become a valid head within the limits.
size_t FindHeadEnd(std::string_view data, HeadError* error);

// Parses a complete head (as delimited by FindHeadEnd).
HeadError ParseRequestHead(std::string_view head, RequestHead* out);

// HTTP status code and reason text for a head error.
int HeadErrorStatus(HeadError e);

// "+" is a blank, "%XX" a byte; a malformed escape stays as it is.
std::string UrlDecode(std::string_view text);

// Splits "a=1&b=2&c" into decoded pairs (names and values decoded; "c" gives
// an empty value). Empty fields are skipped.
std::vector<std::pair<std::string, std::string>> ParseQuery(std::string_view query);

// First value of `name` in a parsed query, or nullopt.
std::optional<std::string> QueryValue(const std::vector<std::pair<std::string, std::string>>& q, std::string_view name);

// Standard Base64 (with or without '=' padding); nullopt on a bad character.
std::optional<std::string> Base64Decode(std::string_view text);

// Checks an "Authorization" header value ("Basic <base64 of user:password>").
bool CheckBasicAuth(const std::string* header, std::string_view user, std::string_view password);

// Decimal Content-Length value; nullopt when absent digits, signs, blanks
// inside or a value above `limit`.
std::optional<uint64_t> ParseContentLength(std::string_view text, uint64_t limit);

// Boundary parameter of a "multipart/form-data; boundary=..." content type
// (quotes removed); empty when the type is not multipart/form-data or the
// boundary is missing or longer than 70 characters.
std::string MultipartBoundary(std::string_view contentType);

// Parses a range header "bytes=a-b" / "bytes=a-" / "bytes=-n" for a resource
// of `size` bytes into [first, last]. nullopt for anything else, including
// several ranges (the caller then sends the whole resource) and ranges
// outside the resource (*unsatisfiable is set).
std::optional<std::pair<uint64_t, uint64_t>> ParseRange(std::string_view header, uint64_t size, bool* unsatisfiable);

// Incremental multipart/form-data reader. Feed the body in any pieces; file
// contents are counted and hashed, never stored, so large packages cost no
// memory. Only headers of parts are buffered (bounded).
class MultipartReader {
public:
    struct Part {
        std::string name;       // form field name
        std::string filename;   // as sent (not decoded); empty when absent
        bool hasFilename = false;
        uint64_t size = 0;                        // bytes of content
        uint64_t fnv1a = 0xcbf29ce484222325ull;   // FNV-1a 64 of the content
        bool complete = false;                    // its closing delimiter was seen
    };

    explicit MultipartReader(std::string boundary);

    // Returns false once the body is known to be malformed (further input is
    // ignored).
    bool Feed(std::string_view data);
    // True when the closing delimiter has been seen and nothing was malformed.
    bool Complete() const { return state_ == State::Epilogue; }
    bool Failed() const { return state_ == State::Failed; }
    const std::string& Error() const { return error_; }
    const std::vector<Part>& Parts() const { return parts_; }

private:
    enum class State { Preamble, AfterDelimiter, PartHeaders, Content, Epilogue, Failed };
    bool Fail(const char* why);
    bool ParsePartHeaders(std::string_view block);
    void Consume(std::string_view content);

    std::string delimiter_;   // "\r\n--" + boundary
    std::string pending_;
    State state_ = State::Preamble;
    std::vector<Part> parts_;
    std::string error_;
};

// Version carried by an uploaded package's file name: the name is decoded
// (percent escapes), cut to its base name (after the last '/' or '\'), and the
// first "V" or "v" directly followed by a digit starts the version: that
// digit run with its dots, trailing dots dropped, must contain at least one
// dot. The result is written with a capital "V": "KY7200_V5.2.1_20240101.pkg"
// gives "V5.2.1". Empty when there is none.
std::string VersionFromPackageName(std::string_view encodedName);

// Next version when the package name carries none: the last decimal number
// in `current` plus one ("V5.2.1" -> "V5.2.2"); "V1.0.1" when there is none.
std::string BumpVersion(std::string_view current);

}   // namespace emu
