#pragma once
// The live-video dialog: the one camera connection of the program. It logs in
// to a camera through the SDK, plays its live stream into video window 0,
// keeps the state the play panel changes (recording, talking, listening),
// draws the detection boxes the camera reports, and is the current camera
// (ICameraSession) that every page asks for the connection record.
//
// The play panel reaches it through g_pVideoDlg (or CurrentCamera()) and uses
// the operations below; it hears of state it shows on its buttons through
// the signals.
#include <QElapsedTimer>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "gui/kit/CameraSession.h"
#include "gui/kit/WorkerLink.h"
#include "core/sdk/KySdk.h"

struct LiveStatus;
class CScreenPannel;
class CVideoWnd;
class CPlayWnd;
class QMenu;

// The connection's state block, zeroed whenever the connection ends.
struct LiveState {
    KY_HANDLE handle;   // SDK login handle; 0 = not logged in
    char ip[64];
    char user[32];
    char password[32];
    int32_t talking;
    int32_t recording;
    uint16_t port;
    int32_t streamIndex;   // 0, 1
    int32_t streamCode;    // 1 first stream, 2 second stream
    int32_t listening;
    uint8_t regions[4][32];   // first word of each set to 1 at login
    int32_t capability[3];    // capability fields 12 and 16, and 0
    int32_t capabilityValid;
    int32_t humanoid[3];   // detection on, boxes around persons, alarm linkage
    char capabilityRecord[KY_CAPABILITY_SIZE];
    int32_t playing;
};

// Detection boxes as SDK draw items. Five-word records (number, x, y, width,
// height) become at most four items; a longer list is cut to its first four
// records and the rest are not drawn (the draw list holds four). Labels are
// the number ("%d"), plus 100 for person boxes.
struct DetectionDraw {
    DetectionDraw() = default;
    DetectionDraw(const DetectionDraw&) = delete;   // items point into colors
    DetectionDraw& operator=(const DetectionDraw&) = delete;
    int count = 0;
    int penWidth = 0;
    KY_DRAW_ITEM items[4]{};
    KY_COLOR colors[4]{};   // items[i].color points here
};
// message: 4026 motion boxes (red, kind 4) or 4031 person boxes (yellow,
// kind 15); penWidth as the caller worked it out.
void MakeDetectionDraw(int message, const int32_t* words, size_t wordCount, int penWidth, DetectionDraw* out);
// 4026: 10 for pictures larger than 1920 x 1080 in both directions, else 5.
// 4031: 5 on the first stream, 2 on the second.
int DetectionPenWidth(int message, int picWidth, int picHeight, int streamIndex);

class IShellHost;
struct LiveLoginResult;   // what a login worker found

class CVideoDlg : public QWidget, public ICameraSession {
    Q_OBJECT
public:
    static constexpr int kDisplayD3D = 3025;   // menu command ids
    static constexpr int kDisplayDraw = 3026;

    // host: the main window that shows this view in Preview (none: a window of its own).
    explicit CVideoDlg(QWidget* parent = nullptr, IShellHost* host = nullptr);
    ~CVideoDlg() override;

    // ICameraSession.
    bool IsLoggedIn() const override { return m_live.handle > 0; }
    const DeviceRecord& GetDevice() const override;
    bool IsPlaying() const override { return m_live.playing != 0; }
    void PausePlay() override;
    void ResumePlay() override;
    // Copies the record, ends any connection and starts a new login. The
    // login and the configuration reads run on a worker; the rest of the
    // start (state block, callbacks, play, messages) runs on the window
    // thread when they end, unless another Connect or Disconnect came first.
    void Connect(const DeviceRecord& device) override;
    bool IsConnecting() const override { return m_connecting; }
    // Ends the connection, and any login still running.
    void Disconnect() override;
    int32_t LoginHandle() const override { return Handle(); }

    const LiveState& GetLiveState() const { return m_live; }
    // For the status bar: camera, stream, live state and, while live, the
    // picture size and the rates measured over the last second.
    LiveStatus Status() const;
    // Seconds the running recording has lasted (-1: none runs).
    qint64 RecordSeconds() const;
    // The login handle (0 none); safe from any thread (snapshot workers).
    KY_HANDLE Handle() const { return m_handle.load(); }

    // Recording into `path` (the play panel chooses folder and name).
    // 0 on success: recording flag and mark set; otherwise both cleared.
    int StartRecord(const std::string& path);
    // Stops a running recording and clears the mark.
    void StopRecord();
    // A JPEG snapshot of the live picture; negative when it failed. Any thread.
    int CaptureJpeg(const std::string& path) const;

    // State the play panel changes through the SDK itself (talk, listen):
    // sets the flag and refreshes the title's marks.
    void SetRecording(bool on);
    void SetTalking(bool on);
    void SetListening(bool on);
    bool IsRecording() const { return IsLoggedIn() && m_live.recording; }
    bool IsTalking() const { return IsLoggedIn() && m_live.talking; }
    bool IsListening() const { return IsLoggedIn() && m_live.listening; }

    // Brings the play view to the front (Preview layout), which resumes a
    // paused live view.
    void ShowPlayView();

    // Display mode (menu commands 3025/3026): stored in settings.ini and,
    // while playing, applied at once.
    void ChooseDisplayMode(int mode);
    // The pop-up menu of the video (caller owns it).
    QMenu* CreateDisplayMenu(QWidget* parent);

    // Full screen: the panel leaves the dialog and covers the screen.
    void ToggleFullScreen();
    bool IsFullScreen() const { return m_fullScreen; }

    CScreenPannel* Panel() const { return m_panel; }
    CVideoWnd* VideoWnd() const;
    CPlayWnd* PlayWnd() const;

signals:
    // Sound state after login (play panel: "Listen" when false, else "Mute").
    void listenStateChanged(bool listening);
    // The connection ended while talking (play panel: talk button "Talk").
    void talkStopped();
    // A connection was started or ended.
    void connectionChanged(bool loggedIn);
    // A login started (true) or ended (false) (play panel: busy while it runs).
    void connectingChanged(bool connecting);
    // Status() changed, or a second passed while logged in.
    void statusChanged();

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    void StartLive();
    void OnLoginDone(unsigned login, LiveLoginResult& result);
    void SetConnecting(bool on);
    void StopLive();
    void ShowTitle(bool withMarks);
    void RefreshMarks();
    void OnStreamState(bool connected);
    void SampleStats();
    void DrawDetection(int message, const std::vector<int32_t>& words);
    static int OnSdkMessage(KY_HANDLE handle, int32_t type, intptr_t p1, intptr_t p2, void* user);

    IShellHost* m_host = nullptr;
    CScreenPannel* m_panel;
    int32_t m_active = 0;
    LiveState m_live{};
    std::atomic<KY_HANDLE> m_handle{0};
    DeviceRecord m_device{};
    int m_picHeight = 0, m_picWidth = 0;
    bool m_streamLost = false;
    // Once a second while logged in: the rates and the recording's time.
    QTimer m_statsTimer;
    QElapsedTimer m_statsClock;
    int64_t m_statsBytes = -1, m_statsFrames = 0;
    double m_fps = 0, m_kbps = 0;
    QElapsedTimer m_recordClock;
    // Logins run on workers; each Connect or Disconnect numbers anew, so
    // the result of an earlier one is logged out unused.
    CWorkerLink m_worker{this};
    unsigned m_login = 0;
    bool m_connecting = false;
    bool m_pauseAfterLogin = false;

    bool m_fullScreen = false;
    QRect m_savedPanelGeometry;
    QPointer<QWidget> m_hiddenWindow;
    Qt::WindowStates m_hiddenWindowState;
};

// The live-video dialog while it exists.
extern CVideoDlg* g_pVideoDlg;
