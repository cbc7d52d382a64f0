#pragma once
// The P2P page: the camera's peer-to-peer platform switch and its UUID. The
// camera's family (from its discovery record) picks one of two command
// families; the UUID shows only while the switch is on.
#include "core/cgi/Records.h"
#include "gui/pages/CameraPage.h"
#include "gui/pages/PageControls.h"

class QLabel;
class QLineEdit;
struct DeviceRecord;

class CP_P2PDlg : public CCameraPage {
    Q_OBJECT
public:
    explicit CP_P2PDlg(QWidget* parent = nullptr);

    CRadioPair* Enable() const { return m_enable; }
    QLabel* UuidLabel() const { return m_uuidLabel; }
    QLineEdit* Uuid() const { return m_uuid; }

    // 1 (the maker's own commands) when the discovery record's family is 8.
    static int Family(const DeviceRecord& device);

protected:
    void Load() override;
    void ClearControls() override;
    void Apply() override;

private:
    void ShowUuid(bool on);

    CRadioPair* m_enable;
    QLabel* m_uuidLabel;
    QLineEdit* m_uuid;
};
