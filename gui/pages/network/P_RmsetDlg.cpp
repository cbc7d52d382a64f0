#include "gui/pages/network/P_RmsetDlg.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <cstdlib>

#include "core/cgi/CommandEngine.h"
#include "gui/kit/FieldQText.h"
#include "gui/kit/Translate.h"

namespace {

// Edits with their labels, shown and hidden with their service's switch.
constexpr int kMainRows[][2] = {{1131, 1282}, {1110, 1283}, {1001, 1284}, {1002, 1285}};
constexpr int kProviderRows[][2] = {{1202, 1286}, {1094, 1287}, {1095, 1288}, {1103, 1289}};
constexpr int kTextEdits[] = {1131, 1110, 1001, 1002, 1094, 1095, 1103};
// Radio pairs: on, off.
constexpr int kMainOn = 1276, kMainOff = 1277, kProviderOn = 1278, kProviderOff = 1279, kUpnpOn = 1280, kUpnpOff = 1281;

QString Id(int id) { return QString::number(id); }

}   // namespace

CP_RmsetDlg::CP_RmsetDlg(QWidget* parent) : CCameraPage(parent, "P_RMSET_DLG") {
    auto group = [this](int index, const char* title) {
        m_boxes[index] = new QGroupBox(QString::fromLatin1(title), this);
        return m_boxes[index];
    };
    auto radios = [](QGroupBox* box, QGridLayout* grid, int on, int off) {
        auto* r1 = new QRadioButton(QStringLiteral("On"), box);
        r1->setObjectName(Id(on));
        auto* r2 = new QRadioButton(QStringLiteral("Off"), box);
        r2->setObjectName(Id(off));
        auto* row = new QHBoxLayout;
        row->addWidget(r1);
        row->addWidget(r2);
        row->addStretch(1);
        grid->addLayout(row, 0, 0, 1, 2);
    };
    auto field = [](QGroupBox* box, QGridLayout* grid, int row, const char* label, int labelId, QWidget* w, int id) {
        auto* l = new QLabel(QString::fromLatin1(label), box);
        l->setObjectName(Id(labelId));
        w->setObjectName(Id(id));
        w->setMinimumWidth(220);
        grid->addWidget(l, row, 0);
        grid->addWidget(w, row, 1);
    };
    auto edit = [](QGroupBox* box, bool masked = false) {
        auto* e = new QLineEdit(box);
        if (masked) e->setEchoMode(QLineEdit::Password);
        return e;
    };

    QGroupBox* internet = group(0, "Internet IP Address");
    auto* show = new QPushButton(QStringLiteral("Show"), internet);
    show->setObjectName(Id(1275));
    auto* address = new QLineEdit(internet);
    address->setObjectName(Id(1134));
    address->setReadOnly(true);
    address->setMinimumWidth(220);
    auto* internetRow = new QHBoxLayout(internet);
    internetRow->addWidget(show);
    internetRow->addWidget(address, 1);

    QGroupBox* main = group(1, "Main DDNS");
    auto* mainGrid = new QGridLayout(main);
    radios(main, mainGrid, kMainOn, kMainOff);
    field(main, mainGrid, 1, "Server:", 1282, edit(main), 1131);
    field(main, mainGrid, 2, "Port:", 1283, edit(main), 1110);
    field(main, mainGrid, 3, "User name:", 1284, edit(main), 1001);
    field(main, mainGrid, 4, "Password:", 1285, edit(main, true), 1002);

    QGroupBox* provider = group(2, "3th DDNS");
    auto* providerGrid = new QGridLayout(provider);
    radios(provider, providerGrid, kProviderOn, kProviderOff);
    auto* providers = new QComboBox(provider);
    for (const char* name : kProviders) providers->addItem(QString::fromLatin1(name));
    field(provider, providerGrid, 1, "Provider:", 1286, providers, 1202);
    field(provider, providerGrid, 2, "User name:", 1287, edit(provider), 1094);
    field(provider, providerGrid, 3, "Password:", 1288, edit(provider, true), 1095);
    field(provider, providerGrid, 4, "Your Domain", 1289, edit(provider), 1103);

    QGroupBox* upnp = group(3, "UPnP Port Forwarding");
    auto* upnpGrid = new QGridLayout(upnp);
    radios(upnp, upnpGrid, kUpnpOn, kUpnpOff);

    auto* column = new QVBoxLayout;
    for (QGroupBox* box : m_boxes) column->addWidget(box);
    QPushButton* cancel = AddApplyRow(column);
    column->addStretch(1);
    auto* outer = new QHBoxLayout(this);
    outer->addLayout(column);
    outer->addStretch(1);

    Translate({internet, main, provider, upnp});
    providers->setCurrentIndex(-1);

    LockWhileBusy(show);
    LockWhileBusy(cancel);
    connect(show, &QPushButton::clicked, this, &CP_RmsetDlg::OnShowInternetIp);
    connect(cancel, &QPushButton::clicked, this, &CP_RmsetDlg::OnCancel);
    connect(Control<QRadioButton>(kMainOn), &QRadioButton::clicked, this, [this] { ShowMainFields(true); });
    connect(Control<QRadioButton>(kMainOff), &QRadioButton::clicked, this, [this] { ShowMainFields(false); });
    connect(Control<QRadioButton>(kProviderOn), &QRadioButton::clicked, this, [this] { ShowProviderFields(true); });
    connect(Control<QRadioButton>(kProviderOff), &QRadioButton::clicked, this, [this] { ShowProviderFields(false); });
}

void CP_RmsetDlg::ShowMainFields(bool on) {
    for (const auto& pair : kMainRows)
        for (int id : pair) Control<QWidget>(id)->setVisible(on);
}

void CP_RmsetDlg::ShowProviderFields(bool on) {
    for (const auto& pair : kProviderRows)
        for (int id : pair) Control<QWidget>(id)->setVisible(on);
}

void CP_RmsetDlg::ClearControls() {
    for (int id : {kMainOn, kMainOff, kProviderOn, kProviderOff, kUpnpOn, kUpnpOff}) {
        QRadioButton* r = Control<QRadioButton>(id);
        r->setAutoExclusive(false);
        r->setChecked(false);
        r->setAutoExclusive(true);
    }
    for (int id : kTextEdits) Control<QLineEdit>(id)->clear();
    Control<QComboBox>(1202)->setCurrentIndex(-1);
}

void CP_RmsetDlg::Load() {
    Control<QLineEdit>(1134)->clear();
    LoadRecord<DdnsAttr>(&CCgiClient::GetDdnsAttr, [this](const DdnsAttr& rec) { Show(rec); });
}

void CP_RmsetDlg::Show(const DdnsAttr& rec) {
    Control<QRadioButton>(rec.our_enable == 1 ? kMainOn : kMainOff)->setChecked(true);
    ShowMainFields(rec.our_enable == 1);
    Control<QLineEdit>(1131)->setText(FieldQText(rec.our_server));
    Control<QLineEdit>(1110)->setText(QString::number(rec.our_port));
    Control<QLineEdit>(1001)->setText(FieldQText(rec.our_uname));
    Control<QLineEdit>(1002)->setText(FieldQText(rec.our_passwd));
    Control<QRadioButton>(rec.d3th_enable == 1 ? kProviderOn : kProviderOff)->setChecked(true);
    ShowProviderFields(rec.d3th_enable == 1);
    auto* providers = Control<QComboBox>(1202);
    providers->setCurrentIndex(rec.d3th_service >= 0 && rec.d3th_service < providers->count() ? rec.d3th_service : -1);
    Control<QLineEdit>(1094)->setText(FieldQText(rec.d3th_uname));
    Control<QLineEdit>(1095)->setText(FieldQText(rec.d3th_passwd));
    Control<QLineEdit>(1103)->setText(FieldQText(rec.d3th_domain));
    Control<QRadioButton>(rec.upm_enable == 1 ? kUpnpOn : kUpnpOff)->setChecked(true);
}

void CP_RmsetDlg::Apply() {
    // Nothing is checked; hidden fields are sent as they stand.
    DdnsAttr rec{};
    rec.our_enable = Control<QRadioButton>(kMainOn)->isChecked() ? 1 : 0;
    rec.d3th_enable = Control<QRadioButton>(kProviderOn)->isChecked() ? 1 : 0;
    rec.upm_enable = Control<QRadioButton>(kUpnpOn)->isChecked() ? 1 : 0;
    auto copy = [this](int id, auto& field) {
        ky::cgi::CopyText(field, sizeof field, Control<QLineEdit>(id)->text().toUtf8().toStdString());
    };
    copy(1131, rec.our_server);
    copy(1001, rec.our_uname);
    copy(1002, rec.our_passwd);
    copy(1094, rec.d3th_uname);
    copy(1095, rec.d3th_passwd);
    copy(1103, rec.d3th_domain);
    rec.our_port = std::atoi(Control<QLineEdit>(1110)->text().toUtf8().constData());
    rec.d3th_service = Control<QComboBox>(1202)->currentIndex();
    Write([rec](const CameraTarget& camera) mutable {
        return Call(camera, &CCgiClient::SetDdnsAttr, &rec) == 0 ? Outcome::Succeeded : Outcome::Cleared;
    });
}

void CP_RmsetDlg::OnCancel() { RefreshFromDevice(); }

void CP_RmsetDlg::OnShowInternetIp() {
    if (!LoggedIn()) {
        ClearControls();
        return;
    }
    Start([this](const CameraTarget& camera) -> Done {
        InternetIpAttr ip{};
        const bool ok = Call(camera, &CCgiClient::GetInternetIp, &ip) == 0;
        return [this, ok, ip] {
            // A camera without a way out has no address to report.
            const QString address = ok ? FieldQText(ip.interip) : QString();
            Control<QLineEdit>(1134)->setText(
                address.isEmpty() ? LangTextEx(Section(), QStringLiteral("Internet IP Address: NULL")) : address);
        };
    });
}
