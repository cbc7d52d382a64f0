#pragma once
// The camera's clock, time zone and daylight saving, and its NTP client.
// Apply writes the NTP settings, and the zone only when it changed; "Sync
// with PC time" sets the camera's clock and zone from this PC's.
#include <ctime>

#include "core/cgi/Records.h"
#include "gui/pages/CameraPage.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QPushButton;

class CP_NTPDLG : public CCameraPage {
    Q_OBJECT
public:
    explicit CP_NTPDLG(QWidget* parent = nullptr);

    QLabel* DeviceTime() const { return m_deviceTime; }
    QCheckBox* NtpBox() const { return m_ntp; }
    QComboBox* ServerBox() const { return m_server; }
    QComboBox* IntervalList() const { return m_interval; }
    // Rows 0..73 of the zone table, in table order.
    QComboBox* ZoneList() const { return m_zone; }
    QCheckBox* DstBox() const { return m_dst; }
    QPushButton* SyncButton() const { return m_sync; }

public slots:
    void OnSyncWithPc();
    // The user picked a zone: the daylight-saving box follows it.
    void OnZoneChosen();

protected:
    void Load() override;
    void ClearControls() override;
    void Apply() override;
    // UTC now; the PC's clock.
    virtual std::time_t Now() const;

private:
    // What one read found (null: that read failed).
    void Show(const NtpAttr* ntp, const ServerTime* time);
    void ShowNtp(const NtpAttr& ntp);
    // false when the camera's time text has no known form.
    bool ShowTime(const ServerTime& t);
    void SelectZone(const ServerTime& t);
    void ApplyDstVisibility();

    NtpAttr m_storedNtp{};
    ServerTime m_storedTime{};
    QLabel* m_deviceTime = nullptr;
    QCheckBox* m_ntp = nullptr;
    QComboBox* m_server = nullptr;
    QComboBox* m_interval = nullptr;
    QComboBox* m_zone = nullptr;
    QCheckBox* m_dst = nullptr;
    QPushButton* m_sync = nullptr;
};
