#pragma once
// Shared by the SDK and the live-view tests: the emulated camera's state and
// test routes (/emu/get, /emu/set, /sdk/emit-boxes, /sdk/talk-received), and
// a polling wait for things that happen on other threads.
#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

#include "core/sdk/ControlHttp.h"

namespace kytest {

constexpr int kWaitMs = 15000;   // failure bound for what should happen soon, not a timing check

// Polls until cond() holds or ms pass; the result is cond() at the end.
template <class Cond>
bool Poll(Cond cond, int ms = kWaitMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!cond() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    return cond();
}

struct EmuRoutes {
    int port;
    std::string password = "admin";

    // The reply body, or "<missing>" when the camera did not answer 200.
    std::string Get(const std::string& target, int* status = nullptr) const {
        ky::sdk::ControlHttp http("127.0.0.1", uint16_t(port), "admin", password);
        ky::sdk::HttpReply r;
        if (http.Exchange("GET", target, {}, 5000, &r) != ky::sdk::HttpFail::None) r.status = 0;
        if (status) *status = r.status;
        return r.status == 200 ? r.body : "<missing>";
    }
    std::string Key(const std::string& key) const { return Get("/emu/get?key=" + ky::sdk::EncodeUriComponent(key)); }
    int Int(const std::string& key) const { return std::atoi(Key(key).c_str()); }
    void Set(const std::string& key, const std::string& value) const {
        Get("/emu/set?key=" + ky::sdk::EncodeUriComponent(key) + "&value=" + ky::sdk::EncodeUriComponent(value));
    }
    // Motion (type 0) or person (type 6) boxes "id,x,y,w,h;..." sent to every login.
    bool EmitBoxes(int type, const std::string& boxes) const {
        int status = 0;
        Get("/sdk/emit-boxes?type=" + std::to_string(type) + "&boxes=" + boxes, &status);
        return status == 200;
    }
};

}   // namespace kytest
