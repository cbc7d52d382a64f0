#include "core/services/IniFile.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <mutex>

#include "core/services/Trace.h"
#include "core/services/Utf8.h"

namespace ky::ini {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f'; }

std::string_view Trim(std::string_view s) {
    while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
    return s;
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualsNoCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
    return true;
}

// One physical line: [begin, contentEnd) is its text, [contentEnd, end) its
// terminator ("\r\n", "\n", "\r" or nothing at the end of the text).
struct Line {
    size_t begin, contentEnd, end;
};

class LineReader {
public:
    explicit LineReader(std::string_view text) : m_text(text) {}
    bool Next(Line& line) {
        if (m_pos >= m_text.size()) return false;
        line.begin = m_pos;
        size_t i = m_text.find_first_of("\r\n", m_pos);
        if (i == std::string_view::npos) {
            line.contentEnd = line.end = m_text.size();
        } else {
            line.contentEnd = i;
            line.end = i + ((m_text[i] == '\r' && i + 1 < m_text.size() && m_text[i + 1] == '\n') ? 2 : 1);
        }
        m_pos = line.end;
        return true;
    }

private:
    std::string_view m_text;
    size_t m_pos = 0;
};

enum class LineKind { Other, Header, Entry };

struct ParsedLine {
    LineKind kind = LineKind::Other;
    std::string_view name;    // section name or key, trimmed
    std::string_view value;   // entry value, trimmed (still quoted)
};

ParsedLine ParseLine(std::string_view content) {
    ParsedLine p;
    std::string_view t = Trim(content);
    if (t.empty() || t.front() == ';') return p;
    if (t.front() == '[') {
        const size_t close = t.find(']');
        if (close != std::string_view::npos) {
            p.kind = LineKind::Header;
            p.name = Trim(t.substr(1, close - 1));
        }
        return p;   // a '[' line without ']' is neither header nor entry
    }
    const size_t eq = t.find('=');
    if (eq == std::string_view::npos) return p;
    p.kind = LineKind::Entry;
    p.name = Trim(t.substr(0, eq));
    p.value = Trim(t.substr(eq + 1));
    return p;
}

std::string_view Unquote(std::string_view v) {
    if (v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front())
        return v.substr(1, v.size() - 2);
    return v;
}

// Stored form of a value: quoted when reading would otherwise change it.
std::string QuoteForStore(std::string_view v) {
    const bool outerBlank = !v.empty() && (IsBlank(v.front()) || IsBlank(v.back()));
    const bool looksQuoted = Unquote(v).size() != v.size();
    if (outerBlank || looksQuoted) return "\"" + std::string(v) + "\"";
    return std::string(v);
}

// Length of the UTF-8 sequence at s[i], 1 for a byte that starts none; the
// same units Utf8FitLength counts.
size_t SequenceLength(std::string_view s, size_t i) {
    const auto b = static_cast<unsigned char>(s[i]);
    const size_t n = b < 0x80 ? 1 : (b >> 5) == 0x6 ? 2 : (b >> 4) == 0xE ? 3 : (b >> 3) == 0x1E ? 4 : 1;
    if (i + n > s.size()) return 1;
    for (size_t k = 1; k < n; ++k)
        if ((static_cast<unsigned char>(s[i + k]) & 0xC0) != 0x80) return 1;
    return n;
}

std::string_view FirstTerminator(std::string_view text) {
    LineReader r(text);
    Line l;
    while (r.Next(l))
        if (l.end > l.contentEnd) return text.substr(l.contentEnd, l.end - l.contentEnd);
    return "\n";
}

bool EndsWithTerminator(std::string_view s) { return !s.empty() && (s.back() == '\n' || s.back() == '\r'); }

bool WriteAll(int fd, std::string_view data) {
    while (!data.empty()) {
        ssize_t n = ::write(fd, data.data(), data.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data.remove_prefix(static_cast<size_t>(n));
    }
    return true;
}

// Serialises read-modify-write cycles of this process, so two threads
// writing different keys never lose one of them.
std::mutex g_writeLock;
std::atomic<unsigned> g_tempCounter{0};

}   // namespace

std::string DecodeProfileBytes(std::string_view bytes) {
    if (bytes.substr(0, 2) == kUtf16LeBom) return Utf16LeToUtf8(bytes.substr(2));
    if (bytes.substr(0, 3) == kUtf8Bom) return std::string(bytes.substr(3));
    return std::string(bytes);
}

std::optional<std::string> FindValue(std::string_view text, std::string_view section, std::string_view key) {
    section = Trim(section);
    key = Trim(key);
    bool inSection = false;
    LineReader r(text);
    Line l;
    while (r.Next(l)) {
        const ParsedLine p = ParseLine(text.substr(l.begin, l.contentEnd - l.begin));
        if (p.kind == LineKind::Header) {
            if (inSection) return std::nullopt;   // only the first matching section counts
            inSection = EqualsNoCase(p.name, section);
        } else if (inSection && p.kind == LineKind::Entry && EqualsNoCase(p.name, key)) {
            return std::string(Unquote(p.value));
        }
    }
    return std::nullopt;
}

std::optional<std::string> SetValue(std::string_view text, std::string_view section, std::string_view key,
                                    std::string_view value) {
    section = Trim(section);
    key = Trim(key);
    auto hasBreak = [](std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; };
    if (section.empty() || key.empty() || hasBreak(section) || hasBreak(key) || hasBreak(value) ||
        section.find(']') != std::string_view::npos || key.find('=') != std::string_view::npos || key.front() == ';' ||
        key.front() == '[')
        return std::nullopt;

    const std::string_view eol = FirstTerminator(text);
    const std::string stored = QuoteForStore(value);
    bool inSection = false;
    size_t insertAt = std::string_view::npos;   // after the section's last non-blank line
    LineReader r(text);
    Line l;
    while (r.Next(l)) {
        const std::string_view content = text.substr(l.begin, l.contentEnd - l.begin);
        const ParsedLine p = ParseLine(content);
        if (p.kind == LineKind::Header) {
            if (inSection) break;
            if (EqualsNoCase(p.name, section)) {
                inSection = true;
                insertAt = l.end;
            }
            continue;
        }
        if (!inSection) continue;
        if (!Trim(content).empty()) insertAt = l.end;
        if (p.kind == LineKind::Entry && EqualsNoCase(p.name, key)) {
            // Keep the key as the file spells it.
            std::string out(text.substr(0, l.begin));
            out.append(p.name).append("=").append(stored);
            out.append(text.substr(l.contentEnd));
            return out;
        }
    }

    std::string entry = std::string(key) + "=" + stored + std::string(eol);
    std::string out;
    if (insertAt != std::string_view::npos) {
        out.assign(text.substr(0, insertAt));
        if (!out.empty() && !EndsWithTerminator(out)) out.append(eol);
        out.append(entry);
        out.append(text.substr(insertAt));
    } else {
        out.assign(text);
        if (!out.empty() && !EndsWithTerminator(out)) out.append(eol);
        out.append("[").append(section).append("]").append(eol).append(entry);
    }
    return out;
}

std::string_view CutToChars(std::string_view s, size_t maxChars) {
    size_t chars = 0, i = 0;
    while (i < s.size() && chars < maxChars) {
        i += SequenceLength(s, i);
        ++chars;
    }
    return s.substr(0, i);
}

int ParseLeadingInt(std::string_view s) {
    s = Trim(s);
    bool negative = false;
    if (!s.empty() && (s.front() == '+' || s.front() == '-')) {
        negative = s.front() == '-';
        s.remove_prefix(1);
    }
    long long v = 0;
    for (char c : s) {
        if (c < '0' || c > '9') break;
        if (v <= static_cast<long long>(INT_MAX) + 1) v = v * 10 + (c - '0');
    }
    if (negative) v = -v;
    if (v > INT_MAX) return INT_MAX;
    if (v < INT_MIN) return INT_MIN;
    return static_cast<int>(v);
}

bool ReadWholeFile(const std::string& path, std::string& data, bool& exists) {
    data.clear();
    exists = false;
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return errno == ENOENT || errno == ENOTDIR;
    exists = true;
    char buf[16384];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            ::close(fd);
            return false;
        }
        if (n == 0) break;
        data.append(buf, static_cast<size_t>(n));
    }
    ::close(fd);
    return true;
}

namespace {

// Temporary files ".BASE.PID.N.tmp" of writers that no longer run (killed
// mid-write) are removed; those of running processes are left alone.
void RemoveStaleTemporaries(const std::string& dir, const std::string& base) {
    DIR* d = ::opendir(dir.c_str());
    if (!d) return;
    const std::string prefix = "." + base + ".";
    while (const dirent* e = ::readdir(d)) {
        const std::string_view name = e->d_name;
        if (name.size() <= prefix.size() + 4 || name.substr(0, prefix.size()) != prefix ||
            name.substr(name.size() - 4) != ".tmp")
            continue;
        const std::string_view rest = name.substr(prefix.size());
        const size_t dot = rest.find('.');
        long pid = 0;
        for (size_t i = 0; i < dot && i < rest.size() && pid >= 0; ++i)
            pid = rest[i] >= '0' && rest[i] <= '9' && pid < INT_MAX / 10 ? pid * 10 + (rest[i] - '0') : -1;
        if (dot == std::string_view::npos || dot == 0 || pid <= 0) continue;
        if (::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) ::unlinkat(::dirfd(d), e->d_name, 0);
    }
    ::closedir(d);
}

}   // namespace

bool WriteFileAtomically(const std::string& path, std::string_view data, mode_t newFileMode, bool keepMode) {
    if (path.empty()) return false;
    // Replace what a symbolic link points at, not the link.
    std::string target = path;
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
        if (char* real = ::realpath(path.c_str(), nullptr)) {
            target = real;
            std::free(real);
        }
    }
    const bool existed = ::stat(target.c_str(), &st) == 0;

    const size_t slash = target.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : target.substr(0, slash);
    const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);

    RemoveStaleTemporaries(dir, base);
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = dir + "/." + base + "." + std::to_string(::getpid()) + "." + std::to_string(g_tempCounter.fetch_add(1)) +
               ".tmp";
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, newFileMode);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) {
        KY_TRACE("Line-%d create temp [%s] failure\n", __LINE__, temp.c_str());
        return false;
    }
    bool ok = WriteAll(fd, data);
    if (ok && existed && keepMode) ok = ::fchmod(fd, st.st_mode & 07777) == 0;
    if (ok) ok = ::fsync(fd) == 0;
    if (::close(fd) != 0) ok = false;
    if (ok) ok = ::rename(temp.c_str(), target.c_str()) == 0;
    if (!ok) {
        KY_TRACE("Line-%d write [%s] failure\n", __LINE__, target.c_str());
        ::unlink(temp.c_str());
        return false;
    }
    // Make the rename itself durable.
    int dfd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

}   // namespace ky::ini

namespace {

std::optional<std::string> ReadValue(const std::string& path, const std::string& section, const std::string& key) {
    std::string bytes;
    bool exists = false;
    if (path.empty() || !ky::ini::ReadWholeFile(path, bytes, exists) || !exists) return std::nullopt;
    return ky::ini::FindValue(ky::ini::DecodeProfileBytes(bytes), section, key);
}

}   // namespace

int CIniFile::GetInt(const std::string& section, const std::string& key, int def) const {
    const std::optional<std::string> v = ReadValue(m_path, section, key);
    if (!v || v->empty()) return def;
    return ky::ini::ParseLeadingInt(*v);
}

std::string CIniFile::GetString(const std::string& section, const std::string& key, const std::string& def,
                                size_t bufferChars) const {
    if (bufferChars == 0) return std::string();
    const std::optional<std::string> v = ReadValue(m_path, section, key);
    return std::string(ky::ini::CutToChars(v ? *v : def, bufferChars - 1));
}

bool CIniFile::WriteString(const std::string& section, const std::string& key, const std::string& value) const {
    using namespace ky::ini;
    if (m_path.empty()) return false;
    std::lock_guard<std::mutex> lock(g_writeLock);
    std::string bytes;
    bool exists = false;
    if (!ReadWholeFile(m_path, bytes, exists)) {
        KY_TRACE("Line-%d read [%s] failure\n", __LINE__, m_path.c_str());
        return false;   // never replace a file we could not read
    }
    const bool utf8Bom = bytes.substr(0, 3) == kUtf8Bom;
    std::optional<std::string> text = SetValue(DecodeProfileBytes(bytes), section, key, value);
    if (!text) return false;
    if (utf8Bom) text->insert(0, kUtf8Bom);
    return WriteFileAtomically(m_path, *text);
}

bool CIniFile::WriteInt(const std::string& section, const std::string& key, int value) const {
    return WriteString(section, key, std::to_string(value));
}
