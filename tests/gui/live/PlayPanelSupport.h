#pragma once
// Shared pieces of the play panel tests: a live view on the real SDK that
// stands in for the live-video window, the emulator's state routes, and a
// wait that keeps the event loop running.
#include <QCoreApplication>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#include "gui/kit/CameraSession.h"
#include "gui/live/LiveControl.h"
#include "core/sdk/ControlHttp.h"
#include "core/sdk/KySdk.h"

namespace kytest {

// Runs the event loop until cond() holds or ms have passed; the result is
// cond() at the end (a failure bound, not a timing check).
template <class Cond>
bool WaitFor(Cond cond, int ms = 20000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!cond()) {
        if (std::chrono::steady_clock::now() > end) return cond();
        QCoreApplication::processEvents();
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// The emulator's state and test routes.
struct EmuState {
    int port;
    std::string Get(const std::string& target) const {
        ky::sdk::ControlHttp http("127.0.0.1", uint16_t(port), "admin", "admin");
        ky::sdk::HttpReply r;
        if (http.Exchange("GET", target, {}, 5000, &r) != ky::sdk::HttpFail::None || r.status != 200) return "<error>";
        return r.body;
    }
    std::string Key(const std::string& key) const { return Get("/emu/get?key=" + ky::sdk::EncodeUriComponent(key)); }
    int Int(const std::string& key) const { return std::atoi(Key(key).c_str()); }
};

// What the play panel needs of the live-video window, on the real SDK:
// login, first-stream play into a counting surface, state flags.
class SdkLiveView : public ICameraSession, public ILiveControl, public KySdkSurface {
public:
    SdkLiveView() { SetCurrentCamera(this); }
    ~SdkLiveView() override {
        Disconnect();
        SetCurrentCamera(nullptr);
    }

    bool IsLoggedIn() const override { return m_handle > 0; }
    const DeviceRecord& GetDevice() const override { return device; }
    bool IsPlaying() const override { return playing; }
    int Connect(const DeviceRecord& d) override {
        ++connects;
        Disconnect();
        device = d;
        int error = 0;
        m_handle = KY_SDK_LoginExt(d.info.ip, d.user, d.password, uint16_t(std::atoi(d.info.httpPort)), 5000, &error);
        if (m_handle <= 0) return m_handle = 0, -1;
        const KY_PLAY_INFO play{d.stream == 1 ? 2 : 1, d.stream == 1 ? 1 : 0, 0, 7};
        if (KY_SDK_RealPlayExt(m_handle, this, &play) != 0) return -1;
        playing = true;
        return 0;
    }

    KY_HANDLE Handle() const override { return staleHandle ? staleHandle : m_handle; }
    void Disconnect() override {
        if (!m_handle) return;
        if (recording) KY_SDK_StopRecord(m_handle);
        if (talking) KY_SDK_StopVoiceCom(m_handle);
        KY_SDK_StopRealPlay(m_handle);
        KY_SDK_Logout(m_handle);
        m_handle = 0;
        recording = talking = listening = playing = false;
    }
    bool IsRecording() const override { return recording; }
    void SetRecording(bool on) override { recording = on, ++markChanges; }
    bool IsTalking() const override { return talking; }
    void SetTalking(bool on) override { talking = on, ++markChanges; }
    bool IsListening() const override { return listening; }
    void SetListening(bool on) override { listening = on, ++markChanges; }

    void PresentFrame(const uint8_t*, int, int, int, int) override { ++frames; }

    // Logs in to the emulator as the search list would hand it over.
    int ConnectEmulator(int httpPort, int stream = 0) {
        DeviceRecord d{};
        std::strcpy(d.info.ip, "127.0.0.1");
        std::snprintf(d.info.httpPort, sizeof d.info.httpPort, "%d", httpPort);
        std::strcpy(d.user, "admin");
        std::strcpy(d.password, "admin");
        d.stream = stream;
        return Connect(d);
    }

    DeviceRecord device{};
    bool playing = false, recording = false, talking = false, listening = false;
    int connects = 0;
    int markChanges = 0;
    // When set, Handle() reports this (a login that has ended) while the
    // view still counts as logged in: every SDK call then fails.
    KY_HANDLE staleHandle = 0;
    std::atomic<int> frames{0};

private:
    KY_HANDLE m_handle = 0;
};

}   // namespace kytest
