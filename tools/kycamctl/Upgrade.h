#pragma once
// kycamctl upgrade, and the wait for a camera to come back after an upgrade,
// reboot or factory reset. The wait asks the camera itself over HTTP, so it
// works across routers, where discovery does not reach.
#include <cstdint>
#include <iosfwd>
#include <mutex>
#include <string>

namespace ky::ctl {

struct CameraAddress {
    std::string host;
    uint16_t port = 80;
    std::string user;
    std::string password;
};

struct WaitLimits {
    int seconds = 180;   // how long a camera may take to come back
    int pollMs = 1000;
};

// Uploads file, then waits for the camera to answer with another firmware
// version. Prints progress to err and one result line to out.
int RunUpgrade(const CameraAddress& camera, const std::string& file, const WaitLimits& limits, std::ostream& out,
               std::ostream& err);
// After a reboot or reset: waits for the camera to go away and answer again.
int WaitForRestart(const CameraAddress& camera, const WaitLimits& limits, std::ostream& out, std::ostream& err);

// With --hosts: progress lines go straight to err (prefixed with the camera)
// instead of each camera's collected output. Null stops that.
void ShareProgress(std::ostream* err, std::mutex* lock);

}   // namespace ky::ctl
