#pragma once
// The tool's camera SDK: the KY_SDK_* functions through which it logs in to
// a camera and drives its live media, sound, talk, PTZ, snapshots, recording,
// configuration codes and region drawing. Underneath, live media is RTSP over TCP (stream 1 at /11, stream 2 at /12)
// decoded with FFmpeg, and control (login check, configuration codes, PTZ, presets, talk, events) goes over the
// camera's HTTP port. docs/sdk-protocol.md describes the wire side. Qt-free: the GUI supplies a render surface and an
// audio output through the interfaces below. Results: 0 success, non-zero failure, unless stated.
#include <cstdint>

using KY_HANDLE = int32_t;   // login handle: small positive integer, 0 = none

// ---- configuration codes -----------------------------------------------------
enum : int32_t {
    KY_CFG_DEVTYPE = 0x1000,      // 64 bytes of text
    KY_CFG_MDAREA = 0x1011,       // one 32-byte motion-detection area (get and set)
    KY_CFG_RESTART = 0x1018,      // set, 4-byte 0
    KY_CFG_FACTORY = 0x1019,      // set, 4-byte 0
    KY_CFG_CAPABILITY = 0x1087,   // 896 bytes: 56 text fields of 16 bytes
    KY_CFG_HUMANOID = 0x1089,     // three int32: detection, boxes, linkage
};
constexpr int KY_CAPABILITY_SIZE = 896;
constexpr int KY_CAPABILITY_FIELD = 16;

// ---- PTZ command codes -----------------------------------------------------------
enum : int32_t {
    // KY_SDK_PTZControlEx(handle, code)
    KY_PTZ_UP = 0x3001,
    KY_PTZ_DOWN = 0x3002,
    KY_PTZ_LEFT = 0x3003,
    KY_PTZ_RIGHT = 0x3004,
    KY_PTZ_ZOOMIN = 0x3005,
    KY_PTZ_ZOOMOUT = 0x3006,
    KY_PTZ_FOCUSIN = 0x3007,
    KY_PTZ_FOCUSOUT = 0x3008,
    // KY_SDK_PTZPreset(handle, code, number - 1)
    KY_PRESET_CALL = 0x3015,
    KY_PRESET_SET = 0x3016,
    KY_PRESET_DELETE = 0x3017,
    // KY_SDK_PTZControl(handle, code, speed): home with speed 5, cruises with the stored speed
    KY_PTZ_HOME = 0x3027,
    KY_PTZ_VCRUISE = 0x3028,
    KY_PTZ_HCRUISE = 0x3029,
};

// ---- records -------------------------------------------------------------------
#pragma pack(push, 1)
struct KY_PLAY_INFO {
    int32_t streamCode;    // 1 first stream (/11), 2 second stream (/12)
    int32_t streamIndex;   // 0, 1
    int32_t reserved;      // 0
    uint8_t flags;         // 7
};
#pragma pack(pop)

struct KY_COLOR {
    uint32_t color;                          // 0x00BBGGRR (0xFF red, 0xFFFF yellow, 0xFF00 green)
    int32_t reserved0, visible, reserved1;   // (colour, 0, 1, 0)
};

// One named rectangle of the drawing layer, in picture coordinates.
struct KY_DRAW_ITEM {
    char label[32];   // name/label text ("%d" of the box or region number)
    int32_t left, top, right, bottom;
    int32_t shape;       // 1 rectangle
    int32_t style;       // 3
    int32_t kind;        // 4 motion box, 15 person box, other values for region editors
    int32_t fontSize;    // 24
    int32_t lineStyle;   // 2
    KY_COLOR* color;     // owned by the caller; copied by InputDrawData
};

// One motion-detection area (KY_CFG_MDAREA): the caller names the area in
// `area` before a get; `word0` is passed back as the camera reported it.
struct MdArea {
    int32_t word0;
    int32_t area;          // 1..4
    int32_t enable;        // 1 on, 0 off
    int32_t sensitivity;   // 1..100
    int32_t x, y, w, h;    // picture coordinates of the main stream
};
static_assert(sizeof(MdArea) == 32);

// Window rectangle passed by value to KY_SDK_MouseMove.
struct KY_RECT {
    int32_t left, top, right, bottom;
};

// ---- interfaces the caller implements --------------------------------------------
// Where decoded pictures go ("the window"). Called on an SDK thread; the
// implementation copies or queues the picture and repaints on its own thread.
class KySdkSurface {
public:
    virtual ~KySdkSurface() = default;
    // 32-bit pixels 0xAARRGGBB, rows of `stride` bytes; the drawing layer is
    // already painted in. `mode` is the display mode (0 GPU, 1 software).
    virtual void PresentFrame(const uint8_t* pixels, int width, int height, int stride, int mode) = 0;
    // The stream is lost (reconnecting) or back; for the window's title.
    virtual void StreamState(bool connected) { (void)connected; }
    // Size of the view in window pixels, to map mouse positions of the
    // drawing layer (SelectPic) to picture coordinates.
    virtual bool ViewSize(int* width, int* height) const {
        (void)width;
        (void)height;
        return false;
    }
};

// Sound output for listening: 8 kHz mono signed 16-bit PCM. Open returns false
// when no output device is available.
class KySdkAudioOutput {
public:
    virtual ~KySdkAudioOutput() = default;
    virtual bool Open(int sampleRate, int channels) = 0;
    virtual void Write(const int16_t* samples, int count) = 0;
    virtual void Close() = 0;
};
using KySdkAudioFactory = KySdkAudioOutput* (*)();
// The GUI installs a factory (Qt Multimedia); without one, unmuting fails.
void KY_SDK_SetAudioOutputFactory(KySdkAudioFactory factory);

// ---- callbacks --------------------------------------------------------------------
// type 0: motion boxes, type 6: person boxes; p1 = address of an array of
// five-int32 records (number, x, y, width, height), p2 = its length in bytes.
// Valid only during the call.
using KY_MessageCallBack = int (*)(KY_HANDLE handle, int32_t type, intptr_t p1, intptr_t p2, void* user);
using KY_EventCallBack = int (*)(KY_HANDLE handle, int32_t event, intptr_t p1, intptr_t p2, void* user);
// An edited rectangle of the drawing layer: left, top, right, bottom, name.
using KY_DrawCallBack = int (*)(KY_HANDLE handle, int32_t left, int32_t top, int32_t right, int32_t bottom,
                                const char* name, void* user);
// Talk: asks for the next frame every 20 ms on an SDK thread.
using KY_VoiceCallBack = int (*)(KY_HANDLE handle, void* user);

// ---- functions --------------------------------------------------------------------
int KY_SDK_Init();
int KY_SDK_Cleanup();

// Checks the credentials against the camera's HTTP port within timeoutMs and
// learns what later calls need (RTSP port...). Returns the handle, 0 on failure;
// *error receives a reason code (0 none, 1 no answer: no
// connection or no reply within the time-out, 2 credentials, 3 protocol).
KY_HANDLE KY_SDK_LoginExt(const char* host, const char* user, const char* password, uint16_t port, int timeoutMs,
                          int* error);
int KY_SDK_Logout(KY_HANDLE handle);

int KY_SDK_GetConfig(KY_HANDLE handle, int32_t code, void* buffer, int size);
int KY_SDK_SetConfig(KY_HANDLE handle, int32_t code, const void* buffer, int size);

int KY_SDK_SetMessageCallBack(KY_HANDLE handle, KY_HANDLE userHandle, KY_MessageCallBack cb, void* user);
int KY_SDK_SetEventCallBack(KY_HANDLE handle, KY_HANDLE userHandle, KY_EventCallBack cb, void* user);
int KY_SDK_SetDrawCallBack(KY_HANDLE handle, KY_HANDLE userHandle, KY_DrawCallBack cb, void* user);
int KY_SDK_SetDisplayCallback(KY_HANDLE handle, int enable);
int KY_SDK_SetDisplayMode(KY_HANDLE handle, int mode);   // 0 GPU, 1 software

int KY_SDK_RealPlayExt(KY_HANDLE handle, KySdkSurface* window, const KY_PLAY_INFO* play);
int KY_SDK_RealPlayEncExt(KY_HANDLE handle, KySdkSurface* window, const KY_PLAY_INFO* play);
int KY_SDK_StopRealPlay(KY_HANDLE handle);
int KY_SDK_GetPicInfo(KY_HANDLE handle, int* height, int* width);

int KY_SDK_SetMute(KY_HANDLE handle, int channel, int soundOn);
int KY_SDK_GetMute(KY_HANDLE handle, int channel, int* soundOn);

int KY_SDK_StartVoiceCom(KY_HANDLE handle, int channel, KY_VoiceCallBack cb, void* user);
int KY_SDK_StopVoiceCom(KY_HANDLE handle);
// One frame of G.711 µ-law bytes for the camera's loudspeaker.
int KY_SDK_VoiceComSendData(KY_HANDLE handle, const uint8_t* data, int length, intptr_t userValue);

int KY_SDK_StartRecord(KY_HANDLE handle, const char* path, int format, int reserved1, int reserved2);
int KY_SDK_StopRecord(KY_HANDLE handle);
// While a recording runs: 0 and the milliseconds of picture in it so far
// (it starts at the first key frame); -1 when none runs or it has ended.
int KY_SDK_GetRecordTime(KY_HANDLE handle, int64_t* milliseconds);
// While playing: bytes of stream packets read and pictures decoded since the
// play started (the caller works out bit and frame rates); -1 when none plays.
int KY_SDK_GetStreamStats(KY_HANDLE handle, int64_t* bytes, int64_t* frames);
int KY_SDK_CaptureJPEGPicture(KY_HANDLE handle, const char* path);   // negative = failed

int KY_SDK_PTZControl(KY_HANDLE handle, int32_t command, int32_t speed);
int KY_SDK_PTZControlEx(KY_HANDLE handle, int32_t command);
int KY_SDK_PTZPreset(KY_HANDLE handle, int32_t command, int32_t presetIndex);   // preset number - 1

int KY_SDK_SetPenPixel(KY_HANDLE handle, int32_t penWidth);
int KY_SDK_InputDrawData(KY_HANDLE handle, const KY_DRAW_ITEM* items, int count, int32_t layer);
int KY_SDK_EnablePic(KY_HANDLE handle, const char* name, int on, int32_t layer);
int KY_SDK_SelectPic(KY_HANDLE handle, int32_t x, int32_t y);
int KY_SDK_MouseMove(KY_HANDLE handle, int held, int32_t x, int32_t y, KY_RECT window);
