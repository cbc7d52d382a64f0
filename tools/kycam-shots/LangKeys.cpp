#include "tools/kycam-shots/LangKeys.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <tuple>
#include <vector>

#include "core/services/IniFile.h"
#include "core/services/Utf8.h"

namespace fs = std::filesystem;

namespace {

struct Token {
    enum Kind { Ident, Text, Punct } kind;
    std::string text;   // Text: the literal's value, adjacent literals joined
};

struct File {
    std::string path;   // relative to the source root
    std::vector<Token> tokens;
    std::vector<std::string> includes;   // the project's own, as written
    std::string section;
};

bool IsIdentChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; }

// The value of the string literal whose opening quote is at s[i]; i ends
// after the closing quote.
std::string ReadLiteral(const std::string& s, size_t& i) {
    std::string v;
    // The digits of a numeric escape, at most `most` of them.
    auto number = [&](int base, size_t most) {
        unsigned long value = 0;
        for (size_t n = 0; n < most && i + 1 < s.size(); ++n) {
            const char d = s[i + 1];
            const bool octal = d >= '0' && d <= '7';
            if (!(base == 8 ? octal : std::isxdigit(static_cast<unsigned char>(d)))) break;
            value = value * base + std::stoul(std::string(1, d), nullptr, 16);
            ++i;
        }
        return value;
    };
    for (++i; i < s.size() && s[i] != '"'; ++i) {
        if (s[i] != '\\' || i + 1 >= s.size()) {
            v += s[i];
            continue;
        }
        switch (const char e = s[++i]) {
            case 'n': v += '\n'; break;
            case 't': v += '\t'; break;
            case 'r': v += '\r'; break;
            case 'u': ky::AppendUtf8(v, number(16, 4)); break;
            case 'U': ky::AppendUtf8(v, number(16, 8)); break;
            case 'x': v += static_cast<char>(number(16, 2)); break;
            default:
                if (e >= '0' && e <= '7') {
                    --i;
                    v += static_cast<char>(number(8, 3));
                } else {
                    v += e;
                }
        }
    }
    ++i;
    return v;
}

// Enough of C++ to find calls, definitions and literals: comments,
// preprocessor lines and character literals are dropped.
std::vector<Token> Lex(const std::string& s) {
    std::vector<Token> out;
    bool lineStart = true;
    for (size_t i = 0; i < s.size();) {
        const char c = s[i];
        if (c == '\n') lineStart = true;
        if (std::isspace(static_cast<unsigned char>(c))) {
            ++i;
        } else if (lineStart && c == '#') {
            while (i < s.size() && s[i] != '\n') i += s[i] == '\\' ? 2 : 1;
        } else if (s.compare(i, 2, "//") == 0) {
            i = s.find('\n', i);
        } else if (s.compare(i, 2, "/*") == 0) {
            i = s.find("*/", i + 2);
            if (i != std::string::npos) i += 2;
        } else if (c == '\'') {
            for (++i; i < s.size() && s[i] != '\''; ++i)
                if (s[i] == '\\') ++i;
            ++i;
        } else if (c == '"') {
            std::string v = ReadLiteral(s, i);
            if (!out.empty() && out.back().kind == Token::Text)
                out.back().text += v;
            else
                out.push_back({Token::Text, std::move(v)});
        } else if (IsIdentChar(c)) {
            const size_t start = i;
            while (i < s.size() &&
                   (IsIdentChar(s[i]) || (std::isdigit(static_cast<unsigned char>(s[start])) && s[i] == '.')))
                ++i;
            std::string word = s.substr(start, i - start);
            // Literal prefixes (u8"..."), and numbers, are not names.
            const bool prefix = i < s.size() && s[i] == '"' && (word == "u8" || word == "u" || word == "L");
            if (!prefix)
                out.push_back({std::isdigit(static_cast<unsigned char>(c)) ? Token::Punct : Token::Ident, word});
        } else {
            out.push_back({Token::Punct, std::string(1, c)});
            ++i;
        }
        if (i == std::string::npos) break;
        if (!std::isspace(static_cast<unsigned char>(c))) lineStart = false;
    }
    return out;
}

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

std::vector<std::string> Includes(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);)
        if (line.rfind("#include \"", 0) == 0) out.push_back(line.substr(10, line.find('"', 10) - 10));
    return out;
}

bool Is(const std::vector<Token>& t, size_t i, const char* text) { return i < t.size() && t[i].text == text; }

// Index of the token that closes the bracket opened at t[open].
size_t Closing(const std::vector<Token>& t, size_t open) {
    const std::string o = t[open].text, c = o == "(" ? ")" : o == "[" ? "]" : "}";
    int depth = 0;
    for (size_t i = open; i < t.size(); ++i) {
        if (t[i].kind != Token::Punct) continue;
        if (t[i].text == o) ++depth;
        if (t[i].text == c && --depth == 0) return i;
    }
    return t.size();
}

// End of the statement or argument starting at i: the first of stops at
// bracket depth 0.
size_t StatementEnd(const std::vector<Token>& t, size_t i, const std::string& stops) {
    for (; i < t.size(); ++i) {
        const std::string& x = t[i].text;
        if (t[i].kind != Token::Punct) continue;
        if (x == "(" || x == "[" || x == "{")
            i = Closing(t, i);
        else if (stops.find(x) != std::string::npos)
            return i;
    }
    return t.size();
}

// The end of the lambda starting at t[i] (its body's '}'), or i when t[i]
// starts none.
size_t LambdaEnd(const std::vector<Token>& t, size_t i) {
    if (!Is(t, i, "[") || (i > 0 && (Is(t, i - 1, ")") || Is(t, i - 1, "]") ||
                                     (t[i - 1].kind == Token::Ident && t[i - 1].text != "return"))))
        return i;
    for (size_t j = i; j < t.size(); ++j) {
        if (Is(t, j, "(") || Is(t, j, "["))
            j = Closing(t, j);
        else if (Is(t, j, "{"))
            return Closing(t, j);
        else if (Is(t, j, ";"))
            break;
    }
    return i;
}

struct Range {
    const File* file;
    size_t begin, end;
};

// How a helper names its section: the argument that holds it (-1: none) and
// the section without it (empty: the file's); keyArg: the argument holding
// the key (-1: any other).
struct Helper {
    int sectionArg;
    const char* section;
    int keyArg = -1;
};

const std::map<std::string, Helper> kHelpers = {
    {"KyMessage", {-1, "CONFIG"}},
    {"KyError", {-1, "CONFIG"}},
    {"KyQuestion", {-1, "CONFIG"}},
    {"LangText", {-1, "CONFIG"}},
    {"GetLangText", {-1, "CONFIG"}},
    {"KyMessageEx", {1, ""}},
    {"KyQuestionEx", {1, ""}},
    {"LangTextEx", {0, ""}},
    {"GetLangTextEx", {0, ""}},
    {"Message", {-1, ""}},
    {"Ask", {-1, ""}},
    {"Refuse", {-1, ""}},
    {"Tr", {-1, ""}},
};

const std::set<std::string> kNotFunctions = {"if", "for", "while", "switch", "catch", "return", "sizeof"};
const std::set<std::string> kKeywords = {"const",  "constexpr", "static", "char",  "auto",      "int",  "bool",
                                         "void",   "unsigned",  "new",    "this",  "nullptr",   "true", "false",
                                         "return", "override",  "struct", "class", "namespace", "enum", "else"};
// Calls that only convert a text: their arguments are looked into.
const std::set<std::string> kConversions = {"QStringLiteral", "fromUtf8",      "fromLatin1", "fromStdString",
                                            "QString",        "QLatin1String", "string"};

class Scanner {
public:
    explicit Scanner(const std::string& root) {
        for (const char* dir : {"gui", "core"})
            for (const auto& entry : fs::recursive_directory_iterator(fs::path(root) / dir)) {
                const std::string ext = entry.path().extension().string();
                if (ext != ".cpp" && ext != ".h") continue;
                const std::string text = ReadFile(entry.path());
                m_files.push_back({fs::relative(entry.path(), root).generic_string(), Lex(text), Includes(text), ""});
            }
        for (File& f : m_files) {
            f.section = SectionOf(f);
            IndexDefinitions(f);
        }
        for (const File& f : m_files) {
            if (f.path.rfind("gui/", 0) != 0 || f.path.rfind("gui/kit/", 0) == 0) continue;
            if (IsShared(f)) {
                for (const std::string& section : SectionsSharing(f)) ScanFile(f, section);
            } else {
                ScanFile(f, f.section);
            }
        }
    }
    std::set<LangKey> keys;

private:
    struct Definition {
        const File* file;
        size_t name, body;   // token indexes of the name and of the body's '{'
    };

    const File* Find(const std::string& path) const {
        for (const File& g : m_files)
            if (g.path == path) return &g;
        return nullptr;
    }

    // The file's header or source beside it.
    const File* Partner(const File& f) const {
        const fs::path p(f.path);
        return Find(fs::path(p).replace_extension(p.extension() == ".cpp" ? ".h" : ".cpp").generic_string());
    }

    std::string SectionOf(const File& f) const {
        for (const File* g : {&f, Partner(f)}) {
            if (!g) continue;
            for (const Token& t : g->tokens)
                if (t.kind == Token::Text && t.text.size() > 6 && t.text.rfind("P_", 0) == 0 &&
                    t.text.compare(t.text.size() - 4, 4, "_DLG") == 0)
                    return t.text;
        }
        return "CONFIG";
    }

    // The page base and the pieces pages share (gui/pages, not a ...Dlg):
    // their texts are looked up in the section of the page using them.
    static bool IsShared(const File& f) {
        return f.path.rfind("gui/pages/", 0) == 0 && fs::path(f.path).stem().string().find("Dlg") == std::string::npos;
    }

    // Whether f includes header, directly or through other headers.
    bool IncludesHeader(const File& f, const std::string& header, std::set<const File*>& seen) const {
        if (!seen.insert(&f).second) return false;
        for (const std::string& inc : f.includes) {
            if (inc == header) return true;
            if (const File* g = Find(inc); g && IncludesHeader(*g, header, seen)) return true;
        }
        return false;
    }

    std::set<std::string> SectionsSharing(const File& shared) const {
        const std::string header = fs::path(shared.path).replace_extension(".h").generic_string();
        std::set<std::string> sections;
        for (const File& f : m_files) {
            std::set<const File*> seen;
            if (f.path.rfind("gui/", 0) == 0 && !IsShared(f) && IncludesHeader(f, header, seen))
                sections.insert(f.section);
        }
        return sections;
    }

    void IndexDefinitions(const File& f) {
        const auto& t = f.tokens;
        for (size_t i = 0; i + 1 < t.size(); ++i) {
            if (t[i].kind != Token::Ident || !Is(t, i + 1, "(") || kNotFunctions.count(t[i].text)) continue;
            size_t j = Closing(t, i + 1) + 1;
            while (Is(t, j, "const") || Is(t, j, "override") || Is(t, j, "noexcept")) ++j;
            if (Is(t, j, "{")) m_definitions[t[i].text].push_back({&f, i, j});
        }
    }

    bool ReturnsText(const Definition& d) const {
        const auto& t = d.file->tokens;
        size_t i = d.name;
        while (i >= 3 && Is(t, i - 1, ":") && Is(t, i - 2, ":")) i -= 3;
        return i >= 3 && Is(t, i - 1, "*") && Is(t, i - 2, "char") && Is(t, i - 3, "const");
    }

    void AddReturns(const Definition& d, const std::string& section) {
        const auto& t = d.file->tokens;
        const size_t end = Closing(t, d.body);
        // A lambda's returns are not the function's.
        for (size_t i = d.body + 1; i < end; i = LambdaEnd(t, i) + 1)
            if (t[i].kind == Token::Ident && t[i].text == "return")
                Add({d.file, i + 1, StatementEnd(t, i + 1, ";")}, section);
    }

    // Every text r can stand for, as keys of section.
    void Add(const Range& r, const std::string& section) {
        const auto& t = r.file->tokens;
        for (size_t i = r.begin; i < r.end; i = LambdaEnd(t, i) + 1) {
            if (t[i].kind == Token::Text) keys.emplace(section, t[i].text);
            if (t[i].kind != Token::Ident || kKeywords.count(t[i].text)) continue;
            const bool member = i > 0 && (Is(t, i - 1, ".") || Is(t, i - 1, ">"));
            const bool qualifier = Is(t, i + 1, ":") && Is(t, i + 2, ":");
            const bool call = Is(t, i + 1, "(");
            if (qualifier || (call && kConversions.count(t[i].text))) continue;
            const bool first = m_seen.insert({r.file, i, section}).second;
            if (call) {
                // What the function returns; what it is given is no text to
                // look up (a helper's own calls are scanned as such).
                if (first && !member && !kHelpers.count(t[i].text))
                    for (const Definition& d : DefinitionsSeenFrom(*r.file, t[i].text, section)) AddReturns(d, section);
                i = Closing(t, i + 1);
            } else if (first && !member) {
                AddNamed(*r.file, t[i].text, section);
            }
        }
    }

    // A name in an argument: its initialisers in the file or its header, or,
    // for a text parameter, the calls of its function in the file.
    void AddNamed(const File& f, const std::string& name, const std::string& section) {
        for (const File* g : {&f, Partner(f)}) {
            if (!g) continue;
            const auto& t = g->tokens;
            for (size_t i = 0; i + 1 < t.size(); ++i) {
                if (t[i].kind != Token::Ident || t[i].text != name || Is(t, i - 1, ".") || Is(t, i - 1, ">")) continue;
                size_t j = i + 1;
                if (Is(t, j, "[")) j = Closing(t, j) + 1;
                if (Is(t, j, "=") && !Is(t, j + 1, "=")) Add({g, j + 1, StatementEnd(t, j + 1, ";")}, section);
                if (Is(t, j, "{") && i > 0 && t[i - 1].kind == Token::Ident && !kKeywords.count(t[i - 1].text))
                    Add({g, j + 1, Closing(t, j)}, section);
                if (Is(t, j, ":") && !Is(t, j + 1, ":") && ParamListOwner(t, i).first == "for")
                    Add({g, j + 1, StatementEnd(t, j + 1, ")")}, section);
                if (g == &f && i >= 2 && Is(t, i - 1, "*") && Is(t, i - 2, "char") && (Is(t, j, ",") || Is(t, j, ")")))
                    AddForwarder(f, t, i, section);
            }
        }
    }

    // The function whose parameter list holds t[i], and which parameter it is.
    static std::pair<std::string, int> ParamListOwner(const std::vector<Token>& t, size_t i) {
        int commas = 0;
        for (int depth = 0; i-- > 0;) {
            if (Is(t, i, ")")) ++depth;
            if (Is(t, i, ",") && depth == 0) ++commas;
            if (Is(t, i, "(") && depth-- == 0)
                return {i > 0 && t[i - 1].kind == Token::Ident ? t[i - 1].text : "", commas};
        }
        return {"", 0};
    }

    // A function of f that passes its text parameter t[i] on: what its calls
    // in f give there.
    void AddForwarder(const File& f, const std::vector<Token>& t, size_t i, const std::string& section) {
        const auto [name, arg] = ParamListOwner(t, i);
        if (name.empty() || kHelpers.count(name) || !m_forwarders.insert({&f, name, arg, section}).second) return;
        ScanCalls(f, name, {-1, "", arg}, section);
    }

    // The section a helper's argument names: a literal, or a constant of the
    // file or its header holding one.
    std::string SectionNamedBy(const File& f, const Range& r, const std::string& fileSection) const {
        const auto& t = f.tokens;
        if (r.end == r.begin + 1 && t[r.begin].kind == Token::Text) return t[r.begin].text;
        if (r.end > r.begin && t[r.end - 1].kind == Token::Ident)
            for (const File* g : {&f, Partner(f)})
                for (size_t i = 0; g && i + 3 < g->tokens.size(); ++i)
                    if (g->tokens[i].text == t[r.end - 1].text && Is(g->tokens, i + 1, "=") &&
                        g->tokens[i + 2].kind == Token::Text && Is(g->tokens, i + 3, ";"))
                        return g->tokens[i + 2].text;
        return fileSection;
    }

    // The definitions of name a call in f, looked up in section, may reach:
    // those in f or its header, else those of the core, of the pages'
    // shared pieces and of files of the same section (never another page's).
    std::vector<Definition> DefinitionsSeenFrom(const File& f, const std::string& name, const std::string& section) {
        std::vector<Definition> local, reachable;
        for (const Definition& d : m_definitions[name]) {
            if (d.file == &f || d.file == Partner(f)) local.push_back(d);
            if (d.file->path.rfind("core/", 0) == 0 || IsShared(*d.file) || d.file->section == section)
                reachable.push_back(d);
        }
        return local.empty() ? reachable : local;
    }

    // The calls of name in f, whose texts are keys of helper's section, or
    // else of fileSection.
    void ScanCalls(const File& f, const std::string& name, const Helper& helper, const std::string& fileSection) {
        const auto& t = f.tokens;
        for (size_t i = 0; i + 1 < t.size(); ++i) {
            if (t[i].kind != Token::Ident || t[i].text != name || !Is(t, i + 1, "(")) continue;
            const size_t close = Closing(t, i + 1);
            if (Is(t, close + 1, "{") || Is(t, close + 1, "const") || Is(t, close + 1, "override")) continue;
            std::string section = *helper.section ? helper.section : fileSection;
            std::vector<Range> args;
            for (size_t a = i + 2; a < close;) {
                const size_t end = std::min(StatementEnd(t, a, ","), close);
                args.push_back({&f, a, end});
                a = end + 1;
            }
            const int sectionArg = helper.sectionArg;
            if (sectionArg >= 0 && sectionArg < static_cast<int>(args.size()))
                section = SectionNamedBy(f, args[sectionArg], fileSection);
            for (int a = 0; a < static_cast<int>(args.size()); ++a)
                if (a != sectionArg && (helper.keyArg < 0 || a == helper.keyArg)) Add(args[a], section);
        }
    }

    void ScanFile(const File& f, const std::string& section) {
        for (const auto& [name, helper] : kHelpers) ScanCalls(f, name, helper, section);
        for (const auto& [name, definitions] : m_definitions)
            for (const Definition& d : definitions)
                if (d.file == &f && ReturnsText(d)) AddReturns(d, section);
    }

    std::vector<File> m_files;
    std::map<std::string, std::vector<Definition>> m_definitions;
    std::set<std::tuple<const File*, size_t, std::string>> m_seen;
    std::set<std::tuple<const File*, std::string, int, std::string>> m_forwarders;
};

}   // namespace

std::set<LangKey> SourceLangKeys(const std::string& root) { return Scanner(root).keys; }

std::vector<LangKey> KeysMissingFrom(const std::string& path, const std::set<LangKey>& keys) {
    const std::string text = ky::ini::DecodeProfileBytes(ReadFile(path));
    std::vector<LangKey> missing;
    for (const LangKey& k : keys) {
        const std::optional<std::string> value = ky::ini::FindValue(text, k.first, k.second);
        if (!value || value->empty()) missing.push_back(k);
    }
    return missing;
}
