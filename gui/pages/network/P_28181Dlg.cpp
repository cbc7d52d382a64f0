#include "gui/pages/network/P_28181Dlg.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/cgi/rules/OnvifRules.h"
#include "gui/kit/FieldQText.h"

using ky::pages::CopyToField;
using ky::pages::DecimalValue;

namespace {

struct FieldDef {
    int id;
    int labelId;
    const char* label;
    const char* reset;
};
// In page order.
constexpr FieldDef kFields[] = {
    {1131, 1136, "Server ID:", ""},
    {1132, 1141, "Server Address:", ""},
    {1133, 1142, "Server Port\uff1a", "5060"},
    {1134, 1143, "Device ID:", ""},
    {1135, 1144, "Device Port:", "5060"},
    {1002, 1145, "Device password:", "97531086"},
    {1137, 1146, "Alarm ID:", ""},
    {1138, 1147, "Heartbeet Cycle:", "60"},
    {1139, 1148, "Heartbeet Overtime Count:", "3"},
    {1140, 1149, "Register Effective Time:", "3600"},
};

}   // namespace

CP_28181Dlg::CP_28181Dlg(QWidget* parent)
    : CRecordPage(parent, "P_28181_DLG", &CCgiClient::GetGb28181Attr, &CCgiClient::SetGb28181Attr) {
    m_enable = new CRadioPair(this, "On", "Off");
    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("GB28181:"), this), 0, 0);
    grid->addLayout(m_enable->Row(), 0, 1);
    int row = 1;
    for (const FieldDef& f : kFields) {
        auto* label = new QLabel(QString::fromUtf8(f.label), this);
        label->setObjectName(QString::number(f.labelId));
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QString::number(f.id));
        if (f.id == 1002) edit->setEchoMode(QLineEdit::Password);
        grid->addWidget(label, row, 0);
        grid->addWidget(edit, row++, 1);
        m_switched << label << edit;
    }
    grid->setColumnStretch(1, 1);

    auto* column = new QVBoxLayout;
    column->addLayout(grid);
    QPushButton* cancel = AddApplyRow(column);
    column->addStretch(1);
    auto* outer = new QHBoxLayout(this);
    outer->addLayout(column);
    outer->addStretch(1);
    for (QLineEdit* e : findChildren<QLineEdit*>()) e->setMinimumWidth(280);

    Translate();
    ResetFields();

    LockWhileBusy(cancel);
    connect(cancel, &QPushButton::clicked, this, &CP_28181Dlg::OnCancel);
    connect(m_enable, &CRadioPair::chosen, this, &CP_28181Dlg::OnEnableChosen);
}

QLineEdit* CP_28181Dlg::Field(int id) const { return findChild<QLineEdit*>(QString::number(id)); }

void CP_28181Dlg::ResetFields() {
    for (const FieldDef& f : kFields) Field(f.id)->setText(QString::fromUtf8(f.reset));
}

void CP_28181Dlg::OnEnableChosen(int index) {
    ky::pages::SetVisible(m_switched, index == 0);
    if (LoggedIn()) return;
    // Without a camera the choice is not kept: the page stays empty.
    if (index == 0) m_enable->Clear();
    ResetFields();
}

void CP_28181Dlg::OnCancel() {
    ky::pages::SetVisible(m_switched, false);
    ResetFields();
}

void CP_28181Dlg::ShowRecord(const Gb28181Attr& rec) {
    Field(1131)->setText(FieldQText(rec.gb_svrid));
    Field(1132)->setText(FieldQText(rec.gb_svrip));
    Field(1133)->setText(QString::number(rec.gb_svrport));
    Field(1134)->setText(FieldQText(rec.gb_devid));
    Field(1135)->setText(QString::number(rec.gb_devport));
    Field(1002)->setText(FieldQText(rec.gb_devpwd));
    Field(1137)->setText(FieldQText(rec.gb_alarmid));
    Field(1138)->setText(QString::number(rec.gb_heartcycle));
    Field(1139)->setText(QString::number(rec.gb_heartcount));
    Field(1140)->setText(QString::number(rec.gb_regtime));
    m_enable->Check(rec.gb_enable == 1 ? 0 : 1);
    ky::pages::SetVisible(m_switched, rec.gb_enable == 1);
}

const char* CP_28181Dlg::ReadControls(Gb28181Attr& rec) {
    rec.gb_enable = m_enable->Flag();
    CopyToField(Field(1131)->text(), rec.gb_svrid);
    CopyToField(Field(1132)->text(), rec.gb_svrip);
    rec.gb_svrport = DecimalValue(Field(1133));
    CopyToField(Field(1134)->text(), rec.gb_devid);
    rec.gb_devport = DecimalValue(Field(1135));
    CopyToField(Field(1002)->text(), rec.gb_devpwd);
    CopyToField(Field(1137)->text(), rec.gb_alarmid);
    rec.gb_heartcycle = DecimalValue(Field(1138));
    rec.gb_heartcount = DecimalValue(Field(1139));
    rec.gb_regtime = DecimalValue(Field(1140));
    return ky::cgi::ValidateGb28181Page(rec, {});
}

void CP_28181Dlg::ClearControls() {
    m_enable->Clear();
    ResetFields();
    ky::pages::SetVisible(m_switched, false);
}

void CP_28181Dlg::Apply() {
    Gb28181Attr rec{};
    if (const char* refused = ReadControls(rec)) return Refuse(refused);
    Write([rec](const CameraTarget& camera) mutable {
        return Call(camera, &CCgiClient::SetGb28181Attr, &rec) == 0 ? Outcome::Succeeded : Outcome::Failed;
    });
}
