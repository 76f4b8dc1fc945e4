// Programs on one PC take turns on the cameras' reply port.
#include "camera_port_turn.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <thread>

namespace {

using namespace std::chrono_literals;
using platform::CameraPortTurn;

TEST(CameraPortTurn, AWaiterGetsTheTurnWhenItsHolderEndsAndNotBefore) {
    int ready[2];
    ASSERT_EQ(pipe(ready), 0);
    const pid_t holder = fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        CameraPortTurn turn(1s, {});
        const char held = turn.Held() ? 'y' : 'n';
        if (write(ready[1], &held, 1) != 1) _exit(1);
        pause();  // holds the turn until killed
        _exit(0);
    }
    close(ready[1]);
    char held = 0;
    ASSERT_EQ(read(ready[0], &held, 1), 1);
    close(ready[0]);
    ASSERT_EQ(held, 'y');

    // A holder that never lets go: the wait ends at its bound, without the turn.
    pid_t told = -1;
    {
        CameraPortTurn late(200ms, [&](pid_t pid) { told = pid; });
        EXPECT_FALSE(late.Held());
        EXPECT_EQ(late.Error(), ETIMEDOUT);
        EXPECT_GE(late.Waited(), 200ms);
    }
    EXPECT_EQ(told, holder);  // the waiter can say whom it waits for

    // The holder ends (here killed, so no clean-up of its own runs): the waiter goes on.
    std::atomic<bool> done{false};
    bool gotIt = false;
    std::thread waiter([&] {
        CameraPortTurn turn(60s, {});
        gotIt = turn.Held();
        done = true;
    });
    std::this_thread::sleep_for(300ms);
    EXPECT_FALSE(done);
    kill(holder, SIGKILL);
    waitpid(holder, nullptr, 0);
    waiter.join();
    EXPECT_TRUE(gotIt);

    // Once ended, the turn is free at once, without a wait.
    bool waited = false;
    CameraPortTurn next(1s, [&](pid_t) { waited = true; });
    EXPECT_TRUE(next.Held());
    EXPECT_FALSE(waited);
    // Within one program the turn is not shared either.
    CameraPortTurn second(100ms, {});
    EXPECT_FALSE(second.Held());
}

}  // namespace
