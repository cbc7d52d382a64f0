#pragma once
// Messages inside the live-video window: the render surface reports mouse
// actions to its video window, which hands them to the panel, which hands
// some on to the live-video dialog. The numbers are the tool's window
// messages.
#include <QEvent>
#include <QPoint>
#include <cstdint>
#include <vector>

#include "core/sdk/KySdk.h"

namespace ky::video {

inline constexpr int kDoubleClick = 1124;   // left double click: enlarge / full screen
inline constexpr int kLeftDown = 1126;      // makes the window active
inline constexpr int kContextMenu = 1127;   // right button: display-mode menu
inline constexpr int kMouseMove = 1128;
inline constexpr int kLeftUp = 1129;
inline constexpr int kMouseLeave = 1130;
inline constexpr int kFullScreenEscape = 4028;   // Escape while the panel covers the screen
inline constexpr int kMotionBoxes = 4026;        // SDK message type 0
inline constexpr int kPersonBoxes = 4031;        // SDK message type 6

inline QEvent::Type Type(int message) { return static_cast<QEvent::Type>(message); }

// A mouse action in video window `window` at `pos` (surface coordinates).
class CVideoMouseEvent : public QEvent {
public:
    CVideoMouseEvent(int message, int window, QPoint pos, QPoint globalPos)
        : QEvent(Type(message)), window(window), pos(pos), globalPos(globalPos) {}
    int window;
    QPoint pos;
    QPoint globalPos;
};

// Detection boxes reported by the SDK's message callback. The callback's
// array is only valid during the call, so the event carries a copy; the
// handle lets a late event of an ended login be told apart.
class CDetectionEvent : public QEvent {
public:
    CDetectionEvent(int message, KY_HANDLE handle, std::vector<int32_t> words)
        : QEvent(Type(message)), handle(handle), words(std::move(words)) {}
    KY_HANDLE handle;
    std::vector<int32_t> words;   // records of five: number, x, y, width, height
};

}   // namespace ky::video
