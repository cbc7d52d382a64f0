#pragma once
// Shared pieces of the GUI tests: a presenter that records message boxes and
// answers questions, a temporary application folder with db.dat and language
// files, and a fake camera.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>
#include <QStringList>
#include <QThread>
#include <QTimer>
#include <cstring>
#include <deque>
#include <stdexcept>
#include <string>

#include "gui/kit/CameraSession.h"
#include "gui/kit/MessagePresenter.h"
#include "core/services/LangText.h"
#include "core/store/StoreAdmin.h"
#include "tests/support/TestFiles.h"

namespace kytest {

// Installed for its lifetime; every box of the tool lands in texts.
class RecordingPresenter : public IMessagePresenter {
public:
    RecordingPresenter() : m_before(InstallPresenter(this)) {}
    ~RecordingPresenter() override { InstallPresenter(m_before); }

    void Info(QWidget*, const QString& text) override {
        texts << text;
        kinds += 'i';
    }
    void Error(QWidget*, const QString& text) override {
        texts << text;
        kinds += 'e';
    }
    bool Question(QWidget*, const QString& text) override {
        texts << text;
        kinds += 'q';
        if (answers.empty()) return false;
        const bool yes = answers.front();
        answers.pop_front();
        return yes;
    }
    QString Last() const { return texts.isEmpty() ? QString() : texts.back(); }
    void Clear() {
        texts.clear();
        kinds.clear();
    }

    QStringList texts;
    std::string kinds;
    std::deque<bool> answers;

private:
    IMessagePresenter* m_before;
};

// A fresh application folder for one test; the language file is chosen anew.
class GuiAppDir : public AppDirScope {
public:
    GuiAppDir() { ResetLangChoiceForTesting(); }
    ~GuiAppDir() { ResetLangChoiceForTesting(); }
    const std::string& path() const { return dir().path(); }

    void WriteLang(const std::string& name, const std::string& text) {
        WriteBytes(file(name), text);
        ResetLangChoiceForTesting();
    }
    // db.dat with a defaults row and the tool user admin/password.
    void CreateDb(const std::string& toolPassword = "580247!K", const std::string& defUser = "admin",
                  const std::string& defPwd = "tovel", int stream = 0) {
        std::string error;
        if (CreateDatabase(file("db.dat"), defUser, defPwd, stream, &error) != 0 ||
            SetToolUser(file("db.dat"), "admin", toolPassword, &error) != 0)
            throw std::runtime_error(error);
    }
};

// A 50 ms timer's ticks: a window thread that blocks stops the count.
struct TimerTicks {
    TimerTicks() {
        QObject::connect(&timer, &QTimer::timeout, [this] { ++ticks; });
        timer.start(50);
        clock.start();
    }
    // At least half the ticks due so far (room for a busy machine).
    bool OnSchedule() const { return ticks >= clock.elapsed() / 50 / 2; }
    QTimer timer;
    QElapsedTimer clock;
    int ticks = 0;
};

// Connect, then the event loop until the login has ended: 0 when logged in
// and playing, else -1.
inline int ConnectAndWait(ICameraSession& camera, const DeviceRecord& device, int ms = 20000) {
    camera.Connect(device);
    QElapsedTimer timer;
    timer.start();
    while (camera.IsConnecting() && timer.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(5);
    }
    return camera.IsLoggedIn() && camera.IsPlaying() ? 0 : -1;
}

class FakeCamera : public ICameraSession {
public:
    FakeCamera() { SetCurrentCamera(this); }
    ~FakeCamera() override { SetCurrentCamera(nullptr); }

    bool IsLoggedIn() const override { return loggedIn; }
    const DeviceRecord& GetDevice() const override { return device; }
    bool IsPlaying() const override { return playing; }
    void PausePlay() override {
        ++pauses;
        playing = false;
    }
    void ResumePlay() override {
        ++resumes;
        playing = true;
    }
    void Disconnect() override {
        ++disconnects;
        loggedIn = false;
        playing = false;
    }

    // A login to a camera of this device type, as the live view reports it.
    void Login(const char* deviceType) {
        device = DeviceRecord{};
        std::strncpy(device.info.deviceType, deviceType, sizeof device.info.deviceType - 1);
        loggedIn = true;
        playing = true;
        NotifyDeviceLogin();
    }

    DeviceRecord device{};
    bool loggedIn = false;
    bool playing = false;
    int pauses = 0;
    int resumes = 0;
    int disconnects = 0;
};

}   // namespace kytest
