#pragma once
// What a search channel's callback reported, for the discovery tests.
#include <chrono>
#include <condition_variable>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "core/discovery/SearchLib.h"

struct Collector {
    struct Seen {
        int handle;
        int localIndex;
        DeviceInfo info;
    };
    std::mutex mutex;
    std::condition_variable cv;
    std::vector<Seen> seen;
    std::function<void(int handle)> onReply;   // optional, runs on the library's thread

    static int Callback(int handle, int localIndex, const DeviceInfo* info, void* user) {
        auto* self = static_cast<Collector*>(user);
        if (self->onReply) self->onReply(handle);
        {
            std::lock_guard lock(self->mutex);
            self->seen.push_back({handle, localIndex, *info});
        }
        self->cv.notify_all();
        return 0;
    }
    // Waits until done(seen) holds; the time limit only bounds a hung test.
    bool WaitUntil(const std::function<bool(const std::vector<Seen>&)>& done) {
        std::unique_lock lock(mutex);
        return cv.wait_for(lock, std::chrono::seconds(5), [&] { return done(seen); });
    }
    bool WaitFor(size_t count) {
        return WaitUntil([count](const std::vector<Seen>& s) { return s.size() >= count; });
    }
    std::vector<Seen> Snapshot() {
        std::lock_guard lock(mutex);
        return seen;
    }
    // Replies per device identifier on one channel.
    static std::map<std::string, int> CountFor(const std::vector<Seen>& seen, int handle) {
        std::map<std::string, int> count;
        for (const Seen& s : seen)
            if (s.handle == handle) ++count[s.info.deviceId];
        return count;
    }
};
