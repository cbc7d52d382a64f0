#include "tools/kycam-emulator/RtspServer.h"

#include <arpa/inet.h>
#include <gst/gst.h>
#include <gst/rtsp-server/rtsp-server.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace emu {

namespace {

constexpr const char* kRole = "viewer";
constexpr const char* kMounts[2] = {"/11", "/12"};

bool InitGStreamer(std::string* error) {
    static std::once_flag once;
    static std::string initError;
    std::call_once(once, [] {
        GError* err = nullptr;
        if (!gst_init_check(nullptr, nullptr, &err)) {
            initError = std::string("GStreamer initialisation failed: ") + (err ? err->message : "unknown error");
            g_clear_error(&err);
        }
    });
    if (!initError.empty() && error) *error = initError;
    return initError.empty();
}

bool ValidStream(const RtspStreamConfig& c, const char* mount, std::string* error) {
    const bool ok = c.width >= 16 && c.width <= 4096 && c.width % 2 == 0 && c.height >= 16 && c.height <= 4096 &&
                    c.height % 2 == 0 && c.fps >= 1 && c.fps <= 60 && c.keyIntervalFrames >= 1 &&
                    c.keyIntervalFrames <= 1000 && c.bitrateKbps >= 16 && c.bitrateKbps <= 100000;
    if (!ok && error)
        *error = std::string("invalid stream configuration for ") + mount + ": " + std::to_string(c.width) + "x" +
                 std::to_string(c.height) + " " + std::to_string(c.fps) + " fps, key every " +
                 std::to_string(c.keyIntervalFrames) + ", " + std::to_string(c.bitrateKbps) + " kbit/s";
    return ok;
}

// The title text is not part of the description (it is set as a property
// later), so nothing a user types can change the pipeline's shape.
// held: the media is prepared ahead and held at its first packets until a
// viewer comes; the live sources then run on into a queue that keeps only
// the newest buffer, so the viewer does not get the stale seconds in a burst
// (sound first, which makes a probing client miss the picture).
std::string LaunchDescription(const RtspStreamConfig& c, bool held) {
    const std::string newest =
        held ? " ! queue leaky=downstream max-size-buffers=1 max-size-time=0 max-size-bytes=0" : "";
    const std::string font = "\"Sans Bold " + std::to_string(std::max(6, c.height / 40)) + "\"";
    std::string s;
    s += "( videotestsrc is-live=true pattern=smpte horizontal-speed=2" + newest;
    s += " ! video/x-raw,format=I420,width=" + std::to_string(c.width) + ",height=" + std::to_string(c.height) +
         ",framerate=" + std::to_string(c.fps) + "/1";
    s += " ! clockoverlay name=clock halignment=left valignment=top shaded-background=true"
         " time-format=\"%Y-%m-%d %H:%M:%S\" font-desc=" +
         font;
    s += " ! textoverlay name=title halignment=left valignment=bottom shaded-background=true"
         " font-desc=" +
         font;
    // One slice per picture: with sliced threads the payloader repeats SPS/PPS
    // before every IDR slice and FFmpeg then decodes a key picture as two
    // broken halves.
    s += " ! x264enc tune=zerolatency speed-preset=ultrafast threads=1 key-int-max=" +
         std::to_string(c.keyIntervalFrames) + " bitrate=" + std::to_string(c.bitrateKbps);
    s += " ! rtph264pay name=pay0 pt=96 config-interval=-1";
    // 20 ms of 8 kHz audio per packet, as a camera sends it.
    s += " audiotestsrc is-live=true wave=ticks samplesperbuffer=160" + newest +
         " ! audio/x-raw,format=S16LE,rate=8000,channels=1"
         " ! mulawenc ! rtppcmupay name=pay1 pt=0 )";
    return s;
}

GstRTSPAuth* MakeAuth(const std::string& user, const std::string& password) {
    if (user.empty()) return nullptr;
    GstRTSPAuth* auth = gst_rtsp_auth_new();
    gst_rtsp_auth_set_supported_methods(auth,
                                        static_cast<GstRTSPAuthMethod>(GST_RTSP_AUTH_BASIC | GST_RTSP_AUTH_DIGEST));
    gst_rtsp_auth_set_realm(auth, "IP Camera");
    GstRTSPToken* token = gst_rtsp_token_new(GST_RTSP_TOKEN_MEDIA_FACTORY_ROLE, G_TYPE_STRING, kRole, NULL);
    gchar* basic = gst_rtsp_auth_make_basic(user.c_str(), password.c_str());
    gst_rtsp_auth_add_basic(auth, basic, token);
    g_free(basic);
    gst_rtsp_auth_add_digest(auth, user.c_str(), password.c_str(), token);
    gst_rtsp_token_unref(token);
    return auth;
}

GstRTSPFilterResult RemoveClient(GstRTSPServer*, GstRTSPClient*, gpointer) { return GST_RTSP_FILTER_REMOVE; }

GstRTSPFilterResult RemoveSession(GstRTSPSessionPool*, GstRTSPSession*, gpointer) { return GST_RTSP_FILTER_REMOVE; }

// A viewer joining a running stream asks the encoder for a key frame, so its
// decoder starts on a clean picture instead of waiting up to a key interval.
void OnPlayRequest(GstRTSPClient*, GstRTSPContext* ctx, gpointer) {
    if (!ctx || !ctx->media) return;
    GstElement* bin = gst_rtsp_media_get_element(ctx->media);
    if (!bin) return;
    if (GstElement* pay = gst_bin_get_by_name(GST_BIN(bin), "pay0")) {
        if (GstPad* sink = gst_element_get_static_pad(pay, "sink")) {
            // The upstream force-key-unit event of the video library, built
            // by hand to avoid linking it for one event.
            GstStructure* s = gst_structure_new("GstForceKeyUnit", "running-time", G_TYPE_UINT64, GST_CLOCK_TIME_NONE,
                                                "all-headers", G_TYPE_BOOLEAN, TRUE, "count", G_TYPE_UINT, 0u, NULL);
            gst_pad_push_event(sink, gst_event_new_custom(GST_EVENT_CUSTOM_UPSTREAM, s));
            gst_object_unref(sink);
        }
        gst_object_unref(pay);
    }
    gst_object_unref(bin);
}

gboolean CleanupSessions(GstRTSPSessionPool* pool, gpointer) {
    gst_rtsp_session_pool_cleanup(pool);
    return G_SOURCE_CONTINUE;
}

}   // namespace

RtspStreamConfig DefaultMainStream() { return RtspStreamConfig{}; }

RtspStreamConfig DefaultSubStream() {
    RtspStreamConfig c;
    c.width = 640;
    c.height = 360;
    c.bitrateKbps = 512;
    return c;
}

struct RtspServer::Impl {
    // Lock order: lifecycle before state. The server thread only takes state.
    std::mutex lifecycle;
    mutable std::mutex state;

    // Owned from Start to Stop; touched only under `lifecycle`.
    GMainContext* context = nullptr;
    GMainLoop* loop = nullptr;
    GstRTSPServer* server = nullptr;
    GstRTSPMediaFactory* factories[2] = {nullptr, nullptr};
    GSource* listenSource = nullptr;
    GSource* sessionWatch = nullptr;
    bool keepReady = false;
    GstRTSPMedia* ready[2] = {nullptr, nullptr};   // held prepared with keepReady
    std::string readyUri[2];
    bool stopping = false;
    std::thread thread;
    std::atomic<int> port{0};
    std::atomic<int> clients{0};   // outlives the server: closing clients count down

    // Under `state`.
    std::string title;
    bool showTitle = true;
    bool showClock = true;
    std::vector<GWeakRef*> titleElements;   // live overlays, dropped once their pipeline is gone
    std::vector<GWeakRef*> clockElements;

    ~Impl() {
        std::lock_guard lock(state);
        for (auto* v : {&titleElements, &clockElements})
            for (GWeakRef* ref : *v) {
                g_weak_ref_clear(ref);
                delete ref;
            }
    }

    static void Prune(std::vector<GWeakRef*>& refs) {
        refs.erase(std::remove_if(refs.begin(), refs.end(),
                                  [](GWeakRef* ref) {
                                      GObject* obj = static_cast<GObject*>(g_weak_ref_get(ref));
                                      if (obj) {
                                          g_object_unref(obj);
                                          return false;
                                      }
                                      g_weak_ref_clear(ref);
                                      delete ref;
                                      return true;
                                  }),
                   refs.end());
    }

    // Caller holds `state`.
    void ApplyTitle(GObject* element) const {
        // The overlay parses Pango markup: a name such as "A&B" or "<x>" must
        // show as typed, and bytes that are not UTF-8 must not break it.
        gchar* valid = g_utf8_make_valid(title.c_str(), static_cast<gssize>(title.size()));
        gchar* escaped = g_markup_escape_text(valid, -1);
        g_object_set(element, "text", escaped, "silent", showTitle ? FALSE : TRUE, NULL);
        g_free(escaped);
        g_free(valid);
    }
    void ApplyClock(GObject* element) const { g_object_set(element, "silent", showClock ? FALSE : TRUE, NULL); }

    static void OnMediaConfigure(GstRTSPMediaFactory*, GstRTSPMedia* media, gpointer user) {
        auto* self = static_cast<Impl*>(user);
        GstElement* bin = gst_rtsp_media_get_element(media);
        if (!bin) return;
        GstElement* titleEl = gst_bin_get_by_name(GST_BIN(bin), "title");
        GstElement* clockEl = gst_bin_get_by_name(GST_BIN(bin), "clock");
        {
            std::lock_guard lock(self->state);
            Prune(self->titleElements);
            Prune(self->clockElements);
            if (titleEl) {
                self->ApplyTitle(G_OBJECT(titleEl));
                auto* ref = new GWeakRef;
                g_weak_ref_init(ref, titleEl);
                self->titleElements.push_back(ref);
            }
            if (clockEl) {
                self->ApplyClock(G_OBJECT(clockEl));
                auto* ref = new GWeakRef;
                g_weak_ref_init(ref, clockEl);
                self->clockElements.push_back(ref);
            }
        }
        if (titleEl) gst_object_unref(titleEl);
        if (clockEl) gst_object_unref(clockEl);
        gst_object_unref(bin);
    }

    // Builds and prepares the shared media of mount i as a viewer's request
    // would, and holds one preparation of its own on it, so that it outlives
    // its viewers and the next one finds it ready.
    void PrepareAhead(int i) {
        GstRTSPUrl* url = nullptr;
        if (gst_rtsp_url_parse(readyUri[i].c_str(), &url) != GST_RTSP_OK) return;
        GstRTSPMedia* media = gst_rtsp_media_factory_construct(factories[i], url);
        gst_rtsp_url_free(url);
        if (!media) return;
        GstRTSPThreadPool* threads = gst_rtsp_server_get_thread_pool(server);
        GstRTSPThread* thread = gst_rtsp_thread_pool_get_thread(threads, GST_RTSP_THREAD_TYPE_MEDIA, nullptr);
        g_object_unref(threads);
        // The media takes the thread, also when preparing fails.
        if (!thread || !gst_rtsp_media_prepare(media, thread)) {
            g_object_unref(media);
            return;
        }
        ready[i] = media;
    }

    // user: the Impl. Its client count outlives the server: closing clients
    // count down.
    static void OnClientConnected(GstRTSPServer*, GstRTSPClient* client, gpointer user) {
        static_cast<Impl*>(user)->clients.fetch_add(1);
        g_signal_connect(client, "closed", G_CALLBACK(OnClientClosed), user);
        g_signal_connect(client, "play-request", G_CALLBACK(OnPlayRequest), nullptr);
    }

    static void OnClientClosed(GstRTSPClient*, gpointer user) {
        auto* self = static_cast<Impl*>(user);
        if (self->clients.fetch_sub(1) != 1 || !self->keepReady) return;
        GSource* idle = g_idle_source_new();
        g_source_set_callback(idle, RenewReady, self, nullptr);
        g_source_attach(idle, self->context);
        g_source_unref(idle);
    }

    // Once nobody is connected, the held media, which kept running after its
    // viewers, is let go and a fresh one prepared in its place: preparing
    // encodes the first key picture ahead, so the next viewer has it at once
    // instead of waiting for a frame of a running encoder. Runs on the
    // server thread after the closed client's clean-up.
    static gboolean RenewReady(gpointer user) {
        auto* self = static_cast<Impl*>(user);
        if (self->stopping || self->clients.load() != 0) return G_SOURCE_REMOVE;
        for (int i = 0; i < 2; ++i) {
            if (!self->ready[i]) continue;
            gst_rtsp_media_unprepare(self->ready[i]);
            g_object_unref(self->ready[i]);
            self->ready[i] = nullptr;
            self->PrepareAhead(i);
        }
        return G_SOURCE_REMOVE;
    }

    // Runs on the server thread: drop every client and session so that the
    // pipelines stop here, then leave the loop.
    static gboolean Shutdown(gpointer user) {
        auto* self = static_cast<Impl*>(user);
        self->stopping = true;
        if (self->listenSource) g_source_destroy(self->listenSource);
        if (self->sessionWatch) g_source_destroy(self->sessionWatch);
        GList* kept = gst_rtsp_server_client_filter(self->server, RemoveClient, nullptr);
        g_list_free_full(kept, g_object_unref);
        GstRTSPSessionPool* pool = gst_rtsp_server_get_session_pool(self->server);
        if (pool) {
            GList* left = gst_rtsp_session_pool_filter(pool, RemoveSession, nullptr);
            g_list_free_full(left, g_object_unref);
            g_object_unref(pool);
        }
        for (GstRTSPMedia*& media : self->ready) {
            if (!media) continue;
            gst_rtsp_media_unprepare(media);
            g_object_unref(media);
            media = nullptr;
        }
        g_main_loop_quit(self->loop);
        return G_SOURCE_REMOVE;
    }

    // Frees what Start built; the server thread is not running. Caller holds
    // `lifecycle`.
    void Release() {
        if (context) {
            // Let the destroyed client watches finish their clean-up.
            for (int i = 0; i < 1000 && g_main_context_iteration(context, FALSE); ++i) {}
        }
        if (listenSource) {
            g_source_destroy(listenSource);
            g_source_unref(listenSource);
            listenSource = nullptr;
        }
        if (sessionWatch) {
            g_source_destroy(sessionWatch);
            g_source_unref(sessionWatch);
            sessionWatch = nullptr;
        }
        for (auto*& f : factories) {
            if (!f) continue;
            g_signal_handlers_disconnect_by_data(f, this);
            g_object_unref(f);
            f = nullptr;
        }
        if (server) {
            g_object_unref(server);
            server = nullptr;
        }
        if (loop) {
            g_main_loop_unref(loop);
            loop = nullptr;
        }
        if (context) {
            g_main_context_unref(context);
            context = nullptr;
        }
        port = 0;
    }
};

RtspServer::RtspServer() : d_(std::make_unique<Impl>()) {}

RtspServer::~RtspServer() { Stop(); }

bool RtspServer::Start(const std::string& bindAddr, int port, const RtspStreamConfig& s11, const RtspStreamConfig& s12,
                       const std::string& user, const std::string& password, const std::string& title,
                       std::string* error) {
    std::lock_guard lock(d_->lifecycle);
    if (d_->server) {
        if (error) *error = "RTSP server already running";
        return false;
    }
    if (!InitGStreamer(error)) return false;
    if (!ValidStream(s11, kMounts[0], error) || !ValidStream(s12, kMounts[1], error)) return false;
    if (port < 0 || port > 65535) {
        if (error) *error = "invalid RTSP port " + std::to_string(port);
        return false;
    }
    // A literal address only: a host name would be resolved over the network.
    {
        unsigned char raw[sizeof(in6_addr)];
        if (inet_pton(AF_INET, bindAddr.c_str(), raw) != 1 && inet_pton(AF_INET6, bindAddr.c_str(), raw) != 1) {
            if (error) *error = "invalid RTSP bind address \"" + bindAddr + "\"";
            return false;
        }
    }
    {
        std::lock_guard st(d_->state);
        d_->title = title;
    }

    d_->context = g_main_context_new();
    d_->loop = g_main_loop_new(d_->context, FALSE);
    d_->server = gst_rtsp_server_new();
    gst_rtsp_server_set_address(d_->server, bindAddr.c_str());
    gst_rtsp_server_set_service(d_->server, std::to_string(port).c_str());

    g_signal_connect(d_->server, "client-connected", G_CALLBACK(Impl::OnClientConnected), d_.get());

    // Clients are served on this instance's own loop, not on extra threads.
    GstRTSPThreadPool* threads = gst_rtsp_server_get_thread_pool(d_->server);
    gst_rtsp_thread_pool_set_max_threads(threads, 0);
    g_object_unref(threads);

    // UDP viewers get RTP/RTCP sockets on the listening address too, not on
    // every interface. The range only bounds the search for a free pair.
    GstRTSPAddressPool* udpPool = nullptr;
    if (bindAddr != "0.0.0.0" && bindAddr != "::") {
        udpPool = gst_rtsp_address_pool_new();
        gst_rtsp_address_pool_add_range(udpPool, bindAddr.c_str(), bindAddr.c_str(), 20000, 60999, 0);
    }

    GstRTSPMountPoints* mounts = gst_rtsp_server_get_mount_points(d_->server);
    const RtspStreamConfig* configs[2] = {&s11, &s12};
    for (int i = 0; i < 2; ++i) {
        GstRTSPMediaFactory* f = gst_rtsp_media_factory_new();
        gst_rtsp_media_factory_set_launch(f, LaunchDescription(*configs[i], d_->keepReady).c_str());
        // One encoder per mount for all viewers; each new viewer joins the
        // running stream instead of restarting it for everyone.
        gst_rtsp_media_factory_set_shared(f, TRUE);
        gst_rtsp_media_factory_set_publish_clock_mode(f, GST_RTSP_PUBLISH_CLOCK_MODE_CLOCK_AND_OFFSET);
        gst_rtsp_media_factory_set_protocols(
            f, static_cast<GstRTSPLowerTrans>(GST_RTSP_LOWER_TRANS_TCP | GST_RTSP_LOWER_TRANS_UDP));
        gst_rtsp_media_factory_add_role(f, kRole, GST_RTSP_PERM_MEDIA_FACTORY_ACCESS, G_TYPE_BOOLEAN, TRUE,
                                        GST_RTSP_PERM_MEDIA_FACTORY_CONSTRUCT, G_TYPE_BOOLEAN, TRUE, NULL);
        if (udpPool) gst_rtsp_media_factory_set_address_pool(f, udpPool);
        g_signal_connect(f, "media-configure", G_CALLBACK(Impl::OnMediaConfigure), d_.get());
        gst_rtsp_mount_points_add_factory(mounts, kMounts[i], GST_RTSP_MEDIA_FACTORY(g_object_ref(f)));
        d_->factories[i] = f;
    }
    g_object_unref(mounts);
    if (udpPool) g_object_unref(udpPool);

    if (GstRTSPAuth* auth = MakeAuth(user, password)) {
        gst_rtsp_server_set_auth(d_->server, auth);
        g_object_unref(auth);
    }

    GError* err = nullptr;
    d_->listenSource = gst_rtsp_server_create_source(d_->server, nullptr, &err);
    if (!d_->listenSource) {
        if (error)
            *error = "cannot listen for RTSP on " + bindAddr + ":" + std::to_string(port) + ": " +
                     (err ? err->message : "unknown error");
        g_clear_error(&err);
        d_->Release();
        return false;
    }
    d_->port = gst_rtsp_server_get_bound_port(d_->server);
    g_source_attach(d_->listenSource, d_->context);
    d_->stopping = false;
    if (d_->keepReady) {
        const std::string host = bindAddr.find(':') != std::string::npos ? "[" + bindAddr + "]" : bindAddr;
        for (int i = 0; i < 2; ++i) {
            d_->readyUri[i] = "rtsp://" + host + ":" + std::to_string(d_->port.load()) + kMounts[i];
            d_->PrepareAhead(i);
        }
    }

    GstRTSPSessionPool* pool = gst_rtsp_server_get_session_pool(d_->server);
    d_->sessionWatch = gst_rtsp_session_pool_create_watch(pool);
    g_source_set_callback(d_->sessionWatch, G_SOURCE_FUNC(CleanupSessions), nullptr, nullptr);
    g_source_attach(d_->sessionWatch, d_->context);
    g_object_unref(pool);

    GMainContext* ctx = d_->context;
    GMainLoop* loop = d_->loop;
    d_->thread = std::thread([ctx, loop] {
        g_main_context_push_thread_default(ctx);
        g_main_loop_run(loop);
        g_main_context_pop_thread_default(ctx);
    });
    return true;
}

void RtspServer::Stop() {
    std::lock_guard lock(d_->lifecycle);
    if (!d_->server) return;
    GSource* idle = g_idle_source_new();
    g_source_set_priority(idle, G_PRIORITY_HIGH);
    g_source_set_callback(idle, Impl::Shutdown, d_.get(), nullptr);
    g_source_attach(idle, d_->context);
    g_source_unref(idle);
    if (d_->thread.joinable()) d_->thread.join();
    d_->Release();
}

void RtspServer::KeepMediaReady(bool on) {
    std::lock_guard lock(d_->lifecycle);
    d_->keepReady = on;
}

bool RtspServer::IsRunning() const { return d_->port.load() != 0; }

int RtspServer::Port() const { return d_->port.load(); }

void RtspServer::SetCredentials(const std::string& user, const std::string& password) {
    std::lock_guard lock(d_->lifecycle);
    if (!d_->server) return;
    GstRTSPAuth* auth = MakeAuth(user, password);
    gst_rtsp_server_set_auth(d_->server, auth);
    if (auth) g_object_unref(auth);
}

void RtspServer::SetOverlay(const std::string& title, bool showTitle, bool showClock) {
    std::lock_guard lock(d_->state);
    d_->title = title;
    d_->showTitle = showTitle;
    d_->showClock = showClock;
    Impl::Prune(d_->titleElements);
    Impl::Prune(d_->clockElements);
    for (GWeakRef* ref : d_->titleElements)
        if (GObject* obj = static_cast<GObject*>(g_weak_ref_get(ref))) {
            d_->ApplyTitle(obj);
            g_object_unref(obj);
        }
    for (GWeakRef* ref : d_->clockElements)
        if (GObject* obj = static_cast<GObject*>(g_weak_ref_get(ref))) {
            d_->ApplyClock(obj);
            g_object_unref(obj);
        }
}

int RtspServer::Clients() const { return d_->clients.load(); }

int RtspServer::LivePipelines() const {
    std::lock_guard lock(d_->state);
    Impl::Prune(d_->titleElements);
    return static_cast<int>(d_->titleElements.size());
}

}   // namespace emu
