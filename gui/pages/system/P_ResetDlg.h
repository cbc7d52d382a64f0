#pragma once
// The maintenance page ("Initialize"): the camera's lens type, reboot,
// factory reset, and the firmware upgrade with its progress. The upgrade
// runs on a CUGDThread that may outlive the page; it reports through a
// shared link the page clears when it goes away.
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

#include "core/discovery/UGDThread.h"
#include "gui/pages/CameraPage.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

class CP_ResetDlg : public CCameraPage {
    Q_OBJECT
public:
    // Asks for a firmware file; an empty text means cancelled.
    using FileChooser = std::function<QString(QWidget* parent)>;

    explicit CP_ResetDlg(QWidget* parent = nullptr);
    ~CP_ResetDlg() override;

    void RefreshFromDevice() override;

    // Process-wide: the last progress value of the running upgrade, 0 when none.
    static int LastProgress() { return s_lastProgress.load(); }
    // Replaces the file dialog (tests); empty restores it.
    static void SetFileChooser(FileChooser chooser);
    // Shorter waits for the camera's return (tests); the product keeps the defaults.
    static void SetUpgradeLimits(const CUGDThread::Limits& limits);

    QComboBox* LensType() const { return m_lens; }
    QLineEdit* PathEdit() const { return m_path; }
    QPushButton* RebootButton() const { return m_reboot; }
    QPushButton* FactoryButton() const { return m_factory; }
    QPushButton* BrowseButton() const { return m_browse; }
    QPushButton* UpgradeButton() const { return m_upgrade; }
    QProgressBar* Progress() const { return m_progress; }
    QLabel* Status() const { return m_status; }
    bool UpgradeActive() const { return m_worker != nullptr; }

public slots:
    void OnReboot();
    void OnFactoryDefault();
    void OnBrowse();
    void OnUpgrade();

protected:
    void Load() override;
    void ClearControls() override;
    bool event(QEvent* e) override;

private:
    // Shared with the worker, which may outlive the page.
    struct UpgradeJob {
        std::mutex lock;
        QObject* receiver = nullptr;   // null once the page is gone
        bool endPosted = false;        // the page now owns the ended worker
    };

    static void OnProgress(intptr_t context, int value, void* userData);
    void LockButtons(bool lock);
    // SDK configuration command on the live view's login (reboot, reset).
    void SendSdkCommand(const char* question, int code);
    void ShowProgress(int value);
    void EndUpgrade(int result);

    static std::atomic<int> s_lastProgress;

    std::shared_ptr<UpgradeJob> m_job;
    std::unique_ptr<CUGDThread> m_worker;
    QComboBox* m_lens = nullptr;
    QLineEdit* m_path = nullptr;
    QPushButton* m_reboot = nullptr;
    QPushButton* m_factory = nullptr;
    QPushButton* m_browse = nullptr;
    QPushButton* m_upgrade = nullptr;
    QLabel* m_rebootLabel = nullptr;
    QLabel* m_factoryLabel = nullptr;
    QLabel* m_upgradeLabel = nullptr;
    QProgressBar* m_progress = nullptr;
    QLabel* m_status = nullptr;
};
