#include "gui/live/LeftPlayDlg.h"

#include <QComboBox>
#include <QCompleter>
#include <QKeyEvent>
#include <QMenu>
#include <QStringListModel>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "gui/kit/AppEvents.h"
#include "gui/kit/CameraSession.h"
#include "gui/kit/ShellHost.h"
#include "gui/kit/MessagePresenter.h"
#include "gui/kit/Translate.h"
#include "core/services/AppDir.h"
#include "core/services/FieldText.h"
#include "core/services/Settings.h"
#include "core/services/Trace.h"
#include "core/services/Utf8.h"
#include "gui/live/BrowserSDDlg.h"
#include "gui/live/LiveStatus.h"
#include "gui/live/PlaybackDlg.h"
#include "gui/live/SnapThread.h"
#include "gui/live/VideoDlg.h"

namespace {

// The record's IP text is a 16-byte field.
constexpr size_t kIpField = 16;
constexpr size_t kPortField = 16;

// text into a fixed field, cut on a UTF-8 boundary, the rest zeroed.
void CopyField(char* field, size_t width, const std::string& text) {
    const std::string cut = ky::Utf8Truncate(text, width - 1);
    std::memset(field, 0, width);
    std::memcpy(field, cut.data(), cut.size());
}

bool IsAsciiDigit(QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); }

}   // namespace

QPushButton* CLeftPlayDlg::MakeButton(const char* text, const char* name, QWidget* parent) {
    auto* b = new QPushButton(QString::fromUtf8(text), parent);
    b->setObjectName(QString::fromLatin1(name));
    b->setAutoDefault(false);
    // The panel is as narrow as 234 pixels on small screens: buttons may
    // shrink below their text's width rather than push the panel wider.
    b->setMinimumWidth(1);
    return b;
}

CLeftPlayDlg::CLeftPlayDlg(QWidget* parent, IShellHost* host) : QWidget(parent) {
    m_chooseFolder = [](QWidget* owner, const QString& title, const QString& start) {
        return QFileDialog::getExistingDirectory(owner, title, start, QFileDialog::ShowDirsOnly);
    };
    m_openFolder = [](const QString& folder) { return QDesktopServices::openUrl(QUrl::fromLocalFile(folder)); };
    m_bringToFront = [host] {
        if (host) host->ShowPreview();
    };
    m_runDialog = [](QDialog* dialog) { dialog->exec(); };
    m_talkSource = std::make_unique<CTalkSource>(AssetPath(kTalkFileName));

    // ---- connection form ----
    auto* login = new QGroupBox(this);
    auto* userLabel = new QLabel(QStringLiteral("User name:"), login);
    m_user = new QLineEdit(QStringLiteral("admin"), login);
    m_user->setObjectName(QStringLiteral("user"));
    m_user->setMaxLength(63);
    auto* pwdLabel = new QLabel(QStringLiteral("Password:"), login);
    m_password = new QLineEdit(QStringLiteral("tovel"), login);
    m_password->setObjectName(QStringLiteral("password"));
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setMaxLength(63);
    auto* ipLabel = new QLabel(QStringLiteral("IP address:"), login);
    m_ip = new QLineEdit(login);
    m_ip->setObjectName(QStringLiteral("ip"));
    auto* portLabel = new QLabel(QStringLiteral("Port:"), login);
    m_port = new QLineEdit(QStringLiteral("80"), login);
    m_port->setObjectName(QStringLiteral("port"));
    m_port->setMaxLength(5);
    m_port->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), m_port));
    auto* streamLabel = new QLabel(QStringLiteral("Stream:"), login);
    m_stream = new QComboBox(login);
    m_stream->setObjectName(QStringLiteral("stream"));
    auto* preview = m_preview = MakeButton("Preview", "preview", login);
    auto* stop = MakeButton("Stop", "stop", login);

    auto* loginGrid = new QGridLayout(login);
    loginGrid->addWidget(userLabel, 0, 0);
    loginGrid->addWidget(m_user, 0, 1);
    loginGrid->addWidget(pwdLabel, 1, 0);
    loginGrid->addWidget(m_password, 1, 1);
    loginGrid->addWidget(ipLabel, 2, 0);
    loginGrid->addWidget(m_ip, 2, 1);
    loginGrid->addWidget(portLabel, 3, 0);
    loginGrid->addWidget(m_port, 3, 1);
    loginGrid->addWidget(streamLabel, 4, 0);
    loginGrid->addWidget(m_stream, 4, 1);
    auto* connectRow = new QHBoxLayout;
    connectRow->addWidget(preview);
    connectRow->addWidget(stop);
    loginGrid->addLayout(connectRow, 5, 0, 1, 2);
    loginGrid->setColumnStretch(1, 1);
    // Enter anywhere in the form starts Preview (the main window lets it through).
    login->setProperty("acceptsEnter", true);
    for (QLineEdit* edit : {m_user, m_password, m_ip, m_port})
        connect(edit, &QLineEdit::returnPressed, this, &CLeftPlayDlg::OnPreview);
    m_stream->installEventFilter(this);
    // The address field offers the cameras last connected to.
    m_recentMenu = new QMenu(m_ip);
    m_recentModel = new QStringListModel(m_ip);
    auto* completer = new QCompleter(m_recentModel, m_ip);
    completer->setCompletionMode(QCompleter::PopupCompletion);
    m_ip->setCompleter(completer);
    QAction* recent = m_ip->addAction(style()->standardIcon(QStyle::SP_ArrowDown), QLineEdit::TrailingPosition);
    recent->setObjectName(QStringLiteral("recentCameras"));
    connect(recent, &QAction::triggered, this,
            [this] { m_recentMenu->popup(m_ip->mapToGlobal(QPoint(0, m_ip->height()))); });
    connect(completer, qOverload<const QString&>(&QCompleter::activated), this, [this](const QString& ip) {
        for (const RecentCamera& c : GetRecentCameras())
            if (QString::fromStdString(c.ip) == ip) return FillRecentCamera(c);
    });

    // ---- PTZ ----
    auto* ptz = new QGroupBox(this);
    auto* up = MakeButton("↑", "ptzUp", ptz);
    auto* down = MakeButton("↓", "ptzDown", ptz);
    auto* left = MakeButton("←", "ptzLeft", ptz);
    auto* right = MakeButton("→", "ptzRight", ptz);
    auto* home = MakeButton("HOME", "ptzHome", ptz);
    auto* zoomIn = MakeButton("Zoom in", "zoomIn", ptz);
    auto* zoomOut = MakeButton("Zoom out", "zoomOut", ptz);
    auto* focusIn = MakeButton("Focus+", "focusIn", ptz);
    auto* focusOut = MakeButton("Focus-", "focusOut", ptz);
    auto* speedLabel = new QLabel(QStringLiteral("Speed"), ptz);
    m_speedList = new QComboBox(ptz);
    m_speedList->setObjectName(QStringLiteral("speed"));
    auto* cruiseH = MakeButton("Left and right", "cruiseHorizontal", ptz);
    auto* cruiseV = MakeButton("Up and down", "cruiseVertical", ptz);

    auto* arrows = new QGridLayout;
    arrows->addWidget(up, 0, 1);
    arrows->addWidget(left, 1, 0);
    arrows->addWidget(home, 1, 1);
    arrows->addWidget(right, 1, 2);
    arrows->addWidget(down, 2, 1);
    auto* lens = new QGridLayout;
    lens->addWidget(zoomIn, 0, 0);
    lens->addWidget(zoomOut, 0, 1);
    lens->addWidget(focusIn, 1, 0);
    lens->addWidget(focusOut, 1, 1);
    lens->addWidget(speedLabel, 2, 0);
    lens->addWidget(m_speedList, 2, 1);
    lens->addWidget(cruiseH, 3, 0);
    lens->addWidget(cruiseV, 3, 1);
    for (QGridLayout* g : {arrows, lens})
        for (int c = 0; c < g->columnCount(); ++c) g->setColumnStretch(c, 1);
    auto* ptzColumn = new QVBoxLayout(ptz);
    ptzColumn->addLayout(arrows);
    ptzColumn->addLayout(lens);

    // ---- presets ----
    auto* presets = new QGroupBox(this);
    auto* presetLabel = new QLabel(QStringLiteral("Preset position"), presets);
    m_preset = new QLineEdit(QStringLiteral("1"), presets);
    m_preset->setObjectName(QStringLiteral("preset"));
    auto* presetSet = MakeButton("Set", "presetSet", presets);
    auto* presetCall = MakeButton("Call", "presetCall", presets);
    auto* presetDelete = MakeButton("Delete", "presetDelete", presets);
    auto* presetGrid = new QGridLayout(presets);
    presetGrid->addWidget(presetLabel, 0, 0);
    presetGrid->addWidget(m_preset, 0, 1, 1, 2);
    presetGrid->addWidget(presetSet, 1, 0);
    presetGrid->addWidget(presetCall, 1, 1);
    presetGrid->addWidget(presetDelete, 1, 2);
    for (int c = 0; c < 3; ++c) presetGrid->setColumnStretch(c, 1);

    // ---- snapshots, recording, talk, listen, camera storage ----
    auto* media = new QGroupBox(this);
    auto* capture = MakeButton("Capture", "capture", media);
    m_startRecord = MakeButton("Start Record", "startRecord", media);
    m_stopRecord = MakeButton("Stop Record", "stopRecord", media);
    auto* snapPath = MakeButton("Capture path", "snapPath", media);
    auto* snapOpen = MakeButton("Browser...", "snapOpen", media);
    auto* recPath = MakeButton("Recording path", "recPath", media);
    auto* recOpen = MakeButton("Browser...", "recOpen", media);
    m_talk = MakeButton("Start talk", "talk", media);
    m_listen = MakeButton("Listen", "listen", media);
    auto* sdCard = MakeButton("SD card", "sdCard", media);
    auto* playback = MakeButton("Playback", "playback", media);
    auto* mediaGrid = new QGridLayout(media);
    mediaGrid->addWidget(capture, 0, 0, 1, 2);
    mediaGrid->addWidget(m_startRecord, 1, 0);
    mediaGrid->addWidget(m_stopRecord, 1, 1);
    mediaGrid->addWidget(snapPath, 2, 0);
    mediaGrid->addWidget(snapOpen, 2, 1);
    mediaGrid->addWidget(recPath, 3, 0);
    mediaGrid->addWidget(recOpen, 3, 1);
    mediaGrid->addWidget(m_talk, 4, 0);
    mediaGrid->addWidget(m_listen, 4, 1);
    mediaGrid->addWidget(sdCard, 5, 0);
    mediaGrid->addWidget(playback, 5, 1);
    mediaGrid->setColumnStretch(0, 1);
    mediaGrid->setColumnStretch(1, 1);

    for (QLayout* l : {static_cast<QLayout*>(loginGrid), static_cast<QLayout*>(ptzColumn),
                       static_cast<QLayout*>(presetGrid), static_cast<QLayout*>(mediaGrid)}) {
        l->setContentsMargins(6, 6, 6, 6);
        l->setSpacing(4);
    }
    for (QComboBox* list : {m_stream, m_speedList}) list->setMinimumContentsLength(2);
    for (QLineEdit* edit : {m_user, m_password, m_ip, m_port, m_preset}) edit->setMinimumWidth(40);
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(2, 2, 2, 2);
    column->addWidget(login);
    column->addWidget(ptz);
    column->addWidget(presets);
    column->addWidget(media);
    column->addStretch(1);

    // The controls sit inside frames, so those are translated too.
    TranslateWindowEx(kSection, this);
    for (QGroupBox* box : {login, ptz, presets, media}) TranslateWindowEx(kSection, box);

    m_stream->addItem(LangTextEx(kSection, QStringLiteral("First stream")));
    m_stream->addItem(LangTextEx(kSection, QStringLiteral("Second stream")));
    m_stream->setCurrentIndex(0);
    for (int i = 1; i <= kSpeedEntries; ++i) m_speedList->addItem(QString::number(i));
    // A stored speed outside the list would select nothing and send a speed
    // that no entry shows; it is kept inside the list.
    m_speed = std::clamp(GetPtzSpeed(), 0, kSpeedEntries - 1);
    m_speedList->setCurrentIndex(m_speed);
    m_stopRecord->setEnabled(false);
    RefreshRecentCameras();   // names the streams as the list does

    // The snapshot folder exists (and settings.ini names it) from the start.
    GetSnapDir();

    connect(preview, &QPushButton::clicked, this, &CLeftPlayDlg::OnPreview);
    connect(stop, &QPushButton::clicked, this, &CLeftPlayDlg::OnStop);
    const std::pair<QPushButton*, int32_t> steps[] = {
        {up, kPtzUp},      {down, kPtzDown},    {left, kPtzLeft},    {right, kPtzRight},
        {zoomIn, kZoomIn}, {zoomOut, kZoomOut}, {focusIn, kFocusIn}, {focusOut, kFocusOut},
    };
    for (const auto& [button, command] : steps) {
        const int32_t code = command;
        connect(button, &QPushButton::clicked, this, [this, code] { OnPtz(code); });
    }
    connect(home, &QPushButton::clicked, this, &CLeftPlayDlg::OnHome);
    connect(cruiseH, &QPushButton::clicked, this, &CLeftPlayDlg::OnCruiseHorizontal);
    connect(cruiseV, &QPushButton::clicked, this, &CLeftPlayDlg::OnCruiseVertical);
    connect(m_speedList, &QComboBox::currentIndexChanged, this, &CLeftPlayDlg::OnSpeedChanged);
    connect(m_preset, &QLineEdit::textChanged, this, &CLeftPlayDlg::OnPresetTextChanged);
    connect(presetSet, &QPushButton::clicked, this, &CLeftPlayDlg::OnPresetSet);
    connect(presetCall, &QPushButton::clicked, this, &CLeftPlayDlg::OnPresetCall);
    connect(presetDelete, &QPushButton::clicked, this, &CLeftPlayDlg::OnPresetDelete);
    connect(capture, &QPushButton::clicked, this, &CLeftPlayDlg::OnCapture);
    connect(m_startRecord, &QPushButton::clicked, this, &CLeftPlayDlg::OnStartRecord);
    connect(m_stopRecord, &QPushButton::clicked, this, &CLeftPlayDlg::OnStopRecord);
    connect(snapPath, &QPushButton::clicked, this, &CLeftPlayDlg::OnChooseSnapDir);
    connect(recPath, &QPushButton::clicked, this, &CLeftPlayDlg::OnChooseRecDir);
    connect(snapOpen, &QPushButton::clicked, this, &CLeftPlayDlg::OnOpenSnapDir);
    connect(recOpen, &QPushButton::clicked, this, &CLeftPlayDlg::OnOpenRecDir);
    connect(m_talk, &QPushButton::clicked, this, &CLeftPlayDlg::OnTalk);
    connect(m_listen, &QPushButton::clicked, this, &CLeftPlayDlg::OnListen);
    connect(sdCard, &QPushButton::clicked, this, &CLeftPlayDlg::OnSdCard);
    connect(playback, &QPushButton::clicked, this, &CLeftPlayDlg::OnPlayback);

    AttachLiveView();
}

CLeftPlayDlg::~CLeftPlayDlg() {
    // The talk thread reads this panel's sound source: the channel ends
    // first, even when the live view has already gone (a handle that is no
    // longer logged in is refused harmlessly).
    if (m_talkHandle) KY_SDK_StopVoiceCom(m_talkHandle);
    // Workers still capturing post to this panel; wait for them.
    for (CSnapThread* worker : m_snaps) delete worker;
    m_snaps.clear();
    QCoreApplication::removePostedEvents(this, ky::msg::kSnapDone);
}

QPushButton* CLeftPlayDlg::Button(const char* name) const { return findChild<QPushButton*>(QString::fromLatin1(name)); }

void CLeftPlayDlg::SetTalkFile(const std::string& path) { m_talkSource = std::make_unique<CTalkSource>(path); }

// ---- rules ---------------------------------------------------------------------

bool CLeftPlayDlg::IsValidIp(const QString& text) {
    if (text.isEmpty() || size_t(text.size()) >= kIpField) return false;
    for (QChar c : text)
        if (!IsAsciiDigit(c) && c != QLatin1Char('.')) return false;
    const QStringList parts = text.split(QLatin1Char('.'));
    if (parts.size() != 4) return false;
    for (int i = 0; i < 4; ++i) {
        if (parts[i].isEmpty()) return false;
        const qlonglong v = parts[i].toLongLong();   // at most 12 digits here
        if (v > 255 || (i == 0 && v < 1)) return false;
    }
    return true;
}

bool CLeftPlayDlg::IsValidPort(long port) { return port == 80 || (port >= 1024 && port <= 49151); }

QString CLeftPlayDlg::FilterNumberText(const QString& text, bool* cut) {
    if (cut) *cut = false;
    if (text == QLatin1String("0")) return {};
    QString t = text;
    if (t.size() > 3) {
        t.truncate(3);
        if (cut) *cut = true;
    }
    for (qsizetype i = 0; i < t.size(); ++i) {
        if (!IsAsciiDigit(t[i])) {
            t.remove(i, 1);
            break;
        }
    }
    return t;
}

// ---- the live view -------------------------------------------------------------

ILiveControl* CLeftPlayDlg::Live() const { return CurrentLiveControl(); }

KY_HANDLE CLeftPlayDlg::Handle() const {
    ILiveControl* live = Live();
    return live && CurrentCamera().IsLoggedIn() ? live->Handle() : 0;
}

void CLeftPlayDlg::AttachLiveView() {
    auto* video = dynamic_cast<CVideoDlg*>(&CurrentCamera());
    if (!video || video == m_attached) return;
    if (m_attached) disconnect(m_attached, nullptr, this, nullptr);
    m_attached = video;
    connect(video, &CVideoDlg::listenStateChanged, this, &CLeftPlayDlg::OnListenState);
    connect(video, &CVideoDlg::talkStopped, this, &CLeftPlayDlg::OnTalkEnded);
    connect(video, &CVideoDlg::connectingChanged, this, &CLeftPlayDlg::OnConnecting);
    connect(video, &CVideoDlg::connectionChanged, this, &CLeftPlayDlg::OnConnectionChanged);
    OnConnecting(video->IsConnecting());
}

void CLeftPlayDlg::AttachStatusBar(CLiveStatusBar* bar) {
    if (m_statusBar) disconnect(m_statusBar, nullptr, this, nullptr);
    m_statusBar = bar;
    if (bar) connect(bar, &CLiveStatusBar::openFolderRequested, this, &CLeftPlayDlg::OpenFolderPath);
}

void CLeftPlayDlg::ShowSavedFile(const std::string& path) {
    if (m_statusBar && !path.empty()) m_statusBar->ShowSavedFile(QDir::cleanPath(QString::fromStdString(path)));
}

void CLeftPlayDlg::showEvent(QShowEvent* event) {
    // The main window makes the live-video window after this panel.
    AttachLiveView();
    QWidget::showEvent(event);
}

void CLeftPlayDlg::BringToFront() {
    if (m_bringToFront) m_bringToFront();
}

KY_HANDLE CLeftPlayDlg::FrontHandle() {
    if (!CurrentCamera().IsLoggedIn()) return 0;
    // Bringing the view to the front may log in again (a paused view
    // resumes), so the handle is taken afterwards.
    BringToFront();
    return Handle();
}

// ---- connection ----------------------------------------------------------------

void CLeftPlayDlg::OnPreview() {
    // One login at a time; another camera needs Stop first.
    if (CurrentCamera().IsConnecting()) return;
    if (CurrentCamera().IsLoggedIn()) return BringToFront();

    const QString ip = m_ip->text();
    bool portOk = false;
    long port = m_port->text().toLong(&portOk);
    if (!portOk) port = 0;

    if (!IsValidIp(ip)) return KyMessage(this, "Illegal IP address!");
    const std::string ipText = ip.toStdString();
    if (ipText != ky::FieldText(m_device.info.ip)) CopyField(m_device.info.ip, sizeof m_device.info.ip, ipText);
    if (!IsValidPort(port)) return KyMessage(this, "Illegal port");

    char portText[kPortField];
    std::snprintf(portText, sizeof portText, "%ld", port);
    CopyField(m_device.info.httpPort, sizeof m_device.info.httpPort, portText);
    CopyField(m_device.user, sizeof m_device.user, m_user->text().toStdString());
    CopyField(m_device.password, sizeof m_device.password, m_password->text().toStdString());
    m_device.stream = std::max(0, m_stream->currentIndex());

    ResetSnapCounter();
    CurrentCamera().Connect(m_device);
    BringToFront();
    ShowRecordButtons(false);
}

void CLeftPlayDlg::OnStop() {
    if (ILiveControl* live = Live()) live->Disconnect();
}

void CLeftPlayDlg::FillConnectForm(const DeviceRecord& device) {
    m_device = device;
    m_user->setText(QString::fromUtf8(ky::FieldText(device.user)));
    m_password->setText(QString::fromUtf8(ky::FieldText(device.password)));
    m_ip->setText(QString::fromUtf8(ky::FieldText(device.info.ip)));
    m_stream->setCurrentIndex(std::clamp(device.stream, 0, 1));
    m_port->setText(QString::fromUtf8(ky::FieldText(device.info.httpPort)));
}

void CLeftPlayDlg::ResetSnapSequence() { ResetSnapCounter(); }

void CLeftPlayDlg::FillRecentCamera(const RecentCamera& camera) {
    m_ip->setText(QString::fromStdString(camera.ip));
    m_port->setText(QString::fromStdString(camera.port));
    m_user->setText(QString::fromStdString(camera.user));
    m_stream->setCurrentIndex(std::clamp(camera.stream, 0, 1));
}

void CLeftPlayDlg::RefreshRecentCameras() {
    const std::vector<RecentCamera> cameras = GetRecentCameras();
    QStringList addresses;
    m_recentMenu->clear();
    for (const RecentCamera& c : cameras) {
        addresses << QString::fromStdString(c.ip);
        const QString text = QStringLiteral("%1:%2  %3  %4")
                                 .arg(QString::fromStdString(c.ip), QString::fromStdString(c.port),
                                      QString::fromStdString(c.user), m_stream->itemText(c.stream));
        connect(m_recentMenu->addAction(text), &QAction::triggered, this, [this, c] { FillRecentCamera(c); });
    }
    addresses.removeDuplicates();
    m_recentModel->setStringList(addresses);
    if (QAction* a = m_ip->findChild<QAction*>(QStringLiteral("recentCameras"))) a->setVisible(!cameras.empty());
}

bool CLeftPlayDlg::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_stream && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            OnPreview();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

// ---- PTZ and presets -----------------------------------------------------------

void CLeftPlayDlg::OnPtz(int32_t command) {
    if (const KY_HANDLE h = FrontHandle()) KY_SDK_PTZControlEx(h, command);
}

void CLeftPlayDlg::OnHome() {
    if (const KY_HANDLE h = FrontHandle()) KY_SDK_PTZControl(h, kPtzHome, kHomeSpeed);
}

void CLeftPlayDlg::OnCruiseHorizontal() {
    if (const KY_HANDLE h = FrontHandle(); h && KY_SDK_PTZControl(h, kCruiseHorizontal, m_speed) != 0)
        KyMessage(this, "Horizontal cruise failed!");
}

void CLeftPlayDlg::OnCruiseVertical() {
    if (const KY_HANDLE h = FrontHandle(); h && KY_SDK_PTZControl(h, kCruiseVertical, m_speed) != 0)
        KyMessage(this, "Vertical cruise failed!");
}

void CLeftPlayDlg::OnSpeedChanged(int index) {
    if (index < 0) return;
    m_speed = index;
    SetPtzSpeed(index);
}

void CLeftPlayDlg::Preset(int32_t command, const char* failure) {
    const KY_HANDLE h = FrontHandle();
    if (!h) return;
    const int number = m_preset->text().toInt();   // empty or not a number: 0
    if (number < 1 || number > 255) return KyMessage(this, "Preset position range 1 ~ 255!");
    if (KY_SDK_PTZPreset(h, command, number - 1) != 0) KyMessage(this, failure);
}

void CLeftPlayDlg::OnPresetSet() { Preset(kPresetSet, "Failed to set preset position!"); }
void CLeftPlayDlg::OnPresetCall() { Preset(kPresetCall, "Failed to call preset position!"); }
void CLeftPlayDlg::OnPresetDelete() { Preset(kPresetDelete, "Failed to delete preset position!"); }

void CLeftPlayDlg::OnPresetTextChanged(const QString& text) {
    bool cut = false;
    const QString filtered = FilterNumberText(text, &cut);
    if (filtered == text) return;
    // Setting the text comes back here once more with the shorter text.
    m_preset->setText(filtered);
    if (cut) m_preset->setSelection(0, int(m_preset->text().size()));
}

// ---- snapshots and recording ---------------------------------------------------

void CLeftPlayDlg::OnCapture() {
    const KY_HANDLE h = Handle();
    if (!h) return;
    auto* worker = new CSnapThread(this, CurrentCamera().GetDevice(), h);
    if (!worker->Start()) {
        delete worker;
        return KyMessage(this, "Capture failed");
    }
    m_snaps.insert(worker);
}

void CLeftPlayDlg::SnapDone(CSnapThread* worker) {
    // Only workers of this panel that are still outstanding.
    if (!m_snaps.erase(worker)) return;
    worker->Join();
    const std::string result = worker->Result();
    const std::string path = worker->Path();
    delete worker;
    if (!result.empty()) return Presenter().Info(this, QString::fromStdString(result));
    ShowSavedFile(path);
}

bool CLeftPlayDlg::event(QEvent* e) {
    if (e->type() == ky::msg::Type(ky::msg::kSnapDone)) {
        SnapDone(static_cast<CSnapDoneEvent*>(e)->Worker());
        return true;
    }
    return QWidget::event(e);
}

void CLeftPlayDlg::OnStartRecord() {
    const KY_HANDLE h = Handle();
    ILiveControl* live = Live();
    if (!h || !live) return;
    const std::string folder = CameraFolder(GetRecDir(), CurrentCamera().GetDevice().info.ip);
    const std::string path = folder + "/" + RecFileName(LocalNow());
    if (KY_SDK_StartRecord(h, path.c_str(), 4, 0, 0) == 0) {
        m_recordPath = path;
        live->SetRecording(true);
        ShowRecordButtons(true);
    } else {
        KY_TRACE("Line-%d start record [%s] failure\n", __LINE__, path.c_str());
        live->SetRecording(false);
        KyMessage(this, "Video recording failed!");
    }
}

void CLeftPlayDlg::OnStopRecord() {
    ShowRecordButtons(false);
    const KY_HANDLE h = Handle();
    ILiveControl* live = Live();
    if (h && live && live->IsRecording()) {
        KY_SDK_StopRecord(h);
        live->SetRecording(false);
        ShowSavedFile(m_recordPath);
    }
    m_recordPath.clear();
}

void CLeftPlayDlg::ShowRecordButtons(bool recording) {
    m_startRecord->setEnabled(!recording);
    m_stopRecord->setEnabled(recording);
}

void CLeftPlayDlg::OnConnectionChanged(bool loggedIn) {
    if (loggedIn) {
        // Remembered once a login worked, without its password.
        const DeviceRecord& d = CurrentCamera().GetDevice();
        AddRecentCamera({std::string(ky::FieldText(d.info.ip)), std::string(ky::FieldText(d.info.httpPort)),
                         std::string(ky::FieldText(d.user)), std::clamp(d.stream, 0, 1)});
        RefreshRecentCameras();
        return;
    }
    // The live view finishes a running recording when its connection ends.
    if (m_recordPath.empty()) return;
    ShowRecordButtons(false);
    ShowSavedFile(m_recordPath);
    m_recordPath.clear();
}

bool CLeftPlayDlg::MakeFolder(const QString& folder) {
    if (QDir().mkpath(folder)) return true;
    Presenter().Error(
        this, LangTextEx(kSection, QStringLiteral("The folder cannot be created:")) + QLatin1Char('\n') + folder);
    return false;
}

void CLeftPlayDlg::OpenFolderPath(const QString& folder) {
    if (!MakeFolder(folder)) return;
    if (m_openFolder && !m_openFolder(folder))
        Presenter().Error(this, LangTextEx(kSection, QStringLiteral("No file manager could open the folder:")) +
                                    QLatin1Char('\n') + folder);
}

void CLeftPlayDlg::OnChooseSnapDir() {
    const QString chosen = m_chooseFolder(this, LangTextEx(kSection, QString::fromUtf8(kChooserTitle)),
                                          QString::fromStdString(GetSnapDir()));
    if (chosen.isEmpty()) {
        // Cancelled: the current folder (the default when none) is stored again.
        SetSnapDir(GetSnapDir());
        return;
    }
    if (MakeFolder(chosen)) SetSnapDir(chosen.toStdString());
}

void CLeftPlayDlg::OnChooseRecDir() {
    const QString chosen = m_chooseFolder(this, LangTextEx(kSection, QString::fromUtf8(kChooserTitle)),
                                          QString::fromStdString(GetRecDir()));
    if (chosen.isEmpty()) {
        SetRecDir(GetRecDir());
        return;
    }
    if (MakeFolder(chosen)) SetRecDir(chosen.toStdString());
}

void CLeftPlayDlg::OpenFolder(const std::string& base) {
    // Logged in: the camera's own sub-folder; otherwise the base folder.
    const std::string folder =
        CurrentCamera().IsLoggedIn() ? CameraFolder(base, CurrentCamera().GetDevice().info.ip) : base;
    OpenFolderPath(QDir::cleanPath(QString::fromStdString(folder)));
}

void CLeftPlayDlg::OnOpenSnapDir() { OpenFolder(GetSnapDir()); }
void CLeftPlayDlg::OnOpenRecDir() { OpenFolder(GetRecDir()); }

// ---- talk and listen -----------------------------------------------------------

void CLeftPlayDlg::OnTalk() {
    if (!Handle()) return KyMessage(this, "Not connected!");
    BringToFront();
    ILiveControl* live = Live();
    if (!live || !Handle()) return;
    if (!live->IsTalking()) {
        // The loudspeaker test needs its sound: made once when none lies
        // beside the program.
        if (m_talkSource->Path() == AssetPath(kTalkFileName)) EnsureTestSound(m_talkSource->Path());
        if (StartTalk(*live, *m_talkSource) == 0) {
            m_talkHandle = live->Handle();
            m_talk->setText(LangTextEx(kSection, QStringLiteral("Stop talk")));
        } else {
            m_talk->setText(LangTextEx(kSection, QStringLiteral("Start talk")));
            KyMessage(this, "Failed to start talk!");
        }
    } else if (StopTalk(*live, *m_talkSource) == 0) {
        m_talkHandle = 0;
        m_talk->setText(LangTextEx(kSection, QStringLiteral("Start talk")));
    } else {
        m_talk->setText(LangTextEx(kSection, QStringLiteral("Stop talk")));
        KyMessage(this, "Failed to stop talk!");
    }
}

void CLeftPlayDlg::OnListen() {
    if (!Handle()) return KyMessage(this, "Not connected!");
    BringToFront();
    ILiveControl* live = Live();
    if (!live || !CurrentCamera().IsPlaying()) return;
    const bool wanted = !live->IsListening();
    const bool listening = ToggleListen(*live);
    OnListenState(listening);
    if (wanted && !listening) KyMessageEx(this, kSection, "No sound output device could be opened!");
}

// ---- the camera's SD card -------------------------------------------------------

void CLeftPlayDlg::OnSdCard() {
    CBrowserSDDlg dialog(this);
    if (m_runDialog) m_runDialog(&dialog);
}

void CLeftPlayDlg::OnPlayback() {
    CPlaybackDlg dialog(this);
    if (m_runDialog) m_runDialog(&dialog);
}

void CLeftPlayDlg::OnListenState(bool listening) {
    m_listen->setText(LangTextEx(kSection, listening ? QStringLiteral("Mute") : QStringLiteral("Listen")));
}

void CLeftPlayDlg::OnConnecting(bool connecting) {
    if (connecting)
        setCursor(Qt::BusyCursor);
    else
        unsetCursor();
    m_preview->setEnabled(!connecting);
}

void CLeftPlayDlg::OnTalkEnded() {
    m_talkHandle = 0;
    m_talkSource->Close();
    m_talk->setText(LangTextEx(kSection, QStringLiteral("Talk")));
}
