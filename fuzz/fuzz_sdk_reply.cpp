// SDK control replies: the input is a camera's answer to the login and to a
// configuration read (first byte picks which) over the real control
// connection, or the body of a detection-event poll.
#include <vector>

#include "core/sdk/ControlChannels.h"
#include "core/sdk/KySdk.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static auto* camera = new LoopbackCamera;
    if (size < 1) return 0;
    const std::string_view reply = FuzzText(data + 1, size - 1);
    if (data[0] % 5 == 0) {
        const auto check = [](int32_t, const std::vector<int32_t>& records) { FUZZ_CHECK(records.size() % 5 == 0); };
        return FUZZ_CHECK(ky::sdk::ReadEventReply(reply, data[0] / 5 % 4 - 1, check) >= -1), 0;
    }
    camera->Set(reply);
    const KY_HANDLE h = KY_SDK_LoginExt("127.0.0.1", "admin", "admin", camera->Port(), 2000, nullptr);
    if (h == 0) return 0;
    static const int32_t kCodes[] = {KY_CFG_CAPABILITY, KY_CFG_DEVTYPE, KY_CFG_HUMANOID, KY_CFG_MDAREA};
    static const int kSizes[] = {KY_CAPABILITY_SIZE, 64, 12, 32};
    const int which = data[0] % 5 - 1;
    std::vector<char> out(size_t(kSizes[which]), 0);
    out[4] = 1;   // a motion-detection read names its area in word 1
    if (KY_SDK_GetConfig(h, kCodes[which], out.data(), kSizes[which]) == 0 && which < 2)
        for (size_t field = 0; field < out.size(); field += which == 0 ? KY_CAPABILITY_FIELD : 64)
            FUZZ_CHECK(out[field + (which == 0 ? KY_CAPABILITY_FIELD : 64) - 1] == 0);
    KY_SDK_Logout(h);
    return 0;
}
