#pragma once
// The remote-access page: the camera's internet address on request, the
// maker's DDNS service, an account at an outside DDNS provider, and UPnP
// port forwarding, read and written as one group each way.
#include "core/cgi/Records.h"
#include "gui/pages/CameraPage.h"

class QComboBox;
class QGroupBox;
class QLineEdit;
class QRadioButton;

class CP_RmsetDlg : public CCameraPage {
    Q_OBJECT
public:
    // The outside providers in the index order the camera knows them by.
    static constexpr const char* kProviders[] = {"DynDNS", "No-IP", "3322", "ChangeIP"};

    explicit CP_RmsetDlg(QWidget* parent = nullptr);

    // Control by number (1275 Show ... 1281 UPnP off).
    template <class W>
    W* Control(int id) const {
        return findChild<W*>(QString::number(id));
    }

public slots:
    void OnShowInternetIp();
    // Cancel: the camera's values again.
    void OnCancel();

protected:
    void Load() override;
    void ClearControls() override;
    void Apply() override;

private:
    void Show(const DdnsAttr& rec);
    void ShowMainFields(bool on);
    void ShowProviderFields(bool on);

    QGroupBox* m_boxes[4] = {};
};
