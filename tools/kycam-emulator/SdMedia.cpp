#include "tools/kycam-emulator/SdMedia.h"

#include <gst/gst.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace emu {

namespace {

bool MakeDirs(const std::string& dir) {
    std::string cur;
    std::stringstream ss(dir);
    std::string part;
    if (!dir.empty() && dir[0] == '/') cur = "/";
    while (std::getline(ss, part, '/')) {
        if (part.empty()) continue;
        cur += part + "/";
        if (::mkdir(cur.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
    return true;
}

std::shared_ptr<const std::string> ReadWhole(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return nullptr;
    std::ostringstream ss;
    ss << in.rdbuf();
    auto data = std::make_shared<std::string>(ss.str());
    if (data->empty()) return nullptr;
    return data;
}

}   // namespace

bool MakeTestClip(const std::string& path, const std::string& pattern, int seconds, std::string* error) {
    if (!gst_is_initialized()) gst_init(nullptr, nullptr);
    std::string tmp = path + ".part" + std::to_string(::getpid());
    std::string desc = "videotestsrc num-buffers=" + std::to_string(seconds * 25) + " pattern=" + pattern +
                       " ! video/x-raw,width=320,height=240,framerate=25/1"
                       " ! x264enc speed-preset=ultrafast key-int-max=25 bitrate=300"
                       " ! video/x-h264,profile=constrained-baseline"
                       " ! mp4mux faststart=true ! filesink location=\"" +
                       tmp + "\"";
    GError* gerr = nullptr;
    GstElement* pipeline = gst_parse_launch(desc.c_str(), &gerr);
    if (!pipeline || gerr) {
        if (error) *error = std::string("pipeline: ") + (gerr ? gerr->message : "?");
        if (gerr) g_error_free(gerr);
        if (pipeline) gst_object_unref(pipeline);
        return false;
    }
    bool ok = false;
    if (gst_element_set_state(pipeline, GST_STATE_PLAYING) != GST_STATE_CHANGE_FAILURE) {
        GstBus* bus = gst_element_get_bus(pipeline);
        GstMessage* msg =
            gst_bus_timed_pop_filtered(bus, 60 * GST_SECOND, GstMessageType(GST_MESSAGE_EOS | GST_MESSAGE_ERROR));
        if (msg && GST_MESSAGE_TYPE(msg) == GST_MESSAGE_EOS) {
            ok = true;
        } else if (error) {
            *error = "clip generation failed";
            if (msg) {
                GError* e = nullptr;
                gst_message_parse_error(msg, &e, nullptr);
                if (e) {
                    *error += std::string(": ") + e->message;
                    g_error_free(e);
                }
            }
        }
        if (msg) gst_message_unref(msg);
        gst_object_unref(bus);
    } else if (error) {
        *error = "cannot start the clip pipeline";
    }
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
    if (ok && std::rename(tmp.c_str(), path.c_str()) != 0) {
        if (error) *error = "cannot rename " + tmp;
        ok = false;
    }
    if (!ok) std::remove(tmp.c_str());
    return ok;
}

std::string SdMedia::DefaultCacheDir() {
    if (const char* x = std::getenv("XDG_CACHE_HOME"); x && *x) return std::string(x) + "/kycam-emulator";
    if (const char* h = std::getenv("HOME"); h && *h) return std::string(h) + "/.cache/kycam-emulator";
    return "/tmp/kycam-emulator-" + std::to_string(::getuid());
}

SdMedia::~SdMedia() {
    if (thread_.joinable()) thread_.join();
}

void SdMedia::Start(const std::string& cacheDir, const std::string& dateFolder) {
    if (thread_.joinable()) return;
    cacheDir_ = cacheDir;
    date_ = dateFolder;
    thread_ = std::thread([this] { Generate(); });
}

void SdMedia::Generate() {
    struct Clip {
        const char* pattern;
        const char* start;
        const char* end;
    };
    static const Clip kClips[] = {{"smpte", "080000", "080002"}, {"ball", "120000", "120002"}};
    std::vector<SdFile> files;
    std::string err;
    if (!MakeDirs(cacheDir_)) {
        err = "cannot create " + cacheDir_;
    } else {
        for (const Clip& c : kClips) {
            std::string cached = cacheDir_ + "/clip-" + c.pattern + "-320x240-2s-v1.mp4";
            auto data = ReadWhole(cached);
            if (!data) {
                if (!MakeTestClip(cached, c.pattern, 2, &err)) break;
                data = ReadWhole(cached);
            }
            if (!data) {
                err = "cannot read " + cached;
                break;
            }
            files.push_back(
                SdFile{date_ + "/P" + date_ + "_" + c.start + "_" + c.end + ".mp4", std::move(data), "video/mp4"});
        }
    }
    std::lock_guard<std::mutex> lock(mutex_);
    if (!err.empty()) {
        error_ = err;
        files.clear();
    }
    files_ = std::move(files);
    ready_ = true;
    cv_.notify_all();
}

std::vector<SdFile> SdMedia::Files(int waitMs) {
    std::unique_lock<std::mutex> lock(mutex_);
    cv_.wait_for(lock, std::chrono::milliseconds(waitMs), [this] { return ready_; });
    return files_;
}

std::string SdMedia::Error() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return error_;
}

}   // namespace emu
