#include "gui/pages/system/P_SystemDlg.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <cstring>
#include <string>
#include <system_error>
#include <thread>

#include "core/backup/ConfigBackup.h"
#include "core/services/IniFile.h"
#include "gui/kit/AppEvents.h"
#include "gui/kit/MessagePresenter.h"
#include "gui/kit/FieldQText.h"
#include "gui/kit/Translate.h"
#include "gui/live/BrowserSDDlg.h"
#include "gui/pages/PageContext.h"

namespace {

struct FieldDef {
    int id;
    const char* label;
};
// In page order; the SD status (1092) sits with the SD buttons below.
constexpr FieldDef kFields[] = {
    {1130, "Device ID:"},
    {1131, "Device Type:"},
    {1132, "Network connection:"},
    {1133, "Current Client:"},
    {1138, "Software Version:"},
    {1135, "Webware Version:"},
    {1137, "PTZ Version:"},
    {1136, "Mac address:"},
    {1139, "IP address:"},
    {1140, "Subnet mask:"},
    {1102, "Gateway:"},
    {1106, "Primary DNS:"},
    {1107, "Secondary DNS:"},
    {1145, "UPnP\u72b6\u6001\uff1a"},
    {1144, "Manufacture's DDNS status:"},
    {1147, "Third Party DDNS status:"},
    {1146, "Start Time:"},
};
constexpr int kSdStatusId = 1092;

QString Id(int id) { return QString::number(id); }

CP_SystemDlg::FileChooser& ConfigChooser() {
    static CP_SystemDlg::FileChooser chooser;
    return chooser;
}

// A configuration document is some ten KiB; anything far larger is no such
// document and is not read.
constexpr qint64 kConfigFileLimit = 8 << 20;

ky::backup::Camera BackupCamera(const CameraTarget& t) {
    return {t.ip, t.port, t.user, t.password, CCameraPage::kReplyTimeoutMs, {}};
}

QString Tr(const char* key) { return LangTextEx("CONFIG", QString::fromUtf8(key)); }

// "page: result" a line, results translated where the language file has them.
QString StepList(const std::vector<ky::backup::Step>& steps) {
    QStringList lines;
    for (const ky::backup::Step& s : steps)
        lines << QStringLiteral("%1: %2").arg(QString::fromStdString(s.name),
                                              s.ok ? LangTextEx("CONFIG", QStringLiteral("Succeeded"))
                                                   : LangTextEx("CONFIG", QString::fromStdString(s.result)));
    return lines.join(u'\n');
}

}   // namespace

CP_SystemDlg::CP_SystemDlg(QWidget* parent) : CCameraPage(parent, "CONFIG"), m_job(std::make_shared<FormatJob>()) {
    m_job->receiver = this;

    auto* grid = new QGridLayout;
    int row = 0;
    for (const FieldDef& f : kFields) {
        auto* label = new QLabel(QString::fromUtf8(f.label), this);
        auto* edit = new QLineEdit(this);
        edit->setObjectName(Id(f.id));
        edit->setReadOnly(true);
        grid->addWidget(label, row, 0);
        grid->addWidget(edit, row++, 1);
    }
    auto* sdLabel = new QLabel(QStringLiteral("SD status:"), this);
    m_sdStatus = new QLineEdit(this);
    m_sdStatus->setObjectName(Id(kSdStatusId));
    m_sdStatus->setReadOnly(true);
    grid->addWidget(sdLabel, row, 0);
    grid->addWidget(m_sdStatus, row++, 1);
    grid->setColumnStretch(1, 1);

    m_browse = new QPushButton(QStringLiteral("Browse SD"), this);
    m_browse->setObjectName(Id(1256));
    m_format = new QPushButton(QStringLiteral("Format SD"), this);
    m_format->setObjectName(Id(1173));
    m_unplug = new QPushButton(QStringLiteral("Unplug SD"), this);
    m_unplug->setObjectName(Id(1257));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_browse);
    buttons->addWidget(m_format);
    buttons->addWidget(m_unplug);
    buttons->addStretch(1);
    grid->addLayout(buttons, row++, 1);

    m_saveConfig = new QPushButton(QStringLiteral("Save configuration…"), this);
    m_saveConfig->setObjectName(QStringLiteral("saveConfig"));
    m_loadConfig = new QPushButton(QStringLiteral("Load configuration…"), this);
    m_loadConfig->setObjectName(QStringLiteral("loadConfig"));
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("configProgress"));
    m_progress->hide();
    auto* config = new QHBoxLayout;
    config->addWidget(m_saveConfig);
    config->addWidget(m_loadConfig);
    config->addWidget(m_progress, 1);
    grid->addLayout(config, row++, 1);

    m_spinner = new QLabel(this);
    m_spinner->setObjectName(Id(1258));
    m_spinner->hide();
    grid->addWidget(m_spinner, row++, 1);

    auto* column = new QVBoxLayout;
    column->addLayout(grid);
    column->addStretch(1);
    auto* outer = new QHBoxLayout(this);
    outer->addLayout(column);
    outer->addStretch(1);
    setMinimumWidth(520);
    for (QLineEdit* e : findChildren<QLineEdit*>()) e->setMinimumWidth(320);

    Translate();
    EnableSdButtons(false);

    LockWhileBusy(m_unplug);
    LockWhileBusy(m_saveConfig);
    LockWhileBusy(m_loadConfig);
    connect(m_saveConfig, &QPushButton::clicked, this, &CP_SystemDlg::OnSaveConfig);
    connect(m_loadConfig, &QPushButton::clicked, this, &CP_SystemDlg::OnLoadConfig);
    m_progressTimer = new QTimer(this);
    m_progressTimer->setInterval(100);
    connect(m_progressTimer, &QTimer::timeout, this, [this] {
        if (!m_counts) return;
        m_progress->setMaximum(static_cast<int>(m_counts->total.load()));
        m_progress->setValue(static_cast<int>(m_counts->done.load()));
    });
    connect(m_browse, &QPushButton::clicked, this, &CP_SystemDlg::OnBrowseSd);
    connect(m_format, &QPushButton::clicked, this, &CP_SystemDlg::OnFormatSd);
    connect(m_unplug, &QPushButton::clicked, this, &CP_SystemDlg::OnUnplugSd);

    m_timer = new QTimer(this);
    m_timer->setObjectName(Id(kSpinnerTimerId));
    m_timer->setInterval(kSpinnerPeriodMs);
    connect(m_timer, &QTimer::timeout, this, &CP_SystemDlg::OnSpinnerTick);
    m_timer->start();
}

CP_SystemDlg::~CP_SystemDlg() {
    // A running format keeps its own reference to the job and posts nothing
    // once the page is gone.
    std::lock_guard lock(m_job->lock);
    m_job->receiver = nullptr;
}

QLineEdit* CP_SystemDlg::Field(int id) const { return findChild<QLineEdit*>(Id(id)); }

int CP_SystemDlg::FreePercent(const SdCardState& sd) {
    if (sd.totalspace <= 0 || sd.freespace <= 0) return 0;
    const double percent = static_cast<double>(sd.freespace) / static_cast<double>(sd.totalspace) * 100.0;
    return percent >= 100.0 ? 100 : static_cast<int>(percent);
}

const char* CP_SystemDlg::NetworkTypeKey(const char* networktype) {
    if (std::strcmp(networktype, "lan") == 0) return "LAN";
    if (std::strcmp(networktype, "wireless lan") == 0) return "Wireless Lan";
    if (std::strcmp(networktype, "4g") == 0) return "4G";
    return "5G";
}

QString CP_SystemDlg::StatusText(const char* value) const {
    return LangTextEx("SYSTEM", std::strcmp(value, "off") == 0 ? QStringLiteral("Off") : QStringLiteral("On"));
}

void CP_SystemDlg::Load() {
    Start([this](const CameraTarget& camera) -> Done {
        DeviceNetInfo info{};
        SdCardState sd{0, 0, 0};
        const bool infoOk = Call(camera, &CCgiClient::GetDeviceInfo, &info) == 0;
        // The SD state is read either way.
        const bool sdOk = Call(camera, &CCgiClient::GetSdStatus, &sd) == 0;
        return [=, this] {
            if (infoOk)
                ShowInfo(info);
            else
                ReadFailed(camera);
            ShowSd(sdOk ? &sd : nullptr);
        };
    });
}

void CP_SystemDlg::ShowInfo(const DeviceNetInfo& info) {
    auto set = [this](int id, const QString& text) { Field(id)->setText(text); };
    set(1130, FieldQText(info.name));
    set(1131, FieldQText(info.devtype));
    set(1132, LangTextEx(Section(), QString::fromLatin1(NetworkTypeKey(info.networktype))));
    set(1133, QString::number(info.stream_num));
    set(1138, FieldQText(info.softVersion));
    set(1135, FieldQText(info.webVersion));
    set(1137, FieldQText(info.rs485Version));
    set(1136, FieldQText(info.macaddress));
    set(1139, FieldQText(info.ip));
    set(1140, FieldQText(info.netmask));
    set(1102, FieldQText(info.gateway));
    set(1106, FieldQText(info.fdnsip));
    set(1107, FieldQText(info.sdnsip));
    set(1145, StatusText(info.upnpstatus));
    set(1144, StatusText(info.facddnsstatus));
    set(1147, StatusText(info.th3ddnsstatus));
    set(1146, FieldQText(info.startdate));
}

void CP_SystemDlg::ShowSd(const SdCardState* state) {
    if (!state) {
        m_sdStatus->setText(LangTextEx(Section(), QStringLiteral("Card reading failed")));
        EnableSdButtons(false);
        return;
    }
    const SdCardState& sd = *state;
    QString text;
    if (sd.status == 0 || sd.status == 1) {
        const QString key =
            sd.status == 0 ? QStringLiteral("Have card, free space") : QStringLiteral("Readonly, free space");
        text = QStringLiteral("%1:%2%").arg(LangTextEx(Section(), key)).arg(FreePercent(sd));
    } else {
        text = LangTextEx(Section(), QStringLiteral("No card"));
    }
    m_sdStatus->setText(text);
    EnableSdButtons(true);
}

void CP_SystemDlg::EnableSdButtons(bool on) {
    for (QPushButton* b : {m_browse, m_format, m_unplug}) b->setEnabled(on);
}

void CP_SystemDlg::ClearControls() {
    for (const FieldDef& f : kFields) Field(f.id)->clear();
    m_sdStatus->clear();
    EnableSdButtons(false);
}

void CP_SystemDlg::OnBrowseSd() {
    if (ky::pages::OpenSdBrowser(this)) return;
    CBrowserSDDlg browser(this);
    browser.exec();
}

void CP_SystemDlg::OnFormatSd() {
    if (!LoggedIn()) {
        ClearControls();
        return;
    }
    if (m_job->busy.load() != 0) {
        Message("SD card is being formatted, please wait...");
        return;
    }
    if (!Ask("Formatting erases every recording and picture on the SD card. Format the SD card now?")) return;
    // Taken here: the session belongs to the GUI thread. Busy from now on, so
    // a second press can never start a second worker.
    const CameraTarget target = Target();
    m_job->busy = 1;
    try {
        std::thread([job = m_job, target] {
            CCgiClient client;
            const int result = client.FormatSd(target.ip.c_str(), target.port, target.user.c_str(),
                                               target.password.c_str(), nullptr, 600000);
            {
                std::lock_guard lock(job->lock);
                if (job->receiver)
                    QCoreApplication::postEvent(job->receiver, new CPageResultEvent(ky::msg::kWorkerResult, result));
            }
            job->busy = 0;
        }).detach();
    } catch (const std::system_error&) {
        m_job->busy = 0;
        Message("Attempt to format SD card failed!");
    }
}

bool CP_SystemDlg::event(QEvent* e) {
    if (e->type() == ky::msg::Type(ky::msg::kWorkerResult)) {
        Message(static_cast<CPageResultEvent*>(e)->Result() == 0 ? "SD card format succeeded!"
                                                                 : "SD card format failed!");
        // The card's state and free space changed.
        RefreshFromDevice();
        return true;
    }
    return CCameraPage::event(e);
}

void CP_SystemDlg::OnSpinnerTick() {
    static const char* const kPhases[] = {"SD card is formatting --", "SD card is formatting \\",
                                          "SD card is formatting |", "SD card is formatting /"};
    if (m_job->busy.load() == 0) {
        m_phase = 0;
        if (!m_spinner->isHidden()) m_spinner->hide();
        return;
    }
    ++m_phase;
    if (m_spinner->isHidden()) m_spinner->show();
    m_spinner->setText(LangTextEx(Section(), QString::fromLatin1(kPhases[m_phase - 1])));
    if (m_phase == 4) m_phase = 0;
}

void CP_SystemDlg::OnUnplugSd() {
    if (!LoggedIn()) {
        ClearControls();
        return;
    }
    if (!Ask("Unplug the SD card? The camera stops recording to it until the card is inserted again.")) return;
    // The camera may take up to ten minutes to answer.
    Start([this](const CameraTarget& camera) -> Done {
        const int result = Call(camera, &CCgiClient::StopSd, static_cast<NoRecord*>(nullptr), 600000);
        return [this, result] {
            Message(result == 0 ? "SD card stopped successfully" : "Failed to stop SD card");
            RefreshFromDevice();
        };
    });
}

void CP_SystemDlg::SetConfigFileChooser(FileChooser chooser) { ConfigChooser() = std::move(chooser); }

QString CP_SystemDlg::ChooseConfigFile(bool save) {
    if (ConfigChooser()) return ConfigChooser()(this, save);
    const QString filter = Tr("Configuration files (*.json)");
    return save
               ? QFileDialog::getSaveFileName(this, Tr("Save configuration"), QDir::homePath() + "/camera.json", filter)
               : QFileDialog::getOpenFileName(this, Tr("Load configuration"), QDir::homePath(), filter);
}

std::shared_ptr<CP_SystemDlg::Progress> CP_SystemDlg::StartProgress() {
    m_counts = std::make_shared<Progress>();
    m_progress->setRange(0, 0);   // busy until the first step is counted
    m_progress->show();
    m_progressTimer->start();
    return m_counts;
}

void CP_SystemDlg::StopProgress() {
    m_progressTimer->stop();
    m_progress->hide();
    m_counts.reset();
}

void CP_SystemDlg::OnSaveConfig() {
    if (!LoggedIn()) return ClearControls();
    const QString path = ChooseConfigFile(true);
    if (path.isEmpty()) return;
    auto counts = StartProgress();
    const bool started = Start([this, path, counts](const CameraTarget& camera) -> Done {
        const ky::backup::BackupResult r =
            ky::backup::Backup(BackupCamera(camera), [counts](size_t done, size_t total) {
                counts->total = total;
                counts->done = done;
            });
        // Passwords and keys inside: owner only, and never half a file.
        const bool written = !r.noConnection && ky::ini::WriteFileAtomically(QFile::encodeName(path).toStdString(),
                                                                             r.document, 0600, false);
        const QString address = QStringLiteral("%1:%2").arg(QString::fromStdString(camera.ip)).arg(camera.port);
        return [this, r, written, path, address] {
            StopProgress();
            if (r.noConnection) return Presenter().Error(this, Tr("No answer from %1.").arg(address));
            if (!written) return Presenter().Error(this, Tr("The configuration cannot be written to %1.").arg(path));
            Presenter().Info(
                this, Tr("The configuration of %1 is saved in %2:").arg(address, path) + u'\n' + StepList(r.steps));
        };
    });
    if (!started) StopProgress();
}

void CP_SystemDlg::OnLoadConfig() {
    if (!LoggedIn()) return ClearControls();
    const QString path = ChooseConfigFile(false);
    if (path.isEmpty()) return;
    // The whole file is read and checked before the question, and nothing is
    // sent when any of it would be refused.
    QFile file(path);
    ky::backup::Json doc;
    QString refused;
    if (file.size() > kConfigFileLimit) {
        refused = Tr("The file is too large.");
    } else if (!file.open(QIODevice::ReadOnly)) {
        refused = file.errorString();
    } else {
        try {
            doc = ky::backup::CheckDocument(file.readAll().toStdString());
        } catch (const ky::backup::DocumentError& e) {
            refused = QString::fromStdString(e.what());
        }
    }
    if (!refused.isEmpty()) return Presenter().Error(this, Tr("The file %1 cannot be loaded: %2").arg(path, refused));
    if (!Presenter().Question(
            this, Tr("Write the configuration in %1 to the camera? Its current settings are replaced.").arg(path)))
        return;
    auto counts = StartProgress();
    const bool started = Start([this, doc, counts](const CameraTarget& camera) -> Done {
        const ky::backup::RestoreResult r =
            ky::backup::Restore(BackupCamera(camera), doc, [counts](size_t done, size_t total) {
                counts->total = total;
                counts->done = done;
            });
        const QString address = QStringLiteral("%1:%2").arg(QString::fromStdString(camera.ip)).arg(camera.port);
        return [this, r, address] {
            StopProgress();
            QString text = r.noConnection ? Tr("Loading the configuration stopped: no answer from %1.").arg(address)
                                          : Tr("The configuration was written to %1:").arg(address);
            if (!r.steps.empty()) text += u'\n' + StepList(r.steps);
            const bool failed =
                r.noConnection || std::any_of(r.steps.begin(), r.steps.end(), [](const auto& s) { return !s.ok; });
            failed ? Presenter().Error(this, text) : Presenter().Info(this, text);
            RefreshFromDevice();
        };
    });
    if (!started) StopProgress();
}
