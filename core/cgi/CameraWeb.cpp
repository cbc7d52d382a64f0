// Link handling for the camera's web pages (see CameraWeb.h). Pages come from
// the camera and are not trusted: every link is resolved to a plain request
// path on the same camera before anything follows it.
#include "core/cgi/CameraWeb.h"

#include "core/cgi/PercentEncode.h"
#include "core/services/Utf8.h"

#include <algorithm>
#include <cstring>
#include <set>

namespace {

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string LowerText(std::string s) {
    for (char& c : s) c = Lower(c);
    return s;
}

std::string TrimSpace(const std::string& s) {
    const char* ws = " \t\r\n\f\v";
    const size_t b = s.find_first_not_of(ws);
    if (b == std::string::npos) return {};
    return s.substr(b, s.find_last_not_of(ws) - b + 1);
}

// The common named entities and numeric references; anything else stays.
std::string DecodeEntities(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size();) {
        if (s[i] != '&') {
            out += s[i++];
            continue;
        }
        const size_t semi = s.find(';', i);
        if (semi == std::string::npos || semi - i > 10) {
            out += s[i++];
            continue;
        }
        const std::string name = s.substr(i + 1, semi - i - 1);
        bool known = true;
        if (name == "amp")
            out += '&';
        else if (name == "lt")
            out += '<';
        else if (name == "gt")
            out += '>';
        else if (name == "quot")
            out += '"';
        else if (name == "apos")
            out += '\'';
        else if (name == "nbsp")
            out += ' ';
        else if (name.size() > 1 && name[0] == '#') {
            const bool hex = name[1] == 'x' || name[1] == 'X';
            const std::string digits = name.substr(hex ? 2 : 1);
            const char* allowed = hex ? "0123456789abcdefABCDEF" : "0123456789";
            if (digits.empty() || digits.size() > 7 || digits.find_first_not_of(allowed) != std::string::npos)
                known = false;
            else
                ky::AppendUtf8(out, std::stoul(digits, nullptr, hex ? 16 : 10));
        } else {
            known = false;
        }
        if (known) {
            i = semi + 1;
        } else {
            out += s[i++];
        }
    }
    return out;
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    c = Lower(c);
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

std::string PercentDecodeText(const std::string& s) {
    std::string out;
    for (size_t i = 0; i < s.size(); ++i) {
        if (s[i] == '%' && i + 2 < s.size() && HexValue(s[i + 1]) >= 0 && HexValue(s[i + 2]) >= 0) {
            out += static_cast<char>(HexValue(s[i + 1]) * 16 + HexValue(s[i + 2]));
            i += 2;
        } else {
            out += s[i];
        }
    }
    return out;
}

// RFC 3986 remove_dot_segments on an absolute path; ".." never climbs above
// the root.
std::string RemoveDotSegments(const std::string& path) {
    std::vector<std::string> segments;
    size_t pos = 1;   // path starts with '/'
    bool trailingSlash = false;
    while (pos <= path.size()) {
        size_t next = path.find('/', pos);
        const bool last = next == std::string::npos;
        if (last) next = path.size();
        const std::string seg = path.substr(pos, next - pos);
        if (seg == ".") {
            trailingSlash = last;
        } else if (seg == "..") {
            if (!segments.empty()) segments.pop_back();
            trailingSlash = true;
        } else {
            segments.push_back(seg);
            trailingSlash = false;
        }
        pos = next + 1;
    }
    // A trailing empty segment is kept by the loop itself ("a/" gives "a", "").
    std::string out;
    for (const auto& seg : segments) out += "/" + seg;
    if (out.empty() || trailingSlash) out += "/";
    return out;
}

// Splits "//authority/rest" and checks that the authority names this camera.
std::optional<std::string> SameCameraPath(const std::string& afterScheme, const std::string& ip, uint16_t port) {
    if (afterScheme.compare(0, 2, "//") != 0) return std::nullopt;
    const size_t end = afterScheme.find_first_of("/?#", 2);
    const std::string authority = afterScheme.substr(2, end == std::string::npos ? std::string::npos : end - 2);
    // Credentials in an address are never followed (nor sent anywhere).
    if (authority.find('@') != std::string::npos) return std::nullopt;
    std::string host = authority;
    uint16_t linkPort = 80;
    const size_t colon = authority.rfind(':');
    if (colon != std::string::npos && authority.find(']') == std::string::npos) {
        host = authority.substr(0, colon);
        const std::string digits = authority.substr(colon + 1);
        if (!digits.empty()) {
            if (digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos) return std::nullopt;
            const unsigned long v = std::stoul(digits);
            if (v > 65535) return std::nullopt;
            linkPort = static_cast<uint16_t>(v);
        }
    }
    if (LowerText(host) != LowerText(ip) || linkPort != port) return std::nullopt;
    if (end == std::string::npos) return std::string("/");
    std::string rest = afterScheme.substr(end);
    if (rest[0] != '/') rest = "/" + rest;
    return rest;
}

}   // namespace

std::optional<std::string> ResolveCameraLink(const std::string& basePath, const std::string& href,
                                             const std::string& ip, uint16_t port) {
    std::string link = TrimSpace(href);
    for (unsigned char c : link)
        if (c < 0x20 || c == 0x7f) return std::nullopt;
    const size_t hash = link.find('#');
    if (hash != std::string::npos) link.erase(hash);

    std::string base = basePath.empty() || basePath[0] != '/' ? "/" : basePath;
    const size_t baseQuery = base.find('?');
    if (baseQuery != std::string::npos) base.erase(baseQuery);

    std::string target;
    const size_t schemeEnd = link.find_first_of(":/?");
    if (schemeEnd != std::string::npos && link[schemeEnd] == ':' && schemeEnd > 0) {
        if (LowerText(link.substr(0, schemeEnd)) != "http") return std::nullopt;
        auto same = SameCameraPath(link.substr(schemeEnd + 1), ip, port);
        if (!same) return std::nullopt;
        target = *same;
    } else if (link.compare(0, 2, "//") == 0) {
        auto same = SameCameraPath(link, ip, port);
        if (!same) return std::nullopt;
        target = *same;
    } else if (!link.empty() && link[0] == '/') {
        target = link;
    } else if (link.empty()) {
        target = basePath.empty() ? "/" : basePath;
    } else if (link[0] == '?') {
        target = base + link;
    } else {
        target = base.substr(0, base.rfind('/') + 1) + link;
    }

    std::string query;
    const size_t q = target.find('?');
    if (q != std::string::npos) {
        query = target.substr(q);
        target.erase(q);
    }
    // Backslashes act as separators in some servers; treat them as such
    // before removing dot segments so "..\" cannot slip through.
    std::replace(target.begin(), target.end(), '\\', '/');
    std::string path = ky::cgi::EncodeUrlPath(RemoveDotSegments(target)) + ky::cgi::EncodeUrlPath(query);
    if (!CHttpFetch::IsSafePath(path)) return std::nullopt;
    return path;
}

std::vector<HtmlLink> ExtractLinks(const std::string& html) {
    std::vector<HtmlLink> links;
    const std::string lower = LowerText(html);
    const size_t n = html.size();
    auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f'; };
    size_t pos = 0;
    while ((pos = lower.find("<a", pos)) != std::string::npos) {
        size_t i = pos + 2;
        if (i >= n || !isSpace(html[i])) {
            pos = i;
            continue;
        }
        // Attributes up to the tag's end; quoted values may hold '>'.
        std::string href;
        bool found = false;
        bool closed = false;
        while (i < n) {
            while (i < n && isSpace(html[i])) ++i;
            if (i >= n) break;
            if (html[i] == '>') {
                ++i;
                closed = true;
                break;
            }
            if (html[i] == '/') {
                ++i;
                continue;
            }
            const size_t nameAt = i;
            while (i < n && !isSpace(html[i]) && html[i] != '=' && html[i] != '>' && html[i] != '/') ++i;
            const std::string name = lower.substr(nameAt, i - nameAt);
            while (i < n && isSpace(html[i])) ++i;
            std::string value;
            if (i < n && html[i] == '=') {
                ++i;
                while (i < n && isSpace(html[i])) ++i;
                if (i < n && (html[i] == '"' || html[i] == '\'')) {
                    const char quote = html[i];
                    const size_t close = html.find(quote, i + 1);
                    if (close == std::string::npos) {
                        i = n;
                        break;
                    }
                    value = html.substr(i + 1, close - i - 1);
                    i = close + 1;
                } else {
                    const size_t at = i;
                    while (i < n && !isSpace(html[i]) && html[i] != '>') ++i;
                    value = html.substr(at, i - at);
                }
            }
            if (name == "href" && !found) {
                href = value;
                found = true;
            }
        }
        if (!closed) break;
        const size_t close = lower.find("</a", i);
        const std::string inner = html.substr(i, close == std::string::npos ? std::string::npos : close - i);
        std::string text;
        bool inTag = false;
        for (char c : inner) {
            if (c == '<')
                inTag = true;
            else if (c == '>')
                inTag = false;
            else if (!inTag)
                text += c;
        }
        if (found) links.push_back({DecodeEntities(href), TrimSpace(DecodeEntities(text))});
        pos = close == std::string::npos ? i : close + 3;
    }
    return links;
}

std::string PathFileName(const std::string& path) {
    std::string p = path.substr(0, path.find('?'));
    while (p.size() > 1 && p.back() == '/') p.pop_back();
    const size_t slash = p.rfind('/');
    return PercentDecodeText(slash == std::string::npos ? p : p.substr(slash + 1));
}

std::vector<SdEntry> ParseSdListing(const std::string& html, const std::string& basePath, const std::string& ip,
                                    uint16_t port) {
    std::vector<SdEntry> entries;
    std::set<std::string> seen;
    const auto base = ResolveCameraLink("/", basePath, ip, port);
    if (!base) return entries;
    std::string folder = base->substr(0, base->find('?'));
    folder = folder.substr(0, folder.rfind('/') + 1);
    for (const auto& link : ExtractLinks(html)) {
        auto path = ResolveCameraLink(*base, link.href, ip, port);
        if (!path) continue;
        const std::string plain = path->substr(0, path->find('?'));
        // Only what lies below this folder: no parent, no self, no sort links.
        if (plain.size() <= folder.size() || plain.compare(0, folder.size(), folder) != 0 ||
            path->find('?') != std::string::npos)
            continue;
        if (!seen.insert(plain).second) continue;
        SdEntry e;
        e.path = plain;
        e.folder = plain.back() == '/';
        e.name = link.text.empty() ? PathFileName(plain) : link.text;
        entries.push_back(std::move(e));
    }
    return entries;
}

bool IsRecordingPath(const std::string& path) {
    static const char* const kExtensions[] = {".mp4", ".avi",  ".mkv", ".mov",  ".ts",
                                              ".264", ".h264", ".265", ".h265", ".flv"};
    const std::string name = LowerText(PathFileName(path));
    for (const char* ext : kExtensions) {
        const size_t n = std::strlen(ext);
        if (name.size() > n && name.compare(name.size() - n, n, ext) == 0) return true;
    }
    return false;
}

SdScanResult ScanSdRecordings(const CameraAddress& camera, const std::string& root, const HttpFetchOptions& options,
                              const SdScanLimits& limits) {
    SdScanResult result;
    struct Pending {
        std::string path;
        int depth;
    };
    std::vector<Pending> queue{{root, 0}};
    std::set<std::string> visited;
    int fetched = 0;
    for (size_t i = 0; i < queue.size(); ++i) {
        const Pending item = queue[i];
        if (!visited.insert(item.path).second) continue;
        if (fetched >= limits.maxFolders) break;
        ++fetched;
        HttpPage page;
        const HttpFetchResult r =
            CHttpFetch::Get(camera.ip, camera.port, camera.user, camera.password, item.path, options, &page);
        if (r != HttpFetchResult::Ok || page.status != 200) {
            // A sub-folder that fails is skipped; the root decides the outcome.
            if (i == 0 || r == HttpFetchResult::Cancelled) {
                result.fetch = r;
                result.status = page.status;
                break;
            }
            continue;
        }
        for (auto& entry : ParseSdListing(page.body, item.path, camera.ip, camera.port)) {
            if (entry.folder) {
                if (item.depth + 1 <= limits.maxDepth) queue.push_back({entry.path, item.depth + 1});
            } else if (IsRecordingPath(entry.path) && result.recordings.size() < limits.maxRecordings) {
                result.recordings.push_back(std::move(entry));
            }
        }
    }
    std::sort(result.recordings.begin(), result.recordings.end(),
              [](const SdEntry& a, const SdEntry& b) { return a.path < b.path; });
    return result;
}
