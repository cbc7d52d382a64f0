// The emulated camera's CGI handler: the input is the query of param.cgi (or,
// with a first byte below 16, of getvencattr.cgi) on a camera with its
// factory profile. An answer is a known status. Loading the profile is the
// slow part, so it is loaded again only after a query that may have changed
// something (any command that is no get).
#include "fuzz/FuzzSupport.h"
#include "tools/kycam-emulator/CgiCommands.h"
#include "tools/kycam-emulator/HttpParse.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static emu::CameraState* state = nullptr;
    static bool changed = true;
    if (size < 1) return 0;
    if (changed) {
        delete state;
        state = new emu::CameraState;
        emu::LoadDefaultProfile(*state);
    }
    const std::string_view query = FuzzText(data + 1, size - 1);
    changed = false;
    for (const auto& [name, value] : emu::ParseQuery(query)) changed |= name == "cmd" && value.rfind("get", 0) != 0;
    const emu::CgiReply r = data[0] < 16 ? emu::HandleVencAttrCgi(*state, query) : emu::HandleParamCgi(*state, query);
    FUZZ_CHECK(r.status >= 200 && r.status < 600);
    return 0;
}
