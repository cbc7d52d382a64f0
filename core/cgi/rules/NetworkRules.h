#pragma once
// Validation of the wired network page, shared by the GUI page and kycamctl.
// Each check returns the first failing rule's message (the English text key)
// or nullptr when the input is acceptable.
#include <string_view>

#include "core/cgi/Catalogue.h"
#include "core/cgi/Records.h"

namespace ky::cgi {

// Receive time-outs the network page uses: the send-only write and the ONVIF
// read made to check for port conflicts.
inline constexpr int kNetSetTimeoutMs = 5000;
inline constexpr int kNetOnvifReadTimeoutMs = 5000;

// Four decimal numbers 0-255 joined by dots, blanks allowed before each
// number, nothing after the last.
bool IsDottedIpv4(std::string_view text);

// The page's own rules, in its order: address type and DNS type selected,
// the three addresses, the three port ranges. The DNS texts are not checked.
const char* CheckNetAttr(const NetAttr& rec);
// Port conflicts against each other and the camera's ONVIF port.
const char* CheckNetPortConflicts(const NetAttr& rec, int onvifPort);

// The camera's ONVIF port as the conflict check sees it: 0 when there is no
// camera or the read fails (its result is deliberately not checked).
int ReadOnvifPortForNetCheck(const Target* target);

// The whole apply-time validation: CheckNetAttr, then, only when that passed,
// the ONVIF read and CheckNetPortConflicts.
const char* ValidateNetPage(const NetAttr& rec, const PageContext& context);

// Whether writing rec ends the session that reaches the camera at
// currentIp:currentPort (its address text or web port changes).
bool NetApplyEndsSession(const NetAttr& rec, std::string_view currentIp, int currentPort);

}   // namespace ky::cgi
