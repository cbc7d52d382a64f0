#include "gui/live/Talk.h"

#include <cstring>

#include "core/services/Trace.h"
#include "gui/live/LiveControl.h"

namespace {

constexpr uint8_t kHeader[4] = {0x00, 0x01, 0x50, 0x00};

}   // namespace

CTalkSource::CTalkSource(std::string path) : m_path(std::move(path)) {}

CTalkSource::~CTalkSource() { Close(); }

bool CTalkSource::NextFrame(uint8_t* frame) {
    std::lock_guard<std::mutex> lock(m_lock);
    if (!m_file) {
        m_file = std::fopen(m_path.c_str(), "rb");
        if (!m_file) return false;   // no sound file: the channel stays open and silent
    }
    const size_t got = std::fread(frame + 4, 1, kTalkPayload, m_file);
    if (got < size_t(kTalkPayload)) {
        // End of the file: the next frame opens it again from the start.
        std::fclose(m_file);
        m_file = nullptr;
        return false;
    }
    std::memcpy(frame, kHeader, sizeof kHeader);
    return true;
}

void CTalkSource::Close() {
    std::lock_guard<std::mutex> lock(m_lock);
    if (m_file) std::fclose(m_file);
    m_file = nullptr;
}

int CTalkSource::VoiceCallback(KY_HANDLE handle, void* user) {
    if (!user) return 0;
    uint8_t frame[kTalkFrame];
    if (static_cast<CTalkSource*>(user)->NextFrame(frame)) KY_SDK_VoiceComSendData(handle, frame, kTalkFrame, 0);
    return 0;
}

int StartTalk(ILiveControl& live, CTalkSource& source) {
    const KY_HANDLE handle = live.Handle();
    if (handle <= 0) return -1;
    if (live.IsTalking()) {
        if (KY_SDK_StopVoiceCom(handle) != 0) {
            live.SetTalking(true);   // refreshes the marks
            return -1;
        }
        source.Close();
        live.SetTalking(false);
    }
    if (KY_SDK_StartVoiceCom(handle, 0, &CTalkSource::VoiceCallback, &source) != 0) {
        KY_TRACE("Line-%d start talk failure\n", __LINE__);
        live.SetTalking(false);
        return -1;
    }
    live.SetTalking(true);
    return 0;
}

int StopTalk(ILiveControl& live, CTalkSource& source) {
    const KY_HANDLE handle = live.Handle();
    if (handle <= 0 || !live.IsTalking()) return 0;
    if (KY_SDK_StopVoiceCom(handle) != 0) {
        live.SetTalking(true);
        return -1;
    }
    // The channel has stopped: no callback reads the file any more.
    source.Close();
    live.SetTalking(false);
    return 0;
}

bool ToggleListen(ILiveControl& live) {
    const KY_HANDLE handle = live.Handle();
    bool listening = live.IsListening();
    if (handle <= 0) return listening;
    if (!listening) {
        if (KY_SDK_SetMute(handle, 0, 1) == 0) listening = true;
    } else {
        if (KY_SDK_SetMute(handle, 0, 0) == 0) listening = false;
    }
    live.SetListening(listening);
    return listening;
}
