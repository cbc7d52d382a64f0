#include "core/cgi/CommandEngine.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include "core/services/Trace.h"
#include "core/services/FieldText.h"
#include "core/services/Utf8.h"
#include "core/cgi/CgiClient.h"
#include "core/cgi/PercentEncode.h"

namespace ky::cgi {

const FieldInfo* RecordInfo::Find(std::string_view fieldName) const {
    const int i = IndexOf(fieldName);
    return i < 0 ? nullptr : &fields[static_cast<size_t>(i)];
}

int RecordInfo::IndexOf(std::string_view fieldName) const {
    for (size_t i = 0; i < fields.size(); ++i)
        if (fieldName == fields[i].name) return static_cast<int>(i);
    return -1;
}

namespace {

char* ElementPtr(const FieldInfo& f, void* rec, uint32_t element) {
    return static_cast<char*>(rec) + f.offset + static_cast<size_t>(element) * f.size;
}
const char* ElementPtr(const FieldInfo& f, const void* rec, uint32_t element) {
    return static_cast<const char*>(rec) + f.offset + static_cast<size_t>(element) * f.size;
}

int32_t ReadInt(const FieldInfo& f, const void* rec, uint32_t element) {
    int32_t v;
    std::memcpy(&v, ElementPtr(f, rec, element), sizeof v);
    return v;
}
void WriteInt(const FieldInfo& f, void* rec, uint32_t element, int32_t v) {
    std::memcpy(ElementPtr(f, rec, element), &v, sizeof v);
}

std::string_view ReadText(const FieldInfo& f, const void* rec, uint32_t element) {
    return FieldText(ElementPtr(f, rec, element), f.size);
}

void Apply(const KeySpec& k, const FieldInfo& f, void* rec, uint32_t element, const std::string& v) {
    const bool empty = v.empty();
    switch (k.conv) {
        case Conv::Text:
            if (!empty) CopyText(ElementPtr(f, rec, element), f.size, v);
            break;
        case Conv::TextAlways: CopyText(ElementPtr(f, rec, element), f.size, v); break;
        case Conv::Int:
            if (!empty) WriteInt(f, rec, element, std::atoi(v.c_str()));
            break;
        case Conv::IntAlways: WriteInt(f, rec, element, std::atoi(v.c_str())); break;
        case Conv::OnOff:
        case Conv::OnOffAlways:
            if (!empty || k.conv == Conv::OnOffAlways) WriteInt(f, rec, element, v == (k.word ? k.word : "on") ? 1 : 0);
            break;
    }
}

// Texts the camera takes unencoded go out as they are, except bytes the
// camera would read differently: it decodes "+" and "%XX", and "&" and "#"
// would end the value, so those and control bytes become %XX and a blank
// becomes "+". The camera then stores exactly the bytes of the field; a
// carrier name such as "CHINA MOBILE" read from the camera is written back
// intact.
std::string CameraExact(std::string_view v) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(v.size());
    for (const char ch : v) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == ' ') {
            out += '+';
        } else if (c < 0x20 || c == 0x7F || c == '+' || c == '%' || c == '&' || c == '#') {
            out += '%';
            out += kHex[c >> 4];
            out += kHex[c & 0xF];
        } else {
            out += ch;
        }
    }
    return out;
}

}   // namespace

void CopyText(char* field, size_t width, std::string_view text) {
    if (width == 0) return;
    std::memset(field, 0, width);
    const size_t n = Utf8FitLength(text, width - 1);
    std::memcpy(field, text.data(), n);
}

int FormatRequest(const CommandDesc& cmd, const void* rec, char* out, size_t outSize) {
    std::string text;
    if (cmd.compose) {
        if (rec == nullptr || !cmd.compose(cmd, rec, text) || text.size() + 1 > outSize) return -1;
        std::memcpy(out, text.c_str(), text.size() + 1);
        return static_cast<int>(text.size());
    }
    size_t arg = 0;
    for (const char* p = cmd.request; *p; ++p) {
        if (*p != '%') {
            text += *p;
            continue;
        }
        const char spec = *++p;
        if (spec == '%') {
            text += '%';
            continue;
        }
        if ((spec != 'd' && spec != 's') || arg >= cmd.args.size() || cmd.record == nullptr || rec == nullptr)
            return -1;
        const ArgSpec& a = cmd.args[arg++];
        const FieldInfo& f = cmd.record->fields[static_cast<size_t>(a.field)];
        if (spec == 'd') {
            if (f.type != FieldType::Int) return -1;
            const int32_t v = ReadInt(f, rec, static_cast<uint32_t>(a.element));
            text += std::to_string(a.enc == Enc::Flag ? (v == 1 ? 1 : 0) : static_cast<int64_t>(v) + a.offset);
        } else if (a.enc == Enc::OnOff || a.enc == Enc::OnIfOne) {
            if (f.type != FieldType::Int) return -1;
            const int32_t v = ReadInt(f, rec, static_cast<uint32_t>(a.element));
            text += (a.enc == Enc::OnOff ? v != 0 : v == 1) ? "on" : "off";
        } else {
            if (f.type != FieldType::Text) return -1;
            const std::string_view v = ReadText(f, rec, static_cast<uint32_t>(a.element));
            text += a.enc == Enc::Percent ? EncodeQueryValue(v) : CameraExact(v);
        }
    }
    if (arg != cmd.args.size() || text.size() + 1 > outSize) return -1;
    std::memcpy(out, text.c_str(), text.size() + 1);
    return static_cast<int>(text.size());
}

void ParseReply(const CommandDesc& cmd, const char* reply, uint32_t capacity, void* rec) {
    if (rec == nullptr || cmd.record == nullptr) return;
    CCgiClient client;
    char key[256];
    for (const KeySpec& k : cmd.keys) {
        const FieldInfo& f = cmd.record->fields[static_cast<size_t>(k.field)];
        if (!k.indexed) {
            Apply(k, f, rec, 0, client.GetValue(reply, capacity, k.key));
            continue;
        }
        int32_t n = static_cast<int32_t>(f.count);
        int64_t base = k.indexBase;
        if (k.indexField >= 0) base += ReadInt(cmd.record->fields[static_cast<size_t>(k.indexField)], rec, 0);
        if (k.countField >= 0) {
            const int32_t c = ReadInt(cmd.record->fields[static_cast<size_t>(k.countField)], rec, 0);
            n = c < 0 ? 0 : (c < n ? c : n);
        }
        for (int32_t i = 0; i < n; ++i) {
            std::snprintf(key, sizeof key, k.key, static_cast<int>(base + i));
            Apply(k, f, rec, static_cast<uint32_t>(i), client.GetValue(reply, capacity, key));
        }
    }
    if (cmd.parse) cmd.parse(cmd, reply, capacity, rec);
}

int RunCommand(const CommandDesc& cmd, const Target& target, void* rec, int timeoutMs, Failure* why) {
    Failure dummy;
    Failure& failure = why ? *why : dummy;
    failure = Failure::Arguments;
    if (cmd.needsRecord && rec == nullptr) return -1;
    if (target.ip == nullptr || target.user == nullptr || target.password == nullptr) return -1;
    if (cmd.prepare && cmd.prepare(cmd, rec) != 0) return -1;

    const auto request = std::make_unique<char[]>(cmd.requestSize);
    if (FormatRequest(cmd, rec, request.get(), cmd.requestSize) < 0) return -1;
    char auth[CCgiClient::kCredentialSize] = {};
    if (CCgiClient::MakeAuthorization(target.user, target.password, auth) < 0) return -1;

    CCgiClient client;
    int sock = -1;
    if (client.ConnectTo(target.ip, target.port, CCgiClient::kConnectTimeoutMs, sock) != 0) {
        KY_TRACE("Line-%d Connect [%s] failure\n", __LINE__, target.ip);
        failure = Failure::Connect;
        return -1;
    }
    const auto buffer = std::make_unique<char[]>(cmd.exchangeSize);
    uint32_t capacity = cmd.exchangeSize;
    // An IPv6 address names the camera in Host within brackets.
    const std::string cameraHost = std::strchr(target.ip, ':') ? "[" + std::string(target.ip) + "]" : target.ip;
    const char* host = cmd.hostIsCamera ? cameraHost.c_str() : CCgiClient::kLocalHost;
    const int timeout = cmd.fixedTimeoutMs ? cmd.fixedTimeoutMs : timeoutMs;
    int result = -1;
    switch (cmd.exchange) {
        case Exchange::Request:
            result = client.Request(sock, host, request.get(), buffer.get(), capacity, auth, timeout);
            break;
        case Exchange::RequestLong:
            result = client.RequestLong(sock, host, request.get(), buffer.get(), capacity, auth, timeout);
            break;
        case Exchange::SendOnly:
            result = client.SendRequestOnly(sock, host, request.get(), buffer.get(), capacity, auth, timeout);
            break;
        case Exchange::AnswerIfAny:
            result = client.RequestAnswerOptional(sock, host, request.get(), buffer.get(), capacity, auth, timeout);
            break;
    }
    client.CloseSocket(sock);
    if (result == CCgiClient::kBrokenReply) {
        KY_TRACE("Line-%d broken reply from [%s]\n", __LINE__, target.ip);
        failure = Failure::Broken;
        return -1;
    }
    if (result != 0) {
        // A reply that arrived but was judged a refusal differs from silence.
        // (after a failed send the buffer still holds the request itself).
        const bool answered = buffer[0] != '\0' && std::strcmp(buffer.get(), request.get()) != 0 &&
                              std::strncmp(buffer.get(), request.get(), std::strlen(request.get())) != 0;
        failure = answered ? Failure::Refused : Failure::Exchange;
        return -1;
    }
    failure = Failure::None;
    if (cmd.exchange == Exchange::SendOnly || buffer[0] == '\0') return 0;
    if (cmd.mustContain && std::strstr(buffer.get(), cmd.mustContain) == nullptr) {
        failure = Failure::Refused;
        return -1;
    }
    ParseReply(cmd, buffer.get(), capacity, rec);
    return 0;
}

std::string FieldToText(const FieldInfo& f, const void* rec, uint32_t element) {
    if (f.type == FieldType::Int) return std::to_string(ReadInt(f, rec, element));
    return std::string(ReadText(f, rec, element));
}

bool FieldFromText(const FieldInfo& f, void* rec, std::string_view text, std::string* why, uint32_t element) {
    if (element >= f.count) {
        if (why) *why = "index out of range";
        return false;
    }
    if (f.type == FieldType::Int) {
        int32_t v = 0;
        const char* first = text.data();
        const char* last = text.data() + text.size();
        if (!text.empty() && *first == '+') ++first;
        const auto [end, ec] = std::from_chars(first, last, v);
        if (text.empty() || ec != std::errc() || end != last) {
            if (why) *why = "not a whole number";
            return false;
        }
        WriteInt(f, rec, element, v);
        return true;
    }
    if (text.size() > f.size - 1) {
        if (why) *why = "longer than " + std::to_string(f.size - 1) + " bytes";
        return false;
    }
    if (text.find('\0') != std::string_view::npos) {
        if (why) *why = "contains a NUL byte";
        return false;
    }
    CopyText(ElementPtr(f, rec, element), f.size, text);
    return true;
}

}   // namespace ky::cgi
