#include "gui/pages/advanced/P_RecordDlg.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "gui/controls/WeekCtrl.h"
#include "gui/kit/Translate.h"
#include "gui/pages/ChoiceGroup.h"
#include "gui/pages/PageControls.h"

namespace {
constexpr int kFirstStreamChannel = 11;
constexpr int kSecondStreamChannel = 12;
}   // namespace

CP_RecordDlg::CP_RecordDlg(QWidget* parent)
    : CRecordPage(parent, "P_RECORD_DLG", &CCgiClient::GetPlanRecAttr, &CCgiClient::SetPlanRecAttr) {
    setWindowTitle(QStringLiteral("Record Setting"));

    m_duration = new QLineEdit(this);
    m_duration->setObjectName(QStringLiteral("recordDuration"));
    m_duration->setMaximumWidth(100);
    m_on = new QRadioButton(QStringLiteral("On"), this);
    m_off = new QRadioButton(QStringLiteral("Off"), this);
    m_enable = new CChoiceGroup(this, {m_on, m_off});
    m_stream = new QComboBox(this);
    m_stream->setObjectName(QStringLiteral("recordStream"));
    m_week = NewWeekGrid(this);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("Record files duration:"), this), 0, 0);
    auto* duration = new QHBoxLayout;
    duration->addWidget(m_duration);
    duration->addWidget(new QLabel(QStringLiteral("sec"), this));
    duration->addStretch(1);
    grid->addLayout(duration, 0, 1);
    grid->addWidget(new QLabel(QStringLiteral("Whether to open Record:"), this), 1, 0);
    auto* radios = new QHBoxLayout;
    radios->addWidget(m_on);
    radios->addWidget(m_off);
    radios->addStretch(1);
    grid->addLayout(radios, 1, 1);
    grid->addWidget(new QLabel(QStringLiteral("Stream:"), this), 2, 0);
    auto* stream = new QHBoxLayout;
    stream->addWidget(m_stream);
    stream->addStretch(1);
    grid->addLayout(stream, 2, 1);
    grid->setColumnStretch(1, 1);

    auto* apply = new QPushButton(QStringLiteral("Apply"), this);
    QBoxLayout* buttons = WeekListButtons(m_week, this);
    buttons->insertWidget(0, apply);
    buttons->addStretch(1);

    auto* column = new QVBoxLayout(this);
    column->addLayout(grid);
    column->addWidget(m_week);
    column->addLayout(buttons);
    column->addStretch(1);

    Translate();
    for (const char* name : {"First stream", "Second stream"})
        m_stream->addItem(LangTextEx(Section(), QString::fromLatin1(name)));
    AddApplyButton(apply);
    ClearControls();
}

void CP_RecordDlg::ShowRecord(const PlanRecAttr& rec) {
    m_duration->setText(QString::number(rec.planrec_time));
    m_enable->Choose(rec.planrec_enable == 1 ? 0 : 1);
    m_stream->setCurrentIndex(rec.planrec_chn == kFirstStreamChannel ? 0 : 1);
    m_week->SetSchedule(0, CWeekCtrl::FromWeekDays(rec.week));
}

const char* CP_RecordDlg::ReadControls(PlanRecAttr& rec) {
    // The duration goes out as typed, read the way atoi reads it.
    rec.planrec_time = ky::pages::DecimalValue(m_duration);
    rec.planrec_enable = m_enable->Choice() == 0 ? 1 : 0;
    rec.planrec_chn = m_stream->currentIndex() == 0 ? kFirstStreamChannel : kSecondStreamChannel;
    CWeekCtrl::ToWeekDays(m_week->Text(), rec.week);
    return nullptr;
}

void CP_RecordDlg::ClearControls() {
    m_enable->Clear();
    m_stream->setCurrentIndex(0);
    m_week->SetSchedule(0, CWeekCtrl::FilledWeek(QLatin1Char('N')));
}

void CP_RecordDlg::Apply() {
    if (!Ask("Setting a scheduled recording may cause the device to restart. Are you sure you want to continue "
             "(yes/no)?"))
        return;
    PlanRecAttr rec{};
    ReadControls(rec);
    WriteAndShow(rec);
}
