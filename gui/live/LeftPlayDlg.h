#pragma once
// The play panel: the left side of the Preview layout. It holds the
// connection form (user name, password, IP address, port, stream) with
// Preview and Stop, the pan/tilt/zoom/focus buttons, HOME, both cruises and
// the PTZ speed, the preset controls, snapshot and recording with their
// folders, and talk and listen. It keeps its own DeviceRecord, filled from
// the form (or by the search list) and handed to the live view.
//
// The live view is reached through CurrentCamera(): IsLoggedIn, Connect,
// IsPlaying, and CurrentLiveControl() (live/LiveControl.h) for the SDK login
// handle and the state marks. Without a login the camera buttons send
// nothing. The live-video window's own news (a login running, sound
// switched off at login, talk ended with the connection) arrives through its
// signals.
#include <QPointer>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <set>

#include "core/services/Settings.h"
#include "gui/kit/ShellViews.h"
#include "core/discovery/SearchProto.h"
#include "gui/live/LiveControl.h"
#include "gui/live/Talk.h"

class QComboBox;
class QDialog;
class QLineEdit;
class QMenu;
class QStringListModel;
class QPushButton;
class CLiveStatusBar;
class CSnapThread;
class CVideoDlg;

class IShellHost;

class CLeftPlayDlg : public QWidget, public IPlayPanel {
    Q_OBJECT
public:
    static constexpr const char* kSection = "P_LEFTPLAY_DLG";
    static constexpr const char* kChooserTitle = "选择路径";
    static constexpr int kSpeedEntries = 63;   // "1" ... "63"

    // PTZ and preset command codes as the camera's SDK takes them.
    enum : int32_t {
        kPtzUp = 0x3001,
        kPtzDown = 0x3002,
        kPtzLeft = 0x3003,
        kPtzRight = 0x3004,
        kZoomIn = 0x3005,
        kZoomOut = 0x3006,
        kFocusIn = 0x3007,
        kFocusOut = 0x3008,
        kPresetCall = 0x3015,
        kPresetSet = 0x3016,
        kPresetDelete = 0x3017,
        kPtzHome = 0x3027,
        kCruiseVertical = 0x3028,
        kCruiseHorizontal = 0x3029,
    };
    static constexpr int kHomeSpeed = 5;

    // Returns the chosen folder, or an empty text when the user cancels.
    using FolderChooser = std::function<QString(QWidget* parent, const QString& title, const QString& start)>;
    // Shows a folder in the desktop's file manager; false when none could.
    using FolderOpener = std::function<bool(const QString& folder)>;
    // Brings the play view (Preview layout) to the front, resuming a paused
    // live view.
    using FrontRaiser = std::function<void()>;
    // Runs the SD-card and playback windows (default: modally).
    using DialogRunner = std::function<void(QDialog* dialog)>;

    // host: the main window, brought to Preview when a device opens (none in tests).
    explicit CLeftPlayDlg(QWidget* parent = nullptr, IShellHost* host = nullptr);
    ~CLeftPlayDlg() override;

    // IPlayPanel: the search list's record into the form (not opened).
    void FillConnectForm(const DeviceRecord& device) override;
    void ResetSnapSequence() override;
    // What the live view changed on its own: sound state after a login
    // ("Listen" when off, "Mute" when on), and the end of a connection that
    // was talking (the talk button reads "Talk").
    void OnListenState(bool listening);
    void OnTalkEnded();
    // While a login runs the panel is busy: busy cursor, Preview off.
    void OnConnecting(bool connecting);
    // A connection started or ended: a recording ended with it.
    void OnConnectionChanged(bool loggedIn);
    // Saved snapshots and recordings are named in this status bar, whose
    // open-folder button comes back here.
    void AttachStatusBar(CLiveStatusBar* bar);
    // Shows the folder in the file manager, or says it could not.
    void OpenFolderPath(const QString& folder);

    void SetFolderChooser(FolderChooser chooser) { m_chooseFolder = std::move(chooser); }
    void SetFolderOpener(FolderOpener opener) { m_openFolder = std::move(opener); }
    void SetFrontRaiser(FrontRaiser raiser) { m_bringToFront = std::move(raiser); }
    void SetDialogRunner(DialogRunner runner) { m_runDialog = std::move(runner); }
    // Where talk reads its sound (default: music.g711 among the program's files).
    void SetTalkFile(const std::string& path);

    // The panel's record (what the last Preview or FillConnectForm left).
    const DeviceRecord& Device() const { return m_device; }
    // The zero-based PTZ speed the cruises send.
    int PtzSpeed() const { return m_speed; }
    // Snapshot workers still running or not yet collected.
    size_t PendingSnapshots() const { return m_snaps.size(); }

    QLineEdit* UserEdit() const { return m_user; }
    QLineEdit* PasswordEdit() const { return m_password; }
    QLineEdit* IpEdit() const { return m_ip; }
    QLineEdit* PortEdit() const { return m_port; }
    QComboBox* StreamList() const { return m_stream; }
    QComboBox* SpeedList() const { return m_speedList; }
    QLineEdit* PresetEdit() const { return m_preset; }
    QPushButton* StartRecordButton() const { return m_startRecord; }
    QPushButton* StopRecordButton() const { return m_stopRecord; }
    QPushButton* TalkButton() const { return m_talk; }
    QPushButton* ListenButton() const { return m_listen; }
    // A button by its object name (e.g. "ptzUp", "presetSet", "capture").
    QPushButton* Button(const char* name) const;

    // The connection form's rules.
    // Four decimal numbers joined by three dots, digits and dots only, the
    // first 1..255 and the others at most 255, and short enough for the
    // record's 16-byte field.
    static bool IsValidIp(const QString& text);
    // 80, or 1024 to 49151.
    static bool IsValidPort(long port);
    // The cameras last connected to, as the address field offers them.
    void FillRecentCamera(const RecentCamera& camera);
    QMenu* RecentMenu() const { return m_recentMenu; }

    // The small-number filter: a lone "0" is cleared, more than three
    // characters are cut to three (*cut set), then the first character that
    // is not a digit is removed.
    static QString FilterNumberText(const QString& text, bool* cut = nullptr);

public slots:
    void OnPreview();
    void OnStop();
    void OnPtz(int32_t command);   // the eight step buttons
    void OnHome();
    void OnCruiseHorizontal();   // "Left and right"
    void OnCruiseVertical();     // "Up and down"
    void OnSpeedChanged(int index);
    void OnPresetSet();
    void OnPresetCall();
    void OnPresetDelete();
    void OnCapture();
    void OnStartRecord();
    void OnStopRecord();
    void OnChooseSnapDir();
    void OnChooseRecDir();
    void OnOpenSnapDir();
    void OnOpenRecDir();
    void OnTalk();
    void OnListen();
    void OnSdCard();
    void OnPlayback();

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    // The live view's SDK handle; 0 when not logged in or without a live view.
    KY_HANDLE Handle() const;
    ILiveControl* Live() const;
    // Listens to the live-video window's signals once it exists.
    void AttachLiveView();
    void BringToFront();
    // Logged in: brings the play view to the front and returns the handle;
    // otherwise 0.
    KY_HANDLE FrontHandle();
    void Preset(int32_t command, const char* failure);
    void RefreshRecentCameras();
    bool eventFilter(QObject* watched, QEvent* event) override;
    void OnPresetTextChanged(const QString& text);
    void OpenFolder(const std::string& base);
    void SnapDone(CSnapThread* worker);
    void ShowSavedFile(const std::string& path);
    void ShowRecordButtons(bool recording);
    // Creates a chosen folder; false (and says so) when it cannot be.
    bool MakeFolder(const QString& folder);
    QPushButton* MakeButton(const char* text, const char* name, QWidget* parent);

    DeviceRecord m_device{};
    int m_speed = 45;
    FolderChooser m_chooseFolder;
    FolderOpener m_openFolder;
    FrontRaiser m_bringToFront;
    DialogRunner m_runDialog;
    std::unique_ptr<CTalkSource> m_talkSource;
    std::set<CSnapThread*> m_snaps;
    KY_HANDLE m_talkHandle = 0;   // the login whose talk channel reads m_talkSource
    QPointer<CVideoDlg> m_attached;
    QPointer<CLiveStatusBar> m_statusBar;
    std::string m_recordPath;   // of the running recording

    QLineEdit* m_user = nullptr;
    QLineEdit* m_password = nullptr;
    QLineEdit* m_ip = nullptr;
    QLineEdit* m_port = nullptr;
    QComboBox* m_stream = nullptr;
    QComboBox* m_speedList = nullptr;
    QLineEdit* m_preset = nullptr;
    QPushButton* m_preview = nullptr;
    QMenu* m_recentMenu = nullptr;
    QStringListModel* m_recentModel = nullptr;
    QPushButton* m_startRecord = nullptr;
    QPushButton* m_stopRecord = nullptr;
    QPushButton* m_talk = nullptr;
    QPushButton* m_listen = nullptr;
};
