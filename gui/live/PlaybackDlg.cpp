#include "gui/live/PlaybackDlg.h"

#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <QVBoxLayout>

#include "gui/kit/CameraSession.h"
#include "gui/kit/MessagePresenter.h"
#include "gui/kit/Translate.h"
#include "gui/live/CameraWebView.h"
#include "gui/live/ClipPlayer.h"

namespace {

constexpr int kPathRole = Qt::UserRole + 1;

QString Clock(qint64 ms) {
    const qint64 s = ms / 1000;
    return QStringLiteral("%1:%2").arg(s / 60, 2, 10, QLatin1Char('0')).arg(s % 60, 2, 10, QLatin1Char('0'));
}

}   // namespace

// ---- video widget ---------------------------------------------------------

CClipVideoWidget::CClipVideoWidget(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMinimumSize(320, 240);
}

void CClipVideoWidget::SetImage(const QImage& image) {
    m_image = image;
    update();
}

void CClipVideoWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.fillRect(rect(), Qt::black);
    if (m_image.isNull()) return;
    QSize size = m_image.size().scaled(this->size(), Qt::KeepAspectRatio);
    QRect target(QPoint(0, 0), size);
    target.moveCenter(rect().center());
    p.setRenderHint(QPainter::SmoothPixmapTransform);
    p.drawImage(target, m_image);
}

// ---- dialog ---------------------------------------------------------------

struct CPlaybackDlg::Scan {
    CameraAddress camera;
    std::atomic<bool> cancel{false};
    SdScanResult result;
};

CPlaybackDlg::CPlaybackDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("Playback"));

    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("recordings"));
    m_list->setMinimumWidth(260);
    m_list->setMaximumWidth(360);
    m_video = new CClipVideoWidget(this);
    m_video->setObjectName(QStringLiteral("1234"));
    m_play = new QPushButton(QStringLiteral("Play"), this);
    m_pause = new QPushButton(QStringLiteral("Pause"), this);
    m_pause->setCheckable(true);
    m_stop = new QPushButton(QStringLiteral("Stop"), this);
    m_refresh = new QPushButton(QStringLiteral("Refresh"), this);
    m_slider = new QSlider(Qt::Horizontal, this);
    m_slider->setObjectName(QStringLiteral("position"));
    m_slider->setRange(0, 0);
    m_time = new QLabel(QStringLiteral("00:00 / 00:00"), this);
    m_time->setObjectName(QStringLiteral("time"));
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("status"));
    m_status->setMinimumWidth(240);

    auto* top = new QHBoxLayout;
    top->addWidget(m_list);
    top->addWidget(m_video, 1);
    auto* controls = new QHBoxLayout;
    controls->addWidget(m_refresh);
    controls->addSpacing(12);
    controls->addWidget(m_play);
    controls->addWidget(m_pause);
    controls->addWidget(m_stop);
    controls->addWidget(m_slider, 1);
    controls->addWidget(m_time);
    controls->addSpacing(12);
    controls->addWidget(m_status);
    auto* main = new QVBoxLayout(this);
    main->setContentsMargins(5, 5, 5, 5);
    main->addLayout(top, 1);
    main->addLayout(controls);

    m_player = new CClipPlayer(this);
    connect(m_player, &CClipPlayer::opened, this, &CPlaybackDlg::OnOpened);
    connect(m_player, &CClipPlayer::frameReady, this, &CPlaybackDlg::OnFrame);
    connect(m_player, &CClipPlayer::positionChanged, this, &CPlaybackDlg::OnPosition);
    connect(m_player, &CClipPlayer::downloadProgress, this, &CPlaybackDlg::OnProgress);
    connect(m_player, &CClipPlayer::finished, this, &CPlaybackDlg::OnFinished);
    connect(m_play, &QPushButton::clicked, this, &CPlaybackDlg::OnPlay);
    connect(m_pause, &QPushButton::clicked, this, &CPlaybackDlg::OnPause);
    connect(m_stop, &QPushButton::clicked, this, &CPlaybackDlg::OnStop);
    connect(m_refresh, &QPushButton::clicked, this, &CPlaybackDlg::RefreshList);
    connect(m_list, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem*) { OnPlay(); });
    connect(m_list, &QListWidget::currentRowChanged, this, [this](int) { UpdateButtons(); });
    connect(m_slider, &QSlider::sliderReleased, this, [this] {
        if (m_player->IsRunning()) m_player->Seek(m_slider->value());
    });

    TranslateWindow(this);

    // The screen's width and its height less the 32-pixel strip, top left.
    if (QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect area = screen->geometry();
        setGeometry(area.left(), area.top(), area.width(), std::max(area.height() - 32, 200));
    }

    RefreshList();
    UpdateButtons();
}

CPlaybackDlg::~CPlaybackDlg() {
    StopScan();
    m_player->Stop();
}

void CPlaybackDlg::done(int result) {
    // Closing ends the download and the decoder at once.
    StopScan();
    m_player->Stop();
    QDialog::done(result);
}

QString CPlaybackDlg::StatusText() const { return m_status->text(); }

void CPlaybackDlg::SetStatus(const QString& text) { m_status->setText(text); }

void CPlaybackDlg::StopScan() {
    if (m_scan) m_scan->cancel = true;
    if (m_scanThread.joinable()) m_scanThread.join();
    m_scan.reset();
    m_scanning = false;
}

void CPlaybackDlg::RefreshList() {
    StopScan();
    m_list->clear();
    ICameraSession& session = CurrentCamera();
    if (!session.IsLoggedIn()) {
        m_loggedIn = 0;
        SetStatus(QString());
        UpdateButtons();
        return;
    }
    m_camera = CameraAddressOf(session.GetDevice());
    m_loggedIn = 1;
    m_scanning = true;
    SetStatus(LangText(QStringLiteral("Reading the SD card...")));
    auto scan = std::make_shared<Scan>();
    scan->camera = m_camera;
    m_scan = scan;
    m_scanThread = std::thread([this, scan] {
        HttpFetchOptions options;
        options.idleTimeoutMs = 5000;
        options.totalTimeoutMs = 30000;
        options.maxBodyBytes = CCameraWebView::kMaxPageBytes;
        options.cancel = &scan->cancel;
        scan->result = ScanSdRecordings(scan->camera, "/sd/", options);
        QMetaObject::invokeMethod(
            this, [this, scan] { FinishScan(scan); }, Qt::QueuedConnection);
    });
    UpdateButtons();
}

void CPlaybackDlg::FinishScan(const std::shared_ptr<Scan>& scan) {
    if (scan != m_scan) return;
    if (m_scanThread.joinable()) m_scanThread.join();
    m_scan.reset();
    m_scanning = false;
    for (const SdEntry& e : scan->result.recordings) {
        // The day folder in front of the name keeps equal names apart.
        const std::string folderPath = e.path.substr(0, e.path.rfind('/'));
        const QString day = QString::fromStdString(PathFileName(folderPath));
        auto* item = new QListWidgetItem(QString::fromStdString(PathFileName(e.path)), m_list);
        item->setData(kPathRole, QString::fromStdString(e.path));
        item->setToolTip(day + QLatin1Char('/') + item->text());
    }
    if (!scan->result.Ok()) {
        SetStatus(QString());
        const std::string key = CameraWebErrorKey(scan->result.fetch, scan->result.status);
        if (!key.empty()) KyError(this, key);
    } else if (m_list->count() == 0) {
        SetStatus(LangText(QStringLiteral("No recordings on the SD card")));
    } else {
        SetStatus(LangText(QStringLiteral("Recordings:")) + QLatin1Char(' ') + QString::number(m_list->count()));
        if (m_list->currentRow() < 0) m_list->setCurrentRow(0);
    }
    UpdateButtons();
}

void CPlaybackDlg::PlayPath(const QString& path) {
    if (!m_loggedIn) return;
    m_playingPath = path;
    m_durationMs = 0;
    m_slider->setRange(0, 0);
    m_time->setText(QStringLiteral("00:00 / 00:00"));
    m_pause->setChecked(false);
    m_video->SetImage(QImage());
    SetStatus(LangText(QStringLiteral("Downloading the recording...")));
    m_player->Play(m_camera, path.toStdString());
    UpdateButtons();
}

void CPlaybackDlg::OnPlay() {
    if (m_player->IsRunning() && m_player->IsPaused()) {
        OnPause();   // Play on a paused clip goes on
        return;
    }
    QListWidgetItem* item = m_list->currentItem();
    if (!item) return;
    PlayPath(item->data(kPathRole).toString());
}

void CPlaybackDlg::OnPause() {
    if (!m_player->IsRunning()) {
        m_pause->setChecked(false);
        return;
    }
    const bool pause = !m_player->IsPaused();
    m_player->SetPaused(pause);
    m_pause->setChecked(pause);
    UpdateButtons();
}

void CPlaybackDlg::OnStop() {
    m_player->Stop();
    m_pause->setChecked(false);
    m_slider->setValue(0);
    m_time->setText(QStringLiteral("%1 / %2").arg(Clock(0), Clock(m_durationMs)));
    SetStatus(QString());
    UpdateButtons();
}

void CPlaybackDlg::UpdateButtons() {
    const bool running = m_player->IsRunning();
    m_play->setEnabled(m_loggedIn && (m_list->currentItem() != nullptr || (running && m_player->IsPaused())));
    m_pause->setEnabled(running);
    m_stop->setEnabled(running);
    m_slider->setEnabled(running && m_durationMs > 0);
    m_refresh->setEnabled(!m_scanning);
}

void CPlaybackDlg::OnOpened(int session, qint64 durationMs) {
    if (session != m_player->Session()) return;
    m_durationMs = durationMs;
    m_slider->setRange(0, static_cast<int>(std::min<qint64>(durationMs, INT32_MAX)));
    SetStatus(QString::fromStdString(PathFileName(m_playingPath.toStdString())));
    UpdateButtons();
}

void CPlaybackDlg::OnFrame(int session) {
    if (session != m_player->Session()) return;
    m_video->SetImage(m_player->LatestFrame());
}

void CPlaybackDlg::OnPosition(int session, qint64 ms) {
    if (session != m_player->Session() || !m_player->IsRunning()) return;
    if (!m_slider->isSliderDown()) m_slider->setValue(static_cast<int>(std::min<qint64>(ms, INT32_MAX)));
    m_time->setText(QStringLiteral("%1 / %2").arg(Clock(ms), Clock(m_durationMs)));
}

void CPlaybackDlg::OnProgress(int session, qint64 received, qint64 total) {
    if (session != m_player->Session() || !m_player->IsRunning()) return;
    QString text = LangText(QStringLiteral("Downloading the recording..."));
    if (total > 0) text += QStringLiteral(" %1%").arg(received * 100 / total);
    SetStatus(text);
}

void CPlaybackDlg::OnFinished(int session, const QString& errorKey) {
    if (session != m_player->Session()) return;
    m_pause->setChecked(false);
    SetStatus(QString());
    UpdateButtons();
    if (!errorKey.isEmpty()) KyError(this, errorKey.toStdString());
}
