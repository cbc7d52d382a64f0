#pragma once
// The Wi-Fi networks the camera itself can see: a scan on a worker thread
// (one at a time in the whole tool), listed with a check box per row; a
// double-click or Confirm chooses one.
#include <QDialog>
#include <atomic>
#include <memory>
#include <vector>

#include "core/cgi/Records.h"
#include "gui/pages/CameraPage.h"

class QTableWidget;
class QTableWidgetItem;

// One access point as the camera reported it (UTF-8 texts).
struct WifiAccessPoint {
    std::string index;   // 1-based position
    std::string ssid, rssi, auth, enc, channel, net;
};

class CSearchWFDlg : public QDialog {
    Q_OBJECT
public:
    enum Column { kSeq, kRssi, kSsid, kEncryption, kAuthentication, kLinkMode, kChannel, kColumns };

    // Starts a scan of camera at once.
    CSearchWFDlg(const CameraTarget& camera, QWidget* parent = nullptr);
    ~CSearchWFDlg() override;

    // A scan runs somewhere in the tool.
    static bool ScanBusy();

    QTableWidget* List() const { return m_list; }
    bool HasChosen() const { return m_hasChosen; }
    const WifiAccessPoint& Chosen() const { return m_chosen; }

public slots:
    void OnRefresh();
    void OnConfirm();

protected:
    bool event(QEvent* e) override;

private:
    struct Job;   // shared with the scan worker, which may outlive the dialog

    void ShowList(const WifiScanList& list);
    void OnItemChanged(QTableWidgetItem* item);
    void Choose(int row);

    CameraTarget m_camera;
    std::shared_ptr<Job> m_job;
    QTableWidget* m_list = nullptr;
    std::vector<WifiAccessPoint> m_points;
    WirelessAttr m_settings{};   // the camera's settings, read with each scan
    WifiAccessPoint m_chosen;
    bool m_hasChosen = false;
    bool m_checking = false;
};
