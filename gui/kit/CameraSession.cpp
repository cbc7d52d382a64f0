#include "gui/kit/CameraSession.h"

namespace {

ICameraSession* g_current = nullptr;
IDeviceLoginObserver* g_observer = nullptr;

CNoCameraSession& NoCamera() {
    static CNoCameraSession none;
    return none;
}

}   // namespace

ICameraSession::~ICameraSession() {
    // A session that goes away must not stay reachable.
    if (g_current == this) g_current = nullptr;
}

void ICameraSession::NotifyDeviceLogin() {
    if (g_observer) g_observer->OnDeviceLogin();
}

ICameraSession& CurrentCamera() { return g_current ? *g_current : NoCamera(); }

void SetCurrentCamera(ICameraSession* session) { g_current = session; }

void SetDeviceLoginObserver(IDeviceLoginObserver* observer) { g_observer = observer; }

IDeviceLoginObserver* DeviceLoginObserver() { return g_observer; }
