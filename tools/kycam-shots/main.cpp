// kycam-shots: pictures of the tool for a look at its layout, taken under
// Xvfb by scripts/screenshots.sh, and the language-file check of
// scripts/lang-check.sh. It starts the tool as the product does,
// from its own folder (db.dat and any language file beside it), then drives
// the main window and quits. Not part of the product.
//
//   kycam-shots layouts OUT_DIR          the three layouts, the default-settings
//                                        page, the tool login and the about box
//   kycam-shots live OUT_DIR HOST:PORT   the live view of that camera with its
//                                        marks and boxes, full screen, the SD
//                                        card and a playback
//   kycam-shots pages OUT_DIR HOST:PORT  every settings page that is built
//   kycam-shots upgrade OUT_DIR HOST:PORT DEVICE_ID
//                                        the maintenance page during a
//                                        firmware upgrade and after it (the
//                                        wait for the camera's return searches
//                                        the LAN: run it in a network namespace)
//   kycam-shots safety OUT_DIR HOST:PORT the format question, a configuration
//                                        save and its result, a page's failed
//                                        read line
//   kycam-shots lang SOURCE_DIR LANG_FILE
//                                        every window without a camera: prints
//                                        "chinese WINDOW: TEXT" for each text
//                                        with Chinese characters when no language
//                                        file lies beside the program, and
//                                        "missing [SECTION] KEY" for each key
//                                        looked up meanwhile, or named in the
//                                        sources, that LANG_FILE lacks; exits 1
//                                        when it printed any
//
// Message boxes are printed on standard error instead of shown: a modal box
// would stop the run.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QScreen>
#include <QDir>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <functional>
#include <set>
#include <string>

#include <QFile>
#include <QListWidget>
#include <QProgressBar>

#include "core/cgi/HttpFetch.h"
#include "core/discovery/DeviceFinder.h"
#include "core/services/LangText.h"
#include "gui/controls/HeaderCtrlCl.h"
#include "gui/kit/CameraSession.h"
#include "gui/kit/MessagePresenter.h"
#include "gui/live/BrowserSDDlg.h"
#include "gui/live/CameraWebView.h"
#include "gui/controls/ListCtrlCl.h"
#include "gui/discovery/SearchDlg.h"
#include "gui/live/ClipPlayer.h"
#include "gui/live/LeftPlayDlg.h"
#include "gui/live/LiveStatus.h"
#include "gui/live/PlayWnd.h"
#include "gui/live/PlaybackDlg.h"
#include "gui/live/ScreenPannel.h"
#include "gui/live/VideoDlg.h"
#include "gui/pages/CameraPage.h"
#include "gui/pages/network/SearchWFDlg.h"
#include "gui/pages/system/P_ResetDlg.h"
#include "gui/pages/system/P_SystemDlg.h"
#include "gui/shell/KyCamToolApp.h"
#include "gui/shell/KyCamToolDlg.h"
#include "gui/shell/LeftSettingsDlg.h"
#include "gui/shell/LoginDlg.h"
#include "tools/kycam-shots/LangKeys.h"

namespace {

class PrintingPresenter : public IMessagePresenter {
public:
    void Info(QWidget*, const QString& text) override { Print("info", text); }
    void Error(QWidget*, const QString& text) override { Print("error", text); }
    bool Question(QWidget*, const QString& text) override {
        Print(yes ? "question (answered Yes)" : "question (answered No)", text);
        return yes;
    }
    bool yes = false;

private:
    static void Print(const char* kind, const QString& text) {
        std::fprintf(stderr, "shots: message %s: %s\n", kind, text.toUtf8().constData());
    }
};

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

void Save(QWidget* widget, const QString& dir, const QString& name) {
    QCoreApplication::processEvents();
    if (!widget->grab().save(dir + QLatin1Char('/') + name))
        std::fprintf(stderr, "shots: cannot write %s\n", name.toUtf8().constData());
}

void Fail(const char* what) { std::fprintf(stderr, "shots: %s\n", what); }

// The camera as the device list would open it, with the play panel's user
// and password (the form's port rule would refuse an ephemeral port).
DeviceRecord CameraRecord(CKyCamToolDlg* w, const std::string& address) {
    DeviceRecord device{};
    const size_t colon = address.rfind(':');
    const std::string ip = address.substr(0, colon);
    const std::string port = colon == std::string::npos ? "80" : address.substr(colon + 1);
    std::snprintf(device.info.ip, sizeof device.info.ip, "%s", ip.c_str());
    std::snprintf(device.info.httpPort, sizeof device.info.httpPort, "%s", port.c_str());
    if (auto* panel = dynamic_cast<CLeftPlayDlg*>(w->PlayPanel())) {
        std::snprintf(device.user, sizeof device.user, "%s", panel->UserEdit()->text().toUtf8().constData());
        std::snprintf(device.password, sizeof device.password, "%s",
                      panel->PasswordEdit()->text().toUtf8().constData());
    }
    return device;
}

// With a camera (inside a private network namespace, where it answers the
// search): the device list after a search, then the camera live, recording,
// and paused behind the settings, each with its status bar.
void ShootCamera(CKyCamToolDlg* w, const QString& out, const std::string& camera) {
    auto* search = dynamic_cast<CSearchDlg*>(w->SearchView());
    w->SearchDevice();
    QCoreApplication::processEvents();
    Save(w, out, QStringLiteral("devicelist-searching.png"));
    if (search && !WaitUntil([&] { return !search->IsSearching() && search->List()->GetItemCount() > 0; }, 20000))
        Fail("no camera answered the search");
    Pause(300);
    Save(w, out, QStringLiteral("devicelist.png"));

    auto* panel = dynamic_cast<CLeftPlayDlg*>(w->PlayPanel());
    w->OpenDevice(CameraRecord(w, camera));
    CVideoDlg* video = g_pVideoDlg;
    if (!panel || !video || !WaitUntil([&] { return video->Status().kbps > 0; }, 20000)) return Fail("no live video");
    panel->OnCapture();
    auto* bar = dynamic_cast<CLiveStatusBar*>(w->StatusBar());
    if (bar) WaitUntil([&] { return !bar->SavedFile().isEmpty(); }, 5000);
    Save(w, out, QStringLiteral("preview-live.png"));
    if (bar) Save(bar, out, QStringLiteral("statusbar-live.png"));
    panel->OnStartRecord();
    Pause(2500);
    Save(w, out, QStringLiteral("preview-recording.png"));
    panel->OnStopRecord();
    w->ShowParamSettings();
    Pause(300);
    Save(w, out, QStringLiteral("settings-paused.png"));
    w->ShowPreview();
}

int ShootLayouts(CKyCamToolApp& tool, const QString& out, const std::string& camera) {
    CKyCamToolDlg* w = tool.MainWindow();
    Save(w, out, QStringLiteral("preview.png"));
    w->ShowParamSettings();
    Save(w, out, QStringLiteral("settings.png"));
    if (CLeftSettingsDlg* tree = w->SettingsPanel()) tree->ClickNode(tree->FindItem(24));
    Save(w, out, QStringLiteral("settings-defaults.png"));
    if (camera.empty()) {
        w->ShowDeviceList();   // shown only: no search is started
        Save(w, out, QStringLiteral("devicelist.png"));
    } else {
        ShootCamera(w, out, camera);
    }
    CLoginDlg login(tool.Store(), w);
    login.show();
    Save(&login, out, QStringLiteral("login.png"));
    login.hide();
    CAboutDlg about(w);
    about.show();
    Save(&about, out, QStringLiteral("about.png"));
    about.hide();
    return 0;
}

int ShootLive(CKyCamToolDlg* w, const QString& out, const std::string& camera) {
    auto* panel = dynamic_cast<CLeftPlayDlg*>(w->PlayPanel());
    if (!panel) return Fail("no play panel"), 1;
    w->OpenDevice(CameraRecord(w, camera));
    CVideoDlg* video = g_pVideoDlg;
    if (!video || !WaitUntil([&] { return video->PlayWnd()->FramesShown() > 10; }, 20000)) {
        Fail("no live video");
        Save(w, out, QStringLiteral("preview-live.png"));
        return 1;
    }
    Save(w, out, QStringLiteral("preview-live.png"));

    // The state marks in the title: recording, talking (music.g711) and listening.
    panel->OnStartRecord();
    panel->OnTalk();
    panel->OnListen();
    // Detection boxes come from the camera (the script has the emulator emit them).
    Pause(3000);
    Save(w, out, QStringLiteral("preview-marks-boxes.png"));

    video->ToggleFullScreen();
    WaitUntil([&] { return video->Panel()->isVisible() && video->Panel()->isWindow(); }, 5000);
    Pause(1000);
    Save(video->Panel(), out, QStringLiteral("fullscreen.png"));
    video->ToggleFullScreen();
    panel->OnStopRecord();
    panel->OnTalk();
    Pause(300);

    {
        CBrowserSDDlg sd(w);
        sd.show();
        WaitUntil([&] { return !sd.WebView()->CurrentPath().isEmpty() && !sd.WebView()->IsLoading(); }, 10000);
        Pause(300);
        Save(&sd, out, QStringLiteral("sdcard.png"));
    }
    CPlaybackDlg playback(w);
    playback.show();
    WaitUntil([&] { return !playback.IsScanning(); }, 10000);
    if (playback.RecordingList()->count() == 0) Fail("no recordings");
    playback.RecordingList()->setCurrentRow(0);
    playback.OnPlay();
    if (!WaitUntil([&] { return playback.Player()->FramesShown() >= 15; }, 15000)) Fail("no playback frames");
    Save(&playback, out, QStringLiteral("playback.png"));
    playback.OnStop();
    return 0;
}

// Until the page's reads are shown and any preview of its own plays.
void WaitForPage(QWidget* page) {
    if (auto* camera = dynamic_cast<CCameraPage*>(page)) WaitUntil([&] { return !camera->Busy(); }, 15000);
    for (CPlayWnd* preview : page->findChildren<CPlayWnd*>())
        if (preview->isVisible()) WaitUntil([&] { return preview->FramesShown() > 5; }, 10000);
    Pause(200);
}

// Selects tree number 1..38 in the Parameter setting layout; the page shown,
// or nullptr for a number without a page.
QWidget* OpenPage(CKyCamToolDlg* w, int number) {
    CLeftSettingsDlg* tree = w->SettingsPanel();
    if (QTreeWidgetItem* item = tree->FindItem(number)) {
        if (item->parent()) item->parent()->setExpanded(true);
        tree->Tree()->scrollToItem(item);
        tree->ClickNode(item);
    } else if (const TreeNodeRecord* record = tree->FindRecord(number)) {
        // A node the tree shows only for some cameras ("485 set").
        CShowPageEvent request(number, record);
        QCoreApplication::sendEvent(w, &request);
    }
    // Numbers without a node (18, 27, 28) have no page.
    return tree->FindRecord(number) ? w->CurrentPage() : nullptr;
}

// Every tree number 1..38 in the Parameter setting layout: the whole window
// with that node selected, as page-NN.png; one line each on standard output.
int ShootPages(CKyCamToolDlg* w, const QString& out, const std::string& camera) {
    w->OpenDevice(CameraRecord(w, camera));
    if (!WaitUntil([] { return CurrentCamera().IsLoggedIn(); }, 20000))
        std::fprintf(stderr, "shots: no login to %s; the pages show no camera values\n", camera.c_str());
    w->ShowParamSettings();
    for (int number = 1; number <= 38; ++number) {
        const QString name = QStringLiteral("page-%1").arg(number, 2, 10, QLatin1Char('0'));
        QWidget* page = OpenPage(w, number);
        if (!page) {
            std::printf("%s not built\n", name.toUtf8().constData());
            continue;
        }
        WaitForPage(page);
        Save(w, out, name + QStringLiteral(".png"));
        std::printf("%s shot\n", name.toUtf8().constData());
        std::fflush(stdout);
    }
    return 0;
}

// A real upload of a made-up package to the camera, with short waits for its
// return: upgrade-running.png once the file is sent and the camera installs it,
// upgrade-done.png after the page's closing message.
int ShootUpgrade(CKyCamToolDlg* w, const QString& out, const std::string& camera, const char* deviceId,
                 PrintingPresenter& presenter) {
    // Opened as from the device list: the return is recognised by the
    // search answer's identity.
    DeviceRecord device = CameraRecord(w, camera);
    if (!ky::DeviceFinder::Find(deviceId, &device.info)) return Fail("the camera does not answer the search"), 1;
    w->OpenDevice(device);
    if (!WaitUntil([] { return CurrentCamera().IsLoggedIn(); }, 20000)) return Fail("no login"), 1;
    w->ShowParamSettings();
    CLeftSettingsDlg* tree = w->SettingsPanel();
    QTreeWidgetItem* item = tree->FindItem(36);
    if (!item) return Fail("no maintenance node"), 1;
    if (item->parent()) item->parent()->setExpanded(true);
    tree->ClickNode(item);
    auto* page = dynamic_cast<CP_ResetDlg*>(w->CurrentPage());
    if (!page) return Fail("no maintenance page"), 1;
    WaitForPage(page);

    const QString package = out + QStringLiteral("/shots-firmware.pkg");
    QFile file(package);
    if (!file.open(QIODevice::WriteOnly) || file.write(QByteArray(8 << 20, 'k')) != (8 << 20))
        return Fail("no package"), 1;
    file.close();
    CP_ResetDlg::SetUpgradeLimits({.passMs = 200, .firstLookPass = 10, .maxPasses = 60, .maxMs = 12000});
    page->PathEdit()->setText(package);
    presenter.yes = true;
    page->OnUpgrade();
    presenter.yes = false;
    const bool midway = WaitUntil([&] { return page->Progress()->value() > 50; }, 10000);
    Pause(300);
    if (!midway || !page->UpgradeActive()) Fail("the upgrade was not seen running");
    Save(w, out, QStringLiteral("upgrade-running.png"));
    if (!WaitUntil([&] { return !page->UpgradeActive(); }, 30000)) Fail("the upgrade did not end");
    Pause(300);
    Save(w, out, QStringLiteral("upgrade-done.png"));
    QFile::remove(package);
    return 0;
}

// Every text the widget and its children show.
QStringList Texts(QWidget* root) {
    QList<QWidget*> widgets = root->findChildren<QWidget*>();
    widgets.prepend(root);
    QStringList texts;
    for (QWidget* w : widgets) {
        texts << w->windowTitle() << w->toolTip();
        if (auto* label = qobject_cast<QLabel*>(w)) texts << label->text();
        if (auto* button = qobject_cast<QAbstractButton*>(w)) texts << button->text();
        if (auto* group = qobject_cast<QGroupBox*>(w)) texts << group->title();
        if (auto* edit = qobject_cast<QLineEdit*>(w)) texts << edit->text() << edit->placeholderText();
        if (auto* header = qobject_cast<CHeaderCtrlCl*>(w)) texts << header->ColumnTexts();
        if (auto* combo = qobject_cast<QComboBox*>(w))
            for (int i = 0; i < combo->count(); ++i) texts << combo->itemText(i);
        if (auto* tree = qobject_cast<QTreeWidget*>(w))
            for (QTreeWidgetItemIterator it(tree); *it; ++it)
                for (int c = 0; c < tree->columnCount(); ++c) texts << (*it)->text(c);
        if (auto* table = qobject_cast<QTableWidget*>(w))
            for (int c = 0; c < table->columnCount(); ++c)
                if (QTableWidgetItem* item = table->horizontalHeaderItem(c)) texts << item->text();
        if (auto* list = qobject_cast<QListWidget*>(w))
            for (int i = 0; i < list->count(); ++i) texts << list->item(i)->text();
    }
    return texts;
}

// Any CJK character, punctuation and full-width forms included (wider than
// the defaults page's rule, which looks at ideographs only): an English
// window shows none.
bool HasCjk(const QString& text) {
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if ((u >= 0x2E80 && u <= 0x9FFF) || (u >= 0xAC00 && u <= 0xD7AF) || (u >= 0xF900 && u <= 0xFAFF) ||
            (u >= 0xFF00 && u <= 0xFFEF))
            return true;
    }
    return false;
}

std::set<LangKey> g_lookedUp;
void RecordLookup(const std::string& section, const std::string& key) { g_lookedUp.emplace(section, key); }

// Each window of the tool as a user meets it, without a camera.
void VisitWindows(CKyCamToolApp& tool, const std::function<void(const QString&, QWidget*)>& visit) {
    CKyCamToolDlg* w = tool.MainWindow();
    w->ShowPreview();
    visit(QStringLiteral("Preview"), w);
    w->ShowParamSettings();
    visit(QStringLiteral("Parameter setting"), w);
    for (int number = 1; number <= 38; ++number)
        if (QWidget* page = OpenPage(w, number)) {
            WaitForPage(page);
            visit(QStringLiteral("page %1").arg(number), w);
        }
    // Shown only: nothing is searched.
    w->ShowDeviceList();
    visit(QStringLiteral("Device list"), w);
    CLoginDlg login(tool.Store(), w);
    visit(QStringLiteral("tool login"), &login);
    CAboutDlg about(w);
    visit(QStringLiteral("About"), &about);
    CBrowserSDDlg sd(w);
    visit(QStringLiteral("SD card"), &sd);
    CPlaybackDlg playback(w);
    visit(QStringLiteral("Playback"), &playback);
    // A camera on a closed loopback port: its Wi-Fi search fails at once.
    CSearchWFDlg wifi(CameraTarget{"127.0.0.1", 1, "admin", ""}, w);
    visit(QStringLiteral("Wi-Fi search"), &wifi);
}

int CheckLanguage(CKyCamToolApp& tool, const std::string& sources, const std::string& langFile) {
    const bool english = !HasLangFile();
    int problems = 0;
    VisitWindows(tool, [&](const QString& where, QWidget* window) {
        if (!english) return;
        for (const QString& text : Texts(window))
            if (HasCjk(text)) {
                std::printf("chinese %s: %s\n", where.toUtf8().constData(), text.toUtf8().constData());
                ++problems;
            }
    });
    std::set<LangKey> keys = SourceLangKeys(sources);
    keys.insert(g_lookedUp.begin(), g_lookedUp.end());
    // Numbers, marks and arrows read the same in every language.
    std::erase_if(keys, [](const LangKey& k) {
        const QString text = QString::fromStdString(k.second);
        return std::none_of(text.begin(), text.end(), [](QChar c) { return c.isLetter(); });
    });
    for (const auto& [section, key] : KeysMissingFrom(langFile, keys)) {
        std::printf("missing [%s] %s\n", section.c_str(), key.c_str());
        ++problems;
    }
    std::fprintf(stderr, "shots: %zu keys (%zu looked up while the windows were built)%s\n", keys.size(),
                 g_lookedUp.size(), english ? "" : "; a language file lies beside the program: no Chinese check");
    return problems == 0 ? 0 : 1;
}

// The whole screen: message boxes are windows of their own.
void SaveScreen(const QString& dir, const QString& name) {
    QCoreApplication::processEvents();
    if (!QGuiApplication::primaryScreen()->grabWindow(0).save(dir + QLatin1Char('/') + name))
        std::fprintf(stderr, "shots: cannot write %s\n", name.toUtf8().constData());
}

// Adds a fault mode at the emulated camera ("none" clears them).
void EmulatorFault(const DeviceRecord& device, const char* name) {
    HttpPage reply;
    CHttpFetch::Get(device.info.ip, static_cast<uint16_t>(std::atoi(device.info.httpPort)), device.user,
                    device.password, std::string("/emu/fault?name=") + name, {}, &reply);
}

// The boxes that keep the user from losing data or guessing, as shown: the
// device information page asking before a format (safety-question.png), a
// configuration save under way and its result (safety-save-running.png,
// safety-save-done.png), and the network page after reads the camera
// refused (safety-error-line.png). Each box is taken from the screen, then
// closed (a question so answers No).
int ShootSafety(CKyCamToolDlg* w, const QString& out, const std::string& camera) {
    const DeviceRecord device = CameraRecord(w, camera);
    w->OpenDevice(device);
    if (!WaitUntil([] { return CurrentCamera().IsLoggedIn(); }, 20000)) return Fail("no login"), 1;
    w->ShowParamSettings();
    auto* info = dynamic_cast<CP_SystemDlg*>(OpenPage(w, 37));
    if (!info) return Fail("no device information page"), 1;
    WaitForPage(info);
    CMessageBoxPresenter boxes;
    IMessagePresenter* printing = InstallPresenter(&boxes);
    auto shootNextBox = [&](const QString& name) {
        QTimer::singleShot(1000, [out, name] {
            SaveScreen(out, name);
            if (auto* box = qobject_cast<QDialog*>(QApplication::activeModalWidget())) box->reject();
        });
    };
    shootNextBox(QStringLiteral("safety-question.png"));
    info->OnFormatSd();

    const QString file = out + QStringLiteral("/shots-configuration.json");
    CP_SystemDlg::SetConfigFileChooser([file](QWidget*, bool) { return file; });
    EmulatorFault(device, "slow");
    info->OnSaveConfig();
    Pause(1500);
    Save(w, out, QStringLiteral("safety-save-running.png"));
    EmulatorFault(device, "none");
    shootNextBox(QStringLiteral("safety-save-done.png"));
    if (!WaitUntil([&] { return !info->Busy(); }, 60000)) Fail("the save did not end");
    QFile::remove(file);

    EmulatorFault(device, "no-200");
    WaitForPage(OpenPage(w, 10));
    Save(w, out, QStringLiteral("safety-error-line.png"));
    EmulatorFault(device, "none");
    InstallPresenter(printing);
    return 0;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: kycam-shots layouts OUT_DIR | live OUT_DIR HOST:PORT | pages OUT_DIR HOST:PORT"
                 " | upgrade OUT_DIR HOST:PORT DEVICE_ID | safety OUT_DIR HOST:PORT | lang SOURCE_DIR LANG_FILE\n");
    return 2;
}

}   // namespace

int main(int argc, char** argv) {
    if (argc < 3) return Usage();
    const std::string mode = argv[1];
    const QString out = QString::fromLocal8Bit(argv[2]);
    const std::string camera = argc > 3 ? argv[3] : "";
    if (mode != "layouts" &&
        ((mode != "live" && mode != "pages" && mode != "upgrade" && mode != "safety" && mode != "lang") ||
         camera.empty()))
        return Usage();
    if (mode == "upgrade" && argc < 5) return Usage();

    QApplication app(argc, argv);
    PrintingPresenter presenter;
    InstallPresenter(&presenter);
    // The main window builds its panels and pages at once.
    if (mode == "lang") SetLangLookupHook(RecordLookup);
    CKyCamToolApp tool;
    if (!tool.InitInstance()) return 1;
    if (mode != "lang") QDir().mkpath(out);
    int code = 0;
    QTimer::singleShot(500, tool.MainWindow(), [&] {
        CKyCamToolDlg* w = tool.MainWindow();
        code = mode == "layouts"   ? ShootLayouts(tool, out, camera)
               : mode == "live"    ? ShootLive(w, out, camera)
               : mode == "upgrade" ? ShootUpgrade(w, out, camera, argv[4], presenter)
               : mode == "safety"  ? ShootSafety(w, out, camera)
               : mode == "lang"    ? CheckLanguage(tool, argv[2], camera)
                                   : ShootPages(w, out, camera);
        QCoreApplication::quit();
    });
    app.exec();
    tool.ExitInstance();
    SetLangLookupHook(nullptr);
    InstallPresenter(nullptr);
    return code;
}
