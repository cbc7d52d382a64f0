#pragma once
// Profile (INI) files: settings.ini and the language files.
//
// Reading rules (existing settings and language files depend on them):
// - section and key names match without regard to ASCII case, after trimming
//   blanks; the first matching section is the one used, and within it the
//   first matching key;
// - a key runs up to the first '=' and may hold blanks, punctuation and any
//   non-ASCII text; key and value are trimmed of blanks;
// - a value enclosed in a matching pair of '"' or '\'' loses the pair;
// - lines starting with ';' are comments; a line starting with '[' is a
//   section header when it holds a ']' (text after it is ignored) and is
//   skipped otherwise; lines without '=' are not entries;
// - files are UTF-8 (with or without BOM) or UTF-16LE starting with FF FE.
// Values are cut to buffer size - 1 characters (code points); a UTF-8
// sequence is never split.
//
// Nothing is cached: each call reads the file. Each write rewrites the whole
// file as UTF-8 through a temporary file in the same folder that is synced and
// renamed over the original, so a reader (or a crash) sees either the old or
// the new file, never a partial one.
#include <sys/types.h>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

class CIniFile {
public:
    static constexpr size_t kDefaultBufferChars = 300;

    CIniFile() = default;
    explicit CIniFile(std::string path) : m_path(std::move(path)) {}

    void SetPath(const std::string& path) { m_path = path; }
    const std::string& GetPath() const { return m_path; }

    // Missing, empty or unreadable: def. Otherwise the leading optionally
    // signed decimal number of the value (0 when there is none), clamped to
    // the int range.
    int GetInt(const std::string& section, const std::string& key, int def) const;

    // Value (or def when the key is missing) cut to bufferChars - 1 characters.
    std::string GetString(const std::string& section, const std::string& key, const std::string& def,
                          size_t bufferChars = kDefaultBufferChars) const;

    // Updates the first matching key in place, or adds the key at the end of
    // its section, or adds the section at the end of the file. The rest of the
    // file is kept byte for byte (a UTF-16 file is rewritten as UTF-8). Values
    // with outer blanks or outer quotes are stored quoted so they read back
    // unchanged. Fails (and leaves the file alone) when the file exists but
    // cannot be read, when it cannot be replaced, or when the entry cannot be
    // represented: line breaks anywhere, ']' in the section, '=' in the key, a
    // key starting with ';' or '[', or an empty section or key.
    bool WriteString(const std::string& section, const std::string& key, const std::string& value) const;
    bool WriteInt(const std::string& section, const std::string& key, int value) const;

private:
    std::string m_path;
};

// The file-independent parts, usable on a buffer (and fuzzed that way).
namespace ky::ini {

// File bytes as UTF-8 text: a UTF-16LE file (BOM FF FE) is converted, a UTF-8
// BOM is dropped, anything else is taken as it is.
std::string DecodeProfileBytes(std::string_view bytes);

// The value of section/key in decoded text, trimmed and unquoted, uncut;
// nullopt when the entry is not there.
std::optional<std::string> FindValue(std::string_view text, std::string_view section, std::string_view key);

// text with section/key set to value (see CIniFile::WriteString); nullopt when
// the entry cannot be represented.
std::optional<std::string> SetValue(std::string_view text, std::string_view section, std::string_view key,
                                    std::string_view value);

// Longest prefix of s with at most maxChars characters, ending on a sequence
// boundary (bytes that are not valid UTF-8 count as one character each).
std::string_view CutToChars(std::string_view s, size_t maxChars);

// Leading optionally signed decimal number after blanks; 0 when there is
// none; clamped to the int range.
int ParseLeadingInt(std::string_view s);

// Whole-file read. Missing file: true with empty data and exists=false.
bool ReadWholeFile(const std::string& path, std::string& data, bool& exists);

// Writes data to path through a synced temporary file renamed over it. A file
// that exists keeps its mode, unless keepMode is false; a new one (and then
// also a replaced one) gets newFileMode (less the umask), which the temporary
// file has from its creation. Temporaries that killed writers left beside
// path are removed.
bool WriteFileAtomically(const std::string& path, std::string_view data, mode_t newFileMode = 0666,
                         bool keepMode = true);

}   // namespace ky::ini
