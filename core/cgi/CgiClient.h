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
#include "core/cgi/Upgrade.h"

class CCgiClient {
public:
    static constexpr int kConnectTimeoutMs = 1000;
    static constexpr const char* kLocalHost = "127.0.0.1";
    static constexpr size_t kCredentialSize = 256;   // "%s:%s" and its Base64 form
    static constexpr size_t kValueSize = 128;        // GetValue keeps at most 127 bytes

    // ---- transport -------------------------------------------------------
    // Resolves ip (IPv4 text or name, or IPv6 text) and connects within
    // timeoutMs.
    int ConnectTo(const char* ip, uint16_t port, int timeoutMs, int& sock);
    // Returns the connected blocking socket, or -1.
    int ConnectWithTimeout(const sockaddr* addr, socklen_t len, int timeoutMs);
    int SendAll(int sock, const char* data, size_t len);
    // What Request and its kin return for a reply that ended before the
    // length its head announced, or whose head is not a readable HTTP head
    // (no blank line, bad status line, Content-Length values that are no
    // number or disagree). Its fields are never used.
    static constexpr int kBrokenReply = -2;

    // Builds the request into buf (capacity bytes), sends it, then reads the
    // reply into buf (at most capacity-1 bytes, zero-terminated) until the
    // camera closes, goes quiet for timeoutMs, or a Content-Length body is
    // complete. Result: kBrokenReply for a cut or malformed reply, else
    // CheckReply of what arrived. A reply that fills the buffer counts as
    // whole: the camera's lines come first.
    int Request(int sock, const char* host, const char* requestText, char* buf, uint32_t& capacity, const char* auth,
                int timeoutMs);
    // As Request, for operations that take minutes (EAGAIN keeps waiting).
    int RequestLong(int sock, const char* host, const char* requestText, char* buf, uint32_t& capacity,
                    const char* auth, int timeoutMs);
    // As Request, but a camera that closes or stays quiet without a word
    // has answered too (0): for writes the camera may apply before answering.
    int RequestAnswerOptional(int sock, const char* host, const char* requestText, char* buf, uint32_t& capacity,
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

    // ---- firmware upload ------------------------------------------------
    static constexpr int kUploadTimeoutMs = 30000;   // connect and every piece
    static constexpr size_t kUploadPiece = 2048;
    static constexpr int kUploadAttempts = 3;

    // Sends task.path as a multipart POST to upgrade.cgi, streamed in
    // pieces, up to three attempts a second apart. 0 when the camera
    // confirmed with "200 OK", -1 otherwise; progress through task.progress.
    int UploadFile(const UpgradeTask& task);
    // 0 when all len bytes went out; -2 the socket stayed unwritable for
    // timeoutMs, -3 the wait failed, -1 another failure.
    int SendTimed(int sock, const char* data, size_t len, int timeoutMs);
    // Reads until at least 5 bytes ending in CR LF are held. 0 with the length
    // in capacity; -1 on time-out, error or a closed connection.
    int ReceiveLine(int sock, char* buf, uint32_t& capacity, int timeoutMs);
    // The three pieces around the file's bytes (exposed for the tests).
    struct UploadFrame {
        std::string head;       // request line and headers
        std::string partHead;   // boundary, Content-Disposition, Content-Type
        std::string partTail;   // closing boundary
    };
    static UploadFrame BuildUploadFrame(const char* ip, const char* auth, const char* path, uint64_t fileSize,
                                        const char* boundary);

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
    // Reads the reply; intact tells whether it is whole (see Request).
    int Receive(int sock, char* buf, uint32_t capacity, int timeoutMs, bool longWait, bool* intact);
    int Exchange(int sock, const char* host, const char* requestText, char* buf, uint32_t capacity, const char* auth,
                 int timeoutMs, bool longWait, bool answerOptional);
};
