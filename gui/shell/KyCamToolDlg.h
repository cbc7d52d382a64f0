#pragma once
// The main window: the tool's only top-level window. It owns every panel and
// page, lays them out once in a left and a right area, and switches between
// the three layouts Preview (play panel + live video), Parameter setting
// (settings tree + one page) and Device list (device search). It is always
// maximised; Esc and Enter do nothing in it, except Enter in a form that
// takes it (property "acceptsEnter", the connection form).
#include <QDialog>
#include <QWidget>
#include <functional>
#include <map>
#include <vector>

#include "gui/kit/CameraSession.h"
#include "gui/kit/ShellHost.h"

class QPushButton;
class CLeftSettingsDlg;
class CPageRegistry;
class CSettingsPage;
struct ShellViews;
struct TreeNodeRecord;

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);
};

class CKyCamToolDlg : public QWidget, public IShellHost, public IDeviceLoginObserver {
    Q_OBJECT
public:
    static constexpr const char* kSection = "P_CAMTOOL_DLG";
    static constexpr const char* kCaption = "KyCameraTool v2.0";
    static constexpr const char* kAboutItem = "关于 KyCamTool(&A)...";
    // Seconds without a click after which the next click asks for the tool
    // login first.
    static constexpr qint64 kIdleSeconds = 3600;
    static constexpr int kBottomStrip = 32;

    enum class Layout { Preview, Settings, DeviceList };

    struct Options {
        int screenWidth = 0;                    // 0: the primary screen's width
        const CPageRegistry* pages = nullptr;   // nullptr: CPageRegistry::Instance()
        const ShellViews* views = nullptr;      // nullptr: ShellViews::Instance()
    };

    explicit CKyCamToolDlg(QWidget* parent = nullptr);
    explicit CKyCamToolDlg(const Options& options, QWidget* parent = nullptr);
    ~CKyCamToolDlg() override;

    // Shows the window maximised on its screen.
    void ShowMaximized();

    // The layouts (the three top buttons, and "Search device").
    void ShowPreview() override;
    void ShowParamSettings();
    void ShowDeviceList();
    void SearchDevice();
    Layout CurrentLayout() const { return m_layout; }

    // From the device-search window.
    void OpenDevice(const DeviceRecord& device) override;
    void FillConnectForm(const DeviceRecord& device) override;
    void PostShellMessage(int message) override;
    // From the current camera after each login.
    void OnDeviceLogin() override;

    // Width of the left panels for a screen of this width.
    static int SideWidth(int screenWidth);
    int SideWidth() const { return SideWidth(m_screenWidth); }

    QWidget* PlayPanel() const { return m_playPanel; }
    CLeftSettingsDlg* SettingsPanel() const { return m_settings; }
    QWidget* VideoView() const { return m_video; }
    QWidget* SearchView() const { return m_search; }
    QWidget* StatusBar() const { return m_status; }
    // The page for a page-node number (nullptr when it has none).
    CSettingsPage* Page(int number) const;
    // The page the last tree click shows (nullptr: none, or not built).
    QWidget* CurrentPage() const { return m_currentPage; }
    const std::vector<QWidget*>& RightArea() const { return m_rightArea; }
    QPushButton* Button(int id) const;

    // Activity and the tool login.
    using Clock = std::function<qint64()>;
    using LoginRunner = std::function<bool(QWidget* parent)>;   // true: logged in
    void SetClock(Clock clock);
    void SetLoginRunner(LoginRunner runner) { m_runLogin = std::move(runner); }
    qint64 LastActivity() const { return m_lastActivity; }
    // A mouse press in the window: false when the idle time ran out and the
    // press is to be swallowed while the login is asked for.
    bool NoteActivity();
    void RunAbout();

protected:
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void CreateViews(const CPageRegistry& pages, const ShellViews& views);
    void LayOut();
    void ShowRightWindow(QWidget* window);
    void SetLayout(Layout layout);
    void ShowPageRequest(int number, const TreeNodeRecord* record);
    void RequestToolLogin();
    void RunToolLogin();
    bool InThisWindow(QObject* object) const;

    int m_screenWidth = 0;
    Layout m_layout = Layout::Preview;
    std::map<int, QPushButton*> m_buttons;
    QWidget* m_playPanel = nullptr;
    CLeftSettingsDlg* m_settings = nullptr;
    QWidget* m_video = nullptr;
    QWidget* m_search = nullptr;
    QWidget* m_status = nullptr;
    ICameraSession* m_ownSession = nullptr;
    std::map<int, CSettingsPage*> m_pages;
    std::vector<QWidget*> m_rightArea;
    QWidget* m_currentPage = nullptr;   // shown by the last tree request
    int m_currentNode = -1;             // the page number of that request, -1 none

    Clock m_clock;
    LoginRunner m_runLogin;
    qint64 m_lastActivity = 0;
    bool m_loginPending = false;
};
