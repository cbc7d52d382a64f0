#pragma once
// What the main window's status bar says about the live view: the camera,
// its stream and whether the video is live, paused (another layout is in
// front), reconnecting or starting; while live also the picture size and the
// measured frame and bit rates. The bar also names the last file a snapshot
// or recording saved, with a button that opens its folder.
#include <QString>
#include <QWidget>

class QLabel;
class QPushButton;
class CVideoDlg;

struct LiveStatus {
    enum class State { None, Connecting, Live, Paused, Reconnecting };
    State state = State::None;
    QString camera;   // "address:port"
    int stream = 0;   // 0 first, 1 second
    int width = 0, height = 0;
    double fps = 0;    // over the last measuring interval
    double kbps = 0;   // kilobits per second, ditto
};

// One line of text, translated ("192.168.1.10:80 · First stream · Live ·
// 1920×1080 · 25 fps · 2048 kbit/s"); rates that are not known yet are left out.
QString LiveStatusText(const LiveStatus& status);

// "mm:ss", or "h:mm:ss" from an hour on; negative counts as 0.
QString ElapsedText(qint64 seconds);

class CLiveStatusBar : public QWidget {
    Q_OBJECT
public:
    explicit CLiveStatusBar(QWidget* parent = nullptr);

    // Follows this live view's status (nullptr: shows no camera).
    void Attach(CVideoDlg* video);

    // A snapshot or recording was saved to this file.
    void ShowSavedFile(const QString& path);
    QString SavedFile() const { return m_savedFile; }

    QLabel* LiveLabel() const { return m_live; }
    QLabel* FileLabel() const { return m_file; }
    QPushButton* OpenFolderButton() const { return m_openFolder; }

signals:
    // "Open folder" was clicked for the folder of the saved file.
    void openFolderRequested(const QString& folder);

private:
    void Refresh();

    CVideoDlg* m_video = nullptr;
    QLabel* m_live = nullptr;
    QLabel* m_file = nullptr;
    QPushButton* m_openFolder = nullptr;
    QString m_savedFile;
};
