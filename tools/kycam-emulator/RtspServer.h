#pragma once
// Live media of one emulated camera: an RTSP server with the mounts /11 (first
// stream) and /12 (second stream), each an H.264 test picture with a clock and
// the camera title burnt in, plus a G.711 mu-law 8 kHz audio track.
//
// Each instance runs its own GMainContext on its own thread, so several cameras
// can live in one process next to other GLib users. All methods are
// thread-safe.
#include <memory>
#include <string>

namespace emu {

struct RtspStreamConfig {
    int width = 1280;
    int height = 720;
    int fps = 25;
    int keyIntervalFrames = 25;   // one key frame a second at 25 fps
    int bitrateKbps = 2048;
};

// Defaults of the camera's two streams.
RtspStreamConfig DefaultMainStream();   // 1280x720, 2048 kbit/s
RtspStreamConfig DefaultSubStream();    // 640x360, 512 kbit/s

class RtspServer {
public:
    RtspServer();
    ~RtspServer();   // calls Stop()
    RtspServer(const RtspServer&) = delete;
    RtspServer& operator=(const RtspServer&) = delete;

    // Listens on bindAddr:port only (port 0 picks a free port, see Port()).
    // Empty user: no authentication; otherwise Basic or Digest with these
    // credentials is required. `title` is the camera name shown in the
    // picture. Fails (with *error set) when already running, on a bad stream
    // configuration or when the address cannot be bound.
    bool Start(const std::string& bindAddr, int port, const RtspStreamConfig& s11, const RtspStreamConfig& s12,
               const std::string& user, const std::string& password, const std::string& title, std::string* error);

    // From the next Start on, both mounts' media are prepared at start and
    // again once the last RTSP connection has closed, as a camera's encoder
    // is always ready: a viewer's DESCRIBE is answered without building a
    // pipeline, and its PLAY gets the key picture encoded ahead. Off by
    // default: it costs two pipelines per camera.
    void KeepMediaReady(bool on);

    // Closes every client, stops the pipelines and joins the server thread.
    // Safe to call when not running and more than once.
    void Stop();

    bool IsRunning() const;
    int Port() const;   // the port actually bound; 0 when not running

    // Replaces the accepted credentials for new connections (empty user turns
    // authentication off). Connections already open keep playing.
    void SetCredentials(const std::string& user, const std::string& password);

    // On-screen display of both streams, applied at once to running pictures.
    void SetOverlay(const std::string& title, bool showTitle, bool showClock);

    // Pipelines (one per mount being watched) that still exist; for tests.
    int LivePipelines() const;
    // RTSP client connections open now; for tests.
    int Clients() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d_;
};

}   // namespace emu
