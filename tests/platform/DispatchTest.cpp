// The dispatch queues. What every main queue promises (MainQueue.h), run against both
// ManualScheduler in virtual time and RunLoop on the real clock with timers of a few milliseconds;
// then virtual time's own promises, and the serial queue, waited on with sync, never with sleeps.
#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/ManualScheduler.h"
#include "platform/dispatch/RunLoop.h"
#include "platform/dispatch/SerialQueue.h"

namespace {

using velmora::platform::MainQueue;
using velmora::platform::ManualClock;
using velmora::platform::ManualScheduler;
using velmora::platform::RunLoop;
using velmora::platform::SerialQueue;
using velmora::platform::TimerHandle;

// Lets `seconds` of the queue's time pass, running what falls due.
struct Manual {
  ManualClock clock;
  ManualScheduler queue{clock};
  void runFor(double seconds) { queue.advance(seconds); }
};

struct Real {
  RunLoop queue;
  void runFor(double seconds) {
    queue.after(seconds, [this] { queue.stop(); });
    queue.run();
  }
};

template <class Driver>
struct MainQueueContract : ::testing::Test {
  Driver driver;
  MainQueue& queue = driver.queue;
  std::vector<std::string> log;

  auto record(std::string name) {
    return [this, name = std::move(name)] { log.push_back(name); };
  }
};

using Drivers = ::testing::Types<Manual, Real>;
TYPED_TEST_SUITE(MainQueueContract, Drivers);

// When a task posted by a task runs against timers already due is each queue's own affair.
TYPED_TEST(MainQueueContract, PostsInOrderAndTimersByDueTime) {
  auto& q = this->queue;
  // Margins of 10 ms, so that a loaded machine cannot reorder the real clock's timers.
  q.after(0.04, this->record("after 40 ms"));
  q.after(0.02, this->record("after 20 ms"));
  q.post([this, &q] {
    this->record("posted")();
    q.post(this->record("posted by posted"));
    q.after(0.01, this->record("made by posted"));
  });
  q.post(this->record("posted second"));
  this->driver.runFor(0.05);
  EXPECT_EQ(this->log, (std::vector<std::string>{"posted", "posted second", "posted by posted",
                                                 "made by posted", "after 20 ms", "after 40 ms"}));
}

TYPED_TEST(MainQueueContract, EveryKeepsItsCadenceAndCancelledTimersNeverRun) {
  auto& q = this->queue;
  const double start = q.clock().now();
  std::vector<double> runs;
  TimerHandle repeating;
  repeating = q.every(0.002, [&] {
    runs.push_back(q.clock().now() - start);
    if (runs.size() == 3) repeating.cancel();  // from inside its own task
  });
  TimerHandle cancelled = q.after(0.001, this->record("cancelled"));
  const TimerHandle copy = cancelled;
  cancelled.cancel();
  EXPECT_FALSE(copy.active()) << "copies share one timer";
  TimerHandle sameTime;
  q.after(0.003, [&] { sameTime.cancel(); });
  sameTime = q.after(0.003, this->record("cancelled by a timer due before it"));
  TimerHandle oneShot;
  bool activeWhileRunning = true;
  oneShot = q.after(0.001, [&] { activeWhileRunning = oneShot.active(); });

  this->driver.runFor(0.1);  // ample: a stalled real clock skips runs rather than bunching them
  EXPECT_TRUE(this->log.empty());
  EXPECT_FALSE(activeWhileRunning) << "a one-shot is done once it runs";
  ASSERT_EQ(runs.size(), 3u);
  for (size_t run = 0; run < runs.size(); ++run) {
    EXPECT_GE(runs[run], 0.002 * double(run + 1) - 1e-9) << "never early, one interval apart";
  }
  EXPECT_FALSE(repeating.active());
  EXPECT_THROW(q.every(0.0, [] {}), std::invalid_argument);
}

TYPED_TEST(MainQueueContract, ARepeatingTimerThatThrowsStopsAndLeavesTheCallThatRanIt) {
  TimerHandle handle = this->queue.every(0.001, [] { throw std::runtime_error("refresh failed"); });
  EXPECT_THROW(this->driver.runFor(0.003), std::runtime_error);
  EXPECT_FALSE(handle.active());
}

TYPED_TEST(MainQueueContract, PostsFromOtherThreadsRunOnTheQueueInEachPostersOrder) {
  auto& q = this->queue;
  std::vector<int> next(4, 0);  // per poster: the index of the task that must run next
  std::atomic<int> misplaced{0};
  std::vector<std::thread> posters;
  q.post([&] {  // started from a task, so that the posts race the queue at work
    posters.reserve(next.size());
    for (int& expected : next) {
      posters.emplace_back([&] {
        for (int i = 0; i < 200; ++i) {
          q.post([&, i] { misplaced += !q.isCurrent() || expected++ != i; });
        }
      });
    }
  });
  this->driver.runFor(0.001);
  for (auto& poster : posters) poster.join();
  this->driver.runFor(0.001);
  EXPECT_EQ(misplaced.load(), 0);
  EXPECT_EQ(next, std::vector<int>(4, 200));

  std::thread other([&] { EXPECT_FALSE(q.isCurrent()); });
  other.join();
}

TYPED_TEST(MainQueueContract, HandlesTurnInactiveWhenTheQueueGoes) {
  TimerHandle once, repeating;
  {
    TypeParam driver;
    once = driver.queue.after(1.0, [] {});
    repeating = driver.queue.every(1.0, [] {});
  }
  EXPECT_FALSE(once.active() || repeating.active()) << "they will never run";
  once.cancel();
}

// Virtual time: each run as (name, clock reading while it ran).
TEST(ManualScheduler, RunsTimersAtTheirDueTimesOnTheirCadenceAndRunPendingLeavesTheClock) {
  using Log = std::vector<std::pair<std::string, double>>;
  ManualClock clock;
  ManualScheduler scheduler{clock};
  Log log;
  const auto record = [&](const std::string& name) {
    return [&, name] { log.emplace_back(name, clock.now()); };
  };
  TimerHandle repeating = scheduler.every(1.5, record("every 1.5"));
  scheduler.after(1.0, record("after 1.0"));
  for (int step = 0; step < 10; ++step) scheduler.advance(0.1);
  EXPECT_EQ(log.size(), 1u) << "ten steps land on 1.0 exactly";
  scheduler.advance(1.0);
  scheduler.advance(1.0);  // the next run after 1.5 is at 3.0, not 3.5
  scheduler.advance(3.5);  // a long advance runs it once per interval
  EXPECT_EQ(log, (Log{{"after 1.0", 1.0},
                      {"every 1.5", 1.5},
                      {"every 1.5", 3.0},
                      {"every 1.5", 4.5},
                      {"every 1.5", 6.0}}));
  repeating.cancel();

  SCOPED_TRACE("runPending runs posts, what they post and due timers, and leaves the clock");
  log.clear();
  scheduler.after(0.0, record("due now"));
  scheduler.after(0.1, record("due later"));
  scheduler.post([&] { scheduler.post(record("posted by posted")); });
  scheduler.runPending();
  EXPECT_EQ(log, (Log{{"posted by posted", 6.5}, {"due now", 6.5}}));
}

TEST(SerialQueue, RunsTasksOneAtATimeInEachSubmittersOrderAndRefusesSyncFromItself) {
  SerialQueue queue("test.serial.order");
  std::vector<int> next(4, 0);  // per submitter: the index of the task that must run next
  bool running = false;         // these are touched on the worker only
  int misplaced = 0;            // out of order, overlapping another task, or off the worker
  std::vector<std::thread> submitters;
  submitters.reserve(next.size());
  for (int& expected : next) {
    submitters.emplace_back([&] {
      for (int i = 0; i < 500; ++i) {
        queue.async([&, i] {
          misplaced += std::exchange(running, true) || !queue.isCurrent() || expected++ != i;
          running = false;
        });
      }
    });
  }
  for (auto& submitter : submitters) submitter.join();
  queue.sync([] {});  // the plain variables are safe to read now: the sanitizer checks it
  EXPECT_EQ(misplaced, 0);
  EXPECT_EQ(next, std::vector<int>(4, 500)) << "sync returned before earlier tasks ran";

  bool innerRan = false;  // the inner sync's refusal is rethrown by the outer one
  EXPECT_THROW(queue.sync([&] { queue.sync([&] { innerRan = true; }); }), std::logic_error);
  EXPECT_FALSE(innerRan);
}

TEST(SerialQueue, TheDestructorRunsEverythingQueuedIncludingWhatTasksQueue) {
  std::atomic<bool> release{false};
  int ran = 0;
  {
    SerialQueue queue("test.drain");
    // Holds the worker, so that the tasks behind it are still queued when destruction begins.
    queue.async([&] {
      while (!release.load()) {
      }
    });
    for (int i = 0; i < 100; ++i) queue.async([&] { ++ran; });
    queue.async([&] { queue.async([&] { ++ran; }); });
    release.store(true);
  }
  EXPECT_EQ(ran, 101);
}

}  // namespace
