// CGI reply framing: the input after the first byte arrives on the command's
// socket as the camera's reply; the first byte picks the exchange buffer's
// size and the kind of exchange. The verdict is one of the documented ones and
// the buffer always ends in a zero within its size.
#include <sys/socket.h>
#include <unistd.h>

#include <cstring>
#include <vector>

#include "core/cgi/CgiClient.h"
#include "fuzz/FuzzSupport.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > 65536) return 0;
    int fds[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds) != 0) return 0;
    (void)!::write(fds[1], data + 1, size - 1);   // below the socket's buffer size
    ::shutdown(fds[1], SHUT_WR);
    uint32_t capacity = 512u + (data[0] >> 2) * 64u;
    std::vector<char> buf(capacity);
    CCgiClient client;
    using Exchange = int (CCgiClient::*)(int, const char*, const char*, char*, uint32_t&, const char*, int);
    static const Exchange kKinds[] = {&CCgiClient::Request, &CCgiClient::RequestLong,
                                      &CCgiClient::RequestAnswerOptional};
    const int r = (client.*kKinds[data[0] % 3])(fds[0], "127.0.0.1", "GET /cgi-bin/ky7200/param.cgi?cmd=getntpattr",
                                                buf.data(), capacity, data[0] & 1 ? "YWRtaW46" : nullptr, 1000);
    FUZZ_CHECK(r == 0 || r == -1 || r == CCgiClient::kBrokenReply);
    FUZZ_CHECK(std::memchr(buf.data(), 0, buf.size()) != nullptr);
    if (r == 0 && size > 1) FUZZ_CHECK(client.CheckReply(buf.data()) == 0);
    ::close(fds[0]);
    ::close(fds[1]);
    return 0;
}
