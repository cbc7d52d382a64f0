#pragma once
// SIGINT and SIGTERM as a readable descriptor while an instance lives, so a
// program finishes what it writes (a recording's index, the main window's
// shut-down) instead of dying in the middle. Instances may overlap (one per
// thread of a parallel run): the first installs the handlers, the last puts
// the previous ones back, and every instance sees the signal.
namespace ky {

class StopSignals {
public:
    StopSignals();
    ~StopSignals();
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

    // Readable once a signal arrived (-1 when no pipe could be made).
    int Fd() const;
    // The first signal that arrived, 0 while none.
    int Caught() const;
    // Waits up to timeoutMs for a signal; true when one has arrived.
    bool Wait(int timeoutMs) const;
};

}   // namespace ky
