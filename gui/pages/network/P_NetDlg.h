#pragma once
// The wired network page: fixed or DHCP address, DNS source and servers, the
// HTTP, RTSP and RTMP ports and the RTSP password check. Apply checks the
// ports against each other and the camera's ONVIF port, sends everything in
// one request and, when the camera's address or web port changed, ends the
// live session (the camera is no longer where it was).
#include "core/cgi/Records.h"
#include "gui/pages/CameraPage.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QRadioButton;

class CP_NetDlg : public CCameraPage {
    Q_OBJECT
public:
    explicit CP_NetDlg(QWidget* parent = nullptr);

    // Control by number (1098 address type ... 1105 RTSP check off).
    template <class W>
    W* Control(int id) const {
        return findChild<W*>(QString::number(id));
    }

public slots:
    void OnAddressTypeChanged(int index);
    void OnDnsTypeChanged(int index);

protected:
    void Load() override;
    void ClearControls() override;
    void Apply() override;

private:
    void Show(const NetAttr& rec);
    void ShowAddressFields(bool on);
    void ShowDnsFields(bool on);

    QComboBox* m_addressType = nullptr;
    QComboBox* m_dnsType = nullptr;
    QRadioButton* m_rtspOn = nullptr;
    QRadioButton* m_rtspOff = nullptr;
};
