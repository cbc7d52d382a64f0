#pragma once
// "Playback": lists the recordings on the current camera's SD card and plays
// the chosen one (play, pause, stop, position slider). The card is read on a
// worker thread; the video is decoded by CClipPlayer and painted here.
#include <QDialog>
#include <QImage>
#include <QString>
#include <QWidget>
#include <atomic>
#include <memory>
#include <thread>

#include "core/cgi/CameraWeb.h"

class QLabel;
class QListWidget;
class QListWidgetItem;
class QPushButton;
class QSlider;
class CClipPlayer;

// Paints the latest frame, scaled to fit with its aspect kept, on black.
class CClipVideoWidget : public QWidget {
    Q_OBJECT
public:
    explicit CClipVideoWidget(QWidget* parent = nullptr);
    void SetImage(const QImage& image);
    const QImage& Image() const { return m_image; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage m_image;
};

class CPlaybackDlg : public QDialog {
    Q_OBJECT
public:
    explicit CPlaybackDlg(QWidget* parent = nullptr);
    ~CPlaybackDlg() override;

    // Reads the recording list again (nothing without a logged-in camera).
    void RefreshList();
    // Plays a recording of the current camera by its path ("/sd/.../x.mp4").
    void PlayPath(const QString& path);

    // 1 once the dialog received a logged-in camera.
    int IsLoggedIn() const { return m_loggedIn; }
    bool IsScanning() const { return m_scanning; }
    QListWidget* RecordingList() const { return m_list; }
    CClipVideoWidget* VideoWidget() const { return m_video; }
    CClipPlayer* Player() const { return m_player; }
    QString StatusText() const;

public slots:
    void OnPlay();
    void OnPause();
    void OnStop();

    void done(int result) override;

private:
    struct Scan;
    void FinishScan(const std::shared_ptr<Scan>& scan);
    void StopScan();
    void UpdateButtons();
    void SetStatus(const QString& text);
    void OnOpened(int session, qint64 durationMs);
    void OnFrame(int session);
    void OnPosition(int session, qint64 ms);
    void OnProgress(int session, qint64 received, qint64 total);
    void OnFinished(int session, const QString& errorKey);

    CameraAddress m_camera;
    int m_loggedIn = 0;
    bool m_scanning = false;
    std::shared_ptr<Scan> m_scan;
    std::thread m_scanThread;

    QListWidget* m_list = nullptr;
    CClipVideoWidget* m_video = nullptr;
    QPushButton* m_play = nullptr;
    QPushButton* m_pause = nullptr;
    QPushButton* m_stop = nullptr;
    QPushButton* m_refresh = nullptr;
    QSlider* m_slider = nullptr;
    QLabel* m_time = nullptr;
    QLabel* m_status = nullptr;
    CClipPlayer* m_player = nullptr;
    qint64 m_durationMs = 0;
    QString m_playingPath;
};
