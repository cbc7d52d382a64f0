#pragma once
// The views the main window hosts besides the settings pages: the play panel
// (left side of Preview), the live-video view (right side of Preview) and the
// device-search view (Device list), and the status bar along the bottom
// of every layout. Each is made by a factory that receives
// the shell host; without a factory the main window shows an empty
// placeholder there.
//
// A live-video view that also derives from ICameraSession becomes the current
// camera; a play panel that derives from IPlayPanel receives the devices the
// search view opens.
#include <functional>

#include "core/discovery/SearchProto.h"

class QWidget;
class IShellHost;

using ViewFactory = std::function<QWidget*(QWidget* parent, IShellHost& host)>;

struct ShellViews {
    ViewFactory playPanel;    // CLeftPlayDlg
    ViewFactory videoView;    // CVideoDlg
    ViewFactory searchView;   // CSearchDlg
    ViewFactory statusBar;    // CLiveStatusBar, made after the others

    // The views the tool ships (RegisterBuiltInViews).
    static ShellViews& Instance();
};

class IPlayPanel {
public:
    virtual ~IPlayPanel() = default;
    // Copies the device into the connection form without opening it.
    virtual void FillConnectForm(const DeviceRecord& device) = 0;
    // A newly opened device numbers its snapshots from 0 again.
    virtual void ResetSnapSequence() {}
};

void RegisterBuiltInViews(ShellViews& views);
