#include "gui/pages/network/P_ONVIFDlg.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "gui/kit/Translate.h"

using ky::pages::DecimalValue;

namespace {

constexpr const char* kSection = "P_ONVIF_DLG";
constexpr int kDefaultPort = 8080;
constexpr int kDefaultNvc = 1;   // Uniview

QLabel* Label(const char* text, int id, QWidget* parent) {
    auto* label = new QLabel(QString::fromUtf8(text), parent);
    label->setObjectName(QString::number(id));
    return label;
}

}   // namespace

CP_ONVIFDlg::CP_ONVIFDlg(QWidget* parent)
    : CRecordPage(parent, kSection, &CCgiClient::GetOnvifAttr, &CCgiClient::SetOnvifAttr) {
    m_writeFailure = Outcome::Cleared;

    m_enable = new CRadioPair(this, "On", "Off");
    m_auth = new CRadioPair(this, "Check type", "No check");
    m_timeZone = new CRadioPair(this, "Allow", "Prohibit");
    m_image = new CRadioPair(this, "Allow", "Prohibit");
    m_port = new QLineEdit(this);
    m_port->setObjectName(QStringLiteral("1110"));
    m_nvc = new QComboBox(this);
    m_nvc->setObjectName(QStringLiteral("1117"));
    m_nvc->setMinimumContentsLength(12);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(QStringLiteral("ONVIF:"), this), 0, 0);
    grid->addLayout(m_enable->Row(), 0, 1);
    QLabel* labels[] = {Label("Server Port:", 1141, this), Label("Purview:", 1142, this),
                        Label("Time zone Settings:", 1143, this), Label("Image Settings:", 1144, this),
                        Label("NVC Type:", 1145, this)};
    grid->addWidget(labels[0], 1, 0);
    grid->addWidget(m_port, 1, 1);
    grid->addWidget(labels[1], 2, 0);
    grid->addLayout(m_auth->Row(), 2, 1);
    grid->addWidget(labels[2], 3, 0);
    grid->addLayout(m_timeZone->Row(), 3, 1);
    grid->addWidget(labels[3], 4, 0);
    grid->addLayout(m_image->Row(), 4, 1);
    grid->addWidget(labels[4], 5, 0);
    grid->addWidget(m_nvc, 5, 1);
    grid->setColumnStretch(1, 1);
    for (QLabel* l : labels) m_switched << l;
    m_switched << m_port << m_auth->First() << m_auth->Second() << m_timeZone->First() << m_timeZone->Second()
               << m_image->First() << m_image->Second() << m_nvc;

    auto* column = new QVBoxLayout;
    column->addLayout(grid);
    // Cancel does nothing on this page.
    AddApplyRow(column);
    column->addStretch(1);
    auto* outer = new QHBoxLayout(this);
    outer->addLayout(column);
    outer->addStretch(1);
    m_port->setMinimumWidth(200);

    Translate();
    m_nvc->addItem(LangTextEx(kSection, QStringLiteral("Normal")));
    m_nvc->addItem(LangTextEx(kSection, QStringLiteral("Uniview")));
    m_nvc->setCurrentIndex(kDefaultNvc);
    m_port->setText(QString::number(kDefaultPort));

    // A read shows the switch but leaves the controls as they are; only the
    // user's choice shows or hides them.
    connect(m_enable, &CRadioPair::chosen, this, [this](int index) { ky::pages::SetVisible(m_switched, index == 0); });
}

int CP_ONVIFDlg::ForbitSet(int timeZone, int image) {
    const int zoneLocked = timeZone == 0 ? 0 : 1;
    const int imageLocked = image == 0 ? 0 : 1;
    return zoneLocked | imageLocked << 1;
}

void CP_ONVIFDlg::ShowRecord(const OnvifAttr& rec) {
    m_enable->Check(rec.ov_enable == 1 ? 0 : 1);
    m_port->setText(QString::number(rec.ov_port));
    m_auth->Check(rec.ov_authflag == 1 ? 0 : 1);
    // Values beyond the two bits leave the pairs as they were.
    if (rec.ov_forbitset >= 0 && rec.ov_forbitset <= 3) {
        m_timeZone->Check(rec.ov_forbitset & 1);
        m_image->Check(rec.ov_forbitset >> 1 & 1);
    }
    m_nvc->setCurrentIndex(rec.ov_nvctype >= 0 && rec.ov_nvctype < m_nvc->count() ? rec.ov_nvctype : -1);
}

const char* CP_ONVIFDlg::ReadControls(OnvifAttr& rec) {
    rec.ov_enable = m_enable->Flag();
    rec.ov_port = DecimalValue(m_port);
    rec.ov_authflag = m_auth->Flag();
    rec.ov_forbitset = ForbitSet(m_timeZone->Checked(), m_image->Checked());
    rec.ov_nvctype = m_nvc->currentIndex();
    return nullptr;
}

void CP_ONVIFDlg::ClearControls() {
    m_nvc->setCurrentIndex(kDefaultNvc);
    m_port->setText(QString::number(kDefaultPort));
    for (CRadioPair* pair : {m_enable, m_auth, m_timeZone, m_image}) pair->Clear();
}
