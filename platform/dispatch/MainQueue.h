// The main-queue scheduler that the model and the engine deliver their work to, and the handle
// of a timer on it. The tray program backs it with its event loop, the command-line program with
// RunLoop, tests with ManualScheduler (virtual time).
#pragma once

#include <atomic>
#include <functional>
#include <memory>

namespace velmora::platform {

class Clock;

using Task = std::function<void()>;

// A timer made by after() or every(). Copies share one timer; a default-constructed handle has
// none. It may outlive its queue: the timer then simply never runs.
// Threading: any thread, but only a cancel on the queue's own thread (its tasks included) is
// sure to come before the next run.
class TimerHandle {
 public:
  TimerHandle() = default;

  // Idempotent; harmless after the task ran; works from inside the timer's own task.
  void cancel() {
    if (live_) live_->store(false);
  }

  // A one-shot timer is active until its task starts; a repeating one until it is cancelled.
  bool active() const { return live_ && live_->load(); }

 private:
  friend class TimerQueue;
  explicit TimerHandle(std::shared_ptr<std::atomic<bool>> live) : live_(std::move(live)) {}

  std::shared_ptr<std::atomic<bool>> live_;
};

// Tasks run one at a time on the queue's own thread: posted tasks in the order they were posted,
// timers at their due times, timers due at the same time in the order they were scheduled.
// An exception escaping a task leaves the call that ran it (run(), advance(), ...).
class MainQueue {
 public:
  virtual ~MainQueue() = default;

  // Threading: any thread.
  virtual void post(Task task) = 0;

  // Runs `task` once, `seconds` from now (at once if not positive).
  // Threading: the queue's own thread only; elsewhere std::logic_error.
  virtual TimerHandle after(double seconds, Task task) = 0;

  // Runs `task` every `seconds` (> 0, else std::invalid_argument), first one interval from now.
  // The cadence holds: each run is due one interval after the previous due time, not after the
  // previous run. Threading: the queue's own thread only; elsewhere std::logic_error.
  virtual TimerHandle every(double seconds, Task task) = 0;

  virtual const Clock& clock() const = 0;

  // True on the thread that runs this queue's tasks. Threading: any thread.
  virtual bool isCurrent() const = 0;
};

}  // namespace velmora::platform
