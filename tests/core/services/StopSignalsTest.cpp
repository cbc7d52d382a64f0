#include "core/services/StopSignals.h"

#include <gtest/gtest.h>

#include <atomic>
#include <csignal>

// Overlapping instances (threads of a parallel run) all see a stop signal;
// the handler that was there before comes back only with the last one.
TEST(StopSignals, OverlappingInstancesShareTheSignalAndRestoreTheHandler) {
    static std::atomic<int> before{0};
    struct sigaction old = {};
    struct sigaction mine = {};
    mine.sa_handler = [](int) { ++before; };
    ASSERT_EQ(::sigaction(SIGTERM, &mine, &old), 0);
    {
        const ky::StopSignals outer;
        {
            const ky::StopSignals inner;
            EXPECT_FALSE(inner.Wait(0));
            ::raise(SIGTERM);
            EXPECT_TRUE(inner.Wait(1000) && outer.Wait(0));
        }
        EXPECT_EQ(outer.Caught(), SIGTERM);
        EXPECT_GE(outer.Fd(), 0);
    }
    ::raise(SIGTERM);
    EXPECT_EQ(before, 1);
    ::sigaction(SIGTERM, &old, nullptr);
}
