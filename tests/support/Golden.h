#pragma once
// Golden files: expected wire texts and values kept as data beside the tests.
// A file is a list of cases separated by blank lines; each line is a word and
// its text ("sent GET /..."), a line starting with blanks continues the line
// before it, and lines starting with '#' are comments.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <map>
#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace ky::test {

struct GoldenLine {
    std::string word;
    std::string text;
    int line = 0;   // in the file, for failure messages
};
using GoldenCase = std::vector<GoldenLine>;

inline std::vector<GoldenCase> ReadGolden(const std::string& path) {
    std::vector<GoldenCase> cases(1);
    std::ifstream in(path);
    int number = 0;
    for (std::string line; std::getline(in, line);) {
        ++number;
        if (!line.empty() && line[0] == '#') continue;
        const size_t start = line.find_first_not_of(" \t");
        if (start == std::string::npos) {
            if (!cases.back().empty()) cases.emplace_back();
        } else if (start > 0 && !cases.back().empty()) {
            cases.back().back().text += line.substr(start);
        } else {
            const size_t blank = line.find(' ');
            cases.back().push_back(
                {line.substr(0, blank), blank == std::string::npos ? "" : line.substr(blank + 1), number});
        }
    }
    if (cases.back().empty()) cases.pop_back();
    return cases;
}

// C-style escapes in golden text: \r \n \t \\ and \xHH.
inline std::string Unescape(std::string_view text) {
    std::string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char c = text[++i];
        if (c == 'x' && i + 2 < text.size()) {
            out += static_cast<char>(std::strtol(std::string(text.substr(i + 1, 2)).c_str(), nullptr, 16));
            i += 2;
        } else {
            out += c == 'r' ? '\r' : c == 'n' ? '\n' : c == 't' ? '\t' : c;
        }
    }
    return out;
}

// Tables of a function's results: each line "NAME ARG | ARG ... => RESULT"
// (ARG and RESULT take the escapes above) calls functions[NAME] with the
// arguments and compares its text with RESULT.
using GoldenFunction = std::function<std::string(const std::vector<std::string>& args)>;
inline void ExpectGoldenResults(const std::string& path, const std::map<std::string, GoldenFunction>& functions) {
    const std::string file = path.substr(path.rfind('/') + 1);
    int lines = 0;
    for (const GoldenCase& c : ReadGolden(path))
        for (const GoldenLine& l : c) {
            const auto fn = functions.find(l.word);
            const std::string text = " " + l.text;   // an empty argument still has " =>"
            const size_t arrow = text.rfind(" =>");
            if (fn == functions.end() || arrow == std::string::npos) {
                ADD_FAILURE() << file << ":" << l.line << ": not a known function with a result";
                continue;
            }
            std::vector<std::string> args;
            const std::string list = text.substr(1, arrow == 0 ? 0 : arrow - 1);
            for (size_t start = 0; start <= list.size();) {
                const size_t bar = std::min(list.find(" | ", start), list.size());
                args.push_back(Unescape(list.substr(start, bar - start)));
                start = bar + 3;
            }
            std::string result = text.substr(arrow + 3);
            if (!result.empty() && result[0] == ' ') result.erase(0, 1);
            EXPECT_EQ(Unescape(result), fn->second(args)) << file << ":" << l.line;
            ++lines;
        }
    EXPECT_GT(lines, 0) << file;
}

}   // namespace ky::test
