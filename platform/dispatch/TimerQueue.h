// The timers of one main queue, ordered by due time, then by the order they were scheduled.
// Due times are whole nanoseconds on the queue's clock, so repeated steps add up exactly.
// Threading: the owning queue's thread only. Internal to platform/dispatch.
#pragma once

#include <cstdint>
#include <limits>
#include <map>
#include <optional>
#include <utility>

#include "platform/dispatch/MainQueue.h"

namespace velmora::platform {

class TimerQueue {
 public:
  TimerQueue() = default;
  TimerQueue(const TimerQueue&) = delete;
  TimerQueue& operator=(const TimerQueue&) = delete;
  ~TimerQueue();  // handles of timers that will now never run turn inactive

  // A one-shot timer when `interval` is 0, else a repeating one first due at `due`.
  TimerHandle add(std::int64_t due, std::int64_t interval, Task task);

  // The due time of the earliest timer that is not cancelled.
  std::optional<std::int64_t> nextDue();

  // Runs the earliest timer that is not cancelled, and puts a repeating one back for its next
  // due time on its cadence. That is the first one after `notBefore`: a real loop that fell
  // behind skips the runs it missed, while virtual time (the default) runs every interval.
  void runFirst(std::int64_t notBefore = std::numeric_limits<std::int64_t>::min());

 private:
  struct Timer {
    std::shared_ptr<std::atomic<bool>> live;
    std::int64_t firstDue = 0;
    std::int64_t interval = 0;
    std::int64_t runs = 0;
    Task task;
  };
  using Key = std::pair<std::int64_t, std::uint64_t>;  // due time, scheduling order

  void dropCancelledFront();

  // A cancelled timer stays here until it reaches the front; its task is destroyed then.
  std::map<Key, Timer> timers_;
  std::uint64_t nextSequence_ = 0;
};

}  // namespace velmora::platform
