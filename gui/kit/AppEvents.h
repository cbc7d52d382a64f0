#pragma once
// Private messages between the tool's windows, as posted (or sent) Qt events.
// Each event type is the message's fixed number, so a trace or a test names
// a message by that number.
#include <QEvent>

namespace ky::msg {

inline constexpr int kUser = 0x400;                 // the first private number
inline constexpr int kSnapDone = kUser + 1000;      // 2024: a snapshot worker has finished
inline constexpr int kSearchBroadcast = 2026;       // a device answered on the broadcast channel
inline constexpr int kSearchMulticast = 2027;       // ... on the multicast channel
inline constexpr int kStartSearch = kUser + 1005;   // 2029: start a new device search
inline constexpr int kToolLogin = kUser + 1006;     // 2030: show the tool login
inline constexpr int kShowPage = kUser + 2000;      // 3024: show a parameter page
inline constexpr int kWorkerResult = 4024;          // SD-card format / upgrade results
inline constexpr int kUpgradeProgress = 4025;       // upgrade progress value (callback)
inline constexpr int kWifiTest = 1225;
inline constexpr int kWifiScan = 3025;
inline constexpr int kSdkMessage = 4026;
inline constexpr int kSdkEvent = 4031;

inline QEvent::Type Type(int message) { return static_cast<QEvent::Type>(message); }

}   // namespace ky::msg
