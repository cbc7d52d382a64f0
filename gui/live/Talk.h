#pragma once
// Talk and listen on the live connection.
//
// Talk opens the SDK's talk channel and feeds it the prepared sound file
// "music.g711" (G.711 µ-law, 8 kHz mono) among the program's files, in a
// loop, so the camera's loudspeaker can be tested. Each 20 ms the SDK asks
// for a frame: a 4-byte header 00 01 50 00 and the next 160 bytes of the file.
// A short read at the end of the file sends nothing and starts the file over.
//
// Listen switches the playback of the camera's sound on the PC (the SDK
// plays it through the audio output the GUI installed, AudioOut.h).
//
// The state flags live in the live view (ILiveControl); these functions make
// the SDK calls and record their outcome there.
#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include "core/services/TestSound.h"   // MakeTestSound, EnsureTestSound
#include "core/sdk/KySdk.h"

class ILiveControl;

inline constexpr int kTalkPayload = kTestSoundFrameBytes;   // bytes of sound per frame (20 ms)
inline constexpr int kTalkFrame = 4 + kTalkPayload;         // 164 with the header
inline constexpr const char* kTalkFileName = "music.g711";

// The talk file and its read position. The SDK's talk thread reads frames
// through VoiceCallback; the window thread closes the file only after the
// channel has stopped (no callback runs then), and the lock keeps the two
// apart anyway.
class CTalkSource {
public:
    // path: the sound file (normally AssetPath("music.g711")).
    explicit CTalkSource(std::string path);
    ~CTalkSource();
    CTalkSource(const CTalkSource&) = delete;
    CTalkSource& operator=(const CTalkSource&) = delete;

    const std::string& Path() const { return m_path; }

    // Fills frame (164 bytes) with the next frame; false when none is due
    // (no file, or the end of the file was reached: the next call starts
    // over).
    bool NextFrame(uint8_t* frame);
    void Close();

    // The SDK's voice callback; user is the CTalkSource.
    static int VoiceCallback(KY_HANDLE handle, void* user);

private:
    std::mutex m_lock;
    std::string m_path;
    std::FILE* m_file = nullptr;   // open from the first frame until the end or Close
};

// Opens the talk channel of the live connection. 0 success, -1 failure
// (no login, the old channel would not stop, or the SDK refused).
int StartTalk(ILiveControl& live, CTalkSource& source);
// Closes it when open. 0 success (or nothing to close), -1 failure.
int StopTalk(ILiveControl& live, CTalkSource& source);
// Switches the camera's sound on or off; returns the new (or, on failure or
// without a login, unchanged) listening state.
bool ToggleListen(ILiveControl& live);
