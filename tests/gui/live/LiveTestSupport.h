#pragma once
// Shared by the live-view tests: what they all include, one emulated camera
// per test program, device records that reach it, and a live view on the real
// SDK that stands in for the live-video window where the play panel needs one.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QTest>
#include <atomic>
#include <filesystem>
#include <memory>
#include <string>

#include "core/discovery/SearchProto.h"
#include "core/sdk/KySdk.h"
#include "core/services/Settings.h"
#include "gui/kit/CameraSession.h"
#include "gui/live/LeftPlayDlg.h"
#include "gui/live/LiveControl.h"
#include "gui/live/PlayWnd.h"
#include "gui/live/VideoDlg.h"
#include "tests/core/sdk/SdkTestSupport.h"
#include "tests/support/EmulatorProcess.h"
#include "tests/support/GuiTestSupport.h"

namespace kytest {

constexpr const char* kEmuPassword = "p@ss:w0rd";   // the at sign and colon must survive every path

// Started on first use; ctest runs each test in a program of its own.
inline ky::test::EmulatorProcess& Emulator() {
    static ky::test::EmulatorProcess emu({"--rtsp-port", "0", "--no-discovery", "--quiet", "--password", kEmuPassword});
    return emu;
}
inline EmuRoutes Routes() { return EmuRoutes{Emulator().HttpPort(), kEmuPassword}; }

// The emulator (port 0: the shared one) as the search list or the connection form hands it over.
inline DeviceRecord EmulatorRecord(int stream = 0, const std::string& password = kEmuPassword,
                                   const std::string& ip = "127.0.0.1", int port = 0) {
    DeviceRecord r{};
    ky::search::SetText(r.info.ip, ip);
    ky::search::SetText(r.info.httpPort, std::to_string(port ? port : Emulator().HttpPort()));
    ky::search::SetText(r.user, "admin");
    ky::search::SetText(r.password, password);
    r.stream = stream;
    return r;
}

// What the play panel needs of the live-video window: login, first-stream
// play into a counting surface, state flags.
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
    void Connect(const DeviceRecord& d) override {
        Disconnect();
        device = d;
        m_handle = KY_SDK_LoginExt(d.info.ip, d.user, d.password, uint16_t(std::atoi(d.info.httpPort)), 5000, nullptr);
        const KY_PLAY_INFO play{d.stream == 1 ? 2 : 1, d.stream == 1 ? 1 : 0, 0, 7};
        playing = m_handle > 0 && KY_SDK_RealPlayExt(m_handle, this, &play) == 0;
    }
    KY_HANDLE Handle() const override { return staleHandle ? staleHandle : m_handle; }
    void Disconnect() override {
        if (m_handle <= 0) return;
        if (recording) KY_SDK_StopRecord(m_handle);
        if (talking) KY_SDK_StopVoiceCom(m_handle);
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

    DeviceRecord device{};
    bool playing = false, recording = false, talking = false, listening = false;
    int markChanges = 0;
    // When set, Handle() reports this (a login that has ended) while the
    // view still counts as logged in: every SDK call then fails.
    KY_HANDLE staleHandle = 0;
    std::atomic<int> frames{0};

private:
    KY_HANDLE m_handle = 0;
};

}   // namespace kytest
