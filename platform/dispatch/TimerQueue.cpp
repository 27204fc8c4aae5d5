#include "platform/dispatch/TimerQueue.h"

#include <algorithm>

namespace velmora::platform {

TimerQueue::~TimerQueue() {
  for (auto& [key, timer] : timers_) timer.live->store(false);
}

TimerHandle TimerQueue::add(std::int64_t due, std::int64_t interval, Task task) {
  auto live = std::make_shared<std::atomic<bool>>(true);
  timers_.emplace(Key{due, nextSequence_++}, Timer{live, due, interval, 0, std::move(task)});
  return TimerHandle(std::move(live));
}

void TimerQueue::dropCancelledFront() {
  while (!timers_.empty() && !timers_.begin()->second.live->load()) timers_.erase(timers_.begin());
}

std::optional<std::int64_t> TimerQueue::nextDue() {
  dropCancelledFront();
  if (timers_.empty()) return std::nullopt;
  return timers_.begin()->first.first;
}

void TimerQueue::runFirst(std::int64_t notBefore) {
  dropCancelledFront();
  if (timers_.empty()) return;
  // Out of the map while it runs, so its task may schedule and cancel timers freely.
  auto node = timers_.extract(timers_.begin());
  Timer& timer = node.mapped();
  if (timer.interval == 0) {
    timer.live->store(false);
    timer.task();
    return;
  }
  try {
    timer.task();
  } catch (...) {
    timer.live->store(false);  // it will not be put back, so its handle must not claim it runs
    throw;
  }
  if (!timer.live->load()) return;
  ++timer.runs;
  if (notBefore >= timer.firstDue) {
    timer.runs = std::max(timer.runs, (notBefore - timer.firstDue) / timer.interval + 1);
  }
  // It keeps its place in scheduling order: among timers due with it, the first made runs first.
  node.key().first = timer.firstDue + timer.runs * timer.interval;
  timers_.insert(std::move(node));
}

}  // namespace velmora::platform
