#pragma once
// The windows of the main window that other parts of the tool provide: the
// play panel (left side of Preview), the live-video window (right side of
// Preview) and the device-search window (Device list). Each is made by a
// factory; until a part sets its factory (one line in RegisterBuiltInParts,
// app/BuiltIns.cpp) the main window puts an empty placeholder there.
//
// A live-video window that also derives from ICameraSession becomes the
// current camera; a play panel that derives from IPlayPanel receives the
// devices the search window opens.
#include <functional>

#include "core/discovery/SearchProto.h"

class QWidget;

using PartFactory = std::function<QWidget*(QWidget* parent)>;

struct ShellParts {
    PartFactory playPanel;    // CLeftPlayDlg
    PartFactory videoView;    // CVideoDlg
    PartFactory searchView;   // CSearchDlg

    // The tool's parts.
    static ShellParts& Instance();
};

class IPlayPanel {
public:
    virtual ~IPlayPanel() = default;
    // Copies the device into the connection form without opening it.
    virtual void FillConnectForm(const DeviceRecord& device) = 0;
    // A newly opened device numbers its snapshots from 0 again.
    virtual void ResetSnapSequence() {}
};

void RegisterBuiltInParts(ShellParts& parts);
