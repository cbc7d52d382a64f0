#include "gui/pages/network/P_NetDlg.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>
#include <cstdlib>

#include "core/cgi/rules/NetworkRules.h"
#include "gui/kit/FieldQText.h"
#include "gui/kit/CameraSession.h"
#include "gui/kit/Translate.h"

namespace {

constexpr int kIp = 1100, kMask = 1101, kGateway = 1102, kDns1 = 1106, kDns2 = 1107;
constexpr int kHttp = 1152, kRtsp = 1153, kRtmp = 1103;
// Edits with their labels, shown and hidden together.
constexpr int kAddressRows[][2] = {{kIp, 1162}, {kMask, 1163}, {kGateway, 1164}};
constexpr int kDnsRows[][2] = {{kDns1, 1160}, {kDns2, 1161}};

QString Id(int id) { return QString::number(id); }

// The decimal value as atoi reads it: a text that is no number gives 0.
int32_t Number(const QLineEdit* edit) { return std::atoi(edit->text().toUtf8().constData()); }

void Uncheck(QRadioButton* a, QRadioButton* b) {
    for (QRadioButton* r : {a, b}) {
        r->setAutoExclusive(false);
        r->setChecked(false);
        r->setAutoExclusive(true);
    }
}

}   // namespace

CP_NetDlg::CP_NetDlg(QWidget* parent) : CCameraPage(parent, "P_NET_DLG") {
    auto* grid = new QGridLayout;
    int row = 0;
    auto label = [&](const char* text, int id = 0) {
        auto* l = new QLabel(QString::fromUtf8(text), this);
        if (id) l->setObjectName(Id(id));
        grid->addWidget(l, row, 0);
        return l;
    };
    auto edit = [&](int id, const char* hint = nullptr) {
        auto* e = new QLineEdit(this);
        e->setObjectName(Id(id));
        e->setMinimumWidth(200);
        grid->addWidget(e, row, 1);
        if (hint) grid->addWidget(new QLabel(QString::fromUtf8(hint), this), row, 2);
        ++row;
        return e;
    };

    label("IP Configuration Type:");
    m_addressType = new QComboBox(this);
    m_addressType->setObjectName(Id(1098));
    grid->addWidget(m_addressType, row++, 1);
    label("IP address:", 1162);
    edit(kIp);
    label("Subnet mask:", 1163);
    edit(kMask);
    label("Gateway:", 1164);
    edit(kGateway);
    label("DNS Configuration Type:");
    m_dnsType = new QComboBox(this);
    m_dnsType->setObjectName(Id(1099));
    grid->addWidget(m_dnsType, row++, 1);
    label("Primary DNS:", 1160);
    edit(kDns1);
    label("Secondary DNS:", 1161);
    edit(kDns2);
    label("HTTP Port:");
    edit(kHttp,
         "(80 \u6216"
         "1024~49151)");
    label("RTSP Port:");
    edit(kRtsp,
         " (554 \u6216"
         "1024~49151)");
    label("RTMP Port:");
    edit(kRtmp,
         "(1935 \u6216"
         "1024~49151)");
    label("RTSP Permission check:");
    m_rtspOn = new QRadioButton(QStringLiteral("On"), this);
    m_rtspOn->setObjectName(Id(1104));
    m_rtspOff = new QRadioButton(QStringLiteral("Off"), this);
    m_rtspOff->setObjectName(Id(1105));
    auto* radios = new QHBoxLayout;
    radios->addWidget(m_rtspOn);
    radios->addWidget(m_rtspOff);
    radios->addWidget(new QLabel(QStringLiteral(" (Note:Modify the settings, reboot the device)"), this));
    radios->addStretch(1);
    grid->addLayout(radios, row++, 1, 1, 2);
    grid->setColumnStretch(3, 1);

    auto* column = new QVBoxLayout(this);
    column->addLayout(grid);
    // Cancel does nothing on this page.
    AddApplyRow(column);
    column->addStretch(1);

    Translate();
    for (const char* key : {"Fixed IP Address", "Dynamic IP Address"})
        m_addressType->addItem(LangTextEx(Section(), QString::fromLatin1(key)));
    for (const char* key : {"Manual DNS", "From DHCP Server"})
        m_dnsType->addItem(LangTextEx(Section(), QString::fromLatin1(key)));
    m_addressType->setCurrentIndex(0);
    m_dnsType->setCurrentIndex(0);
    Uncheck(m_rtspOn, m_rtspOff);

    connect(m_addressType, &QComboBox::activated, this, &CP_NetDlg::OnAddressTypeChanged);
    connect(m_dnsType, &QComboBox::activated, this, &CP_NetDlg::OnDnsTypeChanged);
}

void CP_NetDlg::ShowAddressFields(bool on) {
    for (const auto& pair : kAddressRows)
        for (int id : pair) findChild<QWidget*>(Id(id))->setVisible(on);
}

void CP_NetDlg::ShowDnsFields(bool on) {
    for (const auto& pair : kDnsRows)
        for (int id : pair) findChild<QWidget*>(Id(id))->setVisible(on);
}

void CP_NetDlg::OnAddressTypeChanged(int index) { ShowAddressFields(index == 0); }

void CP_NetDlg::OnDnsTypeChanged(int index) { ShowDnsFields(index == 0); }

void CP_NetDlg::ClearControls() {
    m_addressType->setCurrentIndex(0);
    ShowAddressFields(true);
    m_dnsType->setCurrentIndex(0);
    ShowDnsFields(true);
    Uncheck(m_rtspOn, m_rtspOff);
    for (int id : {kIp, kMask, kGateway, kDns1, kDns2}) Control<QLineEdit>(id)->clear();
    Control<QLineEdit>(kHttp)->setText(QStringLiteral("80"));
    Control<QLineEdit>(kRtsp)->setText(QStringLiteral("554"));
    Control<QLineEdit>(kRtmp)->setText(QStringLiteral("1935"));
}

void CP_NetDlg::Load() {
    LoadRecord<NetAttr>(&CCgiClient::GetNetAttr, [this](const NetAttr& rec) { Show(rec); });
}

void CP_NetDlg::Show(const NetAttr& rec) {
    m_addressType->setCurrentIndex(rec.dhcpflag == 0 ? 0 : 1);
    ShowAddressFields(rec.dhcpflag == 0);
    Control<QLineEdit>(kIp)->setText(FieldQText(rec.ip));
    Control<QLineEdit>(kMask)->setText(FieldQText(rec.netmask));
    Control<QLineEdit>(kGateway)->setText(FieldQText(rec.gateway));
    Control<QLineEdit>(kDns1)->setText(FieldQText(rec.fdnsip));
    Control<QLineEdit>(kDns2)->setText(FieldQText(rec.sdnsip));
    Control<QLineEdit>(kHttp)->setText(QString::number(rec.httpport));
    Control<QLineEdit>(kRtsp)->setText(QString::number(rec.rtspport));
    Control<QLineEdit>(kRtmp)->setText(QString::number(rec.rtmpport));
    m_dnsType->setCurrentIndex(rec.dnsstat == 0 ? 0 : 1);
    ShowDnsFields(rec.dnsstat == 0);
    if (rec.rtsp_aenable == 1)
        m_rtspOn->setChecked(true);
    else
        m_rtspOff->setChecked(true);
}

void CP_NetDlg::Apply() {
    // No selection gives -1, which the rules refuse first. Hidden fields keep their text and are collected, checked and
    // sent too.
    NetAttr rec{};
    rec.dhcpflag = m_addressType->currentIndex();
    rec.dnsstat = m_dnsType->currentIndex();
    rec.rtsp_aenable = m_rtspOn->isChecked() ? 1 : 0;
    auto copy = [this](int id, auto& field) {
        ky::cgi::CopyText(field, sizeof field, Control<QLineEdit>(id)->text().toUtf8().toStdString());
    };
    copy(kIp, rec.ip);
    copy(kMask, rec.netmask);
    copy(kGateway, rec.gateway);
    copy(kDns1, rec.fdnsip);
    copy(kDns2, rec.sdnsip);
    rec.httpport = Number(Control<QLineEdit>(kHttp));
    rec.rtspport = Number(Control<QLineEdit>(kRtsp));
    rec.rtmpport = Number(Control<QLineEdit>(kRtmp));
    if (const char* refused = ky::cgi::CheckNetAttr(rec)) return Refuse(refused);

    Start([this, rec](const CameraTarget& camera) -> Done {
        const ky::cgi::Target target{camera.ip.c_str(), camera.port, camera.user.c_str(), camera.password.c_str()};
        // An unreadable ONVIF port counts as 0: nothing conflicts with it.
        if (const char* conflict = ky::cgi::CheckNetPortConflicts(rec, ky::cgi::ReadOnvifPortForNetCheck(&target)))
            return [this, conflict] { Refuse(conflict); };
        NetAttr sent = rec;
        const bool ok = Call(camera, &CCgiClient::SetNetAttr, &sent, ky::cgi::kNetSetTimeoutMs) == 0;
        const bool ends = ky::cgi::NetApplyEndsSession(rec, camera.ip, camera.port);
        return [this, ok, ends, camera] {
            if (!ok) {
                ShowFailure(Failure::Write, camera);
                Message(
                    "The network parameters have been changed. The network has been disconnected. Please "
                    "reconnect!");
                return;
            }
            // The camera is moving to its new address: the session to the old
            // one is over.
            if (ends) CurrentCamera().Disconnect();
            Message("Parameter setting succeeded!");
        };
    });
}
