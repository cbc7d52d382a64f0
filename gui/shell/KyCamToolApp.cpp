#include "gui/shell/KyCamToolApp.h"

#include <sqlite3.h>

#include <QApplication>
#include <QSocketNotifier>
#include <QThreadPool>
#include <cstdio>

#include "gui/shell/AppGlobals.h"
#include "gui/shell/KyCamToolDlg.h"
#include "gui/kit/MessagePresenter.h"
#include "gui/shell/SdkBoundary.h"
#include "gui/shell/Skin.h"
#include "core/services/AppDir.h"
#include "core/services/Settings.h"
#include "core/services/Trace.h"
#include "core/services/StopSignals.h"
#include "core/store/LocalStore.h"

CKyCamToolApp::CKyCamToolApp() = default;

CKyCamToolApp::~CKyCamToolApp() { ExitInstance(); }

int CKyCamToolApp::Run(int& argc, char** argv) {
    QApplication app(argc, argv);
    // Ctrl+C or SIGTERM end the run the way closing the window does, so a
    // recording is finished with its index.
    const ky::StopSignals stop;
    QSocketNotifier stopNotifier(stop.Fd(), QSocketNotifier::Read);
    QObject::connect(&stopNotifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    int code = 0;
    if (InitInstance()) code = app.exec();
    ExitInstance();
    return code;
}

bool CKyCamToolApp::InitInstance() {
    m_started = true;
    // Where the framework would keep its own settings; the tool keeps its
    // own in settings.ini (core/services/AppDir.h).
    QCoreApplication::setOrganizationName(QStringLiteral("应用程序向导生成的本地应用程序"));
    QCoreApplication::setApplicationName(QStringLiteral("KyCameraTool"));
    // Ties the windows to the installed desktop entry (Wayland app id).
    QGuiApplication::setDesktopFileName(QStringLiteral("kycameratool"));

    if (m_appDir)
        SetAppDirForTesting(*m_appDir);
    else
        InitAppDir();
    // An installed tool starts with its per-user folders and a copy of the
    // template db.dat; what cannot be made shows up as the failed open below.
    PrepareUserFiles(CurrentAppLayout());

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
    // Which files a copy uses is the first question when an installed one misbehaves.
    KY_TRACE("Line-%d main window %s, settings [%s] database [%s]\n", __LINE__,
             m_mainWnd->isVisible() ? "shown" : "hidden", SettingsFilePath().c_str(),
             JoinPath(CurrentAppLayout().data, "db.dat").c_str());
    return true;
}

int CKyCamToolApp::ExitInstance() {
    if (!m_started) return 0;
    m_started = false;
    m_mainWnd.reset();
    g_pLocalStore = nullptr;
    m_store.reset();
    FreeSkinImages();
    // A camera login still running (the window closed mid-login) ends, and
    // is logged out again, while the SDK is still up.
    QThreadPool::globalInstance()->waitForDone();
    SdkShutdown();
    return 0;
}
