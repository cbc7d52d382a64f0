#include "gui/pages/advanced/SwitchPage.h"

#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

CSwitchPage::CSwitchPage(QWidget* parent, const char* section, const char* title, Frame frame, int onId, int offId)
    : CCameraPage(parent, section) {
    auto* column = new QVBoxLayout;
    QGroupBox* box = nullptr;
    if (frame == Frame::Group) {
        box = new QGroupBox(QString::fromUtf8(title), this);
        m_switch = new CRadioPair(box, "On", "Off");
        box->setLayout(m_switch->Row());
        column->addWidget(box);
    } else {
        m_switch = new CRadioPair(this, "On", "Off");
        auto* row = new QHBoxLayout;
        row->addWidget(new QLabel(QString::fromUtf8(title), this));
        row->addLayout(m_switch->Row(), 1);
        column->addLayout(row);
    }
    m_switch->First()->setObjectName(QString::number(onId));
    m_switch->Second()->setObjectName(QString::number(offId));

    m_apply = new QPushButton(QStringLiteral("Apply"), this);
    m_apply->setObjectName(QStringLiteral("1"));
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    m_cancel->setObjectName(QStringLiteral("2"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_apply);
    buttons->addWidget(m_cancel);
    column->addLayout(buttons);
    column->addStretch(1);
    auto* outer = new QHBoxLayout(this);
    outer->addLayout(column);
    outer->addStretch(1);
    setMinimumWidth(360);

    if (box)
        Translate({box});
    else
        Translate();
    AddApplyButton(m_apply);
    LockWhileBusy(m_cancel);
    connect(m_cancel, &QPushButton::clicked, this, &CCameraPage::RefreshFromDevice);
}

void CSwitchPage::EnableButtons(bool on) {
    m_apply->setEnabled(on);
    m_cancel->setEnabled(on);
}
