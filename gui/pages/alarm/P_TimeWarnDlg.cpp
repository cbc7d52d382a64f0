#include "gui/pages/alarm/P_TimeWarnDlg.h"

#include <QGroupBox>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/controls/WeekCtrl.h"
#include "gui/pages/alarm/AlarmPageKit.h"

CP_TimeWarnDlg::CP_TimeWarnDlg(QWidget* parent) : CCameraPage(parent, "CONFIG") {
    auto* frame = new QGroupBox(QStringLiteral("Schedule"), this);
    m_grid = new CWeekCtrl(frame);
    m_grid->setObjectName(QStringLiteral("weekGrid"));
    // 48 columns of at least 12 pixels beside the day names.
    m_grid->setMinimumSize(CWeekCtrl::kLabelWidth + 48 * 12, CWeekCtrl::kHeaderHeight + 7 * 28);
    auto* frameLayout = new QVBoxLayout(frame);
    frameLayout->addWidget(m_grid);

    auto* apply = new QPushButton(QStringLiteral("Apply"), this);
    auto* select = new QPushButton(QStringLiteral("Select List"), this);
    auto* clear = new QPushButton(QStringLiteral("Clear List"), this);
    auto* column = new QVBoxLayout(this);
    column->addWidget(frame);
    column->addLayout(ky::pages::ButtonRow({apply, select, clear}));
    column->addStretch(1);

    Translate();
    m_grid->SetSchedule(0, CWeekCtrl::FilledWeek(QLatin1Char('N')));

    AddApplyButton(apply);
    LockWhileBusy(select);
    LockWhileBusy(clear);
    connect(select, &QPushButton::clicked, this, &CP_TimeWarnDlg::OnSelectAll);
    connect(clear, &QPushButton::clicked, this, &CP_TimeWarnDlg::OnClearAll);
    connect(m_grid, &CWeekCtrl::DragOutside, m_grid, &CWeekCtrl::CancelDrag);
}

void CP_TimeWarnDlg::OnSelectAll() { m_grid->SetSchedule(0, CWeekCtrl::FilledWeek(QLatin1Char('P'))); }

void CP_TimeWarnDlg::OnClearAll() { m_grid->SetSchedule(0, CWeekCtrl::FilledWeek(QLatin1Char('N'))); }

void CP_TimeWarnDlg::ClearControls() { OnClearAll(); }

void CP_TimeWarnDlg::ShowWeek(const WeekSchedule& week) { m_grid->SetSchedule(0, CWeekCtrl::FromWeekDays(week.week)); }

void CP_TimeWarnDlg::Load() {
    LoadRecord<WeekSchedule>(&CCgiClient::GetMdSchedule, [this](const WeekSchedule& week) { ShowWeek(week); });
}

void CP_TimeWarnDlg::Apply() {
    WeekSchedule week{};
    int id = 0;
    CWeekCtrl::WeekText text;
    m_grid->GetSchedule(id, text);
    CWeekCtrl::ToWeekDays(text, week.week);
    Start([this, week](const CameraTarget& camera) mutable -> Done {
        const bool ok = Call(camera, &CCgiClient::SetMdSchedule, &week) == 0;
        return [this, ok, week, camera] {
            if (!ok) return ShowFailure(Failure::Write, camera);
            ShowWeek(week);
            Message("Parameter setting succeeded!");
        };
    });
}
