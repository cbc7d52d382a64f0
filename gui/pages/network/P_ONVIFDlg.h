#pragma once
// The ONVIF page: the camera's ONVIF service switch, port, authentication
// check, whether ONVIF clients may change the time zone and the image
// settings, and the compatibility type for video recorders. Nothing is
// validated; a failed write resets the page without a message.
#include <QList>

#include "core/cgi/Records.h"
#include "gui/pages/CameraPage.h"
#include "gui/pages/PageControls.h"

class QComboBox;
class QLineEdit;

class CP_ONVIFDlg : public CRecordPage<OnvifAttr> {
    Q_OBJECT
public:
    explicit CP_ONVIFDlg(QWidget* parent = nullptr);

    CRadioPair* Enable() const { return m_enable; }
    CRadioPair* Auth() const { return m_auth; }
    CRadioPair* TimeZone() const { return m_timeZone; }
    CRadioPair* Image() const { return m_image; }
    QLineEdit* Port() const { return m_port; }
    QComboBox* NvcType() const { return m_nvc; }
    // The controls "On" shows and "Off" hides (labels 1141..1145, 1110..1117).
    const QList<QWidget*>& Switched() const { return m_switched; }

    // ov_forbitset from the two Allow(0)/Prohibit(1) pairs; a pair with
    // neither checked counts as Prohibit.
    static int ForbitSet(int timeZone, int image);

protected:
    void ShowRecord(const OnvifAttr& rec) override;
    const char* ReadControls(OnvifAttr& rec) override;
    void ClearControls() override;

private:
    CRadioPair* m_enable;
    CRadioPair* m_auth;
    CRadioPair* m_timeZone;
    CRadioPair* m_image;
    QLineEdit* m_port;
    QComboBox* m_nvc;
    QList<QWidget*> m_switched;
};
