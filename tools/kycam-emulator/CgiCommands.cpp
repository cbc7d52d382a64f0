// param.cgi of the emulated camera: parses a query into commands, checks the
// whole group against the command table before touching the state, then runs
// the commands in order (a get after a set in the same group sees the new
// value).
#include "tools/kycam-emulator/CgiCommands.h"

#include <chrono>
#include <cstdlib>
#include <cstdio>
#include <ctime>
#include <map>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

#include "tools/kycam-emulator/CgiTable.h"

namespace emu {
namespace {

using table::Command;
using table::Kind;
using table::Param;
using table::Special;

constexpr size_t kMaxText = 127;   // the tool holds at most 127 value bytes

struct Request {
    const Command* def = nullptr;
    std::vector<std::pair<std::string, std::string>> params;   // name, decoded value
};

// One checked command, ready to run.
struct Step {
    const Command* def = nullptr;
    std::vector<std::string> tokens;                           // selector tokens (one for sets)
    std::vector<std::pair<std::string, std::string>> writes;   // state key, value
    std::map<std::string, std::string> extra;                  // checked values the special uses
};

std::string Lower(std::string_view s) {
    std::string out(s);
    for (auto& c : out)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return out;
}

bool IsInteger(std::string_view v) {
    size_t i = (!v.empty() && v[0] == '-') ? 1 : 0;
    if (i == v.size() || v.size() - i > 10) return false;
    for (; i < v.size(); ++i)
        if (v[i] < '0' || v[i] > '9') return false;
    return true;
}

bool IsInt32(std::string_view v) {
    if (!IsInteger(v)) return false;
    long long n = std::strtoll(std::string(v).c_str(), nullptr, 10);
    return n >= -2147483648LL && n <= 2147483647LL;
}

bool IsIpv4(std::string_view v) {
    int parts = 0;
    size_t i = 0;
    while (true) {
        size_t start = i;
        int n = 0;
        while (i < v.size() && v[i] >= '0' && v[i] <= '9' && i - start < 3) n = n * 10 + (v[i++] - '0');
        if (i == start || n > 255) return false;
        ++parts;
        if (i == v.size()) return parts == 4;
        if (v[i] != '.' || parts == 4) return false;
        ++i;
    }
}

// "YYYY.MM.DD.hh.mm.ss" with month 1..12, day 1..31, hour, minute, second.
bool ParseTimeText(std::string_view v, std::tm* tm) {
    static constexpr std::string_view kForm = "####.##.##.##.##.##";
    if (v.size() != kForm.size()) return false;
    for (size_t i = 0; i < v.size(); ++i) {
        if (kForm[i] == '.' ? v[i] != '.' : (v[i] < '0' || v[i] > '9')) return false;
    }
    auto num = [&](size_t pos, size_t len) {
        int n = 0;
        for (size_t i = pos; i < pos + len; ++i) n = n * 10 + (v[i] - '0');
        return n;
    };
    std::tm t{};
    t.tm_year = num(0, 4) - 1900;
    t.tm_mon = num(5, 2) - 1;
    t.tm_mday = num(8, 2);
    t.tm_hour = num(11, 2);
    t.tm_min = num(14, 2);
    t.tm_sec = num(17, 2);
    if (t.tm_mon < 0 || t.tm_mon > 11 || t.tm_mday < 1 || t.tm_mday > 31 || t.tm_hour > 23 || t.tm_min > 59 ||
        t.tm_sec > 59)
        return false;
    if (tm) *tm = t;
    return true;
}

// Checks one value; on success `out` is what gets stored.
bool CheckValue(const Param& p, const std::string& value, std::string& out) {
    out = value;
    switch (p.kind) {
        case Kind::Int: return IsInt32(value);
        case Kind::Text:
            if (value.size() > kMaxText) return false;
            for (unsigned char c : value)
                if (c < 0x20 || c == 0x7F) return false;   // no line breaks into replies
            return true;
        case Kind::Word: {
            std::string_view words = p.arg;
            const std::string v = Lower(value);
            while (!words.empty()) {
                size_t bar = words.find('|');
                std::string_view w = words.substr(0, bar);
                if (Lower(w) == v) {
                    out = std::string(w);
                    return true;
                }
                words = bar == std::string_view::npos ? std::string_view{} : words.substr(bar + 1);
            }
            return false;
        }
        case Kind::OnOff01: {
            const std::string v = Lower(value);
            if (v == "on" || v == "1")
                out = "1";
            else if (v == "off" || v == "0")
                out = "0";
            else
                return false;
            return true;
        }
        case Kind::Ipv4: return IsIpv4(value);
        case Kind::Week:
            if (value.size() != 48) return false;
            for (char c : value)
                if (c != 'P' && c != 'N') return false;
            return true;
        case Kind::Time: return ParseTimeText(value, nullptr);
    }
    return false;
}

std::string ErrorBody(const std::string& why) { return "[Error] " + why + "\r\n"; }

// Splits a query into commands. With `implied` (getvencattr.cgi) the query
// holds only that command's parameters.
bool ParseQuery(std::string_view query, std::vector<Request>& out, std::string& err, const Command* implied = nullptr) {
    if (implied) out.push_back({implied, {}});
    size_t pos = 0;
    while (pos <= query.size()) {
        size_t amp = query.find('&', pos);
        if (amp == std::string_view::npos) amp = query.size();
        const std::string_view seg = query.substr(pos, amp - pos);
        pos = amp + 1;
        if (seg.empty()) continue;   // "?&cmd=..." and "&&" occur in real requests
        if (!implied && seg.substr(0, 4) == "cmd=") {
            std::string name = PercentDecode(seg.substr(4));
            const Command* def = table::FindCommand(name);
            if (!def) {
                err = "unknown command: " + name;
                return false;
            }
            out.push_back({def, {}});
        } else if (seg[0] == '-') {
            const size_t eq = seg.find('=');
            if (eq == std::string_view::npos || eq == 1) {
                err = "malformed parameter: " + std::string(seg);
                return false;
            }
            if (out.empty()) {
                err = "parameter before any command: " + std::string(seg);
                return false;
            }
            out.back().params.emplace_back(std::string(seg.substr(1, eq - 1)), PercentDecode(seg.substr(eq + 1)));
        } else {
            err = "malformed query part: " + std::string(seg);
            return false;
        }
    }
    if (out.empty()) {
        err = "no command";
        return false;
    }
    return true;
}

bool CheckRequest(const CameraState& state, const Request& req, Step& step, std::string& err) {
    const Command& def = *req.def;
    step.def = &def;
    const std::string where = std::string(def.name) + ": ";
    auto params = req.params;

    // Selector
    if (def.selector) {
        const auto& sel = *def.selector;
        std::optional<std::string> given;
        for (auto it = params.begin(); it != params.end();) {
            if (it->first == sel.name) {
                given = it->second;
                it = params.erase(it);
            } else {
                ++it;
            }
        }
        if (given) {
            bool found = false;
            for (const auto& v : sel.values)
                if (v.value == *given) {
                    step.tokens.emplace_back(v.token);
                    found = true;
                }
            if (!found) {
                err = where + "bad -" + std::string(sel.name) + "=" + *given;
                return false;
            }
        } else if (def.isSet) {
            err = where + "missing -" + std::string(sel.name);
            return false;
        } else if (sel.getAll) {
            for (const auto& v : sel.values) step.tokens.emplace_back(v.token);
        } else {
            for (const auto& v : sel.values)
                if (v.value == sel.defaultValue) step.tokens.emplace_back(v.token);
        }
    } else {
        step.tokens.emplace_back();
    }

    if (!def.isSet) {
        if (!params.empty()) {
            err = where + "unexpected -" + params.front().first;
            return false;
        }
        return true;
    }

    const std::string& token = step.tokens.front();
    for (const auto& [name, value] : params) {
        const Param* p = nullptr;
        for (const auto& cand : def.params)
            if (cand.name == name) p = &cand;
        if (!p) {
            err = where + "unknown parameter -" + name;
            return false;
        }
        std::string stored;
        if (!CheckValue(*p, value, stored)) {
            err = where + "bad value for -" + name;
            return false;
        }
        if (p->key.empty()) {
            step.extra[name] = stored;
        } else {
            step.writes.emplace_back(table::Expand(def.statePrefix, token) + table::Expand(p->key, token), stored);
        }
    }

    switch (def.special) {
        case Special::SdFormat:
            if (Lower(state.Get("sdstatus")) == "out") {
                err = where + "no sd card";
                return false;
            }
            break;
        case Special::UserAttr: {
            auto user = step.extra.find("at_username");
            if (user != step.extra.end() && user->second != state.Get("emu.user")) {
                err = where + "no such user";
                return false;
            }
            if (step.extra["at_newname"].empty() || step.extra["at_password"].empty()) {
                err = where + "user name and password must not be empty";
                return false;
            }
            break;
        }
        default: break;
    }
    return true;
}

std::string Line(const std::string& key, std::string value, bool escape) {
    std::string v;
    v.reserve(value.size());
    for (char c : value) {
        if (static_cast<unsigned char>(c) < 0x20) c = ' ';
        if (escape && (c == '\\' || c == '"' || c == '`')) v += '\\';
        v += c;
    }
    if (IsInteger(v)) return "var " + key + "=" + v + ";\r\n";
    return "var " + key + "=\"" + v + "\";\r\n";
}

std::string ClockText(const CameraState& state) {
    std::string fixed = state.Get("time");
    if (!fixed.empty()) return fixed;
    std::time_t now = std::time(nullptr) + state.GetInt("emu.clock_offset_s", 0);
    std::tm tm{};
    gmtime_r(&now, &tm);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d.%02d.%02d.%02d.%02d.%02d", tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday,
                  tm.tm_hour, tm.tm_min, tm.tm_sec);
    return buf;
}

std::optional<std::string> KeyValue(const CameraState& state, const Command& def, const std::string& token,
                                    const std::string& reply) {
    if (def.special == Special::ServerTime && reply == "time") return ClockText(state);
    if (def.special == Special::VencSize && (reply.rfind("width_", 0) == 0 || reply.rfind("height_", 0) == 0)) {
        int w = 0, h = 0;
        table::VideoModeSize(state.GetInt("videomode", 0), state.Get("vinorm") == "P", std::atoi(token.c_str()), &w,
                             &h);
        return std::to_string(reply[0] == 'w' ? w : h);
    }
    std::string key = table::Expand(def.statePrefix, token) + reply;
    if (!state.Has(key)) return std::nullopt;   // a model without this value
    return state.Get(key);
}

void AnswerGet(const CameraState& state, const Command& def, const std::vector<std::string>& tokens,
               std::string& body) {
    if (def.special == Special::WifiScan) {
        const int count = state.GetInt("waccess_points", 0);
        body += Line("waccess_points", std::to_string(count), false);
        static const char* kScanKeys[] = {"wessid", "wrssi", "wauth", "wenc", "wchannel", "wnet"};
        for (int i = 0; i < count; ++i)
            for (const char* k : kScanKeys) {
                std::string key = std::string(k) + "[" + std::to_string(i) + "]";
                if (state.Has(key)) body += Line(key, state.Get(key), false);
            }
        return;
    }
    for (const auto& token : tokens)
        for (auto k : def.keys) {
            std::string reply = table::Expand(k, token);
            if (auto v = KeyValue(state, def, token, reply)) body += Line(reply, *v, def.escapeValues);
        }
}

const std::map<std::string, std::string>& ExpandedDefaults() {
    static const std::map<std::string, std::string> all = [] {
        std::map<std::string, std::string> m;
        for (const auto& d : table::Defaults()) {
            if (d.tokens.empty()) {
                m[std::string(d.key)] = std::string(d.value);
                continue;
            }
            std::string_view toks = d.tokens;
            while (true) {
                size_t bar = toks.find('|');
                m[table::Expand(d.key, toks.substr(0, bar))] = std::string(d.value);
                if (bar == std::string_view::npos) break;
                toks = toks.substr(bar + 1);
            }
        }
        return m;
    }();
    return all;
}

// Runs one checked set command; returns its reply lines.
std::string RunSet(CameraState& state, const Step& step) {
    const Command& def = *step.def;
    for (const auto& [key, value] : step.writes) state.Set(key, value);
    std::string body;
    switch (def.special) {
        case Special::SdFormat:
        case Special::SdStop: {
            int delay = state.GetInt("emu.sd_delay_ms", 0);
            if (delay > 0) std::this_thread::sleep_for(std::chrono::milliseconds(delay));
            if (def.special == Special::SdFormat) {
                state.Set("sdfreespace", state.Get("sdtotalspace", "0"));
            } else {
                state.Set("sdstatus", "out");
            }
            body += Line("result", "Succeed", false);
            break;
        }
        case Special::CleanLog: state.Set("emu.syslog", ""); break;
        case Special::WifiCheck: {
            std::string ssid;
            for (const auto& [key, value] : step.writes)
                if (key == "emu.chk.wf_ssid") ssid = value;
            const int count = state.GetInt("waccess_points", 0);
            bool found = false;
            for (int i = 0; i < count && !found; ++i)
                found = !ssid.empty() && state.Get("wessid[" + std::to_string(i) + "]") == ssid;
            state.Set("chkres", found ? "1" : "0");
            body += Line("wf_ssid", ssid, false);
            break;
        }
        case Special::ImageSet:
            if (step.extra.count("default")) {
                const auto& defaults = ExpandedDefaults();
                const Command* get = table::FindCommand("getimageattr");
                for (auto k : get->keys) {
                    auto it = defaults.find(std::string(k));
                    if (it != defaults.end()) state.Set(it->first, it->second);
                }
                AnswerGet(state, *get, {std::string()}, body);
            }
            break;
        case Special::SetTime: {
            auto t = step.extra.find("time");
            if (t == step.extra.end()) break;
            if (!state.Get("time").empty()) {
                state.Set("time", t->second);   // a fixed clock stays fixed
            } else {
                std::tm tm{};
                ParseTimeText(t->second, &tm);
                long long offset = static_cast<long long>(timegm(&tm)) - std::time(nullptr);
                state.Set("emu.clock_offset_s", std::to_string(offset));
            }
            break;
        }
        case Special::UserAttr:
            state.Set("emu.user", step.extra.at("at_newname"));
            state.Set("emu.password", step.extra.at("at_password"));
            break;
        default: break;
    }
    return body;
}

CgiReply Run(CameraState& state, const std::vector<Request>& requests) {
    // emu.fail_cmd names a command the camera refuses: one write of several
    // can fail while the others succeed.
    const std::string refused = state.Get("emu.fail_cmd");
    for (const auto& r : requests)
        if (!refused.empty() && r.def->name == refused) return {200, ErrorBody(refused + ": emulated failure")};
    std::vector<Step> steps(requests.size());
    std::string err;
    for (size_t i = 0; i < requests.size(); ++i)
        if (!CheckRequest(state, requests[i], steps[i], err)) return {200, ErrorBody(err)};

    CgiReply reply;
    bool anySet = false;
    for (const auto& step : steps) {
        if (step.def->isSet) {
            anySet = true;
            reply.body += RunSet(state, step);
        } else {
            AnswerGet(state, *step.def, step.tokens, reply.body);
        }
    }
    if (anySet) reply.body += "[Succeed]set ok.\r\n";
    return reply;
}

}   // namespace

void LoadDefaultProfile(CameraState& state) {
    for (const auto& [key, value] : ExpandedDefaults()) state.Set(key, value);
}

CgiReply HandleParamCgi(CameraState& state, std::string_view query) {
    std::vector<Request> requests;
    std::string err;
    if (!ParseQuery(query, requests, err)) return {200, ErrorBody(err)};
    return Run(state, requests);
}

CgiReply HandleVencAttrCgi(CameraState& state, std::string_view query) {
    std::vector<Request> requests;
    std::string err;
    if (!ParseQuery(query, requests, err, table::FindCommand("getvencattr"))) return {200, ErrorBody(err)};
    return Run(state, requests);
}

std::string PercentDecode(std::string_view text) {
    auto hex = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '+') {
            out += ' ';
        } else if (c == '%' && i + 2 < text.size() && hex(text[i + 1]) >= 0 && hex(text[i + 2]) >= 0) {
            out += static_cast<char>(hex(text[i + 1]) * 16 + hex(text[i + 2]));
            i += 2;
        } else {
            out += c;   // a '%' without two hex digits stays as it is
        }
    }
    return out;
}

}   // namespace emu
