#pragma once
// Stateless CGI client: raw-socket HTTP transport, reply parser and one method
// per camera command. Every method returns 0 on success and -1 on failure;
// nothing is kept between calls, so any thread may use its own instance.
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/cgi/Records.h"

class CCgiClient {
public:
    static constexpr int kConnectTimeoutMs = 1000;
    static constexpr const char* kLocalHost = "127.0.0.1";
    static constexpr size_t kCredentialSize = 256;   // "%s:%s" and its Base64 form
    static constexpr size_t kValueSize = 128;        // GetValue keeps at most 127 bytes

    // ---- transport -------------------------------------------------------
    // Resolves ip (IPv4 text or name) and connects within timeoutMs.
    int ConnectTo(const char* ip, uint16_t port, int timeoutMs, int& sock);
    // Returns the connected blocking socket, or -1.
    int ConnectWithTimeout(const sockaddr_in* addr, socklen_t len, int timeoutMs);
    int SendAll(int sock, const char* data, size_t len);
    // Builds the request into buf (capacity bytes), sends it, then reads the
    // reply into buf (at most capacity-1 bytes, zero-terminated) until the
    // camera closes, goes quiet for timeoutMs, or a Content-Length body is
    // complete. Result is CheckReply of what arrived.
    int Request(int sock, const char* host, const char* requestText, char* buf, uint32_t& capacity, const char* auth,
                int timeoutMs);
    // As Request, for operations that take minutes (EAGAIN keeps waiting).
    int RequestLong(int sock, const char* host, const char* requestText, char* buf, uint32_t& capacity,
                    const char* auth, int timeoutMs);
    // Sends the same request bytes and reads nothing.
    int SendRequestOnly(int sock, const char* host, const char* requestText, char* buf, uint32_t& capacity,
                        const char* auth, int timeoutMs);
    // "200 OK" and "Content-Type:text/html" present, "[Error]" absent.
    int CheckReply(const char* reply);
    void CloseSocket(int sock);

    // Writes the request bytes (request line, fixed headers, Host, optional
    // Authorization, blank line) into buf. Returns the length, or -1 when the
    // request does not fit capacity-1 bytes or auth is longer than 255 bytes.
    static int BuildRequest(const char* host, const char* requestText, const char* auth, char* buf, uint32_t capacity);
    // Base64 of "user:password" into out (kCredentialSize bytes); -1 when
    // either text is too long for the credential buffers.
    static int MakeAuthorization(const char* user, const char* password, char* out);

    // ---- reply parser ----------------------------------------------------
    // Value after the first occurrence of key up to ";\r\n", quotes dropped,
    // at most 127 bytes; empty when the key or the terminator is missing.
    std::string GetValue(const char* reply, uint32_t capacity, const char* key);

    // ---- camera commands (declared in cgi/Commands.inc) -----------------
#define KY_CGI_COMMAND(Name, Record) \
    int Name(const char* ip, uint16_t port, const char* user, const char* password, Record* rec, int timeoutMs);
#include "core/cgi/Commands.inc"
#undef KY_CGI_COMMAND

private:
    int Receive(int sock, char* buf, uint32_t capacity, int timeoutMs, bool longWait);
};
