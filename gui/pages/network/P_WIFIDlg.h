#pragma once
// The Wireless page: the camera's Wi-Fi client settings, a network chosen
// from the camera's own scan (CSearchWFDlg), and a test of the typed
// settings by the camera before they are applied. The test runs on a
// worker thread, one at a time in the whole tool.
#include <functional>
#include <memory>

#include "core/cgi/Records.h"
#include "gui/pages/CameraPage.h"

class CSearchWFDlg;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

class CP_WIFIDlg : public CCameraPage {
    Q_OBJECT
public:
    // The security and cipher lists, in index order.
    static constexpr const char* kSecurity[] = {"None", "WEP", "WPA-PSK", "WPA2-PSK"};
    static constexpr const char* kCiphers[] = {"TKIP", "AES"};

    explicit CP_WIFIDlg(QWidget* parent = nullptr);
    ~CP_WIFIDlg() override;

    // A Wi-Fi test runs somewhere in the tool.
    static bool CheckBusy();

    // Control by number (1174 On ... 1248 confirm key).
    template <class W>
    W* Control(int id) const {
        return findChild<W*>(QString::number(id));
    }
    // Runs the scan dialog (exec() unless replaced, e.g. by tests).
    using DialogRunner = std::function<void(CSearchWFDlg& dialog)>;
    void SetDialogRunner(DialogRunner runner) { m_runDialog = std::move(runner); }

public slots:
    void OnCheck();
    void OnSearch();
    // The visibility rule for the chosen security type.
    void OnSecurityChanged();

protected:
    void Load() override;
    void ClearControls() override;
    void Apply() override;
    bool event(QEvent* e) override;

private:
    struct TestJob;   // shared with the test worker, which may outlive the page

    void Show(const WirelessAttr& rec);
    void ShowWifiControls(bool on);
    // Reads the controls into rec; the first failing rule's message, or nullptr.
    const char* Collect(WirelessAttr& rec) const;
    void EnableTestButtons(bool on);

    std::shared_ptr<TestJob> m_job;
    DialogRunner m_runDialog;
    WirelessAttr m_shown{};   // what the camera holds, as last read or written
    QRadioButton* m_on = nullptr;
    QRadioButton* m_off = nullptr;
    QComboBox* m_security = nullptr;
    QComboBox* m_cipher = nullptr;
};
