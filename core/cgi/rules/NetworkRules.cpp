#include "core/cgi/rules/NetworkRules.h"

#include <cstring>

#include "core/services/FieldText.h"

namespace ky::cgi {

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

bool PortInRange(int32_t port, int32_t usual) { return port == usual || (port >= 1024 && port <= 49151); }

}   // namespace

bool IsDottedIpv4(std::string_view text) {
    size_t i = 0;
    for (int part = 0; part < 4; ++part) {
        if (part > 0) {
            if (i >= text.size() || text[i] != '.') return false;
            ++i;
        }
        while (i < text.size() && IsBlank(text[i])) ++i;
        const size_t start = i;
        int value = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9') {
            value = value * 10 + (text[i] - '0');
            if (value > 255) return false;
            ++i;
        }
        if (i == start) return false;
    }
    return i == text.size();
}

const char* CheckNetAttr(const NetAttr& rec) {
    if (rec.dhcpflag != 0 && rec.dhcpflag != 1) return "Please select the IP acquisition method";
    if (rec.dnsstat != 0 && rec.dnsstat != 1) return "Please select DNS setting method";
    if (!IsDottedIpv4(FieldText(rec.ip))) return "The IP address does not meet the requirements!";
    if (!IsDottedIpv4(FieldText(rec.netmask))) return "Mask address does not meet requirements!";
    if (!IsDottedIpv4(FieldText(rec.gateway))) return "Gateway address does not meet requirements!";
    if (!PortInRange(rec.httpport, 80)) return "HTTP port does not meet the requirements!";
    if (!PortInRange(rec.rtspport, 554)) return "RTSP port does not meet the requirements!";
    if (!PortInRange(rec.rtmpport, 1935)) return "RTMP port does not meet the requirements!";
    return nullptr;
}

const char* CheckNetPortConflicts(const NetAttr& rec, int onvifPort) {
    if (rec.httpport == onvifPort) return "HTTP port and ONVIF port conflict!";
    if (rec.rtspport == onvifPort) return "RTSP port and ONVIF port conflict!";
    if (rec.rtmpport == onvifPort) return "RTMP port and ONVIF port conflict!";
    if (rec.httpport == rec.rtspport) return "HTTP port and RTSP port conflict!";
    if (rec.httpport == rec.rtmpport) return "HTTP port and RTMP port conflict!";
    if (rec.rtspport == rec.rtmpport) return "RTSP port and RTMP port conflict!";
    return nullptr;
}

int ReadOnvifPortForNetCheck(const Target* target) {
    if (target == nullptr) return 0;
    OnvifAttr onvif{};
    CCgiClient client;
    client.GetOnvifAttr(target->ip, target->port, target->user, target->password, &onvif, kNetOnvifReadTimeoutMs);
    return onvif.ov_port;
}

const char* ValidateNetPage(const NetAttr& rec, const PageContext& context) {
    if (const char* msg = CheckNetAttr(rec)) return msg;
    return CheckNetPortConflicts(rec, ReadOnvifPortForNetCheck(context.target));
}

bool NetApplyEndsSession(const NetAttr& rec, std::string_view currentIp, int currentPort) {
    return FieldText(rec.ip) != currentIp || rec.httpport != currentPort;
}

}   // namespace ky::cgi
