#pragma once
// Recordings on the emulated SD card: short MP4 clips made once with
// GStreamer (test picture, H.264, moov first so a player can start at once)
// and kept in a cache folder, shared by every camera of the process.
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace emu {

struct SdFile {
    std::string path;   // below /sd/: "20240115/P20240115_080000_080002.mp4"
    std::shared_ptr<const std::string> data;
    std::string mime;   // "video/mp4"
};

class SdMedia {
public:
    SdMedia() = default;
    ~SdMedia();
    SdMedia(const SdMedia&) = delete;
    SdMedia& operator=(const SdMedia&) = delete;

    // Starts making (or loading from `cacheDir`) the clips in the background.
    // `dateFolder` is the folder name of the day ("YYYYMMDD").
    void Start(const std::string& cacheDir, const std::string& dateFolder);

    // The files, waiting at most waitMs for the clips to be ready. Empty when
    // they could not be made (missing GStreamer plug-ins; see Error()).
    std::vector<SdFile> Files(int waitMs);
    std::string Error() const;
    std::string DateFolder() const { return date_; }

    // Default cache folder: $XDG_CACHE_HOME/kycam-emulator, ~/.cache/...,
    // or /tmp/kycam-emulator-<uid>.
    static std::string DefaultCacheDir();

private:
    void Generate();

    std::string cacheDir_;
    std::string date_;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::condition_variable cv_;
    bool ready_ = false;
    std::vector<SdFile> files_;
    std::string error_;
};

// Makes one clip file with GStreamer: `seconds` of the videotestsrc
// `pattern` at 320x240, 25 fps, H.264 in MP4. Writes a temporary file and
// renames it, so a reader never sees half a clip.
bool MakeTestClip(const std::string& path, const std::string& pattern, int seconds, std::string* error);

}   // namespace emu
