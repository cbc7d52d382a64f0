#pragma once
// Helpers for emulator tests: an independent client (curl, run without a
// shell) and raw loopback sockets for what curl cannot send.
#include <string>
#include <vector>

#include "tests/support/ChildProcess.h"

namespace emutest {

// curl -s -S --max-time 10 args...: exit status (7: could not connect) and
// standard output (with -i the status line, headers and body).
ky::test::ProcessResult Curl(std::vector<std::string> args);
// curl -i -u user:password URL
ky::test::ProcessResult Get(int port, const std::string& pathAndQuery, const std::string& user = "admin",
                            const std::string& password = "admin");
std::string Url(int port, const std::string& pathAndQuery);

// Base64 of admin:admin, the emulator's default credentials in these tests.
inline const std::string kAuthHeader = "Authorization: Basic YWRtaW46YWRtaW4=\r\n";

// Sends request on a fresh loopback connection, optionally half-closes, and
// reads until the server closes or nothing arrives for quietMs. *reads counts
// the reads that returned data; *closed tells whether the server closed.
std::string RawExchange(int port, const std::string& request, bool shutdownWrite = false, int quietMs = 3000,
                        int* reads = nullptr, bool* closed = nullptr);
int ConnectLoopback(int port);   // -1 when refused
bool SendAll(int fd, const std::string& data);
// Reads until `want` bytes, the peer closes, or quietMs of silence.
std::string ReadSome(int fd, size_t want, int quietMs, bool* closed = nullptr, int* reads = nullptr);

// Parts of a raw reply: a header's value (first match), the body, the status line.
std::string HeaderValue(const std::string& reply, const std::string& name);
std::string Body(const std::string& reply);
std::string StatusLine(const std::string& reply);

}   // namespace emutest
