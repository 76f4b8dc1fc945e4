// Bounded waits: never shorter than asked, not cut short by a signal.
#include "deadline_wait.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/time.h>
#include <unistd.h>

#include <chrono>
#include <climits>

namespace {

using namespace std::chrono_literals;
using platform::WaitClock;
using platform::Waited;

void Ignore(int) {}

TEST(DeadlineWait, RoundsUpEndsAtTheDeadlineAndOutlastsASignal) {
    EXPECT_EQ(platform::MsLeft(WaitClock::now() + 10'500us), 11);  // 10 would end half a millisecond early
    EXPECT_EQ(platform::MsLeft(WaitClock::now() - 1ms), 0);
    EXPECT_EQ(platform::MsLeft(WaitClock::time_point::max()), INT_MAX);

    int channel[2];
    ASSERT_EQ(pipe(channel), 0);
    // Passed already: one look, without blocking.
    EXPECT_EQ(platform::WaitReadable(channel[0], WaitClock::now() - 1s), Waited::TimedOut);
    ASSERT_EQ(write(channel[1], "x", 1), 1);
    EXPECT_EQ(platform::WaitReadable(channel[0], WaitClock::now() - 1s), Waited::Ready);
    char byte;
    ASSERT_EQ(read(channel[0], &byte, 1), 1);

    // A signal 20 ms into a 150 ms wait: the wait goes on to its deadline.
    struct sigaction handler {
    }, previous{};
    handler.sa_handler = Ignore;
    ASSERT_EQ(sigaction(SIGALRM, &handler, &previous), 0);
    itimerval timer{};
    timer.it_value.tv_usec = 20000;
    ASSERT_EQ(setitimer(ITIMER_REAL, &timer, nullptr), 0);
    const auto deadline = WaitClock::now() + 150ms;
    EXPECT_EQ(platform::WaitReadable(channel[0], deadline), Waited::TimedOut);
    EXPECT_GE(WaitClock::now(), deadline);
    sigaction(SIGALRM, &previous, nullptr);
    close(channel[0]);
    close(channel[1]);
}

}  // namespace
