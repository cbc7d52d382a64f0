#include "gui/pages/advanced/P_SnapTDlg.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/controls/WeekCtrl.h"
#include "gui/pages/PageControls.h"

CP_SnapTDlg::CP_SnapTDlg(QWidget* parent)
    : CRecordPage(parent, "CONFIG", &CCgiClient::GetSnapTimerAttr, &CCgiClient::SetSnapTimerAttr) {
    setWindowTitle(QStringLiteral("Snap settings"));

    m_interval = new QLineEdit(this);
    m_interval->setObjectName(QStringLiteral("snapInterval"));
    m_interval->setMaximumWidth(100);
    m_save = new QCheckBox(QStringLiteral("Save Picture on the SD Card"), this);
    m_save->setObjectName(QStringLiteral("snapSave"));
    m_week = NewWeekGrid(this);

    auto* interval = new QHBoxLayout;
    interval->addWidget(new QLabel(QStringLiteral("SD cardsnap interval:"), this));
    interval->addWidget(m_interval);
    interval->addWidget(new QLabel(QStringLiteral("sec"), this));
    interval->addStretch(1);

    auto* apply = new QPushButton(QStringLiteral("Apply"), this);
    QBoxLayout* buttons = WeekListButtons(m_week, this);
    buttons->insertWidget(0, apply);
    buttons->addStretch(1);

    auto* column = new QVBoxLayout(this);
    column->addLayout(interval);
    column->addWidget(m_save);
    column->addWidget(m_week);
    column->addLayout(buttons);
    column->addStretch(1);

    Translate();
    AddApplyButton(apply);
}

void CP_SnapTDlg::ShowRecord(const SnapTimerAttr& rec) {
    m_interval->setText(QString::number(rec.as_snap_interval));
    m_save->setChecked(rec.as_snap_enable == 1);
    m_week->SetSchedule(0, CWeekCtrl::FromWeekDays(rec.week));
}

const char* CP_SnapTDlg::ReadControls(SnapTimerAttr& rec) {
    // The interval goes out as typed, read the way atoi reads it.
    rec.as_snap_interval = ky::pages::DecimalValue(m_interval);
    rec.as_snap_enable = m_save->isChecked() ? 1 : 0;
    CWeekCtrl::ToWeekDays(m_week->Text(), rec.week);
    return nullptr;
}

void CP_SnapTDlg::ClearControls() { m_week->SetSchedule(0, CWeekCtrl::FilledWeek(QLatin1Char('N'))); }

void CP_SnapTDlg::Apply() {
    SnapTimerAttr rec{};
    ReadControls(rec);
    WriteAndShow(rec);
}
