#include "gui/pages/advanced/P_RebootDlg.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "core/cgi/rules/ScheduleRules.h"
#include "gui/kit/Translate.h"
#include "gui/pages/ChoiceGroup.h"
#include "gui/pages/PageControls.h"

CP_RebootDlg::CP_RebootDlg(QWidget* parent)
    : CRecordPage(parent, "P_REBOOT_DLG", &CCgiClient::GetTimerReboot, &CCgiClient::SetTimerReboot) {
    setWindowTitle(QStringLiteral("Restart timer"));

    m_on = new QRadioButton(QStringLiteral("On"), this);
    m_on->setObjectName(QStringLiteral("rebootOn"));
    m_off = new QRadioButton(QStringLiteral("Off"), this);
    m_enable = new CChoiceGroup(this, {m_on, m_off});
    m_off->setObjectName(QStringLiteral("rebootOff"));
    m_day = new QComboBox(this);
    m_day->setObjectName(QStringLiteral("rebootDay"));
    m_hour = new QComboBox(this);
    m_hour->setObjectName(QStringLiteral("rebootHour"));

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Restart timer:"), this), 0, 0);
    auto* radios = new QHBoxLayout;
    radios->addWidget(m_on);
    radios->addWidget(m_off);
    radios->addStretch(1);
    grid->addLayout(radios, 0, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("day:"), this), 1, 0);
    grid->addWidget(m_day, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("Time:"), this), 2, 0);
    grid->addWidget(m_hour, 2, 1);
    grid->addWidget(new QLabel(QStringLiteral("o'clock"), this), 2, 2);
    grid->setColumnMinimumWidth(1, 140);

    auto* apply = new QPushButton(QStringLiteral("Apply"), this);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    cancel->setObjectName(QStringLiteral("rebootCancel"));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(apply);
    buttons->addWidget(cancel);
    buttons->addStretch(1);

    auto* column = new QVBoxLayout;
    column->addLayout(grid);
    column->addSpacing(12);
    column->addLayout(buttons);
    column->addStretch(1);
    auto* outer = new QHBoxLayout(this);
    outer->addLayout(column);
    outer->addStretch(1);

    Translate();
    for (const char* day : {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Every day"})
        m_day->addItem(LangTextEx(Section(), QString::fromLatin1(day)));
    for (int h = 0; h < 24; ++h) m_hour->addItem(QString::number(h));

    AddApplyButton(apply);
    LockWhileBusy(cancel);
    connect(cancel, &QPushButton::clicked, this, &CP_RebootDlg::RefreshFromDevice);
}

void CP_RebootDlg::ShowRecord(const TimerRebootAttr& rec) {
    m_enable->Choose(rec.sr_enable == 1 ? 0 : 1);
    m_day->setCurrentIndex(rec.sr_day >= 0 && rec.sr_day < m_day->count() ? rec.sr_day : -1);
    m_hour->setCurrentIndex(rec.sr_hour >= 0 && rec.sr_hour < m_hour->count() ? rec.sr_hour : -1);
}

const char* CP_RebootDlg::ReadControls(TimerRebootAttr& rec) {
    rec.sr_enable = m_enable->Choice() == 0 ? 1 : 0;
    // An empty list (a day or hour the camera reported out of range) is -1,
    // which the rule refuses rather than sending.
    rec.sr_day = m_day->currentIndex();
    rec.sr_hour = m_hour->currentIndex();
    return ky::cgi::CheckTimerReboot(rec);
}

void CP_RebootDlg::ClearControls() {
    m_enable->Clear();
    m_day->setCurrentIndex(-1);
    m_hour->setCurrentIndex(-1);
}

void CP_RebootDlg::Apply() {
    TimerRebootAttr rec{};
    if (const char* refused = ReadControls(rec)) return Refuse(refused);
    Start([this, rec](const CameraTarget& camera) mutable -> Done {
        const bool ok = Call(camera, &CCgiClient::SetTimerReboot, &rec) == 0;
        return [this, ok, camera] {
            if (ok)
                Message("Timed restart setting succeeded!");
            else
                ShowFailure(Failure::Write, camera);
        };
    });
}
