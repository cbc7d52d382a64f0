#pragma once
// The system log page: the camera's /log/syslog.txt in a text view, fetched
// with the login's credentials in an Authorization header (never in the
// address); "Clear Log" empties the camera's log and shows it again.
#include "gui/pages/CameraPage.h"

class QTextBrowser;

class CP_LogDlg : public CCameraPage {
    Q_OBJECT
public:
    static constexpr const char* kLogPath = "/log/syslog.txt";

    explicit CP_LogDlg(QWidget* parent = nullptr);

    QTextBrowser* View() const { return m_view; }
    // The address the view shows, "http://%s:%d/log/syslog.txt" (no credentials).
    QString Address() const { return m_address; }

    // Without a camera nothing happens: the view keeps what it shows.
    void RefreshFromDevice() override;

public slots:
    void OnClearLog();
    void OnRefresh();

protected:
    void Load() override;
    void ClearControls() override {}

private:
    // Reads the log, after clearing it first when clear is set.
    void Fetch(bool clear);

    QTextBrowser* m_view = nullptr;
    QString m_address;
};
