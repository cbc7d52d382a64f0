#pragma once
// What the views and pages may ask of the main window. The main window
// implements it and hands it to each view it creates; nothing else reaches
// the main window.
#include "core/discovery/SearchProto.h"

class IShellHost {
public:
    virtual ~IShellHost() = default;

    // Switches to the Preview layout (play panel and live video).
    virtual void ShowPreview() = 0;
    // The search view's choice: into the connection form only, or opened
    // (logged in and played) in the Preview layout.
    virtual void FillConnectForm(const DeviceRecord& device) = 0;
    virtual void OpenDevice(const DeviceRecord& device) = 0;
    // Posts one of the shell's messages without a payload (ky::msg::kToolLogin,
    // kStartSearch) to the main window, handled once the current event is done.
    virtual void PostShellMessage(int message) = 0;
};
