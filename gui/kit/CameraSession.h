#pragma once
// The current camera. One live-view connection at a time, owned by the
// live-video window; every page asks it, right before each CGI exchange,
// whether a camera is logged in and for the connection record.
#include <cstdint>

#include "core/discovery/SearchProto.h"

class ICameraSession {
public:
    virtual ~ICameraSession();

    virtual bool IsLoggedIn() const = 0;
    // The camera logged in to (or last handed over); zero-filled when none.
    virtual const DeviceRecord& GetDevice() const = 0;

    // Live view, as the layouts drive it.
    virtual bool IsPlaying() const { return false; }
    // Stops the live video unless it is recording or talking; while a login
    // runs, the login ends with the video stopped.
    virtual void PausePlay() {}
    // Logs in again and restarts the live video of the same device; while a
    // login runs, the video starts when it ends.
    virtual void ResumePlay() {}
    // Ends any connection and starts a login to the device and its live
    // video. The login runs off the window thread: the outcome comes later,
    // as NotifyDeviceLogin after a login or a message after a failure.
    virtual void Connect(const DeviceRecord& device) { (void)device; }
    // A login started by Connect or ResumePlay has not ended yet.
    virtual bool IsConnecting() const { return false; }
    // Ends the live view and logs out (e.g. after the camera's address changed).
    virtual void Disconnect() {}
    // The SDK login handle of the live view (0 none), for configuration
    // commands such as reboot; usable from any thread.
    virtual int32_t LoginHandle() const { return 0; }

protected:
    // Implementations call this after each successful login, so the main
    // window refreshes the settings tree and the pages.
    static void NotifyDeviceLogin();
};

// Never logged in: the session in use until a live-video window installs
// itself.
class CNoCameraSession final : public ICameraSession {
public:
    bool IsLoggedIn() const override { return false; }
    const DeviceRecord& GetDevice() const override { return m_none; }

private:
    DeviceRecord m_none{};
};

// Never null.
ICameraSession& CurrentCamera();
// nullptr goes back to the never-logged-in session.
void SetCurrentCamera(ICameraSession* session);

// Who hears of each login (the main window).
class IDeviceLoginObserver {
public:
    virtual ~IDeviceLoginObserver() = default;
    virtual void OnDeviceLogin() = 0;
};
void SetDeviceLoginObserver(IDeviceLoginObserver* observer);
IDeviceLoginObserver* DeviceLoginObserver();
