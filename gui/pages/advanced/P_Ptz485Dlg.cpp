#include "gui/pages/advanced/P_Ptz485Dlg.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "gui/kit/Translate.h"

namespace {

// The entry whose text is value's decimal form; -1 when none is.
int EntryOf(const QComboBox* list, int value) { return list->findText(QString::number(value), Qt::MatchExactly); }

// Index when it names an entry, else -1.
int Position(const QComboBox* list, int index) { return index >= 0 && index < list->count() ? index : -1; }

// The selected entry as a number; 0 when nothing is selected.
int SelectedNumber(const QComboBox* list) { return list->currentIndex() < 0 ? 0 : list->currentText().toInt(); }

}   // namespace

CP_Ptz485Dlg::CP_Ptz485Dlg(QWidget* parent)
    : CRecordPage<PtzComAttr>(parent, kSection, &CCgiClient::GetPtzComAttr, &CCgiClient::SetPtzComAttr) {
    m_writeFailure = Outcome::Cleared;

    m_address = new QLineEdit(this);
    m_address->setObjectName(QStringLiteral("address"));
    m_protocol = new QComboBox(this);
    m_protocol->addItems({QStringLiteral("PELCO-D"), QStringLiteral("PELCO-P")});
    m_speed = new QComboBox(this);
    for (int s = 0; s <= 63; ++s) m_speed->addItem(QString::number(s));
    m_baud = new QComboBox(this);
    for (int i = 0; i <= 5; ++i) m_baud->addItem(QString::number(1200 << i));
    m_baud->addItem(QStringLiteral("57600"));
    m_dataBits = new QComboBox(this);
    m_dataBits->addItems({QStringLiteral("7"), QStringLiteral("8")});
    m_stopBits = new QComboBox(this);
    m_stopBits->addItems({QStringLiteral("1"), QStringLiteral("2")});
    m_parity = new QComboBox(this);
    for (const char* p : {"None", "Odd", "Even"}) m_parity->addItem(LangTextEx(kSection, QString::fromLatin1(p)));

    auto* grid = new QGridLayout;
    int row = 0;
    const auto add = [&](const char* label, QWidget* field, const char* hint = nullptr) {
        grid->addWidget(new QLabel(QString::fromLatin1(label), this), row, 0);
        grid->addWidget(field, row, 1);
        if (hint) grid->addWidget(new QLabel(QString::fromLatin1(hint), this), row, 2);
        ++row;
    };
    add("Address:", m_address);
    add("Protocal:", m_protocol);
    add("rate:", m_speed, "(0-63)");
    add("Baudrate:", m_baud);
    add("Data bit:", m_dataBits);
    add("Stop bit:", m_stopBits);
    add("Check type:", m_parity);
    grid->setColumnMinimumWidth(1, 160);

    auto* column = new QVBoxLayout;
    column->addLayout(grid);
    QPushButton* cancel = AddApplyRow(column);
    column->addStretch(1);
    auto* outer = new QHBoxLayout(this);
    outer->addLayout(column);
    outer->addStretch(1);

    Translate();
    ClearControls();
    // Cancel reads the camera again.
    connect(cancel, &QPushButton::clicked, this, &CP_Ptz485Dlg::RefreshFromDevice);
    LockWhileBusy(cancel);
}

void CP_Ptz485Dlg::ShowRecord(const PtzComAttr& c) {
    m_address->setText(QString::number(c.address));
    m_protocol->setCurrentIndex(Position(m_protocol, c.protocal));
    m_parity->setCurrentIndex(Position(m_parity, c.check));
    m_speed->setCurrentIndex(Position(m_speed, c.speed));
    m_baud->setCurrentIndex(EntryOf(m_baud, c.baud));
    m_dataBits->setCurrentIndex(EntryOf(m_dataBits, c.databit));
    m_stopBits->setCurrentIndex(EntryOf(m_stopBits, c.stopbit));
}

const char* CP_Ptz485Dlg::ReadControls(PtzComAttr& c) {
    // No range checks: what the lists hold is what the port takes.
    c.protocal = m_protocol->currentIndex();
    c.address = m_address->text().toInt();
    c.speed = m_speed->currentIndex();
    c.baud = SelectedNumber(m_baud);
    c.databit = SelectedNumber(m_dataBits);
    c.stopbit = SelectedNumber(m_stopBits);
    c.check = m_parity->currentIndex();
    return nullptr;
}

void CP_Ptz485Dlg::ClearControls() {
    m_address->clear();
    for (QComboBox* list : {m_protocol, m_speed, m_baud, m_dataBits, m_stopBits, m_parity}) list->setCurrentIndex(-1);
}
