// The emulator's state file: any bytes load or are refused, and what loads
// is kept key for key.
#include <sys/mman.h>
#include <unistd.h>

#include "fuzz/FuzzSupport.h"
#include "tools/kycam-emulator/CameraState.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const int fd = ::memfd_create("state", MFD_CLOEXEC);
    static const std::string path = "/proc/self/fd/" + std::to_string(fd);
    if (::ftruncate(fd, 0) != 0 || ::pwrite(fd, data, size, 0) != ssize_t(size)) return 0;
    emu::CameraState state;
    std::string error;
    if (!state.LoadFile(path, &error)) return FUZZ_CHECK(!error.empty()), 0;
    for (const auto& [key, value] : state.Snapshot()) FUZZ_CHECK(!key.empty() && state.Get(key) == value);
    return 0;
}
