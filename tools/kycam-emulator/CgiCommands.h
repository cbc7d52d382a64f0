#pragma once
// The camera's own knowledge of its CGI commands: which keys each get command
// answers with and which parameters each set command stores. Written for the
// emulator from the camera's documented behaviour, independently of the tool's
// client tables, so that a mistake on one side shows up on the other.
#include <string>
#include <string_view>

#include "tools/kycam-emulator/CameraState.h"

namespace emu {

struct CgiReply {
    int status = 200;   // 200, or an HTTP error status with `body` as its text
    std::string body;   // for 200: the "var key=value;\r\n" lines
};

// Fills every key a fresh camera has (all pages' defaults, identity, capability
// values). Identity keys may be overridden afterwards by the caller.
void LoadDefaultProfile(CameraState& state);

// /cgi-bin/ky7200/param.cgi (and /web/cgi-bin/...): `query` is the text after
// '?', not yet percent-decoded. Several cmd= in one query form one group: all
// get replies in order, all sets applied, and the whole group fails with a
// body containing "[Error]" when any command is unknown or malformed.
// May block (the SD-card commands wait "emu.sd_delay_ms" before "Succeed").
CgiReply HandleParamCgi(CameraState& state, std::string_view query);

// /cgi-bin/ky7200/getvencattr.cgi?-chn=11|12
CgiReply HandleVencAttrCgi(CameraState& state, std::string_view query);

// Percent-decoding of query values ("+" is a blank). The emulator keeps its
// own coding instead of the tool's, so that a fault in the tool's encoder
// cannot be mirrored by the camera it is tested against.
std::string PercentDecode(std::string_view text);

}   // namespace emu
