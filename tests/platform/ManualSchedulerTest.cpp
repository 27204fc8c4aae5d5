// Virtual-time scheduling: what runs when, in which order, and what the clock reads meanwhile.
#include <gtest/gtest.h>

#include <atomic>
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

struct Scheduling : ::testing::Test {
  ManualClock clock;
  ManualScheduler scheduler{clock};
  Log log;

  auto record(std::string name) {
    return [this, name = std::move(name)] { log.emplace_back(name, clock.now()); };
  }
};

// The clock reading at each due time is checked under single long advances further down.
TEST_F(Scheduling, ByDueTimeThenSchedulingOrderAndSmallStepsLandExactlyOnDueTimes) {
  scheduler.after(0.5, record("after 0.5"));
  scheduler.every(0.3, record("every 0.3"));
  scheduler.after(0.3, record("after 0.3"));  // same due time as the repeating one, later made
  scheduler.after(1.0, record("after 1.0"));
  scheduler.after(0.6, record("after 0.6"));  // made after the repeating one, due with its 2nd run
  for (int step = 0; step < 10; ++step) scheduler.advance(0.1);
  EXPECT_EQ(log, (Log{{"every 0.3", 0.3},
                      {"after 0.3", 0.3},
                      {"after 0.5", 0.5},
                      {"every 0.3", 0.6},
                      {"after 0.6", 0.6},
                      {"every 0.3", 0.9},
                      {"after 1.0", 1.0}}));
  EXPECT_EQ(clock.now(), 1.0);
}

TEST_F(Scheduling, EveryKeepsItsCadenceAndRunsOncePerIntervalOverALongAdvance) {
  scheduler.every(1.5, record("refresh"));
  for (int step = 0; step < 3; ++step) scheduler.advance(1.0);  // next after 1.5 is 3.0, not 3.5
  scheduler.after(4.0, record("deadline"));                     // due at 7.0
  scheduler.advance(6.0);
  EXPECT_EQ(log, (Log{{"refresh", 1.5},
                      {"refresh", 3.0},
                      {"refresh", 4.5},
                      {"refresh", 6.0},
                      {"deadline", 7.0},
                      {"refresh", 7.5},
                      {"refresh", 9.0}}));
}

TEST_F(Scheduling, WorkATaskSchedulesRunsInTheSameAdvanceOrRunPendingWhenDue) {
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

  log.clear();  // runPending: posts, what they post and due timers; the clock stays at 1.0
  scheduler.after(0.0, record("due now"));
  scheduler.after(0.1, record("due later"));
  scheduler.post([this] { scheduler.post(record("posted by posted")); });
  scheduler.runPending();
  EXPECT_EQ(log, (Log{{"posted by posted", 1.0}, {"due now", 1.0}}));
}

TEST_F(Scheduling, AdvanceNeverMovesTheSharedClockBackwards) {
  scheduler.after(1.0, record("at 1.0"));
  clock.advance(3.0);  // another part of the test moved the clock on its own
  scheduler.advance(0.5);
  EXPECT_EQ(log, (Log{{"at 1.0", 3.0}}));
  EXPECT_EQ(clock.now(), 3.5);
}

TEST_F(Scheduling, CancelledTimersNeverRunEvenWhenCancelledFromInsideATask) {
  TimerHandle handle = scheduler.after(1.0, record("cancelled"));
  const TimerHandle copy = handle;
  EXPECT_TRUE(copy.active());
  handle.cancel();
  EXPECT_FALSE(copy.active()) << "copies share one timer";
  TimerHandle().cancel();

  TimerHandle sameTime;
  scheduler.after(1.0, [&] { sameTime.cancel(); });
  sameTime = scheduler.after(1.0, record("cancelled by a timer due with it"));
  TimerHandle oneShot;
  bool activeWhileRunning = true;
  oneShot = scheduler.after(1.0, [&] { activeWhileRunning = oneShot.active(); });
  TimerHandle repeating;
  int runs = 0;
  repeating = scheduler.every(1.0, [&] {
    if (++runs == 3) repeating.cancel();
  });
  scheduler.advance(10.0);
  EXPECT_TRUE(log.empty());
  EXPECT_FALSE(activeWhileRunning) << "a one-shot is done once it runs";
  EXPECT_EQ(runs, 3);
  EXPECT_EQ(scheduler.pendingTimers(), 0u);
}

TEST_F(Scheduling, ARepeatingTimerThatThrowsStopsAndSaysSo) {
  TimerHandle handle = scheduler.every(1.0, [] { throw std::runtime_error("refresh failed"); });
  EXPECT_THROW(scheduler.advance(1.0), std::runtime_error);
  EXPECT_FALSE(handle.active());
}

TEST(SchedulerLifetime, HandlesTurnInactiveWhenTheSchedulerGoes) {
  ManualClock clock;
  TimerHandle once, repeating;
  {
    ManualScheduler scheduler(clock);
    once = scheduler.after(1.0, [] {});
    repeating = scheduler.every(1.0, [] {});
  }
  EXPECT_FALSE(once.active() || repeating.active()) << "they will never run";
  once.cancel();
}

TEST_F(Scheduling, PostsFromOtherThreadsRunOnlyOnTheTestThreadInEachPostersOrder) {
  std::vector<int> next(4, 0);  // per poster: the index of the task that must run next
  std::atomic<int> misplaced{0};
  std::vector<std::thread> posters;
  scheduler.after(0.5, [&] {  // started by a timer, so that the posts race the advance under way
    for (int& expected : next) {
      posters.emplace_back([&] {
        for (int i = 0; i < 200; ++i) {
          scheduler.post([&, i] { misplaced += !scheduler.isCurrent() || expected++ != i; });
        }
      });
    }
  });
  scheduler.advance(1.0);
  for (auto& poster : posters) poster.join();
  scheduler.runPending();
  EXPECT_EQ(misplaced.load(), 0);
  EXPECT_EQ(next, std::vector<int>(4, 200));

  std::thread other([&] {
    EXPECT_THROW(scheduler.after(1.0, [] {}), std::logic_error);
    EXPECT_THROW(scheduler.every(1.0, [] {}), std::logic_error);
    EXPECT_THROW(scheduler.advance(1.0), std::logic_error);
  });
  other.join();
}

TEST(ManualClock, ReadsStayMonotonicWhileAnotherThreadAdvances) {
  ManualClock clock(5.0);
  std::thread advancer([&] {
    for (int i = 0; i < 1000; ++i) clock.advance(0.001);
  });
  double previous = 5.0;
  for (int i = 0; i < 1000; ++i) {
    const double now = clock.now();
    ASSERT_GE(now, std::exchange(previous, now));
  }
  advancer.join();
  EXPECT_EQ(clock.now(), 6.0);
  EXPECT_THROW(clock.advance(-1.0), std::invalid_argument);
}

}  // namespace
