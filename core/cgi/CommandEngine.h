#pragma once
// Every camera command is described once, as data: its request text or format,
// buffer sizes, the record it fills or reads, and each reply key with the
// field and conversion it feeds. One engine runs them all (RunCommand), and the
// same descriptions drive kycamctl's get/set/backup and the golden tests.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

namespace ky::cgi {

// ---- record reflection -----------------------------------------------------
enum class FieldType : uint8_t { Int, Text };

struct FieldInfo {
    const char* name;   // the record member's name; also the kycamctl field name
    FieldType type;
    uint32_t offset;   // of element 0
    uint32_t size;     // bytes of one element (4 for Int, the width for Text)
    uint32_t count;    // 1 for scalars, N for arrays of N elements
    bool readOnly;     // shown by get, never written by set/restore
};

struct RecordInfo {
    const char* name;
    uint32_t size;
    std::span<const FieldInfo> fields;

    const FieldInfo* Find(std::string_view fieldName) const;
    int IndexOf(std::string_view fieldName) const;   // -1 when unknown
};

template <class T>
struct FieldTraits;
template <>
struct FieldTraits<int32_t> {
    static constexpr FieldType type = FieldType::Int;
    static constexpr uint32_t size = 4, count = 1;
};
template <size_t N>
struct FieldTraits<char[N]> {
    static constexpr FieldType type = FieldType::Text;
    static constexpr uint32_t size = N, count = 1;
};
template <size_t N>
struct FieldTraits<int32_t[N]> {
    static constexpr FieldType type = FieldType::Int;
    static constexpr uint32_t size = 4, count = N;
};
template <size_t N, size_t M>
struct FieldTraits<char[N][M]> {
    static constexpr FieldType type = FieldType::Text;
    static constexpr uint32_t size = M, count = N;
};

// KY_FIELD(Record, member) / KY_FIELD_RO(...) build a FieldInfo at compile time.
#define KY_FIELD_IMPL(Rec, member, ro)                                                       \
    ::ky::cgi::FieldInfo {                                                                   \
#member, ::ky::cgi::FieldTraits < std::remove_cv_t < decltype(Rec::member)>> ::type, \
            static_cast < uint32_t>(offsetof(Rec, member)),                                  \
            ::ky::cgi::FieldTraits < std::remove_cv_t < decltype(Rec::member)>> ::size,      \
            ::ky::cgi::FieldTraits < std::remove_cv_t < decltype(Rec::member)>> ::count, ro  \
    }
#define KY_FIELD(Rec, member) KY_FIELD_IMPL(Rec, member, false)
#define KY_FIELD_RO(Rec, member) KY_FIELD_IMPL(Rec, member, true)

// ---- reply keys --------------------------------------------------------------
enum class Conv : uint8_t {
    Text,          // bounded copy into the text field, only when the value is not empty
    TextAlways,    // bounded copy even when the value is empty
    Int,           // atoi, only when not empty
    IntAlways,     // atoi even when empty (gives 0)
    OnOff,         // 1 for exactly `word` (default "on"), 0 for any other non-empty value
    OnOffAlways,   // as OnOff, but also 0 when the value is empty or the key missing
};

struct KeySpec {
    const char* key;   // "var cloud_enable=", or a format with one %d
    int field;         // index into the record's fields
    Conv conv = Conv::Text;
    const char* word = nullptr;   // OnOff: the word that gives 1 (nullptr: "on")
    // Indexed keys: key is formatted with index indexBase+i for element i of
    // the field; the loop runs over the field's count, or, when countField >= 0,
    // over that (already read) integer field's value clamped to the count.
    bool indexed = false;
    int indexBase = 0;
    int countField = -1;
    // Indexed keys only: the index also adds this integer field's value (set
    // by the caller before the read), e.g. a stream or channel selector.
    int indexField = -1;
};

// ---- request arguments -------------------------------------------------------
enum class Enc : uint8_t {
    Raw,       // %d: the number; %s: the text as it is, but blanks as "+" and + % & # and control bytes as %XX
    Percent,   // %s: free text, percent-encoded
    OnOff,     // %s from a number: "on" when it is not 0, else "off"
    Flag,      // %d from a number: 1 when it is exactly 1, else 0
    OnIfOne,   // %s from a number: "on" when it is exactly 1, else "off"
};

struct ArgSpec {
    int field;            // index into the record's fields, consumed by the next %d or %s
    Enc enc = Enc::Raw;   // texts only: percent-encode free text
    int element = 0;      // array element
    int32_t offset = 0;   // %d: added to the number (stream index 0 -> channel 11)
};

enum class Exchange : uint8_t {
    Request,       // send, read the reply, CheckReply
    RequestLong,   // the same with the long-wait receive loop
    SendOnly,      // send and read nothing
    AnswerIfAny,   // as Request, but closing or staying quiet without a word is success
};

struct Target {
    const char* ip;
    uint16_t port;
    const char* user;
    const char* password;
};

struct CommandDesc;
// Optional hooks for the few commands whose behaviour is not pure data.
using PrepareFn = int (*)(const CommandDesc&, void* rec);   // before sending; -1 aborts
using ParseFn = void (*)(const CommandDesc&, const char* reply, uint32_t capacity, void* rec);
// Builds the whole request text from the record, for requests assembled from
// conditional pieces; false refuses the record. request then only documents
// the shape.
using ComposeFn = bool (*)(const CommandDesc&, const void* rec, std::string& text);

struct CommandDesc {
    const char* name = nullptr;           // the CCgiClient method, e.g. "GetCloudEnable"
    const RecordInfo* record = nullptr;   // nullptr: the command carries no record
    const char* request = nullptr;        // literal request text, or a format with %d/%s
    std::span<const ArgSpec> args = {};   // one per %d/%s, in order
    std::span<const KeySpec> keys = {};   // in read order
    uint32_t requestSize = 2048;
    uint32_t exchangeSize = 4096;
    Exchange exchange = Exchange::Request;
    bool hostIsCamera = false;           // Host: the camera's address instead of 127.0.0.1
    const char* mustContain = nullptr;   // extra success word, e.g. "Succeed"
    int fixedTimeoutMs = 0;              // used instead of the caller's when non-zero
    bool needsRecord = true;             // null record gives -1 before anything is sent
    PrepareFn prepare = nullptr;
    ParseFn parse = nullptr;       // runs after the keys
    ComposeFn compose = nullptr;   // replaces request/args when set
};

// Formats the request text of cmd from rec into out (cmd.requestSize bytes).
// Returns the length, or -1 when it does not fit or the format is bad.
int FormatRequest(const CommandDesc& cmd, const void* rec, char* out, size_t outSize);

// Applies cmd's keys to rec from a reply that already passed CheckReply.
void ParseReply(const CommandDesc& cmd, const char* reply, uint32_t capacity, void* rec);

// Why a command failed, for callers that report more than 0/-1 (kycamctl).
// Broken: the reply was cut off before its announced length or its head was
// malformed.
enum class Failure : uint8_t { None, Arguments, Connect, Exchange, Refused, Broken };

// Runs one command end to end: format, connect (1000 ms), exchange, close,
// judge, parse. 0 on success, -1 on failure (the record is then untouched
// apart from what the command's prepare step presets).
int RunCommand(const CommandDesc& cmd, const Target& target, void* rec, int timeoutMs, Failure* why = nullptr);

// Text form of one field element (decimal for Int, the bytes up to NUL for Text).
std::string FieldToText(const FieldInfo& f, const void* rec, uint32_t element = 0);
// Stores text into one field element. Int: whole decimal number within int32
// range; Text: must fit width-1 bytes (a UTF-8 sequence is never split).
// Returns false with a reason when the text does not convert.
bool FieldFromText(const FieldInfo& f, void* rec, std::string_view text, std::string* why = nullptr,
                   uint32_t element = 0);

// Copies text into a fixed-width field, zero-filled, never splitting a UTF-8
// sequence; at most width-1 bytes.
void CopyText(char* field, size_t width, std::string_view text);

}   // namespace ky::cgi
