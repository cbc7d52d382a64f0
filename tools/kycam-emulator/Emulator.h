#pragma once
// The emulated cameras of one process: options, the per-camera web server
// logic (routes, authentication, fault modes, firmware upload with a
// simulated restart, SD-card pages, system log, control requests) and the
// container that starts and stops them. docs/emulator.md describes the
// behaviour seen from outside.
#include <atomic>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tools/kycam-emulator/CameraState.h"
#include "tools/kycam-emulator/HttpServer.h"
#include "tools/kycam-emulator/SdMedia.h"
#include "tools/kycam-emulator/SdkService.h"

namespace emu {

class RtspServer;
class DiscoveryResponder;

struct Options {
    std::string bind = "127.0.0.1";
    int httpPort = 8080;   // camera i listens on httpPort + i (0: any free port)
    int rtspPort = 8554;   // camera i on rtspPort + i (0: any free port)
    int cameras = 1;
    std::string user = "admin";
    std::string password = "admin";
    bool userGiven = false;   // --user / --password given (override a state file)
    bool passwordGiven = false;
    std::string stateFile;             // camera 0: FILE, camera i > 0: FILE.i
    std::vector<std::string> faults;   // "NAME" or "NAME=N", applied to every camera
    bool rtsp = true;
    bool warmMedia = false;   // RTSP media prepared at start and kept (RtspServer::KeepMediaReady)
    bool discovery = true;
    int sdDelayMs = -1;   // -1: keep the profile's / state file's value
    int restartMs = 3000;
    std::string upgradeVersion;   // version after any upload (else from the file name)
    std::string sdCacheDir;       // empty: SdMedia::DefaultCacheDir()
    bool quiet = false;
    HttpServer::Limits http;   // time limits of the web server (tests shorten them)
};

// Parses the command line (argv[0] is skipped). False with *error on a bad
// option; *help is set for --help.
bool ParseOptions(int argc, const char* const* argv, Options* out, std::string* error, bool* help);
std::string UsageText();

enum class FaultKind {
    KeepAliveCl,
    KeepAliveNoCl,
    Slow,
    Silent,
    CloseMid,
    No200,
    Error,
    CtypeBlank,
    Oversize,
    DropFirst,
    RefuseUpload,
};

// Parses "NAME" or "NAME=N" (N > 0 is how many requests, connections for
// drop-first, uploads for refuse-upload; no N: every request, and 1 for
// drop-first and refuse-upload).
bool ParseFault(const std::string& text, FaultKind* kind, int* count);
const char* FaultName(FaultKind k);

// Which fault modes shape one reply.
struct FaultSet {
    bool keepAliveCl = false, keepAliveNoCl = false, slow = false, silent = false, closeMid = false, no200 = false,
         error = false, ctypeBlank = false, oversize = false;
};

// Builds a reply as the camera writes it ("Content-Type:text/html" without a
// blank) and applies the fault modes to bytes and delivery.
ReplyPlan MakeReply(int status, const std::string& contentType, const std::string& body, const FaultSet& faults,
                    const std::string& extraHeaders = {}, bool headOnly = false);
const char* StatusReason(int status);

class Emulator;

class Camera : public Site {
public:
    Camera(Emulator& emu, int index);
    ~Camera() override;

    int Index() const { return index_; }
    CameraState& State() { return state_; }
    int HttpPort() const { return httpPort_; }
    int RtspPort() const { return rtspPort_; }
    bool IsUp() const { return up_; }
    const std::string& StateFile() const { return stateFile_; }

    // Loop thread only (or before the server starts).
    void AddFault(FaultKind k, int count);
    void ClearFaults();
    std::string FaultsText() const;

    // Site
    bool OnAccept() override;
    Action OnRequest(const RequestHead& head) override;
    ReplyPlan OnBadRequest(int status) override;

    // Goes down for `ms` (listener closed, connections refused), then comes
    // back; `newVersion` (if not empty) becomes softVersion. Loop thread.
    void BeginRestart(int ms, const std::string& newVersion);

    bool SaveState(std::string* error);
    void AppendLog(const std::string& line);

private:
    friend class Emulator;
    friend class UploadSink;
    struct Fault {
        FaultKind kind;
        int remaining;   // -1: unlimited
    };
    FaultSet TakeFaults();
    bool TakeFault(FaultKind k);
    Action ControlRequest(const RequestHead& head);
    Action SdRequest(const RequestHead& head, const FaultSet& f);
    Action UploadRequest(const RequestHead& head, const FaultSet& f);
    void ComeBack(const std::string& newVersion, int attempt);
    void StartServices();
    void RequestStopDiscovery();
    void StopServices();
    void RefreshServices();   // discovery record and RTSP credentials from the state

    Emulator& emu_;
    int index_;
    CameraState state_;
    SdkService sdk_{state_};   // the SDK control channel under /sdk/
    std::string stateFile_;
    int httpPort_ = 0;
    int rtspPort_ = 0;
    std::atomic<bool> up_{false};
    std::vector<Fault> faults_;
    std::string nextUpgradeVersion_;
    // The latest param.cgi queries, oldest first (loop thread only).
    std::deque<std::string> cgiLog_;
    std::unique_ptr<RtspServer> rtsp_;
    std::unique_ptr<DiscoveryResponder> discovery_;
};

class Emulator {
public:
    explicit Emulator(Options options);
    ~Emulator();   // Stop()
    Emulator(const Emulator&) = delete;
    Emulator& operator=(const Emulator&) = delete;

    // Creates the cameras, loads their state, listens, starts media and
    // discovery. False with *error when any camera cannot listen.
    bool Start(std::string* error);
    // Stops serving and saves every camera's state file. Idempotent.
    void Stop();

    // "READY http=P0,P1 rtsp=R0,R1 cameras=N" (rtsp=none with --no-rtsp).
    std::string ReadyLine() const;

    size_t CameraCount() const { return cameras_.size(); }
    Camera& GetCamera(size_t i) { return *cameras_[i]; }
    const Options& Opts() const { return options_; }
    HttpServer& Server() { return server_; }
    SdMedia& Sd() { return sd_; }

private:
    Options options_;
    HttpServer server_;
    SdMedia sd_;
    std::vector<std::unique_ptr<Camera>> cameras_;
    bool started_ = false;
};

}   // namespace emu
