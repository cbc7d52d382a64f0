#include "gui/shell/KyCamToolApp.h"

#include <sqlite3.h>

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QListWidget>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "gui/shell/AppGlobals.h"
#include "gui/shell/KyCamToolDlg.h"
#include "gui/shell/LeftSettingsDlg.h"
#include "gui/kit/MessagePresenter.h"
#include "gui/shell/SdkBoundary.h"
#include "gui/shell/Skin.h"
#include "core/services/AppDir.h"
#include "gui/live/BrowserSDDlg.h"
#include "gui/live/CameraWebView.h"
#include "gui/live/ClipPlayer.h"
#include "gui/live/LeftPlayDlg.h"
#include "gui/live/PlayWnd.h"
#include "gui/live/PlaybackDlg.h"
#include "gui/live/ScreenPannel.h"
#include "gui/live/VideoDlg.h"
#include "core/store/LocalStore.h"
#include "gui/shell/LoginDlg.h"

CKyCamToolApp::CKyCamToolApp() = default;

CKyCamToolApp::~CKyCamToolApp() { ExitInstance(); }

int CKyCamToolApp::Run(int& argc, char** argv) {
    QApplication app(argc, argv);
    int code = 0;
    if (InitInstance()) {
        if (const char* dir = std::getenv("KYCAM_SCREENSHOT"); dir && *dir) ScheduleScreenshots(dir);
        code = app.exec();
    }
    ExitInstance();
    return code;
}

bool CKyCamToolApp::InitInstance() {
    m_started = true;
    // Where the framework would keep its own settings; the tool keeps its
    // own in settings.ini beside the program.
    QCoreApplication::setOrganizationName(QStringLiteral("应用程序向导生成的本地应用程序"));
    QCoreApplication::setApplicationName(QStringLiteral("KyCameraTool"));

    if (m_appDir)
        SetAppDirForTesting(*m_appDir);
    else
        InitAppDir();

    SdkStartup();   // live video only; the tool runs on without it
    LoadSkinImages();
    CurrentToolUser() = ToolUser{};
    CurrentToolUser().Set(QString::fromLatin1(kBuiltInToolUser), QString::fromLatin1(kBuiltInToolPassword));

    m_store = std::make_unique<CLocalStore>();
    g_pLocalStore = m_store.get();
    if (!m_store->Init()) {
        // Why, as the database reports it, then what it means for the user.
        char detail[1024];
        std::snprintf(detail, sizeof detail, "%08x\n%s\n%s\n%s\n", static_cast<unsigned>(m_store->LastErrorCode()),
                      sqlite3_errstr(m_store->LastErrorCode()), "SQLite", m_store->LastError().c_str());
        Presenter().Error(nullptr, QString::fromUtf8(detail));
        KyError(nullptr, "Failed to initialize data!");
        return false;
    }

    m_mainWnd = std::make_unique<CKyCamToolDlg>();
    m_mainWnd->ShowMaximized();
    return true;
}

int CKyCamToolApp::ExitInstance() {
    if (!m_started) return 0;
    m_started = false;
    m_mainWnd.reset();
    g_pLocalStore = nullptr;
    m_store.reset();
    FreeSkinImages();
    SdkShutdown();
    return 0;
}

void CKyCamToolApp::ScheduleScreenshots(const std::string& dir) {
    // A developer's aid (scripts/screenshots.sh): one picture per layout and
    // of the two dialogs, then quit.
    const char* camera = std::getenv("KYCAM_SCREENSHOT_CAMERA");
    if (camera && *camera) {
        const std::string address = camera;
        QTimer::singleShot(500, m_mainWnd.get(), [this, dir, address] {
            TakeLiveScreenshots(QString::fromStdString(dir), address);
            QCoreApplication::quit();
        });
        return;
    }
    QTimer::singleShot(500, m_mainWnd.get(), [this, dir] {
        const QString out = QString::fromStdString(dir);
        QDir().mkpath(out);
        CKyCamToolDlg* w = m_mainWnd.get();
        auto save = [&](QWidget* widget, const char* name) {
            QCoreApplication::processEvents();
            widget->grab().save(out + QLatin1Char('/') + QLatin1String(name));
        };
        save(w, "preview.png");
        w->ShowParamSettings();
        save(w, "settings.png");
        if (CLeftSettingsDlg* tree = w->SettingsPanel()) {
            tree->ClickNode(tree->FindItem(24));
        }
        save(w, "settings-defaults.png");
        w->ShowDeviceList();
        save(w, "devicelist.png");
        CLoginDlg login(m_store.get(), w);
        login.show();
        save(&login, "login.png");
        login.hide();
        CAboutDlg about(w);
        about.show();
        save(&about, "about.png");
        about.hide();
        QCoreApplication::quit();
    });
}

namespace {

// Runs the event loop until cond() holds or ms have passed.
template <class Cond>
bool WaitUntil(Cond cond, int ms) {
    QElapsedTimer timer;
    timer.start();
    while (!cond()) {
        if (timer.elapsed() > ms) return cond();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(10);
    }
    return true;
}

void Pause(int ms) {
    WaitUntil([] { return false; }, ms);
}

}   // namespace

void CKyCamToolApp::TakeLiveScreenshots(const QString& out, const std::string& camera) {
    QDir().mkpath(out);
    CKyCamToolDlg* w = m_mainWnd.get();
    auto save = [&](QWidget* widget, const char* name) {
        QCoreApplication::processEvents();
        widget->grab().save(out + QLatin1Char('/') + QLatin1String(name));
        std::fprintf(stderr, "screenshot %s\n", name);
    };
    auto fail = [](const char* what) { std::fprintf(stderr, "screenshot: %s\n", what); };

    auto* panel = dynamic_cast<CLeftPlayDlg*>(w->PlayPanel());
    if (!panel) return fail("no play panel");
    // The camera as the device list would open it, with the form's user and
    // password (the form's port rule would refuse the emulator's ephemeral port).
    DeviceRecord device{};
    const size_t colon = camera.rfind(':');
    const std::string ip = camera.substr(0, colon), port = colon == std::string::npos ? "80" : camera.substr(colon + 1);
    std::snprintf(device.info.ip, sizeof device.info.ip, "%s", ip.c_str());
    std::snprintf(device.info.httpPort, sizeof device.info.httpPort, "%s", port.c_str());
    std::snprintf(device.user, sizeof device.user, "%s", panel->UserEdit()->text().toUtf8().constData());
    std::snprintf(device.password, sizeof device.password, "%s", panel->PasswordEdit()->text().toUtf8().constData());
    std::fprintf(stderr, "screenshot: opening %s:%s as %s\n", device.info.ip, device.info.httpPort, device.user);
    w->OpenDevice(device);
    CVideoDlg* video = g_pVideoDlg;
    if (!video || !WaitUntil([&] { return video->PlayWnd()->FramesShown() > 10; }, 20000)) {
        fail("no live video");
        save(w, "preview-live.png");
        return;
    }
    save(w, "preview-live.png");

    // The state marks in the title: recording, talking (music.g711) and listening.
    panel->OnStartRecord();
    panel->OnTalk();
    panel->OnListen();
    // Detection boxes come from the camera (the script has the emulator emit them).
    Pause(3000);
    save(w, "preview-marks-boxes.png");

    video->ToggleFullScreen();
    WaitUntil([&] { return video->Panel()->isVisible() && video->Panel()->isWindow(); }, 5000);
    Pause(1000);
    save(video->Panel(), "fullscreen.png");
    video->ToggleFullScreen();
    panel->OnStopRecord();
    panel->OnTalk();
    Pause(300);

    {
        CBrowserSDDlg sd(w);
        sd.show();
        WaitUntil([&] { return !sd.WebView()->CurrentPath().isEmpty() && !sd.WebView()->IsLoading(); }, 10000);
        Pause(300);
        save(&sd, "sdcard.png");
    }
    {
        CPlaybackDlg playback(w);
        playback.show();
        WaitUntil([&] { return !playback.IsScanning(); }, 10000);
        if (playback.RecordingList()->count() == 0) fail("no recordings");
        playback.RecordingList()->setCurrentRow(0);
        playback.OnPlay();
        if (!WaitUntil([&] { return playback.Player()->FramesShown() >= 15; }, 15000)) fail("no playback frames");
        save(&playback, "playback.png");
        playback.OnStop();
    }
}
