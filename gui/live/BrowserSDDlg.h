#pragma once
// "SD Card": browses the current camera's SD-card listing in the camera web
// viewer. Links are followed only inside the camera; a click on a recording
// offers to play it.
#include <QDialog>
#include <QString>

class CCameraWebView;
class QPushButton;

class CBrowserSDDlg : public QDialog {
    Q_OBJECT
public:
    static constexpr const char* kSdPath = "/sd/";

    explicit CBrowserSDDlg(QWidget* parent = nullptr);

    CCameraWebView* WebView() const { return m_web; }

public slots:
    // Opens the card's top listing again (the view stays empty without a
    // logged-in camera).
    void OnRefresh();
    void OnRecordingClicked(const QString& path);

protected:
    // Runs the playback window for one recording (modal).
    virtual void RunPlayback(const QString& path);

private:
    CCameraWebView* m_web = nullptr;
    QPushButton* m_refresh = nullptr;
    QPushButton* m_cancel = nullptr;
};
