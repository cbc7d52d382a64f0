#include "tools/kycamctl/Kycamctl.h"

#include <arpa/inet.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <map>
#include <thread>
#include <sstream>
#include <mutex>
#include <atomic>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fstream>
#include <iostream>
#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <ostream>

#include "core/backup/ConfigBackup.h"
#include "core/cgi/Catalogue.h"
#include "core/cgi/rules/WirelessRules.h"
#include "core/cgi/rules/TimeRules.h"
#include "core/cgi/rules/UserRules.h"
#include "tools/kycamctl/SdkCommands.h"
#include "tools/kycamctl/Upgrade.h"
#include "core/discovery/SearchLib.h"
#include "core/discovery/SearchProto.h"
#include "core/services/FieldText.h"
#include "core/services/IniFile.h"
#include "core/services/Utf8.h"
#include "core/services/Version.h"

namespace ky::ctl {
namespace {

using backup::AssignField;
using backup::AssignJson;
using backup::FailureText;
using backup::RecordBuffer;
using backup::RecordToJson;
using cgi::CommandDesc;
using cgi::FieldInfo;
using cgi::FieldType;
using cgi::PageDesc;
using Json = backup::Json;

constexpr const char* kUsageText = R"(usage: kycamctl [options] COMMAND ...

Options:
  -H HOST        camera address (default 127.0.0.1)
  -P PORT        camera HTTP port (default 80)
  -u USER        user name (default admin)
  -p PASSWORD    password (default empty); it shows in the process list, so
                 prefer KYCAM_PASSWORD, --password-file or -p -
  -p -           ask for the password on the terminal (standard input when
                 that is no terminal: its first line)
  --password-file FILE  the password is the first line of FILE
  --timeout MS   receive time-out (default 3000)
  --json         print records as one JSON object; with --hosts one JSON array,
                 a camera an entry in the order of the file: {host, port, ok,
                 exit, result} (its output) or {..., error}
  --yes          do not ask before reboot or factory-reset
  --stream 0|1   stream of the video/audio pages (default 0)
  --hosts FILE   run the command on every camera of FILE in parallel: one camera
                 a line, "HOST[:PORT] [USER [PASSWORD]]" (missing parts from the
                 options above; '#' starts a comment; a word in double quotes
                 may hold blanks and '#', \" and \\ inside; an IPv6 address
                 with a port is written [ADDR]:PORT); password-file=FILE instead
                 of PASSWORD takes the first line of FILE; prints each camera's
                 output, then a result table
  --parallel N   with --hosts: cameras at a time (default 16; upgrade 4)
  --wait         reboot, factory-reset: wait until the camera is back
  --wait-seconds N  how long upgrade and --wait wait for the camera (default 180)
  --version      print the version and exit

Commands:
  raw 'GET /cgi-bin/...'          send one request, print the reply body (control
                                  characters other than tabs and line ends as '?')
  get PAGE                        read a page and print its fields
  set PAGE FIELD=VALUE...         read, change, validate and write a page
  set PAGE --from FILE.json       the same with the fields of a JSON object
  backup [FILE]                   read every page (and the motion-detection
                                  areas) into one JSON document
  restore FILE                    write every page of such a document back
  call COMMAND                    run a command without record (e.g. CleanLog)
  pages                           list the pages and their fields
  snapshot FILE                   log in, wait for a picture, write it as JPEG
  record FILE --seconds N         record N seconds of video and sound (AVI);
                                  Ctrl+C or SIGTERM ends it early with a
                                  complete file (exit 128 + signal)
  ptz up|down|left|right|zoomin|zoomout|focusin|focusout|home|hcruise|vcruise
      [--speed N]                 move the camera (cruise speed 0..62, default 45)
  preset set|call|delete N        preset positions 1..255
  reboot, factory-reset           restart the camera / restore its factory
                                  settings (asks first unless --yes)
  md-area get                     the four motion-detection areas, one a line:
                                  N enable= sensitivity= x= y= w= h=
  md-area set N FIELD=VALUE...    change area N (1..4): enable=0|1,
                                  sensitivity=1..100, x= y= w= h= (picture
                                  pixels of the first stream, 0..65535)
  discover                        find the cameras on the LAN (waits --timeout MS)
  upgrade FILE.pkg                send new firmware (progress on standard error),
                                  then poll the camera over HTTP until it answers
                                  with another firmware version; prints
                                  "HOST:PORT upgraded OLD -> NEW". Exit 1 when
                                  the camera refused the file or its return with
                                  new firmware was not confirmed
  wifi scan                       the Wi-Fi networks the camera sees, one a line:
                                  seq rssi ssid encryption authentication
                                  linkmode channel (tab-separated), or a JSON
                                  array with --json
  wifi test FIELD=VALUE...        let the camera try its Wi-Fi settings changed
                                  by ssid= key= auth= enc= (fields of page wifi);
                                  exit 0 when it reached the router, 1 when not
  internet-ip                     the camera's public address (exit 1: none)
  time sync                       set the camera's clock and time zone from this PC
                                  (its zone and current offset, daylight saving
                                  included); refused when the camera lists no
                                  zone with this PC's offset
  user set NAME PASSWORD          change the camera login (the -u user) to NAME and
                                  PASSWORD; '-' as PASSWORD reads it from the first
                                  line of standard input; later commands need
                                  -u NAME -p PASSWORD

The password is taken from -p, else --password-file, else the environment
variable KYCAM_PASSWORD. Backups hold passwords and keys: they are written
readable by their owner only (mode 0600).
Camera texts are printed with bytes that are not UTF-8 replaced by U+FFFD and
control characters by '?'.
Array fields are addressed as NAME[INDEX]=VALUE.
discover prints one camera a line: ip port id version type name mac uuid
(tab-separated), or a JSON array with --json.
Exit status: 0 success, 1 the camera refused or the reply failed the check,
2 usage error, 3 could not connect.

Pages:
)";

struct Options {
    std::string host = "127.0.0.1";
    uint16_t port = 80;
    std::string user = "admin";
    std::string password;
    bool passwordGiven = false;   // -p
    std::string passwordFile;
    int timeoutMs = 3000;
    bool json = false;
    bool yes = false;
    cgi::PageOptions page;
    std::string hostsFile;
    int parallel = 0;   // 0: the command's default
    bool wait = false;
    WaitLimits limits;
    std::vector<std::string> rest;
    size_t commandIndex = 0;   // position of the command word in the arguments
};

struct UsageError {
    std::string message;
};

bool ParseInt(const std::string& s, int& v) {
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
    return !s.empty() && ec == std::errc() && end == s.data() + s.size();
}

Options ParseOptions(const std::vector<std::string>& args) {
    Options o;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size()) throw UsageError{a + " needs a value"};
            return args[++i];
        };
        int n = 0;
        if (a == "-H") {
            o.host = value();
            if (o.host.size() > 2 && o.host.front() == '[' && o.host.back() == ']')
                o.host = o.host.substr(1, o.host.size() - 2);
        } else if (a == "-P") {
            if (!ParseInt(value(), n) || n < 1 || n > 65535) throw UsageError{"-P takes a port 1..65535"};
            o.port = static_cast<uint16_t>(n);
        } else if (a == "-u") {
            o.user = value();
        } else if (a == "-p") {
            o.password = value();
            o.passwordGiven = true;
        } else if (a == "--password-file") {
            o.passwordFile = value();
        } else if (a == "--timeout") {
            if (!ParseInt(value(), n) || n < 1) throw UsageError{"--timeout takes milliseconds"};
            o.timeoutMs = n;
        } else if (a == "--json") {
            o.json = true;
        } else if (a == "--yes") {
            o.yes = true;
        } else if (a == "--hosts") {
            o.hostsFile = value();
        } else if (a == "--parallel") {
            if (!ParseInt(value(), n) || n < 1 || n > 64) throw UsageError{"--parallel takes 1..64"};
            o.parallel = n;
        } else if (a == "--wait") {
            o.wait = true;
        } else if (a == "--wait-seconds") {
            if (!ParseInt(value(), n) || n < 1) throw UsageError{"--wait-seconds takes seconds"};
            o.limits.seconds = n;
        } else if (a == "--stream") {
            if (!ParseInt(value(), n) || (n != 0 && n != 1)) throw UsageError{"--stream takes 0 or 1"};
            o.page.stream = n;
        } else {
            if (o.rest.empty()) o.commandIndex = i;
            o.rest.push_back(a);
        }
    }
    return o;
}

int ExitFor(cgi::Failure f) {
    switch (f) {
        case cgi::Failure::None: return kOk;
        case cgi::Failure::Connect: return kNoConnection;
        case cgi::Failure::Arguments: return kUsage;
        default: return kRefused;
    }
}

void PrintRecord(const cgi::RecordInfo& r, const void* rec, bool json, std::ostream& out) {
    if (json) {
        out << RecordToJson(r, rec).dump() << "\n";
        return;
    }
    for (const FieldInfo& f : r.fields) {
        if (f.count == 1) {
            out << f.name << "=" << Utf8Printable(cgi::FieldToText(f, rec)) << "\n";
            continue;
        }
        for (uint32_t e = 0; e < f.count; ++e)
            out << f.name << "[" << e << "]=" << Utf8Printable(cgi::FieldToText(f, rec, e)) << "\n";
    }
}

class Client {
public:
    explicit Client(const Options& o) : o_(o), target_{o.host.c_str(), o.port, o.user.c_str(), o.password.c_str()} {}

    cgi::PageContext Context() const { return {&target_, o_.timeoutMs}; }

    cgi::Failure Run(const CommandDesc& cmd, void* rec) const {
        cgi::Failure why = cgi::Failure::None;
        cgi::RunCommand(cmd, target_, rec, o_.timeoutMs, &why);
        return why;
    }

    // Reads every get command of the page into rec; the first failure wins.
    cgi::Failure Read(const PageDesc& page, void* rec) const { return Read(page, rec, o_.page); }
    cgi::Failure Read(const PageDesc& page, void* rec, const cgi::PageOptions& options) const {
        if (page.preset) page.preset(rec, options);
        for (const CommandDesc* c : page.gets)
            if (auto f = Run(*c, rec); f != cgi::Failure::None) return f;
        return cgi::Failure::None;
    }

    cgi::Failure Write(const PageDesc& page, void* rec) const {
        for (const CommandDesc* c : page.sets)
            if (auto f = Run(*c, rec); f != cgi::Failure::None) return f;
        return cgi::Failure::None;
    }

private:
    const Options& o_;
    cgi::Target target_;
};

const PageDesc& NeedPage(const std::string& name) {
    const PageDesc* p = cgi::FindPage(name);
    if (p == nullptr) throw UsageError{"unknown page '" + name + "' (see kycamctl pages)"};
    return *p;
}

int CmdRaw(const Options& o, std::ostream& out, std::ostream& err) {
    if (o.rest.size() != 2) throw UsageError{"raw takes one request text"};
    const std::string& text = o.rest[1];
    char auth[CCgiClient::kCredentialSize] = {};
    if (CCgiClient::MakeAuthorization(o.user.c_str(), o.password.c_str(), auth) < 0)
        throw UsageError{"user name or password too long"};
    CCgiClient client;
    int sock = -1;
    if (client.ConnectTo(o.host.c_str(), o.port, CCgiClient::kConnectTimeoutMs, sock) != 0) {
        err << "kycamctl: could not connect to " << o.host << ":" << o.port << "\n";
        return kNoConnection;
    }
    constexpr uint32_t kSize = 256 * 1024;
    auto buf = std::make_unique<char[]>(kSize);
    uint32_t cap = kSize;
    if (CCgiClient::BuildRequest(CCgiClient::kLocalHost, text.c_str(), auth, buf.get(), cap) < 0) {
        client.CloseSocket(sock);
        throw UsageError{"request text too long"};
    }
    const int r = client.Request(sock, CCgiClient::kLocalHost, text.c_str(), buf.get(), cap, auth, o.timeoutMs);
    client.CloseSocket(sock);
    const char* body = std::strstr(buf.get(), "\r\n\r\n");
    out << Utf8Printable(body ? body + 4 : buf.get(), true);
    if (r != 0) {
        err << "kycamctl: "
            << (r == CCgiClient::kBrokenReply ? FailureText(cgi::Failure::Broken)
                : buf[0]                      ? "the camera refused the request"
                                              : "no reply")
            << "\n";
        return kRefused;
    }
    return kOk;
}

int CmdGet(const Options& o, std::ostream& out, std::ostream& err) {
    if (o.rest.size() != 2) throw UsageError{"get takes one page name"};
    const PageDesc& page = NeedPage(o.rest[1]);
    RecordBuffer rec(page.record->size);
    if (auto f = Client(o).Read(page, rec.data()); f != cgi::Failure::None) {
        err << "kycamctl: get " << page.name << ": " << FailureText(f) << "\n";
        return ExitFor(f);
    }
    PrintRecord(*page.record, rec.data(), o.json, out);
    return kOk;
}

// The whole file, refused when it is larger than limit bytes (a device or a
// huge file is never read without end).
std::string ReadSmallFile(const std::string& path, size_t limit) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw UsageError{"cannot read " + path};
    std::string text;
    char chunk[16384];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        text.append(chunk, static_cast<size_t>(in.gcount()));
        if (text.size() > limit) throw UsageError{path + ": larger than " + std::to_string(limit) + " bytes"};
    }
    if (in.bad()) throw UsageError{"cannot read " + path};
    return text;
}

constexpr size_t kJsonFileLimit = 8u << 20;   // a backup is some ten KiB
constexpr size_t kHostsFileLimit = 1u << 20;
constexpr size_t kPasswordFileLimit = 4096;

// name: where the text came from, for messages.
Json ParseJson(const std::string& text, const std::string& name) {
    try {
        return Json::parse(text);
    } catch (const std::exception& e) {
        throw UsageError{name + ": " + e.what()};
    }
}

Json LoadJsonFile(const std::string& path) { return ParseJson(ReadSmallFile(path, kJsonFileLimit), path); }

// The first line of a password file, without its line end.
std::string PasswordFromFile(const std::string& path) {
    std::string text = ReadSmallFile(path, kPasswordFileLimit);
    text.erase(std::min(text.find('\n'), text.size()));
    if (!text.empty() && text.back() == '\r') text.pop_back();
    return text;
}

int CmdSet(const Options& o, std::ostream& out, std::ostream& err) {
    if (o.rest.size() < 3) throw UsageError{"set takes a page and FIELD=VALUE pairs or --from FILE"};
    const PageDesc& page = NeedPage(o.rest[1]);
    if (page.sets.empty()) throw UsageError{"page '" + std::string(page.name) + "' is read-only"};
    // Convert everything before touching the camera, so a typo costs nothing.
    RecordBuffer probe(page.record->size);
    std::vector<std::pair<std::string, std::string>> pairs;
    Json fromFile;
    for (size_t i = 2; i < o.rest.size(); ++i) {
        if (o.rest[i] == "--from") {
            if (i + 1 >= o.rest.size()) throw UsageError{"--from needs a file"};
            fromFile = LoadJsonFile(o.rest[++i]);
            AssignJson(page, probe.data(), fromFile, false);
            continue;
        }
        const auto eq = o.rest[i].find('=');
        if (eq == std::string::npos || eq == 0) throw UsageError{"expected FIELD=VALUE, got '" + o.rest[i] + "'"};
        pairs.emplace_back(o.rest[i].substr(0, eq), o.rest[i].substr(eq + 1));
        AssignField(page, probe.data(), pairs.back().first, pairs.back().second);
    }

    const Client client(o);
    RecordBuffer rec(page.record->size);
    if (auto f = client.Read(page, rec.data()); f != cgi::Failure::None) {
        err << "kycamctl: get " << page.name << ": " << FailureText(f) << "\n";
        return ExitFor(f);
    }
    if (!fromFile.is_null()) AssignJson(page, rec.data(), fromFile, false);
    for (const auto& [k, v] : pairs) AssignField(page, rec.data(), k, v);
    if (page.validate)
        if (const char* msg = page.validate(rec.data(), client.Context())) {
            err << "kycamctl: " << msg << "\n";
            return kUsage;
        }
    if (auto f = client.Write(page, rec.data()); f != cgi::Failure::None) {
        err << "kycamctl: set " << page.name << ": " << FailureText(f) << "\n";
        return ExitFor(f);
    }
    if (o.json)
        PrintRecord(*page.record, rec.data(), true, out);
    else
        out << "Parameter setting succeeded!\n";
    return kOk;
}

SdkTarget SdkTargetOf(const Options& o) { return {o.host, o.port, o.user, o.password, o.page.stream}; }

backup::Camera CameraOf(const Options& o) { return {o.host, o.port, o.user, o.password, o.timeoutMs, o.page}; }

int CmdBackup(const Options& o, std::ostream& out, std::ostream& err) {
    const backup::BackupResult r = backup::Backup(CameraOf(o));
    if (r.noConnection) {
        err << "kycamctl: could not connect to " << o.host << ":" << o.port << "\n";
        return kNoConnection;
    }
    int status = kOk;
    for (const backup::Step& step : r.steps) {
        if (step.ok) continue;
        err << "kycamctl: backup " << step.name << ": " << step.result << "\n";
        status = kRefused;
    }
    if (o.rest.size() >= 2) {
        // Passwords and keys inside: owner only, and never half a file.
        if (!ini::WriteFileAtomically(o.rest[1], r.document, 0600, false))
            throw UsageError{"cannot write " + o.rest[1]};
    } else {
        out << r.document;
    }
    return status;
}

int CmdRestore(const Options& o, std::ostream& out, std::ostream& err) {
    if (o.rest.size() != 2) throw UsageError{"restore takes one file"};
    // Every page is checked before any is written, so a bad document changes nothing.
    backup::Json doc;
    try {
        doc = backup::CheckDocument(ReadSmallFile(o.rest[1], kJsonFileLimit));
    } catch (const backup::DocumentError& e) {
        throw UsageError{o.rest[1] + ": " + e.what()};
    }
    const backup::RestoreResult r = backup::Restore(CameraOf(o), doc);
    out << backup::StepLines(r.steps);
    if (r.noConnection) {
        err << "kycamctl: could not connect to " << o.host << ":" << o.port << "\n";
        return kNoConnection;
    }
    for (const backup::Step& step : r.steps)
        if (!step.ok) return kRefused;
    return kOk;
}

int CmdWifiScan(const Options& o, std::ostream& out, std::ostream& err) {
    auto list = std::make_unique<WifiScanList>();
    Options scan = o;
    scan.timeoutMs = std::max(o.timeoutMs, cgi::kWifiScanTimeoutMs);
    if (auto f = Client(scan).Run(*cgi::FindCommand("SearchWireless"), list.get()); f != cgi::Failure::None) {
        err << "kycamctl: wifi scan: " << FailureText(f) << "\n";
        return ExitFor(f);
    }
    Json all = Json::array();
    for (int i = 0; i < list->waccess_points; ++i) {
        const std::string fields[] = {
            Utf8Printable(FieldText(list->index[i])),  Utf8Printable(FieldText(list->rssi[i])),
            Utf8Printable(FieldText(list->ssid[i])),   Utf8Printable(FieldText(list->enc[i])),
            Utf8Printable(FieldText(list->auth[i])),   Utf8Printable(FieldText(list->net[i])),
            Utf8Printable(FieldText(list->channel[i]))};
        if (o.json) {
            const char* keys[] = {"seq", "rssi", "ssid", "enc", "auth", "net", "channel"};
            Json j = Json::object();
            for (size_t k = 0; k < std::size(keys); ++k) j[keys[k]] = fields[k];
            all.push_back(std::move(j));
            continue;
        }
        for (size_t k = 0; k < std::size(fields); ++k) out << (k ? "\t" : "") << fields[k];
        out << "\n";
    }
    if (o.json) out << all.dump(2, ' ', false, Json::error_handler_t::replace) << "\n";
    return kOk;
}

int CmdWifiTest(const Options& o, std::ostream& out, std::ostream& err) {
    const PageDesc& page = NeedPage("wifi");
    std::vector<std::pair<std::string, std::string>> pairs;
    WirelessAttr rec{};
    for (size_t i = 2; i < o.rest.size(); ++i) {
        const auto eq = o.rest[i].find('=');
        if (eq == std::string::npos || eq == 0) throw UsageError{"expected FIELD=VALUE, got '" + o.rest[i] + "'"};
        pairs.emplace_back(o.rest[i].substr(0, eq), o.rest[i].substr(eq + 1));
        AssignField(page, &rec, pairs.back().first, pairs.back().second);
    }
    // The camera's own settings, changed by the given fields.
    const Client client(o);
    rec = WirelessAttr{};
    if (auto f = client.Read(page, &rec); f != cgi::Failure::None) {
        err << "kycamctl: get wifi: " << FailureText(f) << "\n";
        return ExitFor(f);
    }
    for (const auto& [k, v] : pairs) AssignField(page, &rec, k, v);
    const std::string_view ssid = FieldText(rec.ssid), key = FieldText(rec.key);
    const char* refused = cgi::CheckWirelessInput(ssid, key, key);
    if (!refused) refused = cgi::CheckWirelessTest(ssid, key);
    if (refused) {
        err << "kycamctl: " << refused << "\n";
        return kUsage;
    }
    Options trigger = o, verdict = o;
    trigger.timeoutMs = std::max(o.timeoutMs, cgi::kWifiCheckTimeoutMs);
    verdict.timeoutMs = std::max(o.timeoutMs, cgi::kWifiCheckResultTimeoutMs);
    cgi::Failure f = Client(trigger).Run(*cgi::FindCommand("CheckWirelessAttr"), &rec);
    WifiCheckResult result{};
    if (f == cgi::Failure::None) f = Client(verdict).Run(*cgi::FindCommand("GetCheckWireless"), &result);
    if (f == cgi::Failure::Connect) {
        err << "kycamctl: wifi test: " << FailureText(f) << "\n";
        return kNoConnection;
    }
    if (f != cgi::Failure::None || result.chkres != 1) {
        out << "The device WiFi works abnormally and cannot be connected to the router!\n";
        return kRefused;
    }
    out << "WiFi works normally!\n";
    return kOk;
}

int CmdInternetIp(const Options& o, std::ostream& out, std::ostream& err) {
    if (o.rest.size() != 1) throw UsageError{"internet-ip takes no arguments"};
    InternetIpAttr ip{};
    if (auto f = Client(o).Run(*cgi::FindCommand("GetInternetIp"), &ip); f != cgi::Failure::None) {
        err << "kycamctl: internet-ip: " << FailureText(f) << "\n";
        return ExitFor(f);
    }
    const std::string address = Utf8Printable(FieldText(ip.interip));
    if (o.json) out << Json{{"interip", address.empty() ? Json() : Json(address)}}.dump() << "\n";
    if (address.empty()) {
        err << "kycamctl: internet-ip: the camera reports no internet address\n";
        return kRefused;
    }
    if (!o.json) out << address << "\n";
    return kOk;
}

int CmdCall(const Options& o, std::ostream& out, std::ostream& err) {
    if (o.rest.size() != 2) throw UsageError{"call takes one command name"};
    const CommandDesc* cmd = cgi::FindCommand(o.rest[1]);
    if (cmd == nullptr || cmd->record != nullptr)
        throw UsageError{"'" + o.rest[1] + "' is not a command without record (see kycamctl pages)"};
    const auto f = Client(o).Run(*cmd, nullptr);
    if (f != cgi::Failure::None) {
        err << "kycamctl: " << cmd->name << ": " << FailureText(f) << "\n";
        return ExitFor(f);
    }
    out << cmd->name << ": ok\n";
    return kOk;
}

int CmdTime(const Options& o, std::ostream& out, std::ostream& err) {
    if (o.rest.size() != 2 || o.rest[1] != "sync") throw UsageError{"time takes 'sync'"};
    const std::time_t now = std::time(nullptr);
    const cgi::PcZone zone = cgi::LocalPcZone(now);
    ServerTime t{};
    if (!cgi::PcServerTime(zone, now, t)) {
        err << "kycamctl: The time zone of this PC is not in the camera's list! (" << zone.name << ")\n";
        return kUsage;
    }
    if (auto f = Client(o).Run(*cgi::FindCommand("SetServerTime"), &t); f != cgi::Failure::None) {
        err << "kycamctl: time sync: " << FailureText(f) << "\n";
        return ExitFor(f);
    }
    out << "PC time synchronization succeeded! " << FieldText(t.time) << " " << FieldText(t.timeZone)
        << (t.dstmode ? " (daylight saving on)" : "") << "\n";
    return kOk;
}

// The first line of in, without its line end.
std::string ReadSecret(std::istream& in) {
    std::string line;
    std::getline(in, line);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    return line;
}

// -p -: asked on the terminal without echo, or the next line of in when that
// is not a terminal (or not standard input).
std::string AskPassword(std::istream& in, std::ostream& err) {
    termios saved{};
    const bool tty = &in == &std::cin && isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &saved) == 0;
    if (!tty) return ReadSecret(in);
    err << "Password: " << std::flush;
    termios quiet = saved;
    quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    std::string line = ReadSecret(in);
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    err << "\n";
    return line;
}

// The password of the options: -p (or -p -), else --password-file, else
// KYCAM_PASSWORD, else empty.
void ResolvePassword(Options& o, std::istream& in, std::ostream& err) {
    if (o.passwordGiven) {
        if (o.password == "-") o.password = AskPassword(in, err);
    } else if (!o.passwordFile.empty()) {
        o.password = PasswordFromFile(o.passwordFile);
    } else if (const char* env = std::getenv("KYCAM_PASSWORD")) {
        o.password = env;
    }
    o.passwordGiven = true;
    o.passwordFile.clear();
}

int CmdUser(const Options& o, std::istream& in, std::ostream& out, std::ostream& err) {
    if (o.rest.size() != 4 || o.rest[1] != "set") throw UsageError{"user takes 'set NAME PASSWORD'"};
    const std::string& name = o.rest[2];
    const std::string password = o.rest[3] == "-" ? ReadSecret(in) : o.rest[3];
    if (const char* refused = cgi::CheckUserInput(name, password, password)) throw UsageError{refused};
    UserAttr rec{};
    search::SetText(rec.username, o.user);
    search::SetText(rec.newname, name);
    search::SetText(rec.password, password);
    if (auto f = Client(o).Run(*cgi::FindCommand("SetUserAttr"), &rec); f != cgi::Failure::None) {
        err << "kycamctl: Failed to modify password! (" << FailureText(f) << ")\n";
        return ExitFor(f);
    }
    out << "Password changed successfully, please login again!\n";
    return kOk;
}

// Probes both search channels a few times within the time-out and prints
// every camera that answered, once per device identifier, by address.
int CmdDiscover(const Options& o, std::ostream& out, std::ostream& err) {
    if (o.rest.size() != 1) throw UsageError{"discover takes no arguments"};
    struct Found {
        std::mutex mutex;
        std::map<std::string, DeviceInfo> byId;
        static int OnReply(int, int, const DeviceInfo* info, void* user) {
            auto* self = static_cast<Found*>(user);
            std::lock_guard lock(self->mutex);
            self->byId.try_emplace(std::string(FieldText(info->deviceId)), *info);
            return 0;
        }
    } found;
    const std::pair<const char*, int> channels[] = {{search::kBroadcastAddress, search::kBroadcastPort},
                                                    {search::kMulticastAddress, search::kMulticastPort}};
    std::vector<int> open;
    for (const auto& [address, port] : channels) {
        int h = 0;
        if (SearchOpen(address, port, &h) != 0) continue;
        open.push_back(h);
        SearchSetCallback(h, &Found::OnReply, &found);
    }
    // Three rounds over the first half of the wait: an answer lost to a full
    // socket buffer (many cameras answer at once) comes again.
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    int sent = 0;
    for (int round = 0; round < 3; ++round) {
        std::this_thread::sleep_until(start + std::chrono::milliseconds(int64_t{o.timeoutMs} * round / 6));
        for (int h : open) sent += SearchProbe(h) == 0;
    }
    if (sent > 0) std::this_thread::sleep_until(start + std::chrono::milliseconds(o.timeoutMs));
    for (int h : open) SearchClose(h);   // no callback runs after this
    if (sent == 0) {
        err << "kycamctl: discover: no search probe could be sent\n";
        return kNoConnection;
    }

    std::vector<const DeviceInfo*> list;
    for (const auto& [id, info] : found.byId) list.push_back(&info);
    const auto ipKey = [](const DeviceInfo* d) -> uint64_t {
        in_addr a{};
        return inet_pton(AF_INET, d->ip, &a) == 1 ? ntohl(a.s_addr) : uint64_t{1} << 32;
    };
    std::stable_sort(list.begin(), list.end(), [&](auto* a, auto* b) { return ipKey(a) < ipKey(b); });
    const auto text = [](const char* field, size_t width) { return Utf8Printable(FieldText(field, width)); };
    Json all = Json::array();
    for (const DeviceInfo* d : list) {
        const std::string fields[] = {text(d->ip, sizeof d->ip),
                                      text(d->httpPort, sizeof d->httpPort),
                                      text(d->deviceId, sizeof d->deviceId),
                                      text(d->version, sizeof d->version),
                                      text(d->deviceType, sizeof d->deviceType),
                                      text(d->deviceName, sizeof d->deviceName),
                                      text(d->mac, sizeof d->mac),
                                      text(d->uuid, sizeof d->uuid)};
        if (o.json) {
            const char* keys[] = {"ip", "port", "id", "version", "type", "name", "mac", "uuid"};
            Json j = Json::object();
            for (size_t i = 0; i < std::size(keys); ++i) j[keys[i]] = fields[i];
            j["family"] = d->family;
            all.push_back(std::move(j));
            continue;
        }
        for (size_t i = 0; i < std::size(fields); ++i) out << (i ? "\t" : "") << fields[i];
        out << "\n";
    }
    // Names are UTF-8 by agreement only; a broken one must not end the output.
    if (o.json) out << all.dump(2, ' ', false, Json::error_handler_t::replace) << "\n";
    return kOk;
}

void PrintPages(std::ostream& out, bool withFields) {
    for (const PageDesc* p : cgi::AllPages()) {
        out << "  " << p->name << std::string(p->name && std::strlen(p->name) < 14 ? 14 - std::strlen(p->name) : 1, ' ')
            << p->summary << "\n";
        if (!withFields) continue;
        for (const FieldInfo& f : p->record->fields) {
            out << "      " << f.name << (f.count > 1 ? "[" + std::to_string(f.count) + "]" : "")
                << (f.type == FieldType::Int ? " number" : " text(" + std::to_string(f.size - 1) + ")")
                << (f.readOnly ? " read-only" : "") << "\n";
        }
    }
    out << "  Commands without record (kycamctl call NAME):";
    for (const CommandDesc* c : cgi::AllCommands())
        if (c->record == nullptr) out << " " << c->name;
    out << "\n";
}

// ---- many cameras ------------------------------------------------------------
struct Camera {
    std::string host;
    std::string port;
    std::string user;
    std::string password;
    bool hasUser = false, hasPassword = false;
};

// The words of one hosts-file line: blanks separate them, '#' outside quotes
// ends the line, a word in double quotes keeps blanks and '#' (a backslash
// before '"' or another backslash keeps that character). quoted[i] tells
// whether word i was quoted.
bool SplitHostsLine(const std::string& line, std::vector<std::string>& words, std::vector<bool>& quoted) {
    size_t i = 0;
    for (;;) {
        while (i < line.size() && (line[i] == ' ' || line[i] == '\t' || line[i] == '\r')) ++i;
        if (i == line.size() || line[i] == '#') return true;
        std::string word;
        const bool q = line[i] == '"';
        if (q) {
            for (++i;; ++i) {
                if (i == line.size()) return false;   // no closing quote
                if (line[i] == '"') break;
                if (line[i] == '\\' && i + 1 < line.size() && (line[i + 1] == '"' || line[i + 1] == '\\')) ++i;
                word += line[i];
            }
            ++i;
        } else {
            while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' && line[i] != '#')
                word += line[i++];
        }
        words.push_back(word);
        quoted.push_back(q);
    }
}

// The cameras of a hosts file's text; password-file= words go through readPassword.
std::vector<Camera> ParseHosts(const std::string& text, const std::string& path,
                               const std::function<std::string(const std::string&)>& readPassword) {
    std::istringstream in(text);
    std::vector<Camera> cameras;
    std::string line;
    for (int number = 1; std::getline(in, line); ++number) {
        const std::string where = path + ":" + std::to_string(number) + ": ";
        std::vector<std::string> words;
        std::vector<bool> quoted;
        if (!SplitHostsLine(line, words, quoted)) throw UsageError{where + "a quote is not closed"};
        if (words.empty()) continue;
        Camera c;
        constexpr std::string_view kFileWord = "password-file=";
        for (size_t w = 1; w < words.size(); ++w) {
            if (!quoted[w] && words[w].rfind(kFileWord, 0) == 0) {
                if (c.hasPassword) throw UsageError{where + "two passwords"};
                c.password = readPassword(words[w].substr(kFileWord.size()));
                c.hasPassword = true;
            } else if (!c.hasUser) {
                c.user = words[w];
                c.hasUser = true;
            } else if (!c.hasPassword) {
                c.password = words[w];
                c.hasPassword = true;
            } else {
                throw UsageError{where + "too many words"};
            }
        }
        // HOST, HOST:PORT, [IPV6]:PORT, [IPV6] or a bare IPv6 address.
        const std::string& address = words[0];
        std::string rest;
        if (address.front() == '[') {
            const auto close = address.find(']');
            if (close == std::string::npos) throw UsageError{where + "bad address '" + address + "'"};
            c.host = address.substr(1, close - 1);
            rest = address.substr(close + 1);
        } else if (const auto colon = address.find(':'); colon != std::string::npos && address.rfind(':') == colon) {
            c.host = address.substr(0, colon);
            rest = address.substr(colon);
        } else {
            c.host = address;
        }
        if (!rest.empty()) {
            int n = 0;
            c.port = rest.substr(1);
            if (rest[0] != ':' || !ParseInt(c.port, n) || n < 1 || n > 65535)
                throw UsageError{where + "bad port '" + rest + "'"};
        }
        if (c.host.empty()) throw UsageError{where + "bad address '" + address + "'"};
        cameras.push_back(c);
    }
    if (cameras.empty()) throw UsageError{path + ": no cameras"};
    return cameras;
}

std::vector<Camera> LoadHosts(const std::string& path) {
    return ParseHosts(ReadSmallFile(path, kHostsFileLimit), path, PasswordFromFile);
}

// HOST:PORT as the result table shows it, [IPV6]:PORT for IPv6.
std::string CameraName(const Camera& c) {
    const std::string host = c.host.find(':') != std::string::npos ? "[" + c.host + "]" : c.host;
    return c.port.empty() ? host : host + ":" + c.port;
}

const char* ExitText(int status) {
    switch (status) {
        case kOk: return "ok";
        case kRefused: return "refused";
        case kUsage: return "usage error";
        case kNoConnection: return "no connection";
        default: return "failed";
    }
}

struct HostResult {
    int status = 0;
    std::string out, err;
};

// The worst exit status of a batch: the highest failure.
int WorstStatus(const std::vector<HostResult>& results) {
    int worst = kOk;
    for (const HostResult& r : results)
        if (r.status != kOk) worst = worst == kOk ? r.status : std::max(worst, r.status);
    return worst;
}

// One JSON array in the order of the hosts file: {host, port, ok, exit} and
// the camera's output as "result" (its JSON document, or its text) or its
// error message as "error".
int PrintHostsJson(const std::vector<Camera>& cameras, const std::vector<HostResult>& results, uint16_t defaultPort,
                   std::ostream& out) {
    Json all = Json::array();
    for (size_t i = 0; i < cameras.size(); ++i) {
        const HostResult& r = results[i];
        int port = defaultPort;
        if (!cameras[i].port.empty()) ParseInt(cameras[i].port, port);
        Json j = {{"host", cameras[i].host}, {"port", port}, {"ok", r.status == kOk}, {"exit", r.status}};
        if (r.status == kOk) {
            Json result = Json::parse(r.out, nullptr, false);
            j["result"] = r.out.empty() ? Json() : result.is_discarded() ? Json(r.out) : result;
        } else {
            std::string message = r.err.substr(0, r.err.find("\nTry 'kycamctl --help'"));
            if (message.rfind("kycamctl: ", 0) == 0) message.erase(0, 10);
            while (!message.empty() && message.back() == '\n') message.pop_back();
            j["error"] = message.empty() ? ExitText(r.status) : message;
        }
        all.push_back(std::move(j));
    }
    out << all.dump(2, ' ', false, Json::error_handler_t::replace) << "\n";
    return WorstStatus(results);
}

int RunOnHosts(const std::vector<std::string>& args, const Options& o, std::ostream& out, std::ostream& err) {
    const std::vector<Camera> cameras = LoadHosts(o.hostsFile);
    // The same command line for each camera, without --hosts, with the
    // camera's own address and credentials in front (later options win).
    std::vector<std::string> options(args.begin(), args.begin() + static_cast<long>(o.commandIndex));
    const std::vector<std::string> command(args.begin() + static_cast<long>(o.commandIndex), args.end());
    std::vector<std::string> base;
    for (size_t i = 0; i < options.size(); ++i) {
        if (options[i] == "--hosts" || options[i] == "-p" || options[i] == "--password-file") {
            ++i;
            continue;
        }
        base.push_back(options[i]);
    }
    // The password found once (asked, or read from its file) for every camera;
    // these arguments never reach the process list.
    base.insert(base.end(), {"-p", o.password});
    std::vector<HostResult> results(cameras.size());
    std::atomic<size_t> next{0}, done{0};
    std::mutex progressMutex;
    // With --json the counting line is for a person at a terminal only.
    const bool progress = !o.json || (&err == &std::cerr && isatty(STDERR_FILENO));
    auto worker = [&] {
        for (size_t i; (i = next++) < cameras.size();) {
            const Camera& c = cameras[i];
            // The camera's own address and credentials come after the shared
            // options, so they win.
            std::vector<std::string> a = base;
            a.insert(a.end(), {"-H", c.host});
            if (!c.port.empty()) a.insert(a.end(), {"-P", c.port});
            if (c.hasUser) a.insert(a.end(), {"-u", c.user});
            if (c.hasPassword) a.insert(a.end(), {"-p", c.password});
            a.insert(a.end(), command.begin(), command.end());
            std::ostringstream cout, cerr;
            results[i].status = Run(a, cout, cerr);
            results[i].out = cout.str();
            results[i].err = cerr.str();
            const size_t finished = ++done;
            std::lock_guard lock(progressMutex);
            if (o.rest[0] == "upgrade" || o.wait)
                err << finished << "/" << cameras.size() << " cameras done\n" << std::flush;
            else if (progress)
                err << "\r" << finished << "/" << cameras.size() << " cameras done" << std::flush;
        }
    };
    const size_t parallel = o.parallel ? o.parallel : (o.rest[0] == "upgrade" ? 4 : 16);
    const size_t threads = std::min<size_t>(parallel, cameras.size());
    // Long commands report each camera's progress as it happens.
    const bool live = o.rest[0] == "upgrade" || o.wait;
    if (live) ShareProgress(&err, &progressMutex);
    std::vector<std::thread> pool;
    for (size_t t = 0; t < threads; ++t) pool.emplace_back(worker);
    for (auto& t : pool) t.join();
    if (live) ShareProgress(nullptr, nullptr);
    if (progress) err << "\n";

    if (o.json) return PrintHostsJson(cameras, results, o.port, out);

    size_t width = 6;
    for (const Camera& c : cameras) width = std::max(width, CameraName(c).size());
    for (size_t i = 0; i < cameras.size(); ++i) {
        if (results[i].out.empty()) continue;
        out << "== " << CameraName(cameras[i]) << "\n" << results[i].out;
    }
    out << std::string("CAMERA") + std::string(width - 6 + 2, ' ') << "RESULT\n";
    for (size_t i = 0; i < cameras.size(); ++i) {
        const std::string name = CameraName(cameras[i]);
        std::string detail = results[i].err.substr(0, results[i].err.find('\n'));
        if (detail.rfind("kycamctl: ", 0) == 0) detail.erase(0, 10);
        out << name << std::string(width - name.size() + 2, ' ') << ExitText(results[i].status)
            << (detail.empty() ? "" : "  (" + detail + ")") << "\n";
    }
    return WorstStatus(results);
}

}   // namespace

std::string HostsProblem(const std::string& text) {
    try {
        ParseHosts(text, "hosts", [](const std::string&) { return std::string(); });
    } catch (const UsageError& e) {
        return e.message;
    }
    return {};
}

std::string BackupProblem(const std::string& text) {
    try {
        backup::CheckDocument(text);
    } catch (const backup::DocumentError& e) {
        return e.what();
    }
    return {};
}

int Run(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, std::istream* input) {
    try {
        Options o = ParseOptions(args);
        if (o.rest.empty() || o.rest[0] == "--help" || o.rest[0] == "-h" || o.rest[0] == "help") {
            out << kUsageText;
            PrintPages(out, false);
            return o.rest.empty() ? kUsage : kOk;
        }
        const std::string& cmd = o.rest[0];
        if (cmd == "--version") {
            out << "kycamctl " << KyVersion() << "\n";
            return kOk;
        }
        std::istream& in = input ? *input : std::cin;
        if (cmd != "pages" && cmd != "discover") ResolvePassword(o, in, err);
        if (!o.hostsFile.empty()) {
            if (cmd == "pages" || cmd == "discover") throw UsageError{cmd + " does not take --hosts"};
            if ((cmd == "reboot" || cmd == "factory-reset") && !o.yes)
                throw UsageError{cmd + " on many cameras needs --yes"};
            if (cmd == "user" && o.rest.size() == 4 && o.rest[3] == "-") {
                // Read once here: the cameras run in parallel.
                std::vector<std::string> withSecret = args;
                *std::find(withSecret.rbegin(), withSecret.rend(), "-") = ReadSecret(in);
                return RunOnHosts(withSecret, o, out, err);
            }
            return RunOnHosts(args, o, out, err);
        }
        if (cmd == "raw") return CmdRaw(o, out, err);
        if (IsSdkCommand(cmd)) {
            std::string usage;
            const int status = RunSdkCommand(SdkTargetOf(o), o.rest, o.yes, in, out, err, &usage);
            if (!usage.empty()) throw UsageError{usage};
            if (status == kOk && o.wait && (cmd == "reboot" || cmd == "factory-reset"))
                return WaitForRestart({o.host, o.port, o.user, o.password}, o.limits, out, err);
            return status;
        }
        if (cmd == "upgrade") {
            if (o.rest.size() != 2) throw UsageError{"upgrade takes one firmware file"};
            return RunUpgrade({o.host, o.port, o.user, o.password}, o.rest[1], o.limits, out, err);
        }
        if (cmd == "get") return CmdGet(o, out, err);
        if (cmd == "set") return CmdSet(o, out, err);
        if (cmd == "backup") return CmdBackup(o, out, err);
        if (cmd == "restore") return CmdRestore(o, out, err);
        if (cmd == "call") return CmdCall(o, out, err);
        if (cmd == "discover") return CmdDiscover(o, out, err);
        if (cmd == "internet-ip") return CmdInternetIp(o, out, err);
        if (cmd == "wifi") {
            if (o.rest.size() == 2 && o.rest[1] == "scan") return CmdWifiScan(o, out, err);
            if (o.rest.size() >= 2 && o.rest[1] == "test") return CmdWifiTest(o, out, err);
            throw UsageError{"wifi takes scan or test FIELD=VALUE..."};
        }
        if (cmd == "time") return CmdTime(o, out, err);
        if (cmd == "user") return CmdUser(o, in, out, err);
        if (cmd == "pages") {
            PrintPages(out, true);
            return kOk;
        }
        throw UsageError{"unknown command '" + cmd + "'"};
    } catch (const UsageError& e) {
        err << "kycamctl: " << e.message << "\n"
            << "Try 'kycamctl --help'.\n";
        return kUsage;
    } catch (const backup::DocumentError& e) {
        err << "kycamctl: " << e.what() << "\n"
            << "Try 'kycamctl --help'.\n";
        return kUsage;
    }
}

}   // namespace ky::ctl
