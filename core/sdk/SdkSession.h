#pragma once
// Internal: the login table shared by the control side (SdkControl.cpp) and
// the media side (SdkMedia.cpp) of the SDK.
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

#include "core/sdk/KySdk.h"

namespace ky::sdk {

struct Session {
    KY_HANDLE handle = 0;
    std::string host;
    std::string user;
    std::string password;
    uint16_t httpPort = 0;
    int rtspPort = 554;

    std::mutex mutex;   // guards the callbacks below
    KY_MessageCallBack messageCb = nullptr;
    void* messageUser = nullptr;
    KY_EventCallBack eventCb = nullptr;
    void* eventUser = nullptr;
    KY_DrawCallBack drawCb = nullptr;
    void* drawUser = nullptr;
    int displayMode = 0;
};

// The session of a live handle, or null. Holding the pointer keeps the
// session's memory alive even if it is logged out meanwhile.
std::shared_ptr<Session> FindSession(KY_HANDLE handle);

// Implemented by the media side: stops playing, recording and sound of the
// handle. Called by KY_SDK_Logout before the handle is released and by
// KY_SDK_Cleanup for every handle.
void MediaRelease(KY_HANDLE handle);

}   // namespace ky::sdk
