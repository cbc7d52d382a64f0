// kycamctl's JSON input: any text given to restore (or to set --from, which
// assigns fields the same way) is accepted or refused with a reason, never
// thrown past the command.
#include "fuzz/FuzzSupport.h"
#include "tools/kycamctl/Kycamctl.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    (void)ky::ctl::BackupProblem(std::string(FuzzText(data, size)));
    return 0;
}
