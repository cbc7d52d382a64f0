#include "gui/pages/alarm/P_HSRDlg.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <cstdlib>

#include "core/cgi/rules/AlarmRules.h"
#include "gui/kit/Translate.h"
#include "gui/pages/alarm/AlarmPageKit.h"
#include "gui/pages/PageControls.h"

CP_HSRDlg::CP_HSRDlg(QWidget* parent)
    : CRecordPage<SmdAttr>(parent, "P_HSR_DLG", &CCgiClient::GetSmdAttr, &CCgiClient::SetSmdAttr) {
    m_writeFailure = Outcome::Cleared;
    m_recognition = new CRadioPair(this, "On", "Off");
    m_framing = new CRadioPair(this, "On", "Off");
    m_threshold = new QLineEdit(this);
    m_threshold->setObjectName(QStringLiteral("threshold"));
    m_threshold->setMaximumWidth(80);
    m_trigger = new QComboBox(this);
    m_trigger->setObjectName(QStringLiteral("trigger"));

    auto* grid = new QGridLayout;
    int row = 0;
    grid->addWidget(new QLabel(QStringLiteral("Smart Humanoid Recognition:"), this), row, 0);
    grid->addLayout(m_recognition->Row(), row++, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Frame human form:"), this), row, 0);
    grid->addLayout(m_framing->Row(), row++, 1, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Threshold:"), this), row, 0);
    grid->addWidget(m_threshold, row, 1);
    grid->addWidget(new QLabel(QStringLiteral("(1-100)"), this), row++, 2);
    grid->addWidget(new QLabel(QStringLiteral("Alarm Trigger:"), this), row, 0);
    grid->addWidget(m_trigger, row++, 1, 1, 2);
    auto* note = new QLabel(
        QStringLiteral(
            "(The linkage trigger alarm requires both motion detection and humanoid alarm to be activated.)"),
        this);
    note->setWordWrap(true);
    grid->addWidget(note, row++, 0, 1, 4);
    grid->setColumnStretch(3, 1);

    auto* apply = new QPushButton(QStringLiteral("Apply"), this);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    auto* column = new QVBoxLayout(this);
    column->addLayout(grid);
    column->addLayout(ky::pages::ButtonRow({apply, cancel}));
    column->addStretch(1);

    Translate();
    for (const char* entry : {"Separate trigger", "Linkage trigger"})
        m_trigger->addItem(LangTextEx(Section(), QString::fromLatin1(entry)));
    m_trigger->setEnabled(false);

    AddApplyButton(apply);
    LockWhileBusy(cancel);
    connect(cancel, &QPushButton::clicked, this, &CP_HSRDlg::RefreshFromDevice);
    connect(m_recognition, &CRadioPair::chosen, m_trigger, [this](int index) { m_trigger->setEnabled(index == 0); });
    ky::pages::FilterSmallNumber(m_threshold);
}

void CP_HSRDlg::ShowRecord(const SmdAttr& rec) {
    m_trigger->setCurrentIndex(rec.alarm_type >= 0 && rec.alarm_type < m_trigger->count() ? rec.alarm_type : -1);
    m_threshold->setText(QString::number(rec.smd_gthresh));
    m_recognition->Check(rec.smd_enable == 1 ? 0 : 1);
    m_trigger->setEnabled(rec.smd_enable == 1);
    m_framing->Check(rec.smd_rect == 1 ? 0 : 1);
}

const char* CP_HSRDlg::ReadControls(SmdAttr& rec) {
    rec.alarm_type = m_trigger->currentIndex();
    rec.smd_gthresh = std::atoi(m_threshold->text().toUtf8().constData());
    rec.smd_enable = m_recognition->Flag();
    rec.smd_rect = m_framing->Flag();
    return ky::cgi::CheckSmdAttr(rec);
}

void CP_HSRDlg::ClearControls() {
    m_trigger->setCurrentIndex(-1);
    m_threshold->clear();
    m_recognition->Clear();
    m_framing->Clear();
}
