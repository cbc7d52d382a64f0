#include "gui/pages/advanced/P_PtzDlg.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <cstring>
#include <strings.h>

#include "core/cgi/rules/PtzRules.h"
#include "gui/pages/ChoiceGroup.h"

namespace {

// A labelled pair of radio buttons in a row of its own, so that the row can
// be hidden as a whole.
CChoiceGroup* AddPair(QWidget* row, const char* label, const char* first, const char* second) {
    auto* a = new QRadioButton(QString::fromLatin1(first), row);
    auto* b = new QRadioButton(QString::fromLatin1(second), row);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    auto* caption = new QLabel(QString::fromLatin1(label), row);
    caption->setMinimumWidth(230);
    layout->addWidget(caption);
    layout->addWidget(a);
    layout->addWidget(b);
    layout->addStretch(1);
    return new CChoiceGroup(row, {a, b});
}

}   // namespace

CP_PtzDlg::CP_PtzDlg(QWidget* parent)
    : CRecordPage<MotorAttr>(parent, kSection, &CCgiClient::GetMotorAttr, &CCgiClient::SetMotorAttr) {
    m_writeFailure = Outcome::Cleared;

    auto* lapsRow = new QHBoxLayout;
    auto* lapsLabel = new QLabel(QStringLiteral("Cruise laps:"), this);
    lapsLabel->setMinimumWidth(230);
    m_laps = new QLineEdit(this);
    m_laps->setObjectName(QStringLiteral("cruiseLaps"));
    m_laps->setMaximumWidth(80);
    lapsRow->addWidget(lapsLabel);
    lapsRow->addWidget(m_laps);
    lapsRow->addWidget(new QLabel(QStringLiteral("\uff081-50\uff09"), this));
    lapsRow->addStretch(1);

    QWidget* rows[5];
    for (QWidget*& row : rows) row = new QWidget(this);
    m_centre = AddPair(rows[0], "Centered While Self Check:", "On", "Off");
    m_alarm = AddPair(rows[1], "Close the alarm PTZ movement:", "On", "Off");
    m_tracking = AddPair(rows[2], "Mobile tracking:", "On", "Off");
    m_zoom = AddPair(rows[3], "Zoom tracking:", "On", "Off");
    m_light = AddPair(rows[4], "Indicator Display Mode:", "Been lighted", "Been extinguished");
    m_trackingRow = rows[2];
    m_zoomRow = rows[3];

    auto* apply = new QPushButton(QStringLiteral("Apply"), this);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(apply);
    buttons->addWidget(cancel);

    auto* column = new QVBoxLayout;
    column->addLayout(lapsRow);
    for (QWidget* row : rows) column->addWidget(row);
    column->addLayout(buttons);
    column->addStretch(1);
    auto* outer = new QHBoxLayout(this);
    outer->addLayout(column);
    outer->addStretch(1);

    Translate({rows[0], rows[1], rows[2], rows[3], rows[4]});
    AddApplyButton(apply);
    // Cancel reads the camera again.
    connect(cancel, &QPushButton::clicked, this, &CP_PtzDlg::RefreshFromDevice);
    LockWhileBusy(cancel);
}

void CP_PtzDlg::ShowRecord(const MotorAttr& m) {
    m_trackingFlag = m.smartrack_flag;
    m_centre->Choose(m.movehome == 1 ? 0 : 1);
    m_light->Choose(m.light_enable == 1 ? 0 : 1);
    const bool tracking = m.smartrack_flag == 1;
    for (QWidget* row : {m_trackingRow, m_zoomRow}) {
        row->setVisible(tracking);
        row->setEnabled(tracking);
    }
    if (tracking) {
        m_tracking->Choose(m.smartrack_enable == 1 ? 0 : 1);
        // Mode 0 is zoom tracking on, 1 off; the camera's other modes have no row.
        if (m.smartrack_mode == 0 || m.smartrack_mode == 1)
            m_zoom->Choose(m.smartrack_mode);
        else
            m_zoomRow->hide();
    } else {
        m_tracking->Clear();
        m_zoom->Clear();
    }
    const char* mask = m.ptzalarmmask;
    m_alarm->Choose(strncasecmp(mask, "on", sizeof m.ptzalarmmask) == 0 ? 0 : 1);
    m_laps->setText(QString::number(m.panscan));
}

const char* CP_PtzDlg::ReadControls(MotorAttr& m) {
    m.movehome = m_centre->Choice() == 0 ? 1 : 0;
    std::strcpy(m.ptzalarmmask, m_alarm->Choice() == 0 ? "on" : "off");
    m.light_enable = m_light->Choice() == 0 ? 1 : 0;
    m.smartrack_flag = m_trackingFlag;
    // Rows the camera did not offer send 0.
    m.smartrack_enable = !m_trackingRow->isHidden() && m_tracking->Choice() == 0 ? 1 : 0;
    m.smartrack_mode = !m_zoomRow->isHidden() && m_zoom->Choice() != 0 ? 1 : 0;
    // One lap count for both axes, not range-checked.
    m.panscan = m_laps->text().toInt();
    m.tiltscan = m.panscan;
    return ky::cgi::CheckMotorAttr(m);
}

void CP_PtzDlg::ClearControls() {
    m_laps->setText(QStringLiteral("1"));
    for (CChoiceGroup* g : {m_centre, m_alarm, m_tracking, m_zoom, m_light}) g->Clear();
}
