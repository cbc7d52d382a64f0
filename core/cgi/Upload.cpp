// Firmware upload: one multipart POST of the package, streamed from the file
// in small pieces so that a package of any size costs a few kilobytes.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <string>
#include <thread>

#include "core/cgi/CgiClient.h"
#include "core/cgi/PercentEncode.h"
#include "core/services/Trace.h"

namespace {

constexpr int kPiecesPerPause = 21;   // the camera's receiver falls behind without a breather
constexpr auto kRetryPause = std::chrono::milliseconds(1000);

void Report(const UpgradeTask& task, int value) {
    if (task.progress) task.progress(task.context, value, task.userData);
}

// Closes what one attempt opened, whichever way it ends.
struct Attempt {
    int file = -1;
    int sock = -1;
    ~Attempt() {
        if (file >= 0) close(file);
        if (sock >= 0) close(sock);
    }
};

std::string BaseName(const char* path) {
    const char* slash = strrchr(path, '/');
    return slash ? slash + 1 : path;
}

}   // namespace

CCgiClient::UploadFrame CCgiClient::BuildUploadFrame(const char* ip, const char* auth, const char* path,
                                                     uint64_t fileSize, const char* boundary) {
    const std::string name = ky::cgi::EncodeQueryValue(BaseName(path));
    UploadFrame f;
    f.partHead = std::string("-----------------------------") + boundary + "\r\n" +
                 "Content-Disposition: form-data; name=\"setting_file\"; filename=\"" + name + "\"\r\n" +
                 "Content-Type: application/octet-stream\r\n\r\n";
    f.partTail = std::string("\r\n-----------------------------") + boundary + "--\r\n";
    const uint64_t length = fileSize + f.partHead.size() + f.partTail.size();
    f.head = "POST /web/cgi-bin/ky7200/upgrade.cgi?-filename=" + name + " HTTP/1.1\r\n" +
             "Accept: */*\r\n"
             "Referer: http://" +
             ip + "/web/initializemain.html\r\n" +
             "Accept-Language: zh-cn\r\n"
             "User-Agent: Mozilla/4.0 (compatible; MSIE 8.0; Windows NT 5.1; Trident/4.0)\r\n"
             "Content-Type: multipart/form-data; boundary=---------------------------" +
             boundary + "\r\n" +
             "Accept-Encoding: gzip, deflate\r\n"
             "Host: " +
             ip + "\r\n" + "Content-Length: " + std::to_string(length) + "\r\n" +
             "Connection: Keep-Alive\r\n"
             "Cache-Control: no-cache\r\n"
             "Authorization: Basic " +
             auth + "\r\n\r\n";
    return f;
}

int CCgiClient::UploadFile(const UpgradeTask& task) {
    char auth[kCredentialSize] = {};
    // Fields are fixed-width: never read past them.
    const std::string ip(task.ip, strnlen(task.ip, sizeof task.ip));
    const std::string path(task.path, strnlen(task.path, sizeof task.path));
    const std::string user(task.user, strnlen(task.user, sizeof task.user));
    const std::string password(task.password, strnlen(task.password, sizeof task.password));
    MakeAuthorization(user.c_str(), password.c_str(), auth);

    for (int attempt = 1;; ++attempt) {
        KY_TRACE("Line-%d Upload attempt %d to %s:%u\n", __LINE__, attempt, ip.c_str(), task.port);
        Attempt a;
        a.file = open(path.c_str(), O_RDONLY | O_CLOEXEC);
        struct stat st {};
        if (a.file < 0 || fstat(a.file, &st) != 0 || !S_ISREG(st.st_mode)) {
            Report(task, kUpgradeCantOpen);
            return -1;
        }
        const uint64_t size = static_cast<uint64_t>(st.st_size);

        char boundary[32];
        const time_t now = time(nullptr);
        tm t{};
        localtime_r(&now, &t);
        // The month as tm gives it (0 = January): cameras only need a unique text.
        snprintf(boundary, sizeof boundary, "%04d%02d%02d%02d%02d%02d", t.tm_year + 1900, t.tm_mon, t.tm_mday,
                 t.tm_hour, t.tm_min, t.tm_sec);
        const UploadFrame frame = BuildUploadFrame(ip.c_str(), auth, path.c_str(), size, boundary);

        bool ok = false;
        const bool connected = ConnectTo(ip.c_str(), task.port, kUploadTimeoutMs, a.sock) == 0;
        uint64_t sent = 0;
        if (connected && SendTimed(a.sock, frame.head.data(), frame.head.size(), kUploadTimeoutMs) == 0 &&
            SendTimed(a.sock, frame.partHead.data(), frame.partHead.size(), kUploadTimeoutMs) == 0) {
            char piece[kUploadPiece];
            int last = -1;
            bool pieceOk = true;
            for (int pieces = 1; sent < size; ++pieces) {
                const size_t want = static_cast<size_t>(std::min<uint64_t>(size - sent, kUploadPiece));
                const ssize_t got = read(a.file, piece, want);
                // A file that shrank (or failed) mid-way would leave the
                // request short of its Content-Length: fail the attempt.
                if (got != static_cast<ssize_t>(want) || SendTimed(a.sock, piece, want, kUploadTimeoutMs) != 0) {
                    KY_TRACE("Line-%d Send Data failure:data len %zu\n", __LINE__, want);
                    pieceOk = false;
                    break;
                }
                sent += want;
                const int value = static_cast<int>(sent * 50 / size);
                if (value != last) Report(task, last = value);
                if (task.bytes) task.bytes(task.userData, sent, size);
                if (pieces % kPiecesPerPause == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
            }
            KY_TRACE("Line-%d Transfer file over-s32SendLen=%" PRIu64 " s32FileLen=%" PRIu64 "\n", __LINE__, sent,
                     size);
            if (pieceOk && SendTimed(a.sock, frame.partTail.data(), frame.partTail.size(), kUploadTimeoutMs) == 0) {
                char reply[kUploadPiece];
                uint32_t capacity = sizeof reply;
                ok = ReceiveLine(a.sock, reply, capacity, kUploadTimeoutMs) == 0 && strstr(reply, "200 OK") &&
                     sent == size;
            }
        }
        if (ok) {
            KY_TRACE("Line-%d Recieve Device's confirm OK\n", __LINE__);
            return 0;
        }
        KY_TRACE("Line-%d Recieve device's confirm Failure!Pragram will try again later!\n", __LINE__);
        if (attempt >= kUploadAttempts) {
            // Also after a failed connect: without -3 the caller would never
            // hear that the upload ended.
            Report(task, kUpgradeFailed);
            return -1;
        }
        Report(task, kUpgradeRetrying);
        std::this_thread::sleep_for(kRetryPause);
    }
}
