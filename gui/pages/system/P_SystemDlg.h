#pragma once
// The device information page: the camera's identity, versions, addresses and
// service states, the SD card's state and free space, and three SD-card
// actions: browse, format (on a worker thread, up to ten minutes, with a
// text spinner while it runs) and unplug; format and unplug ask first. The
// camera's whole configuration is saved to and loaded from a JSON file (the
// document kycamctl backup/restore use) on a worker, with a progress bar and
// a list of every page's result at the end.
#include <QString>
#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

#include "core/cgi/Records.h"
#include "gui/pages/CameraPage.h"

class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QTimer;

class CP_SystemDlg : public CCameraPage {
    Q_OBJECT
public:
    static constexpr int kSpinnerTimerId = 3456;
    static constexpr int kSpinnerPeriodMs = 1000;

    explicit CP_SystemDlg(QWidget* parent = nullptr);
    ~CP_SystemDlg() override;

    // Display field by control number (1130 device ID ... 1092 SD status).
    QLineEdit* Field(int id) const;
    QLabel* Spinner() const { return m_spinner; }
    QPushButton* BrowseButton() const { return m_browse; }
    QPushButton* FormatButton() const { return m_format; }
    QPushButton* UnplugButton() const { return m_unplug; }
    QPushButton* SaveConfigButton() const { return m_saveConfig; }
    QPushButton* LoadConfigButton() const { return m_loadConfig; }
    QProgressBar* ConfigProgress() const { return m_progress; }
    bool FormatBusy() const { return m_job->busy.load() != 0; }

    // Chooses the configuration file to save (save true) or load; empty for
    // none. Without one, a file dialog.
    using FileChooser = std::function<QString(QWidget* parent, bool save)>;
    static void SetConfigFileChooser(FileChooser chooser);
    int SpinnerPhase() const { return m_phase; }

    // "%s:%d%%" free-space percentage: free / total * 100 truncated, 0 when
    // the total is not positive, never outside 0..100.
    static int FreePercent(const SdCardState& sd);
    // networktype as shown (before translation): "LAN", "Wireless Lan", "4G", else "5G".
    static const char* NetworkTypeKey(const char* networktype);

public slots:
    void OnBrowseSd();
    void OnFormatSd();
    void OnUnplugSd();
    void OnSaveConfig();
    void OnLoadConfig();
    // One tick of the spinner timer.
    void OnSpinnerTick();

protected:
    void Load() override;
    void ClearControls() override;
    bool event(QEvent* e) override;

private:
    // Shared with the format worker, which may outlive the page: the page
    // forgets itself here when it goes away.
    struct FormatJob {
        std::atomic<int> busy{0};
        std::mutex lock;
        QObject* receiver = nullptr;
    };

    void ShowInfo(const DeviceNetInfo& info);
    // null: the read failed.
    void ShowSd(const SdCardState* sd);
    void EnableSdButtons(bool on);
    QString StatusText(const char* value) const;
    QString ChooseConfigFile(bool save);
    // Shows the progress bar, fed from the worker's counters until done.
    struct Progress {
        std::atomic<size_t> done{0}, total{0};
    };
    std::shared_ptr<Progress> StartProgress();
    void StopProgress();

    std::shared_ptr<FormatJob> m_job;
    int m_phase = 0;
    QTimer* m_timer = nullptr;
    QLabel* m_spinner = nullptr;
    QLineEdit* m_sdStatus = nullptr;
    QPushButton* m_browse = nullptr;
    QPushButton* m_format = nullptr;
    QPushButton* m_unplug = nullptr;
    QPushButton* m_saveConfig = nullptr;
    QPushButton* m_loadConfig = nullptr;
    QProgressBar* m_progress = nullptr;
    QTimer* m_progressTimer = nullptr;
    std::shared_ptr<Progress> m_counts;
};
