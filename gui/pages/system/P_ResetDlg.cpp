#include "gui/pages/system/P_ResetDlg.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstdio>
#include <cstring>

#include "core/cgi/rules/MaintenanceRules.h"
#include "core/sdk/KySdk.h"
#include "gui/kit/AppEvents.h"
#include "gui/kit/CameraSession.h"
#include "gui/kit/Translate.h"

namespace {

constexpr int kLensTypes = 10;

CP_ResetDlg::FileChooser& Chooser() {
    static CP_ResetDlg::FileChooser chooser;
    return chooser;
}

CUGDThread::Limits& Limits() {
    static CUGDThread::Limits limits;
    return limits;
}

void Copy(char* field, size_t width, const std::string& text) { std::snprintf(field, width, "%s", text.c_str()); }

}   // namespace

std::atomic<int> CP_ResetDlg::s_lastProgress{0};

void CP_ResetDlg::SetFileChooser(FileChooser chooser) { Chooser() = std::move(chooser); }
void CP_ResetDlg::SetUpgradeLimits(const CUGDThread::Limits& limits) { Limits() = limits; }

CP_ResetDlg::CP_ResetDlg(QWidget* parent) : CCameraPage(parent, "CONFIG"), m_job(std::make_shared<UpgradeJob>()) {
    m_job->receiver = this;

    auto* grid = new QGridLayout;
    m_lens = new QComboBox(this);
    for (int i = 0; i < kLensTypes; ++i) m_lens->addItem(QString::fromLatin1(ky::cgi::LensTypeText(i)), i);
    m_lens->setCurrentIndex(-1);
    m_lens->setEnabled(false);
    grid->addWidget(new QLabel(QStringLiteral("Lenstype:"), this), 0, 0);
    grid->addWidget(m_lens, 0, 1);

    m_rebootLabel = new QLabel(QString::fromUtf8("Reboot\uff1a"), this);
    m_reboot = new QPushButton(QStringLiteral("Reboot"), this);
    grid->addWidget(m_rebootLabel, 1, 0);
    grid->addWidget(m_reboot, 1, 1, Qt::AlignLeft);

    m_factoryLabel = new QLabel(QStringLiteral("Factory default:"), this);
    m_factory = new QPushButton(QStringLiteral("Factory default"), this);
    grid->addWidget(m_factoryLabel, 2, 0);
    grid->addWidget(m_factory, 2, 1, Qt::AlignLeft);

    m_upgradeLabel = new QLabel(QStringLiteral("System upgrade:"), this);
    m_path = new QLineEdit(this);
    m_path->setMinimumWidth(300);
    m_browse = new QPushButton(QStringLiteral("..."), this);
    m_browse->setMaximumWidth(40);
    m_upgrade = new QPushButton(QStringLiteral("Upgrade"), this);
    auto* upgradeRow = new QHBoxLayout;
    upgradeRow->addWidget(m_path, 1);
    upgradeRow->addWidget(m_browse);
    upgradeRow->addWidget(m_upgrade);
    grid->addWidget(m_upgradeLabel, 3, 0);
    grid->addLayout(upgradeRow, 3, 1);

    m_progress = new QProgressBar(this);
    m_progress->setRange(0, 100);
    m_progress->hide();
    m_status = new QLabel(this);
    m_status->setWordWrap(true);
    grid->addWidget(m_progress, 4, 1);
    grid->addWidget(m_status, 5, 1);
    grid->setColumnStretch(1, 1);

    auto* column = new QVBoxLayout;
    column->addLayout(grid);
    column->addStretch(1);
    auto* outer = new QHBoxLayout(this);
    outer->addLayout(column, 3);
    outer->addStretch(1);
    setMinimumWidth(520);

    Translate();
    connect(m_reboot, &QPushButton::clicked, this, &CP_ResetDlg::OnReboot);
    connect(m_factory, &QPushButton::clicked, this, &CP_ResetDlg::OnFactoryDefault);
    connect(m_browse, &QPushButton::clicked, this, &CP_ResetDlg::OnBrowse);
    connect(m_upgrade, &QPushButton::clicked, this, &CP_ResetDlg::OnUpgrade);
}

CP_ResetDlg::~CP_ResetDlg() {
    // A running worker deletes itself when it ends; one whose end was posted
    // but not yet received is ours to delete.
    bool own = false;
    {
        std::lock_guard lock(m_job->lock);
        m_job->receiver = nullptr;
        own = m_job->endPosted;
    }
    if (!own) (void)m_worker.release();
}

void CP_ResetDlg::RefreshFromDevice() {
    CCameraPage::RefreshFromDevice();
    // An upgrade outlives page changes: show it as it stands.
    if (s_lastProgress.load() != 0 || m_worker) {
        m_progress->show();
        LockButtons(true);
    } else {
        m_progress->hide();
        LockButtons(false);
    }
}

void CP_ResetDlg::Load() {
    Start([this](const CameraTarget& camera) -> Done {
        MotorRangeAttr rec{};
        const bool ok = Call(camera, &CCgiClient::GetMotorRange, &rec) == 0;
        return [this, ok, rec] { m_lens->setCurrentIndex(ok ? m_lens->findData(rec.lenstype) : -1); };
    });
}

void CP_ResetDlg::ClearControls() { m_lens->setCurrentIndex(-1); }

void CP_ResetDlg::LockButtons(bool lock) {
    for (QWidget* w : std::initializer_list<QWidget*>{m_upgrade, m_reboot, m_factory, m_browse, m_rebootLabel,
                                                      m_factoryLabel, m_upgradeLabel})
        w->setEnabled(!lock);
    m_status->setText(lock ? LangTextEx(Section(), QStringLiteral("File uploading, Do not power off!")) : QString());
}

void CP_ResetDlg::SendSdkCommand(const char* question, int code) {
    if (!LoggedIn() || !Ask(question)) return;
    const int32_t handle = CurrentCamera().LoginHandle();
    if (handle <= 0) return;
    Start([handle, code](const CameraTarget&) -> Done {
        const int32_t zero = 0;
        KY_SDK_SetConfig(handle, code, &zero, sizeof zero);
        return [] {};
    });
}

void CP_ResetDlg::OnReboot() { SendSdkCommand("Will the system restart?", KY_CFG_RESTART); }

void CP_ResetDlg::OnFactoryDefault() { SendSdkCommand("The system will return to factory settings?", KY_CFG_FACTORY); }

void CP_ResetDlg::OnBrowse() {
    const QString path = Chooser() ? Chooser()(this)
                                   : QFileDialog::getOpenFileName(this, QString(), QDir::homePath() + "/*.pkg",
                                                                  QStringLiteral("(*.pkg)"));
    // Exact comparison: ".PKG" is not a package.
    if (path.endsWith(QStringLiteral(".pkg"))) m_path->setText(path);
}

void CP_ResetDlg::OnUpgrade() {
    if (!LoggedIn()) return Message("No login device!");
    const QByteArray path = m_path->text().toUtf8();
    if (const char* refused = ky::cgi::CheckUpgradePath(std::string_view(path.constData(), path.size())))
        return Message(refused);
    // One upgrade per process: a second camera's upload would share the
    // progress state and the page.
    if (UpgradeRunning.load() != 0 || m_worker) return Message("An upgrade is already running!");
    if (!Ask("Are you sure you want to upgrade?")) return;

    LockButtons(true);
    const CameraTarget target = Target();
    UpgradeTask task{};
    Copy(task.ip, sizeof task.ip, target.ip);
    task.port = target.port;
    Copy(task.user, sizeof task.user, target.user);
    Copy(task.password, sizeof task.password, target.password);
    Copy(task.path, sizeof task.path, path.toStdString());
    task.userData = m_job.get();
    task.progress = &CP_ResetDlg::OnProgress;
    m_progress->setValue(0);
    m_progress->show();
    const DeviceRecord device = CurrentCamera().GetDevice();
    // The camera restarts: its live view would only fail.
    CurrentCamera().Disconnect();

    s_lastProgress = 0;
    m_worker = std::make_unique<CUGDThread>(task, device);
    m_worker->keepAlive = m_job;
    m_worker->limits = Limits();
    m_worker->onEnd = [job = m_job](int result, CUGDThread* self) {
        bool orphan = false;
        {
            std::lock_guard lock(job->lock);
            if (job->receiver) {
                job->endPosted = true;
                QCoreApplication::postEvent(job->receiver, new CPageResultEvent(ky::msg::kWorkerResult, result));
            } else {
                orphan = true;
            }
        }
        if (orphan) {
            self->DetachSelf();
            delete self;
        }
    };
    if (m_worker->Start() != 1) {
        m_worker.reset();
        ShowProgress(kUpgradeFailed);
    }
}

void CP_ResetDlg::OnProgress(intptr_t, int value, void* userData) {
    s_lastProgress = value;
    auto* job = static_cast<UpgradeJob*>(userData);
    std::lock_guard lock(job->lock);
    if (job->receiver)
        QCoreApplication::postEvent(job->receiver, new CPageResultEvent(ky::msg::kUpgradeProgress, value));
}

void CP_ResetDlg::ShowProgress(int value) {
    if (value == kUpgradeRetrying) return;
    if (value < 0) {
        s_lastProgress = 0;
        LockButtons(false);
        m_progress->setValue(0);
        m_progress->hide();
        m_upgrade->setEnabled(true);
        Message("Upgrade failed!");
        return;
    }
    m_progress->setValue(value);
    if (value > 50)
        m_status->setText(LangTextEx(Section(), QStringLiteral("The file is uploaded successfully. The device is "
                                                               "updating the file. Please do not power off! The "
                                                               "device will restart automatically later!")));
    if (value == 100) {
        s_lastProgress = 0;
        LockButtons(false);
    }
}

void CP_ResetDlg::EndUpgrade(int result) {
    {
        std::lock_guard lock(m_job->lock);
        m_job->endPosted = false;
    }
    m_worker.reset();   // waits for the worker's last steps
    m_upgrade->setEnabled(true);
    // 100 came either way; only a camera seen again with other firmware
    // confirms the upgrade.
    Message(result == CUGDThread::kNotConfirmed
                ? "The firmware was sent, but the camera's return with the new firmware was not confirmed!"
                : "End of upgrade task!");
}

bool CP_ResetDlg::event(QEvent* e) {
    if (e->type() == ky::msg::Type(ky::msg::kUpgradeProgress)) {
        ShowProgress(static_cast<CPageResultEvent*>(e)->Result());
        return true;
    }
    if (e->type() == ky::msg::Type(ky::msg::kWorkerResult)) {
        EndUpgrade(static_cast<CPageResultEvent*>(e)->Result());
        return true;
    }
    return CCameraPage::event(e);
}
