#include "tools/kycam-emulator/HttpParse.h"

#include <algorithm>
#include <cstring>

namespace emu {

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

bool IEquals(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (Lower(a[i]) != Lower(b[i])) return false;
    return true;
}

bool IStartsWith(std::string_view s, std::string_view prefix) {
    return s.size() >= prefix.size() && IEquals(s.substr(0, prefix.size()), prefix);
}

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

bool IsTokenChar(char c) {
    if (c >= 'a' && c <= 'z') return true;
    if (c >= 'A' && c <= 'Z') return true;
    if (c >= '0' && c <= '9') return true;
    return std::strchr("!#$%&'*+-.^_`|~", c) != nullptr && c != '\0';
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

}   // namespace

const std::string* RequestHead::Header(std::string_view name) const {
    for (const auto& [k, v] : headers)
        if (IEquals(k, name)) return &v;
    return nullptr;
}

size_t FindHeadEnd(std::string_view data, HeadError* error) {
    *error = HeadError::None;
    size_t lineEnd = data.find('\n');
    if (lineEnd == std::string_view::npos) {
        if (data.size() > kMaxRequestLine) *error = HeadError::UriTooLong;
        return 0;
    }
    if (lineEnd > kMaxRequestLine) {
        *error = HeadError::UriTooLong;
        return 0;
    }
    // The blank line may follow the request line directly.
    size_t pos = lineEnd;
    for (;;) {
        size_t end = 0;
        if (pos + 1 < data.size() && data[pos + 1] == '\n')
            end = pos + 2;
        else if (pos + 2 < data.size() && data[pos + 1] == '\r' && data[pos + 2] == '\n')
            end = pos + 3;
        if (end) {
            if (end > kMaxHeadBytes) {
                *error = HeadError::HeadTooLarge;
                return 0;
            }
            return end;
        }
        size_t nl = data.find('\n', pos + 1);
        if (nl == std::string_view::npos || nl > kMaxHeadBytes) break;
        pos = nl;
    }
    if (data.size() > kMaxHeadBytes) *error = HeadError::HeadTooLarge;
    return 0;
}

HeadError ParseRequestHead(std::string_view head, RequestHead* out) {
    *out = RequestHead{};
    if (head.size() > kMaxHeadBytes) return HeadError::HeadTooLarge;
    if (head.find('\0') != std::string_view::npos) return HeadError::BadRequest;

    auto nextLine = [&head](std::string_view* line) {
        size_t nl = head.find('\n');
        if (nl == std::string_view::npos) return false;
        *line = head.substr(0, nl);
        head.remove_prefix(nl + 1);
        if (!line->empty() && line->back() == '\r') line->remove_suffix(1);
        return true;
    };

    std::string_view line;
    if (!nextLine(&line)) return HeadError::BadRequest;
    if (line.size() > kMaxRequestLine) return HeadError::UriTooLong;

    size_t sp1 = line.find(' ');
    if (sp1 == std::string_view::npos || sp1 == 0) return HeadError::BadRequest;
    size_t sp2 = line.find(' ', sp1 + 1);
    if (sp2 == std::string_view::npos || sp2 == sp1 + 1) return HeadError::BadRequest;
    std::string_view method = line.substr(0, sp1);
    std::string_view target = line.substr(sp1 + 1, sp2 - sp1 - 1);
    std::string_view version = line.substr(sp2 + 1);

    for (char c : method)
        if (!(c >= 'A' && c <= 'Z')) return HeadError::BadRequest;
    if (target.front() != '/') return HeadError::BadRequest;
    for (char c : target)
        if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7f) return HeadError::BadRequest;
    if (version.size() != 8 || version.substr(0, 5) != "HTTP/" || version[6] != '.' || version[5] < '0' ||
        version[5] > '9' || version[7] < '0' || version[7] > '9')
        return HeadError::BadRequest;
    if (version[5] != '1') return HeadError::BadVersion;

    out->method.assign(method);
    out->target.assign(target);
    size_t q = target.find('?');
    out->path.assign(target.substr(0, q));
    if (q != std::string_view::npos) out->query.assign(target.substr(q + 1));
    out->versionMinor = version[7] - '0';

    while (nextLine(&line)) {
        if (line.empty()) return HeadError::None;
        if (line.front() == ' ' || line.front() == '\t') return HeadError::BadRequest;   // folding
        size_t colon = line.find(':');
        if (colon == std::string_view::npos || colon == 0) return HeadError::BadRequest;
        std::string_view name = line.substr(0, colon);
        for (char c : name)
            if (!IsTokenChar(c)) return HeadError::BadRequest;
        if (out->headers.size() >= kMaxHeaders) return HeadError::HeadTooLarge;
        out->headers.emplace_back(std::string(name), std::string(Trim(line.substr(colon + 1))));
    }
    return HeadError::BadRequest;   // no blank line
}

int HeadErrorStatus(HeadError e) {
    switch (e) {
        case HeadError::None: return 200;
        case HeadError::BadRequest: return 400;
        case HeadError::UriTooLong: return 414;
        case HeadError::HeadTooLarge: return 431;
        case HeadError::BadVersion: return 505;
    }
    return 400;
}

std::string UrlDecode(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%' && i + 2 < text.size() && HexValue(text[i + 1]) >= 0 && HexValue(text[i + 2]) >= 0) {
            out += char(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

std::vector<std::pair<std::string, std::string>> ParseQuery(std::string_view query) {
    std::vector<std::pair<std::string, std::string>> out;
    while (!query.empty()) {
        size_t amp = query.find('&');
        std::string_view field = query.substr(0, amp);
        query = amp == std::string_view::npos ? std::string_view{} : query.substr(amp + 1);
        if (field.empty()) continue;
        size_t eq = field.find('=');
        if (eq == std::string_view::npos)
            out.emplace_back(UrlDecode(field), std::string());
        else
            out.emplace_back(UrlDecode(field.substr(0, eq)), UrlDecode(field.substr(eq + 1)));
    }
    return out;
}

std::optional<std::string> QueryValue(const std::vector<std::pair<std::string, std::string>>& q,
                                      std::string_view name) {
    for (const auto& [k, v] : q)
        if (k == name) return v;
    return std::nullopt;
}

std::optional<std::string> Base64Decode(std::string_view text) {
    std::string out;
    uint32_t acc = 0;
    int bits = 0;
    size_t i = 0;
    for (; i < text.size(); ++i) {
        char c = text[i];
        int v;
        if (c >= 'A' && c <= 'Z')
            v = c - 'A';
        else if (c >= 'a' && c <= 'z')
            v = c - 'a' + 26;
        else if (c >= '0' && c <= '9')
            v = c - '0' + 52;
        else if (c == '+')
            v = 62;
        else if (c == '/')
            v = 63;
        else if (c == '=')
            break;
        else
            return std::nullopt;
        acc = (acc << 6) | uint32_t(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += char((acc >> bits) & 0xff);
        }
    }
    for (; i < text.size(); ++i)
        if (text[i] != '=') return std::nullopt;
    return out;
}

bool CheckBasicAuth(const std::string* header, std::string_view user, std::string_view password) {
    if (!header) return false;
    std::string_view v = Trim(*header);
    if (!IStartsWith(v, "Basic") || v.size() < 6 || (v[5] != ' ' && v[5] != '\t')) return false;
    auto decoded = Base64Decode(Trim(v.substr(6)));
    if (!decoded) return false;
    std::string expected;
    expected.reserve(user.size() + password.size() + 1);
    expected.append(user).append(":").append(password);
    return *decoded == expected;
}

std::optional<uint64_t> ParseContentLength(std::string_view text, uint64_t limit) {
    text = Trim(text);
    if (text.empty() || text.size() > 19) return std::nullopt;
    uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        v = v * 10 + uint64_t(c - '0');
    }
    if (v > limit) return std::nullopt;
    return v;
}

std::string MultipartBoundary(std::string_view contentType) {
    std::string_view ct = Trim(contentType);
    size_t semi = ct.find(';');
    if (!IEquals(Trim(ct.substr(0, semi)), "multipart/form-data")) return {};
    while (semi != std::string_view::npos) {
        ct.remove_prefix(semi + 1);
        semi = ct.find(';');
        std::string_view param = Trim(ct.substr(0, semi));
        size_t eq = param.find('=');
        if (eq == std::string_view::npos) continue;
        if (!IEquals(Trim(param.substr(0, eq)), "boundary")) continue;
        std::string_view value = Trim(param.substr(eq + 1));
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
        if (value.empty() || value.size() > 70) return {};
        for (char c : value)
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) return {};
        return std::string(value);
    }
    return {};
}

std::optional<std::pair<uint64_t, uint64_t>> ParseRange(std::string_view header, uint64_t size, bool* unsatisfiable) {
    *unsatisfiable = false;
    std::string_view h = Trim(header);
    if (!IStartsWith(h, "bytes=")) return std::nullopt;
    h = Trim(h.substr(6));
    if (h.find(',') != std::string_view::npos) return std::nullopt;
    size_t dash = h.find('-');
    if (dash == std::string_view::npos) return std::nullopt;
    auto num = [](std::string_view s) -> std::optional<uint64_t> {
        s = Trim(s);
        if (s.empty() || s.size() > 19) return std::nullopt;
        uint64_t v = 0;
        for (char c : s) {
            if (c < '0' || c > '9') return std::nullopt;
            v = v * 10 + uint64_t(c - '0');
        }
        return v;
    };
    std::string_view a = Trim(h.substr(0, dash)), b = Trim(h.substr(dash + 1));
    if (a.empty()) {   // suffix range
        auto n = num(b);
        if (!n) return std::nullopt;
        if (*n == 0 || size == 0) {
            *unsatisfiable = true;
            return std::nullopt;
        }
        uint64_t len = std::min(*n, size);
        return std::make_pair(size - len, size - 1);
    }
    auto first = num(a);
    if (!first) return std::nullopt;
    uint64_t last = size ? size - 1 : 0;
    if (!b.empty()) {
        auto l = num(b);
        if (!l || *l < *first) return std::nullopt;
        last = std::min(*l, last);
    }
    if (*first >= size) {
        *unsatisfiable = true;
        return std::nullopt;
    }
    return std::make_pair(*first, last);
}

// ---- multipart ------------------------------------------------------------

MultipartReader::MultipartReader(std::string boundary) : delimiter_("\r\n--" + boundary), pending_("\r\n") {
    // The leading CR LF lets a body that starts with the delimiter line match
    // the same delimiter as every later part.
    if (boundary.empty()) Fail("empty boundary");
}

bool MultipartReader::Fail(const char* why) {
    state_ = State::Failed;
    error_ = why;
    pending_.clear();
    return false;
}

void MultipartReader::Consume(std::string_view content) {
    Part& p = parts_.back();
    p.size += content.size();
    uint64_t h = p.fnv1a;
    for (unsigned char c : content) {
        h ^= c;
        h *= 0x100000001b3ull;
    }
    p.fnv1a = h;
}

bool MultipartReader::ParsePartHeaders(std::string_view block) {
    Part part;
    bool disposition = false;
    while (!block.empty()) {
        size_t nl = block.find("\r\n");
        std::string_view line = block.substr(0, nl);
        block = nl == std::string_view::npos ? std::string_view{} : block.substr(nl + 2);
        if (line.empty()) continue;
        size_t colon = line.find(':');
        if (colon == std::string_view::npos) return Fail("part header without colon");
        if (!IEquals(Trim(line.substr(0, colon)), "Content-Disposition")) continue;
        std::string_view v = Trim(line.substr(colon + 1));
        size_t semi = v.find(';');
        if (!IEquals(Trim(v.substr(0, semi)), "form-data")) return Fail("not form-data");
        disposition = true;
        v = semi == std::string_view::npos ? std::string_view{} : v.substr(semi + 1);
        // Parameters: name=value or name="quoted value".
        while (!v.empty()) {
            v = Trim(v);
            size_t eq = v.find('=');
            if (eq == std::string_view::npos) break;
            std::string_view pname = Trim(v.substr(0, eq));
            v.remove_prefix(eq + 1);
            v = Trim(v);
            std::string value;
            if (!v.empty() && v.front() == '"') {
                size_t i = 1;
                bool closed = false;
                for (; i < v.size(); ++i) {
                    if (v[i] == '\\' && i + 1 < v.size()) {
                        value += v[++i];
                    } else if (v[i] == '"') {
                        closed = true;
                        break;
                    } else {
                        value += v[i];
                    }
                }
                if (!closed) return Fail("unterminated quoted parameter");
                v.remove_prefix(i + 1);
                size_t s = v.find(';');
                v = s == std::string_view::npos ? std::string_view{} : v.substr(s + 1);
            } else {
                size_t s = v.find(';');
                value.assign(Trim(v.substr(0, s)));
                v = s == std::string_view::npos ? std::string_view{} : v.substr(s + 1);
            }
            if (IEquals(pname, "name")) {
                part.name = value;
            } else if (IEquals(pname, "filename")) {
                part.filename = value;
                part.hasFilename = true;
            }
        }
    }
    if (!disposition) return Fail("part without Content-Disposition");
    parts_.push_back(std::move(part));
    return true;
}

bool MultipartReader::Feed(std::string_view data) {
    if (state_ == State::Failed) return false;
    if (state_ == State::Epilogue) return true;
    pending_.append(data);
    for (;;) {
        switch (state_) {
            case State::Preamble: {
                size_t at = pending_.find(delimiter_);
                if (at == std::string::npos) {
                    if (pending_.size() > delimiter_.size()) pending_.erase(0, pending_.size() - delimiter_.size() + 1);
                    return true;
                }
                pending_.erase(0, at + delimiter_.size());
                state_ = State::AfterDelimiter;
                break;
            }
            case State::AfterDelimiter: {
                if (pending_.size() < 2) return true;
                if (pending_.compare(0, 2, "--") == 0) {
                    state_ = State::Epilogue;
                    pending_.clear();
                    return true;
                }
                // Transport padding (blanks) may precede the line end.
                size_t nl = pending_.find("\r\n");
                if (nl == std::string::npos) {
                    if (pending_.size() > 256) return Fail("garbage after delimiter");
                    for (char c : pending_)
                        if (c != ' ' && c != '\t' && c != '\r') return Fail("garbage after delimiter");
                    return true;
                }
                for (size_t i = 0; i < nl; ++i)
                    if (pending_[i] != ' ' && pending_[i] != '\t') return Fail("garbage after delimiter");
                pending_.erase(0, nl + 2);
                state_ = State::PartHeaders;
                break;
            }
            case State::PartHeaders: {
                size_t end;
                if (pending_.compare(0, 2, "\r\n") == 0) {
                    end = 0;
                } else {
                    size_t at = pending_.find("\r\n\r\n");
                    if (at == std::string::npos) {
                        if (pending_.size() > 8192) return Fail("part headers too long");
                        return true;
                    }
                    end = at + 2;
                }
                if (end > 8192) return Fail("part headers too long");
                if (!ParsePartHeaders(std::string_view(pending_).substr(0, end))) return false;
                pending_.erase(0, end + 2);
                state_ = State::Content;
                break;
            }
            case State::Content: {
                size_t at = pending_.find(delimiter_);
                if (at == std::string::npos) {
                    size_t keep = delimiter_.size() - 1;
                    if (pending_.size() > keep) {
                        size_t n = pending_.size() - keep;
                        Consume(std::string_view(pending_).substr(0, n));
                        pending_.erase(0, n);
                    }
                    return true;
                }
                Consume(std::string_view(pending_).substr(0, at));
                parts_.back().complete = true;
                pending_.erase(0, at + delimiter_.size());
                state_ = State::AfterDelimiter;
                break;
            }
            case State::Epilogue:
            case State::Failed: return state_ != State::Failed;
        }
    }
}

// ---- versions ---------------------------------------------------------------

std::string VersionFromPackageName(std::string_view encodedName) {
    std::string name = UrlDecode(encodedName);
    size_t slash = name.find_last_of("/\\");
    if (slash != std::string::npos) name.erase(0, slash + 1);
    for (size_t i = 0; i + 1 < name.size(); ++i) {
        if ((name[i] != 'V' && name[i] != 'v') || name[i + 1] < '0' || name[i + 1] > '9') continue;
        size_t j = i + 1;
        while (j < name.size() && ((name[j] >= '0' && name[j] <= '9') || name[j] == '.')) ++j;
        std::string run = name.substr(i + 1, j - i - 1);
        while (!run.empty() && run.back() == '.') run.pop_back();
        if (run.find('.') != std::string::npos) return "V" + run;
    }
    return {};
}

std::string BumpVersion(std::string_view current) {
    std::string v(current);
    size_t end = v.size();
    while (end > 0 && !(v[end - 1] >= '0' && v[end - 1] <= '9')) --end;
    if (end == 0) return "V1.0.1";
    size_t i = end;
    for (;;) {   // decimal increment with carry, within the digit run
        --i;
        if (v[i] < '9') {
            ++v[i];
            return v;
        }
        v[i] = '0';
        if (i == 0 || !(v[i - 1] >= '0' && v[i - 1] <= '9')) {
            v.insert(i, "1");
            return v;
        }
    }
}

}   // namespace emu
