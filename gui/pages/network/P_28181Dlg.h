#pragma once
// The GB28181 page: registration with a GB/T 28181 video platform. The
// identifiers, addresses, ports, password and timing are shown only while
// the service is switched on. A failed write resets the page and says so.
#include <QList>

#include "core/cgi/Records.h"
#include "gui/pages/CameraPage.h"
#include "gui/pages/PageControls.h"

class QLineEdit;

class CP_28181Dlg : public CRecordPage<Gb28181Attr> {
    Q_OBJECT
public:
    explicit CP_28181Dlg(QWidget* parent = nullptr);

    CRadioPair* Enable() const { return m_enable; }
    // Edit by control number (1131..1140, 1002 the password).
    QLineEdit* Field(int id) const;
    // The ten labels and ten edits "On" shows and "Off" hides.
    const QList<QWidget*>& Switched() const { return m_switched; }

public slots:
    void OnCancel();

protected:
    void ShowRecord(const Gb28181Attr& rec) override;
    const char* ReadControls(Gb28181Attr& rec) override;
    void ClearControls() override;
    void Apply() override;

private:
    void OnEnableChosen(int index);
    // The table's values after a reset.
    void ResetFields();

    CRadioPair* m_enable;
    QList<QWidget*> m_switched;
};
