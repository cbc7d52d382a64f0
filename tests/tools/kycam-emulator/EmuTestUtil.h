#pragma once
// Helpers for emulator tests: an independent client (curl, run without a
// shell) and raw loopback sockets for what curl cannot send.
#include <string>
#include <vector>

namespace emutest {

struct CurlResult {
    int exitCode = -1;   // curl's exit status (7: could not connect)
    std::string out;     // stdout: with -i the status line, headers and body
};

// Runs curl with `args` (plus -s -S and a 10 s limit).
CurlResult Curl(const std::vector<std::string>& args);

// curl -i -u user:password URL
CurlResult Get(int port, const std::string& pathAndQuery, const std::string& user = "admin",
               const std::string& password = "admin");

std::string Url(int port, const std::string& pathAndQuery);

// Sends `request` on a fresh loopback connection, optionally half-closes,
// and reads until the server closes or nothing arrives for quietMs.
// *reads counts the recv calls that returned data; *closed tells whether the
// server closed the connection.
std::string RawExchange(int port, const std::string& request, bool shutdownWrite = false, int quietMs = 3000,
                        int* reads = nullptr, bool* closed = nullptr);

// A connected loopback socket (or -1).
int ConnectLoopback(int port);
bool SendAll(int fd, const std::string& data);
// Reads until `want` bytes, the peer closes, or quietMs of silence.
std::string ReadSome(int fd, size_t want, int quietMs, bool* closed = nullptr);

// Value of a header in a raw reply (first match, case-sensitive name), or "".
std::string HeaderValue(const std::string& reply, const std::string& name);
// Body of a raw reply (after the first blank line).
std::string Body(const std::string& reply);
// First line of a raw reply.
std::string StatusLine(const std::string& reply);

std::string Base64(const std::string& s);
std::string AuthHeader(const std::string& user = "admin", const std::string& password = "admin");

// A fresh directory under the test's temporary folder.
std::string TempDir(const std::string& name);

}   // namespace emutest
