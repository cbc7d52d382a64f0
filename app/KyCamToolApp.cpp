#include "app/KyCamToolApp.h"

#include <sqlite3.h>

#include <QApplication>
#include <QDir>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>
#include <cstdlib>

#include "app/AppGlobals.h"
#include "app/KyCamToolDlg.h"
#include "app/LeftSettingsDlg.h"
#include "app/MessagePresenter.h"
#include "app/SdkBoundary.h"
#include "app/Skin.h"
#include "app/services/AppDir.h"
#include "store/LocalStore.h"
#include "store/LoginDlg.h"

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
