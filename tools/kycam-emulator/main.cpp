// kycam-emulator: one or many emulated cameras on loopback for tests,
// benchmarks and demos. See docs/emulator.md.
#include <gst/gst.h>
#include <pthread.h>
#include <signal.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "core/services/Version.h"
#include "tools/kycam-emulator/Emulator.h"

// Leak checking in sanitizer builds: GLib and GStreamer keep process-wide
// allocations (library constructors, plug-in registry) that are never freed.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libglib-2.0.so\nleak:libgobject-2.0.so\nleak:libgstreamer-1.0.so\nleak:libfontconfig.so\n";
}

int main(int argc, char** argv) {
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("kycam-emulator %s\n", KyVersion());
        return 0;
    }
    emu::Options options;
    std::string error;
    bool help = false;
    if (!emu::ParseOptions(argc, argv, &options, &error, &help)) {
        std::fprintf(stderr, "kycam-emulator: %s\n%s", error.c_str(), emu::UsageText().c_str());
        return 2;
    }
    if (help) {
        std::fputs(emu::UsageText().c_str(), stdout);
        return 0;
    }

    // Block the stop signals in every thread (threads inherit the mask) and
    // take them synchronously here, so shutdown runs in one known place.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    {
        emu::Emulator emulator(options);
        if (!emulator.Start(&error)) {
            std::fprintf(stderr, "kycam-emulator: %s\n", error.c_str());
            return 1;
        }
        std::printf("%s\n", emulator.ReadyLine().c_str());
        std::fflush(stdout);

        int sig = 0;
        sigwait(&stopSignals, &sig);
        if (!options.quiet) std::fprintf(stderr, "kycam-emulator: signal %d, stopping\n", sig);
        emulator.Stop();
    }
    // Every GStreamer user is gone; release its global state so leak checkers
    // see only our own allocations.
    if (gst_is_initialized()) gst_deinit();
    return 0;
}
