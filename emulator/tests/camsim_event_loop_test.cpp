// The event loop's timers, which hold back the answers of slow cameras.

#include "event_loop.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace camsim {
namespace {

using namespace std::chrono_literals;
using Clock = EventLoop::Clock;

TEST(EventLoop, TimersRunInTimeOrderNotBeforeTheirTime) {
    EventLoop loop;
    const auto start = Clock::now();
    std::string order;
    Clock::time_point ranB{};
    loop.at(start + 40ms, [&] {
        order += "b";
        ranB = Clock::now();
    });
    loop.at(start + 10ms, [&] {
        order += "a";
        // A timer set from a handler, due at once, still runs.
        loop.at(Clock::now(), [&] { order += "n"; });
    });
    loop.at(start + 40ms, [&] { order += "c"; });  // same time: in the order set
    loop.at(start + 60ms, [&] {
        order += "s";
        loop.stop();
    });
    loop.at(start + 10s, [&] { order += "late"; });

    EXPECT_EQ(loop.run(start + 5s), EventLoop::End::Stopped);
    EXPECT_EQ(order, "anbcs");
    EXPECT_GE(ranB - start, 40ms);
    EXPECT_LT(Clock::now() - start, 2s);  // woken by the timers, not by the deadline
}

TEST(EventLoop, DeadlineEndsTheLoopWithTimersStillPending) {
    EventLoop loop;
    bool ran = false;
    const auto start = Clock::now();
    loop.at(start + 10s, [&] { ran = true; });
    EXPECT_EQ(loop.run(start + 30ms), EventLoop::End::DeadlineReached);
    EXPECT_FALSE(ran);
    EXPECT_GE(Clock::now() - start, 30ms);
}

}  // namespace
}  // namespace camsim
