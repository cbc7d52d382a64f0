#include "live/Talk.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <numbers>
#include <system_error>

#include "app/services/Trace.h"
#include "live/LiveControl.h"

namespace {

constexpr uint8_t kHeader[4] = {0x00, 0x01, 0x50, 0x00};

}  // namespace

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

uint8_t LinearToUlaw(int16_t sample) {
    constexpr int kBias = 0x84;
    constexpr int kClip = 32635;
    int s = sample;
    const int sign = s < 0 ? 0x80 : 0;
    if (s < 0) s = -s;
    if (s > kClip) s = kClip;
    s += kBias;
    int exponent = 7;
    for (int mask = 0x4000; exponent > 0 && !(s & mask); mask >>= 1) --exponent;
    const int mantissa = (s >> (exponent + 3)) & 0x0F;
    return uint8_t(~(sign | (exponent << 4) | mantissa));
}

std::vector<uint8_t> MakeTestSound() {
    constexpr int kRate = 8000;
    constexpr double kAmplitude = 0.5 * 32767;   // -6 dBFS
    constexpr int kFade = 80;                    // 10 ms ramps keep the beeps click-free
    std::vector<uint8_t> out;
    auto silence = [&](int samples) { out.insert(out.end(), size_t(samples), LinearToUlaw(0)); };
    for (double freq : {600.0, 800.0, 1000.0}) {
        const int n = kRate * 4 / 10;   // 0.4 s
        for (int i = 0; i < n; ++i) {
            const double ramp = std::min({1.0, double(i) / kFade, double(n - 1 - i) / kFade});
            const double v = kAmplitude * ramp * std::sin(2 * std::numbers::pi * freq * i / kRate);
            out.push_back(LinearToUlaw(int16_t(std::lround(v))));
        }
        silence(kRate / 10);
    }
    silence(kRate);
    // Whole frames only: a partial last frame would never be sent.
    out.resize(out.size() / kTalkPayload * kTalkPayload, LinearToUlaw(0));
    return out;
}

bool EnsureTestSound(const std::string& path) {
    std::error_code ec;
    if (std::filesystem::exists(path, ec)) return true;
    const std::vector<uint8_t> sound = MakeTestSound();
    // Written under a temporary name, so a talk thread never reads half a file.
    const std::string part = path + ".part";
    std::FILE* f = std::fopen(part.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(sound.data(), 1, sound.size(), f) == sound.size();
    if (std::fclose(f) != 0 || !ok) {
        std::filesystem::remove(part, ec);
        return false;
    }
    std::filesystem::rename(part, path, ec);
    if (ec) std::filesystem::remove(part, ec);
    return std::filesystem::exists(path, ec);
}
