#pragma once
// The RS-485 page: the serial port through which the camera drives an
// external PTZ head (protocol, address, speed and line settings).
#include "core/cgi/Records.h"
#include "gui/pages/CameraPage.h"

class QComboBox;
class QLineEdit;

class CP_Ptz485Dlg : public CRecordPage<PtzComAttr> {
    Q_OBJECT
public:
    static constexpr const char* kSection = "P_PTZ485_DLG";

    explicit CP_Ptz485Dlg(QWidget* parent = nullptr);

    QLineEdit* AddressEdit() const { return m_address; }
    QComboBox* ProtocolList() const { return m_protocol; }
    QComboBox* SpeedList() const { return m_speed; }
    QComboBox* BaudList() const { return m_baud; }
    QComboBox* DataBitList() const { return m_dataBits; }
    QComboBox* StopBitList() const { return m_stopBits; }
    QComboBox* ParityList() const { return m_parity; }

protected:
    void ShowRecord(const PtzComAttr& c) override;
    const char* ReadControls(PtzComAttr& c) override;
    void ClearControls() override;

private:
    QLineEdit* m_address = nullptr;
    QComboBox* m_protocol = nullptr;
    QComboBox* m_speed = nullptr;
    QComboBox* m_baud = nullptr;
    QComboBox* m_dataBits = nullptr;
    QComboBox* m_stopBits = nullptr;
    QComboBox* m_parity = nullptr;
};
