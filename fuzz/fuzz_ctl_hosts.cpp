// kycamctl's hosts file: any text is a list of cameras or a reason.
#include "fuzz/FuzzSupport.h"
#include "tools/kycamctl/Kycamctl.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    (void)ky::ctl::HostsProblem(std::string(FuzzText(data, size)));
    return 0;
}
