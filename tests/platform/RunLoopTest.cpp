// The command-line program's run loop on the real clock: waking, stopping and starvation (what
// every main queue promises is in MainQueueContractTest). Tests wait only through the loop itself,
// on timers of a few milliseconds; a loop that fails to wake hangs and the test run times out.
#include <gtest/gtest.h>

#include <functional>
#include <thread>
#include <vector>

#include "platform/dispatch/Clock.h"
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

TEST(RunLoop, EveryKeepsItsCadenceAndATaskThatKeepsPostingCannotStarveIt) {
  RunLoop loop;
  constexpr double kInterval = 0.002;
  const double start = loop.clock().now();
  std::vector<double> runTimes;
  loop.every(kInterval, [&] {
    runTimes.push_back(loop.clock().now());
    if (runTimes.size() == 3) loop.stop();
  });
  std::function<void()> busy = [&] { loop.post(busy); };
  loop.post(busy);
  loop.run();
  ASSERT_EQ(runTimes.size(), 3u);
  for (std::size_t run = 0; run < runTimes.size(); ++run) {
    EXPECT_GE(runTimes[run] - start, kInterval * static_cast<double>(run + 1) - 1e-9);
  }
}

}  // namespace
