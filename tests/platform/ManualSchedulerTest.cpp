// Virtual-time scheduling: what runs when, in which order, and what the clock reads meanwhile.
#include <gtest/gtest.h>

#include <atomic>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "platform/dispatch/ManualScheduler.h"

namespace {

using velmora::platform::ManualClock;
using velmora::platform::ManualScheduler;
using velmora::platform::TimerHandle;

// Each run as (name, clock reading while it ran).
using Log = std::vector<std::pair<std::string, double>>;

struct Fixture : ::testing::Test {
  ManualClock clock;
  ManualScheduler scheduler{clock};
  Log log;

  auto record(std::string name) {
    return [this, name = std::move(name)] { log.emplace_back(name, clock.now()); };
  }
};

using Ordering = Fixture;

TEST_F(Ordering, TimersRunByDueTimeThenSchedulingOrderWithTheClockAtTheirDueTime) {
  scheduler.after(0.5, record("after 0.5"));
  scheduler.every(0.3, record("every 0.3"));
  scheduler.after(0.3, record("after 0.3"));  // same due time as the repeating one, later made
  scheduler.after(1.0, record("after 1.0"));
  scheduler.after(0.6, record("after 0.6"));  // made after the repeating one, due with its 2nd run
  scheduler.advance(1.0);
  const Log expected = {{"every 0.3", 0.3}, {"after 0.3", 0.3}, {"after 0.5", 0.5},
                        {"every 0.3", 0.6}, {"after 0.6", 0.6}, {"every 0.3", 0.9},
                        {"after 1.0", 1.0}};
  EXPECT_EQ(log, expected);
  EXPECT_EQ(clock.now(), 1.0);
  EXPECT_EQ(scheduler.pendingTimers(), 1u) << "only the repeating timer is left";
}

TEST_F(Ordering, ManySmallStepsLandExactlyOnADueTime) {
  scheduler.after(1.0, record("after 1.0"));
  for (int step = 0; step < 10; ++step) scheduler.advance(0.1);
  EXPECT_EQ(log, (Log{{"after 1.0", 1.0}}));
}

TEST_F(Ordering, EveryKeepsItsCadenceAndRunsOncePerIntervalOverALongAdvance) {
  scheduler.every(1.5, record("refresh"));
  scheduler.advance(1.0);
  scheduler.advance(1.0);  // due at 1.5, runs there, next at 3.0 (not at 2.0 + 1.5)
  scheduler.advance(1.0);
  EXPECT_EQ(log, (Log{{"refresh", 1.5}, {"refresh", 3.0}}));

  log.clear();
  scheduler.after(4.0, record("deadline"));  // due at 7.0, between the 6.0 and 7.5 runs
  scheduler.advance(6.0);                    // to 9.0
  EXPECT_EQ(log, (Log{{"refresh", 4.5},
                      {"refresh", 6.0},
                      {"deadline", 7.0},
                      {"refresh", 7.5},
                      {"refresh", 9.0}}));
}

TEST_F(Ordering, WorkScheduledByATimerRunsInTheSameAdvanceWhenItFallsDue) {
  scheduler.after(0.5, [this] {
    record("first")();
    scheduler.post(record("posted by first"));
    scheduler.after(0.2, record("made by first"));
  });
  scheduler.after(0.6, record("second"));
  scheduler.advance(1.0);
  EXPECT_EQ(
      log,
      (Log{{"first", 0.5}, {"posted by first", 0.5}, {"second", 0.6}, {"made by first", 0.7}}));
}

TEST_F(Ordering, RunPendingRunsPostsAndDueTimersWithoutMovingTheClock) {
  clock.set(2.0);
  scheduler.after(0.0, record("due now"));
  scheduler.after(0.1, record("due later"));
  scheduler.post([this] {
    record("posted")();
    scheduler.post(record("posted by posted"));
  });
  EXPECT_TRUE(log.empty()) << "nothing runs before the test asks";
  scheduler.runPending();
  EXPECT_EQ(log, (Log{{"posted", 2.0}, {"posted by posted", 2.0}, {"due now", 2.0}}));
  EXPECT_EQ(clock.now(), 2.0);
  EXPECT_EQ(scheduler.pendingTimers(), 1u);
}

TEST_F(Ordering, AdvanceNeverMovesTheSharedClockBackwards) {
  scheduler.after(1.0, record("at 1.0"));
  clock.advance(3.0);  // another part of the test moved the clock on its own
  scheduler.advance(0.5);
  EXPECT_EQ(log, (Log{{"at 1.0", 3.0}}));
  EXPECT_EQ(clock.now(), 3.5);
}

using Cancelling = Fixture;

TEST_F(Cancelling, ACancelledTimerNeverRuns) {
  TimerHandle handle = scheduler.after(1.0, record("cancelled"));
  TimerHandle copy = handle;
  EXPECT_TRUE(copy.active());
  handle.cancel();
  handle.cancel();
  EXPECT_FALSE(copy.active()) << "copies share one timer";
  EXPECT_EQ(scheduler.pendingTimers(), 0u);
  scheduler.advance(2.0);
  EXPECT_TRUE(log.empty());
  EXPECT_FALSE(TimerHandle().active());
  TimerHandle().cancel();
}

TEST_F(Cancelling, ATimerCancelsAnotherDueAtTheSameTime) {
  TimerHandle second;
  scheduler.after(1.0, [&] { second.cancel(); });
  second = scheduler.after(1.0, record("second"));
  scheduler.advance(1.0);
  EXPECT_TRUE(log.empty());
}

TEST_F(Cancelling, ARepeatingTimerCancelsItselfFromInside) {
  TimerHandle handle;
  int runs = 0;
  handle = scheduler.every(1.0, [&] {
    if (++runs == 3) handle.cancel();
  });
  scheduler.advance(10.0);
  EXPECT_EQ(runs, 3);
  EXPECT_FALSE(handle.active());
  EXPECT_EQ(scheduler.pendingTimers(), 0u);
}

TEST_F(Cancelling, AOneShotIsInactiveOnceItRunsAndCancellingThenIsHarmless) {
  TimerHandle handle;
  std::optional<bool> activeWhileRunning;
  handle = scheduler.after(1.0, [&] {
    activeWhileRunning = handle.active();
    handle.cancel();
  });
  scheduler.advance(1.0);
  EXPECT_EQ(activeWhileRunning, false);
  handle.cancel();
  EXPECT_FALSE(handle.active());
}

TEST_F(Cancelling, AThrowingRepeatingTimerStopsAndSaysSo) {
  TimerHandle handle = scheduler.every(1.0, [] { throw std::runtime_error("refresh failed"); });
  EXPECT_THROW(scheduler.advance(1.0), std::runtime_error);
  EXPECT_FALSE(handle.active());
  EXPECT_EQ(scheduler.pendingTimers(), 0u);
}

TEST(CancellingAfterTheScheduler, AHandleOutlivesItsScheduler) {
  ManualClock clock;
  TimerHandle once;
  TimerHandle repeating;
  {
    ManualScheduler scheduler(clock);
    once = scheduler.after(1.0, [] {});
    repeating = scheduler.every(1.0, [] {});
  }
  EXPECT_FALSE(once.active()) << "it will never run";
  EXPECT_FALSE(repeating.active());
  once.cancel();
  repeating.cancel();
}

using Threads = Fixture;

TEST_F(Threads, TasksPostedFromOtherThreadsRunOnlyOnTheTestThreadInEachPostersOrder) {
  constexpr int kPosters = 4;
  constexpr int kTasksEach = 200;
  std::vector<std::vector<int>> seen(kPosters);
  std::atomic<int> ranOffTheTestThread{0};
  const auto testThread = std::this_thread::get_id();
  std::vector<std::thread> posters;
  for (int poster = 0; poster < kPosters; ++poster) {
    posters.emplace_back([&, poster] {
      for (int i = 0; i < kTasksEach; ++i) {
        scheduler.post([&, poster, i] {
          if (std::this_thread::get_id() != testThread || !scheduler.isCurrent()) {
            ++ranOffTheTestThread;
          }
          seen[poster].push_back(i);
        });
      }
    });
  }
  for (auto& poster : posters) poster.join();
  EXPECT_EQ(scheduler.pendingTasks(), static_cast<std::size_t>(kPosters * kTasksEach));
  for (const auto& values : seen) EXPECT_TRUE(values.empty()) << "ran before advance";

  scheduler.advance(0.1);
  EXPECT_EQ(ranOffTheTestThread.load(), 0);
  for (const auto& values : seen) {
    ASSERT_EQ(values.size(), static_cast<std::size_t>(kTasksEach));
    for (int i = 0; i < kTasksEach; ++i) EXPECT_EQ(values[i], i);
  }
}

TEST_F(Threads, PostsRacingAnAdvanceRunOnlyOnTheTestThread) {
  std::atomic<bool> go{false};
  std::atomic<int> ran{0};
  std::atomic<int> ranElsewhere{0};
  std::thread poster([&] {
    while (!go.load()) {
    }
    for (int i = 0; i < 500; ++i) {
      scheduler.post([&] {
        if (!scheduler.isCurrent()) ++ranElsewhere;
        ++ran;
      });
    }
  });
  // A timer lets the poster start while the advance is under way.
  scheduler.after(0.5, [&] { go.store(true); });
  scheduler.advance(1.0);
  poster.join();
  scheduler.runPending();
  EXPECT_EQ(ran.load(), 500);
  EXPECT_EQ(ranElsewhere.load(), 0);
}

TEST_F(Threads, SchedulingTimersOffTheOwnThreadIsRefused) {
  std::thread other([&] {
    EXPECT_FALSE(scheduler.isCurrent());
    EXPECT_THROW(scheduler.after(1.0, [] {}), std::logic_error);
    EXPECT_THROW(scheduler.every(1.0, [] {}), std::logic_error);
    EXPECT_THROW(scheduler.advance(1.0), std::logic_error);
  });
  other.join();
  EXPECT_TRUE(scheduler.isCurrent());
  EXPECT_EQ(scheduler.pendingTimers(), 0u);
}

TEST(ManualClock, ReadsStayMonotonicWhileAnotherThreadAdvances) {
  ManualClock clock(5.0);
  std::thread advancer([&] {
    for (int i = 0; i < 1000; ++i) clock.advance(0.001);
  });
  double previous = clock.now();
  for (int i = 0; i < 1000; ++i) {
    const double now = clock.now();
    EXPECT_GE(now, previous);
    previous = now;
  }
  advancer.join();
  EXPECT_EQ(clock.now(), 6.0);
  EXPECT_THROW(clock.advance(-1.0), std::invalid_argument);
}

}  // namespace
