// When periods are rendered: on demand on the caller's thread (deterministic tests), or paced like
// hardware by a thread of its own, which takes the mutex for each period.
#include <chrono>

#include "platform/sim/SimulatedAudioSystem.h"

namespace velmora::platform::sim {

void SimulatedAudioSystem::render(uint32_t periods) {
  std::lock_guard lock(mutex_);
  for (uint32_t p = 0; p < periods; ++p) renderPeriod();
}

void SimulatedAudioSystem::startRealTime() {
  if (realTime_.exchange(true)) return;
  realTimeThread_ = std::thread([this] { runRealTime(); });
}

void SimulatedAudioSystem::stopRealTime() {
  if (!realTime_.exchange(false)) return;
  if (realTimeThread_.joinable()) realTimeThread_.join();
}

// Paces periods like hardware: one every kPeriodFrames / kClockRate seconds.
void SimulatedAudioSystem::runRealTime() {
  using Clock = std::chrono::steady_clock;
  const auto period = std::chrono::duration_cast<Clock::duration>(
      std::chrono::duration<double>(double(kPeriodFrames) / kClockRate));
  auto next = Clock::now();
  while (realTime_.load()) {
    {
      std::lock_guard lock(mutex_);
      renderPeriod();
    }
    next += period;
    std::this_thread::sleep_until(next);
  }
}
}  // namespace velmora::platform::sim
