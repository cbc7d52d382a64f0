#pragma once
// Shared by the live-view tests: what they all include, one emulated camera
// per test program and device records that reach it.
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

// The live-video window against the shared camera, with an application
// folder and a message recorder of its own.
class LiveWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(Emulator().Ok()) << "no emulator: " << ky::test::EmulatorProcess::BinaryPath();
    }
    void TearDown() override { video.Disconnect(); }
    bool Frames(qint64 n = 1) {
        return QTest::qWaitFor([&] { return video.PlayWnd()->FramesShown() >= n; }, kWaitMs);
    }
    void Connect(int stream = 0) {
        ASSERT_EQ(ConnectAndWait(video, EmulatorRecord(stream)), 0) << presenter.texts.join("|").toStdString();
        ASSERT_TRUE(Frames());
    }

    GuiAppDir app;
    RecordingPresenter presenter;
    EmuRoutes emu = Routes();
    CVideoDlg video;
};

}   // namespace kytest
