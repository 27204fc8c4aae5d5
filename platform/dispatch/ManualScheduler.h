// A main queue on virtual time, for tests: nothing runs until the test calls runPending() or
// advance(), and then everything runs on the test's thread in a fixed order.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/dispatch/Clock.h"
#include "platform/dispatch/MainQueue.h"

namespace velmora::platform {

class TimerQueue;

// Threading: the constructing thread is the queue's own thread; post() and the clock may be used
// from any thread, everything else on the own thread only (elsewhere std::logic_error).
class ManualScheduler final : public MainQueue {
 public:
  explicit ManualScheduler(ManualClock& clock);  // shares the clock with the rest of the test
  ~ManualScheduler() override;
  ManualScheduler(const ManualScheduler&) = delete;
  ManualScheduler& operator=(const ManualScheduler&) = delete;

  void post(Task task) override;
  TimerHandle after(double seconds, Task task) override;
  TimerHandle every(double seconds, Task task) override;
  const Clock& clock() const override;
  bool isCurrent() const override;

  // Runs posted tasks (including the ones they post) and the timers already due, without moving
  // the clock.
  void runPending();

  // Moves the clock forward, running everything that falls due in due-time order. While a timer
  // runs the clock reads its due time; the tasks it posts run right after it, at that time.
  // Tasks that other threads post meanwhile run here as well, on this thread, never on theirs.
  void advance(double seconds);
  void advanceTo(double time);

 private:
  void advanceToNanoseconds(std::int64_t target);
  void runPosted();
  void requireOwnThread(const char* call) const;

  ManualClock& clock_;
  const std::thread::id owner_;
  mutable std::mutex postedMutex_;
  std::deque<Task> posted_;
  std::unique_ptr<TimerQueue> timers_;
};

}  // namespace velmora::platform
