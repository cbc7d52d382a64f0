#include "gui/pages/network/P_P2PDlg.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "core/cgi/rules/CloudRules.h"
#include "core/discovery/SearchProto.h"
#include "gui/kit/CameraSession.h"
#include "gui/kit/FieldQText.h"

using ky::pages::CopyToField;

namespace {

constexpr int kOwnFamily = 8;

}   // namespace

CP_P2PDlg::CP_P2PDlg(QWidget* parent) : CCameraPage(parent, "P_P2P_DLG") {
    auto* box = new QGroupBox(QStringLiteral("Platform"), this);
    m_enable = new CRadioPair(box, "On", "Off");
    m_uuidLabel = new QLabel(QStringLiteral("UUID"), box);
    m_uuidLabel->setObjectName(QStringLiteral("1234"));
    m_uuid = new QLineEdit(box);
    m_uuid->setObjectName(QStringLiteral("1235"));
    m_uuid->setReadOnly(true);
    m_uuid->setMinimumWidth(280);
    auto* grid = new QGridLayout(box);
    grid->addWidget(new QLabel(QStringLiteral("Enable:"), box), 0, 0);
    grid->addLayout(m_enable->Row(), 0, 1);
    grid->addWidget(m_uuidLabel, 1, 0);
    grid->addWidget(m_uuid, 1, 1);
    grid->setColumnStretch(1, 1);

    auto* column = new QVBoxLayout;
    column->addWidget(box);
    // Cancel has no action of its own on this page.
    AddApplyRow(column);
    column->addStretch(1);
    auto* outer = new QHBoxLayout(this);
    outer->addLayout(column);
    outer->addStretch(1);

    Translate({box});
    ShowUuid(false);
    connect(m_enable, &CRadioPair::chosen, this, [this](int index) { ShowUuid(index == 0); });
}

int CP_P2PDlg::Family(const DeviceRecord& device) { return device.info.family == kOwnFamily ? 1 : 0; }

void CP_P2PDlg::ShowUuid(bool on) { ky::pages::SetVisible({m_uuidLabel, m_uuid}, on); }

void CP_P2PDlg::Load() {
    P2pAttr rec{};
    rec.family = Family(CurrentCamera().GetDevice());
    Start([this, rec](const CameraTarget& camera) mutable -> Done {
        const bool ok = Call(camera, &CCgiClient::GetP2pAttr, &rec) == 0;
        return [this, ok, rec, camera] {
            if (!ok) return ReadFailed(camera);
            m_enable->Check(rec.enable == 0 ? 1 : 0);
            ShowUuid(rec.enable != 0);
            m_uuid->setText(FieldQText(rec.uid));
        };
    });
}

void CP_P2PDlg::ClearControls() {
    m_enable->Clear();
    ShowUuid(false);
    m_uuid->clear();
}

void CP_P2PDlg::Apply() {
    P2pAttr rec{};
    rec.family = Family(CurrentCamera().GetDevice());
    rec.enable = m_enable->Flag();
    CopyToField(m_uuid->text(), rec.uid);
    if (const char* refused = ky::cgi::CheckP2pSwitch(rec)) return Refuse(refused);
    // Switching off is sent whatever the UUID holds.
    Write([rec](const CameraTarget& camera) mutable {
        return Call(camera, &CCgiClient::SetP2pAttr, &rec) == 0 ? Outcome::Succeeded : Outcome::Cleared;
    });
}
