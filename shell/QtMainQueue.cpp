#include "shell/QtMainQueue.h"

#include <QThread>
#include <algorithm>
#include <stdexcept>
#include <string>

#include "platform/dispatch/TimerQueue.h"

namespace velmora::shell {

QtMainQueue::QtMainQueue() : timers_(std::make_unique<platform::TimerQueue>()) {
  wake_.setSingleShot(true);
  wake_.setTimerType(Qt::PreciseTimer);
  connect(&wake_, &QTimer::timeout, this, &QtMainQueue::runDue);
}

QtMainQueue::~QtMainQueue() = default;

void QtMainQueue::post(platform::Task task) {
  QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
}

std::int64_t QtMainQueue::now() const { return platform::secondsToNanoseconds(clock_.now()); }

platform::TimerHandle QtMainQueue::after(double seconds, platform::Task task) {
  requireOwnThread("after");
  const std::int64_t delay = std::max<std::int64_t>(0, platform::secondsToNanoseconds(seconds));
  platform::TimerHandle handle = timers_->add(now() + delay, 0, std::move(task));
  arm();
  return handle;
}

platform::TimerHandle QtMainQueue::every(double seconds, platform::Task task) {
  requireOwnThread("every");
  const std::int64_t interval = platform::secondsToNanoseconds(seconds);
  if (interval <= 0) throw std::invalid_argument("every() needs a positive interval");
  platform::TimerHandle handle = timers_->add(now() + interval, interval, std::move(task));
  arm();
  return handle;
}

bool QtMainQueue::isCurrent() const { return QThread::currentThread() == thread(); }

void QtMainQueue::requireOwnThread(const char* call) const {
  if (!isCurrent()) {
    throw std::logic_error(std::string("QtMainQueue::") + call +
                           " called off the thread of the event loop");
  }
}

void QtMainQueue::runDue() {
  const std::int64_t current = now();
  for (auto due = timers_->nextDue(); due && *due <= current; due = timers_->nextDue()) {
    // A loop that fell behind (a suspended machine) skips the runs it missed.
    timers_->runFirst(current);
  }
  arm();
}

void QtMainQueue::arm() {
  const auto due = timers_->nextDue();
  if (!due) {
    wake_.stop();
    return;
  }
  // Rounded up, so the timer never fires just before its task is due.
  const std::int64_t milliseconds = std::max<std::int64_t>(0, (*due - now() + 999'999) / 1'000'000);
  wake_.start(int(std::min<std::int64_t>(milliseconds, std::numeric_limits<int>::max())));
}

}  // namespace velmora::shell
