// The command-line program's run loop on the real clock: waking, stopping and starvation (what
// every main queue promises is in MainQueueContractTest). Tests wait only through the loop itself,
// on timers of a few milliseconds; a loop that fails to wake hangs and the test run times out.
#include <gtest/gtest.h>

#include <functional>
#include <thread>

#include "platform/dispatch/RunLoop.h"

namespace {

using velmora::platform::RunLoop;

TEST(RunLoop, AnotherThreadWakesTheIdleLoopWithAPostAndEndsItWithStop) {
  RunLoop loop;
  std::thread poster, stopper;
  bool ranOnLoop = false;
  loop.post([&] {
    poster = std::thread([&] {
      loop.post([&] {
        ranOnLoop = loop.isCurrent();
        stopper = std::thread([&] { loop.stop(); });
      });
    });
  });
  loop.run();
  poster.join();
  stopper.join();
  EXPECT_TRUE(ranOnLoop);
}

// The cadence itself is in the contract; here it must hold against a queue that never empties.
TEST(RunLoop, ATaskThatKeepsPostingCannotStarveTimers) {
  RunLoop loop;
  int runs = 0;
  loop.every(0.002, [&] {
    if (++runs == 3) loop.stop();
  });
  std::function<void()> busy = [&] { loop.post(busy); };
  loop.post(busy);
  loop.run();  // a starved timer never stops the loop: the test run times out
  EXPECT_EQ(runs, 3);
}

}  // namespace
