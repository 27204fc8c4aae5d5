#include "platform/dispatch/ManualScheduler.h"

#include <algorithm>
#include <stdexcept>
#include <string>

#include "platform/dispatch/TimerQueue.h"

namespace velmora::platform {

ManualScheduler::ManualScheduler(ManualClock& clock)
    : clock_(clock), owner_(std::this_thread::get_id()), timers_(std::make_unique<TimerQueue>()) {}

ManualScheduler::~ManualScheduler() = default;

void ManualScheduler::post(Task task) {
  std::lock_guard lock(postedMutex_);
  posted_.push_back(std::move(task));
}

TimerHandle ManualScheduler::after(double seconds, Task task) {
  requireOwnThread("after");
  const std::int64_t delay = std::max<std::int64_t>(0, secondsToNanoseconds(seconds));
  return timers_->add(clock_.nanoseconds() + delay, 0, std::move(task));
}

TimerHandle ManualScheduler::every(double seconds, Task task) {
  requireOwnThread("every");
  const std::int64_t interval = secondsToNanoseconds(seconds);
  if (interval <= 0) throw std::invalid_argument("every() needs a positive interval");
  return timers_->add(clock_.nanoseconds() + interval, interval, std::move(task));
}

const Clock& ManualScheduler::clock() const { return clock_; }

bool ManualScheduler::isCurrent() const { return std::this_thread::get_id() == owner_; }

void ManualScheduler::runPending() {
  requireOwnThread("runPending");
  for (;;) {
    runPosted();
    const auto due = timers_->nextDue();
    if (!due || *due > clock_.nanoseconds()) return;
    timers_->runFirst();
  }
}

void ManualScheduler::advance(double seconds) {
  requireOwnThread("advance");
  const std::int64_t step = secondsToNanoseconds(seconds);
  if (step < 0) throw std::invalid_argument("ManualScheduler cannot advance by a negative time");
  advanceToNanoseconds(clock_.nanoseconds() + step);
}

void ManualScheduler::advanceTo(double time) {
  requireOwnThread("advanceTo");
  advanceToNanoseconds(secondsToNanoseconds(time));
}

void ManualScheduler::advanceToNanoseconds(std::int64_t target) {
  runPosted();
  for (;;) {
    const auto due = timers_->nextDue();
    if (!due || *due > target) break;
    // Never backwards: the test may have moved the shared clock past this timer already.
    if (*due > clock_.nanoseconds()) clock_.setNanoseconds(*due);
    timers_->runFirst();
    runPosted();
  }
  if (target > clock_.nanoseconds()) clock_.setNanoseconds(target);
  runPosted();
}

void ManualScheduler::runPosted() {
  for (;;) {
    Task task;
    {
      std::lock_guard lock(postedMutex_);
      if (posted_.empty()) return;
      task = std::move(posted_.front());
      posted_.pop_front();
    }
    task();  // outside the lock: the task may post again, from this or another thread
  }
}

void ManualScheduler::requireOwnThread(const char* call) const {
  if (!isCurrent()) {
    throw std::logic_error(std::string("ManualScheduler::") + call +
                           " called off the thread that owns the scheduler");
  }
}

}  // namespace velmora::platform
