#include "gui/pages/network/P_4GDlg.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <cstdlib>
#include <strings.h>

#include "core/cgi/rules/CellularRules.h"
#include "gui/kit/FieldQText.h"
#include "gui/kit/Translate.h"
#include "gui/pages/PageContext.h"
#include "gui/pages/PageControls.h"

using ky::pages::CopyToField;

namespace {

constexpr const char* kSection = "P_4G_DLG";
constexpr int kCap4g = 13;
constexpr int kCap5g = 15;

constexpr const char* kOperators[] = {"CHINA MOBILE", "CHN-UNICOM", "CHN-CT", "Unknown Operator"};
constexpr const char* kAuthTypes[] = {"NONE", "PAP", "CHAP", "PAP or CHAP"};

struct FieldDef {
    int id;
    const char* label;
    bool editable;
};
// In page order.
constexpr FieldDef kFields[] = {
    {1131, "SIM Card:", false}, {1133, "Signal:", false},  {1135, "Status Code:", false}, {1136, "Operator:", false},
    {1132, "Version:", false},  {1137, "IMEI:", false},    {1138, "ICCID:", false},       {1139, "APN:", true},
    {1001, "UserName:", true},  {1002, "Password:", true},
};

QString Tr(const char* key) { return LangTextEx(kSection, QString::fromUtf8(key)); }

}   // namespace

CP_4GDlg::CP_4GDlg(QWidget* parent) : CCameraPage(parent, kSection) {
    m_title = new QLabel(QStringLiteral("4G Settings"), this);
    m_title->setObjectName(QStringLiteral("1270"));
    QFont bold = m_title->font();
    bold.setBold(true);
    m_title->setFont(bold);

    m_mode = new QComboBox(this);
    m_mode->setObjectName(QStringLiteral("1202"));
    m_auth = new QComboBox(this);
    m_auth->setObjectName(QStringLiteral("1259"));
    m_auth->setMinimumContentsLength(12);

    auto* grid = new QGridLayout;
    int row = 0;
    auto addRow = [&](QWidget* label, QWidget* control) {
        grid->addWidget(label, row, 0);
        grid->addWidget(control, row++, 1);
    };
    for (const FieldDef& f : kFields) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QString::number(f.id));
        edit->setReadOnly(!f.editable);
        // The access-point settings follow the modem's state.
        if (f.id == 1139) addRow(new QLabel(QStringLiteral("APN Mode:"), this), m_mode);
        addRow(new QLabel(QString::fromUtf8(f.label), this), edit);
        if (f.id == 1139) addRow(new QLabel(QStringLiteral("Authentication:"), this), m_auth);
    }
    grid->setColumnStretch(1, 1);

    m_get = new QPushButton(QStringLiteral("Get"), this);
    m_get->setObjectName(QStringLiteral("1260"));
    auto* apply = new QPushButton(QStringLiteral("Apply"), this);
    apply->setObjectName(QStringLiteral("1068"));
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_get);
    buttons->addWidget(apply);

    auto* column = new QVBoxLayout;
    column->addWidget(m_title);
    column->addLayout(grid);
    column->addLayout(buttons);
    column->addStretch(1);
    auto* outer = new QHBoxLayout(this);
    outer->addLayout(column);
    outer->addStretch(1);
    for (QLineEdit* e : findChildren<QLineEdit*>()) e->setMinimumWidth(280);

    Translate();
    for (const char* a : kAuthTypes) m_auth->addItem(QString::fromLatin1(a));
    m_auth->setCurrentIndex(0);
    m_mode->addItem(Tr("Auto"));
    m_mode->addItem(Tr("Manual"));
    m_mode->setCurrentIndex(0);

    AddApplyButton(apply);
    LockWhileBusy(m_get);
    connect(m_get, &QPushButton::clicked, this, &CCameraPage::RefreshFromDevice);
}

QLineEdit* CP_4GDlg::Field(int id) const { return findChild<QLineEdit*>(QString::number(id)); }

const char* CP_4GDlg::OperatorKey(const char* carrier) {
    for (const char* op : kOperators)
        if (strcasecmp(op, carrier) == 0) return op;
    return kOperators[3];
}

CP_4GDlg::Support CP_4GDlg::ReadSupport(const CapabilityRecord* cap) {
    if (!cap) return {};
    return {std::atoi(cap->Text(kCap4g).c_str()), std::atoi(cap->Text(kCap5g).c_str())};
}

void CP_4GDlg::Load() {
    m_lastRead = false;
    const Support s = ReadSupport(ky::pages::CurrentCapability());
    if (ky::cgi::CheckCellularSupport(s.g4, s.g5)) {
        ClearControls();
        return;
    }
    // A camera declaring both reads "5G Settings"; neither at 1 keeps the title.
    if (s.g4 == 1) m_title->setText(Tr("4G Settings"));
    if (s.g5 == 1) m_title->setText(Tr("5G Settings"));
    Start([this](const CameraTarget& camera) -> Done {
        CellularAttr rec{};
        const bool ok = Call(camera, &CCgiClient::Get4gAttr, &rec) == 0;
        return [this, ok, rec, camera] {
            m_lastRead = ok;
            if (ok) {
                m_last = rec;
                ShowRecord(rec);
            } else {
                m_last = CellularAttr{};
                ReadFailed(camera);
            }
        };
    });
}

void CP_4GDlg::ShowRecord(const CellularAttr& rec) {
    Field(1131)->setText(Tr(rec.g4_simcard == 1 ? "Have card" : "No card"));
    Field(1132)->setText(FieldQText(rec.g4_ver));
    Field(1133)->setText(QString::number(rec.g4_quality));
    Field(1135)->setText(QString::number(rec.g4_status));
    Field(1137)->setText(FieldQText(rec.g4_imei));
    Field(1138)->setText(FieldQText(rec.g4_iccid));
    const std::string carrier(ky::FieldText(rec.g4_carrier));
    Field(1136)->setText(Tr(OperatorKey(carrier.c_str())));
    m_mode->setCurrentIndex(rec.g4_runmode == 0 || rec.g4_runmode == 1 ? rec.g4_runmode : -1);
    m_auth->setCurrentIndex(rec.g4_authtype >= 0 && rec.g4_authtype <= 3 ? rec.g4_authtype : -1);
    Field(1139)->setText(FieldQText(rec.g4_apn));
    Field(1001)->setText(FieldQText(rec.g4_username));
    Field(1002)->setText(FieldQText(rec.g4_password));
}

void CP_4GDlg::ClearControls() {
    m_title->setText(Tr("4G Settings"));
    for (const FieldDef& f : kFields) Field(f.id)->clear();
    m_mode->setCurrentIndex(0);
    m_auth->setCurrentIndex(0);
}

void CP_4GDlg::Apply() {
    const Support s = ReadSupport(ky::pages::CurrentCapability());
    if (const char* refused = ky::cgi::CheckCellularSupport(s.g4, s.g5)) return Refuse(refused);
    // The write carries the operator as read: without a read, nothing goes.
    if (!m_lastRead) return ClearControls();
    CellularAttr rec = m_last;
    rec.g4_authtype = m_auth->currentIndex();
    rec.g4_runmode = m_mode->currentIndex();
    const QByteArray apn = Field(1139)->text().toUtf8();
    const QByteArray user = Field(1001)->text().toUtf8();
    const QByteArray password = Field(1002)->text().toUtf8();
    if (const char* refused = ky::cgi::CheckCellularInput(
            rec.g4_authtype, rec.g4_runmode, std::string_view(apn.constData(), static_cast<size_t>(apn.size())),
            std::string_view(user.constData(), static_cast<size_t>(user.size())),
            std::string_view(password.constData(), static_cast<size_t>(password.size()))))
        return Refuse(refused);
    CopyToField(Field(1139)->text(), rec.g4_apn);
    CopyToField(Field(1001)->text(), rec.g4_username);
    CopyToField(Field(1002)->text(), rec.g4_password);
    Write([rec](const CameraTarget& camera) mutable {
        return Call(camera, &CCgiClient::Set4gAttr, &rec) == 0 ? Outcome::Succeeded : Outcome::Cleared;
    });
}
