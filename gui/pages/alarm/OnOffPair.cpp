#include "gui/pages/alarm/OnOffPair.h"

#include <QButtonGroup>
#include <QHBoxLayout>
#include <QRadioButton>

COnOffPair::COnOffPair(QWidget* parent) : QObject(parent) {
    m_on = new QRadioButton(QStringLiteral("On"), parent);
    m_off = new QRadioButton(QStringLiteral("Off"), parent);
    m_group = new QButtonGroup(this);
    m_group->addButton(m_on);
    m_group->addButton(m_off);
    m_row = new QHBoxLayout;
    m_row->addWidget(m_on);
    m_row->addWidget(m_off);
    m_row->addStretch(1);
    connect(m_on, &QRadioButton::clicked, this, [this] { emit chosen(true); });
    connect(m_off, &QRadioButton::clicked, this, [this] { emit chosen(false); });
}

void COnOffPair::Set(bool on) { (on ? m_on : m_off)->setChecked(true); }

void COnOffPair::Clear() {
    // An exclusive group always keeps one button checked.
    m_group->setExclusive(false);
    m_on->setChecked(false);
    m_off->setChecked(false);
    m_group->setExclusive(true);
}

bool COnOffPair::IsOn() const { return m_on->isChecked(); }
