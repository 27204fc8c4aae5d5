#include "platform/dispatch/RunLoop.h"

#include <algorithm>
#include <chrono>
#include <stdexcept>
#include <string>

#include "platform/dispatch/TimerQueue.h"

namespace velmora::platform {

namespace {

// The steady clock's time line in whole nanoseconds, the unit of the timer queue.
std::int64_t steadyNanoseconds() {
  return std::chrono::duration_cast<std::chrono::nanoseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

std::chrono::steady_clock::time_point steadyTimePoint(std::int64_t nanoseconds) {
  return std::chrono::steady_clock::time_point(
      std::chrono::duration_cast<std::chrono::steady_clock::duration>(
          std::chrono::nanoseconds(nanoseconds)));
}

}  // namespace

RunLoop::RunLoop() : owner_(std::this_thread::get_id()), timers_(std::make_unique<TimerQueue>()) {}

RunLoop::~RunLoop() = default;

void RunLoop::post(Task task) {
  {
    std::lock_guard lock(mutex_);
    posted_.push_back(std::move(task));
  }
  wake_.notify_one();
}

TimerHandle RunLoop::after(double seconds, Task task) {
  requireOwnThread("after");
  const std::int64_t delay = std::max<std::int64_t>(0, secondsToNanoseconds(seconds));
  return timers_->add(steadyNanoseconds() + delay, 0, std::move(task));
}

TimerHandle RunLoop::every(double seconds, Task task) {
  requireOwnThread("every");
  const std::int64_t interval = secondsToNanoseconds(seconds);
  if (interval <= 0) throw std::invalid_argument("every() needs a positive interval");
  return timers_->add(steadyNanoseconds() + interval, interval, std::move(task));
}

const Clock& RunLoop::clock() const { return clock_; }

bool RunLoop::isCurrent() const { return std::this_thread::get_id() == owner_; }

void RunLoop::run() {
  requireOwnThread("run");
  for (;;) {
    // Only what was posted before this round, so a task that keeps posting cannot starve timers.
    std::size_t batch = 0;
    {
      std::lock_guard lock(mutex_);
      batch = posted_.size();
    }
    for (; batch > 0; --batch) {
      Task task;
      {
        std::lock_guard lock(mutex_);
        if (stopRequested_) break;
        task = std::move(posted_.front());
        posted_.pop_front();
      }
      task();
    }
    if (takeStopRequest()) return;

    const std::int64_t now = steadyNanoseconds();
    for (auto due = timers_->nextDue(); due && *due <= now; due = timers_->nextDue()) {
      timers_->runFirst(now);
      if (takeStopRequest()) return;
    }

    const auto nextDue = timers_->nextDue();
    std::unique_lock lock(mutex_);
    const auto woken = [this] { return stopRequested_ || !posted_.empty(); };
    if (nextDue) {
      wake_.wait_until(lock, steadyTimePoint(*nextDue), woken);
    } else {
      wake_.wait(lock, woken);
    }
  }
}

void RunLoop::stop() {
  {
    std::lock_guard lock(mutex_);
    stopRequested_ = true;
  }
  wake_.notify_one();
}

bool RunLoop::takeStopRequest() {
  std::lock_guard lock(mutex_);
  const bool requested = stopRequested_;
  stopRequested_ = false;
  return requested;
}

void RunLoop::requireOwnThread(const char* call) const {
  if (!isCurrent()) {
    throw std::logic_error(std::string("RunLoop::") + call +
                           " called off the thread that owns the loop");
  }
}

}  // namespace velmora::platform
