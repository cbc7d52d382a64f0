#include "gui/pages/alarm/OnOffPair.h"

#include <QHBoxLayout>
#include <QRadioButton>

#include "gui/pages/ChoiceGroup.h"

COnOffPair::COnOffPair(QWidget* parent) : QObject(parent) {
    m_on = new QRadioButton(QStringLiteral("On"), parent);
    m_off = new QRadioButton(QStringLiteral("Off"), parent);
    m_group = new CChoiceGroup(this, {m_on, m_off});
    m_row = new QHBoxLayout;
    m_row->addWidget(m_on);
    m_row->addWidget(m_off);
    m_row->addStretch(1);
    connect(m_on, &QRadioButton::clicked, this, [this] { emit chosen(true); });
    connect(m_off, &QRadioButton::clicked, this, [this] { emit chosen(false); });
}

void COnOffPair::Set(bool on) { m_group->Choose(on ? 0 : 1); }

void COnOffPair::Clear() { m_group->Clear(); }

bool COnOffPair::IsOn() const { return m_on->isChecked(); }
