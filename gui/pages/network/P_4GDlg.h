#pragma once
// The 4G/5G page: the modem's state (SIM card, signal, status, operator,
// version, IMEI, ICCID) and the access-point settings. Only cameras whose
// capability record declares 4G or 5G are asked; the others never get a
// request. Apply starts from the last record read, so what the page does
// not edit goes back as the camera reported it.
#include "core/cgi/Records.h"
#include "gui/pages/CameraPage.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
struct CapabilityRecord;

class CP_4GDlg : public CCameraPage {
    Q_OBJECT
public:
    explicit CP_4GDlg(QWidget* parent = nullptr);

    // Edit by control number (1131..1139, 1001 user name, 1002 password).
    QLineEdit* Field(int id) const;
    QLabel* Title() const { return m_title; }
    QComboBox* ModeList() const { return m_mode; }
    QComboBox* AuthList() const { return m_auth; }
    QPushButton* GetButton() const { return m_get; }

    // The operator list entry g4_carrier names (ignoring case), or
    // "Unknown Operator".
    static const char* OperatorKey(const char* carrier);
    // Capability fields 13 (4G) and 15 (5G) as atoi reads them; {0, 0}
    // without a valid device record.
    struct Support {
        int g4 = 0;
        int g5 = 0;
    };
    static Support ReadSupport(const CapabilityRecord* cap);

protected:
    void Load() override;
    void ClearControls() override;
    void Apply() override;

private:
    void ShowRecord(const CellularAttr& rec);

    QLabel* m_title = nullptr;
    QComboBox* m_mode = nullptr;
    QComboBox* m_auth = nullptr;
    QPushButton* m_get = nullptr;
    CellularAttr m_last{};     // the last record read
    bool m_lastRead = false;   // m_last came from the camera
};
