// Virtual-time scheduling: what runs when and what the clock reads meanwhile. What every main queue
// promises is checked in MainQueueContractTest.
#include <gtest/gtest.h>

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

// A timer made by a task counts from the clock as the task saw it (the order of such work is in
// the contract); runPending runs posts, what they post and due timers, and leaves the clock.
TEST_F(Scheduling, WorkATaskSchedulesRunsInTheSameAdvanceOrRunPendingWhenDue) {
  scheduler.after(0.5, [this] { scheduler.after(0.2, record("made at 0.5")); });
  scheduler.after(0.6, record("second"));
  scheduler.advance(1.0);
  EXPECT_EQ(log, (Log{{"second", 0.6}, {"made at 0.5", 0.7}}));

  log.clear();
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

TEST_F(Scheduling, OnlyItsOwnThreadAdvancesItAndNothingIsLeftPendingAfterCancels) {
  TimerHandle handle = scheduler.after(1.0, record("cancelled"));
  handle.cancel();
  TimerHandle().cancel();  // a handle without a timer
  EXPECT_EQ(scheduler.pendingTimers(), 0u);
  std::thread other([&] { EXPECT_THROW(scheduler.advance(1.0), std::logic_error); });
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
