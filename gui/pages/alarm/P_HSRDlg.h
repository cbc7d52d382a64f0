#pragma once
// The humanoid alarm page: person recognition on or off, frames around
// detected persons, the detection threshold and how the alarm is triggered.
#include "core/cgi/Records.h"
#include "gui/pages/CameraPage.h"

class CRadioPair;
class QComboBox;
class QLineEdit;

class CP_HSRDlg : public CRecordPage<SmdAttr> {
    Q_OBJECT
public:
    explicit CP_HSRDlg(QWidget* parent = nullptr);

    CRadioPair* Recognition() const { return m_recognition; }
    CRadioPair* Framing() const { return m_framing; }
    QLineEdit* Threshold() const { return m_threshold; }
    QComboBox* Trigger() const { return m_trigger; }

protected:
    void ShowRecord(const SmdAttr& rec) override;
    const char* ReadControls(SmdAttr& rec) override;
    void ClearControls() override;

private:
    CRadioPair* m_recognition;
    CRadioPair* m_framing;
    QLineEdit* m_threshold;
    QComboBox* m_trigger;
};
