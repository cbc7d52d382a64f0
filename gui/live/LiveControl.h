#pragma once
// The live view as the play panel drives it, beyond ICameraSession: the SDK
// login handle for PTZ, presets, snapshots, recording, talk and listen, and
// the state flags whose marks the video title shows. The names are those of
// CVideoDlg's own operations.
#include "core/sdk/KySdk.h"

class ILiveControl {
public:
    virtual ~ILiveControl() = default;

    // SDK login handle of the current connection; 0 when not logged in.
    virtual KY_HANDLE Handle() const = 0;
    // Ends the connection: stops recording and talk, stops the video, logs
    // out (the play panel's "Stop").
    virtual void Disconnect() = 0;

    // State flags of the connection. The setters only record what the
    // caller did through the SDK and refresh the marks on the video title;
    // they call no SDK function themselves. All read false without a login.
    virtual bool IsRecording() const = 0;
    virtual void SetRecording(bool on) = 0;
    virtual bool IsTalking() const = 0;
    virtual void SetTalking(bool on) = 0;
    virtual bool IsListening() const = 0;
    virtual void SetListening(bool on) = 0;
};

// The live view behind CurrentCamera(): the session itself when it derives
// from ILiveControl, CVideoDlg through a thin adapter, else nullptr (no live
// view, or a session that is never logged in).
ILiveControl* CurrentLiveControl();
