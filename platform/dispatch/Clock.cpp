#include "platform/dispatch/Clock.h"

#include <chrono>
#include <cmath>
#include <stdexcept>

namespace velmora::platform {

namespace {

constexpr double kNanosecondsPerSecond = 1e9;
constexpr std::int64_t kLongestSpan = 1'000'000'000'000'000'000;  // ~31 years in nanoseconds

}  // namespace

std::int64_t secondsToNanoseconds(double seconds) {
  if (std::isnan(seconds)) throw std::invalid_argument("a time in seconds is NaN");
  const double nanoseconds = std::round(seconds * kNanosecondsPerSecond);
  if (nanoseconds >= static_cast<double>(kLongestSpan)) return kLongestSpan;
  if (nanoseconds <= -static_cast<double>(kLongestSpan)) return -kLongestSpan;
  return static_cast<std::int64_t>(nanoseconds);
}

double SteadyClock::now() const {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

ManualClock::ManualClock(double start) : nanoseconds_(secondsToNanoseconds(start)) {}

double ManualClock::now() const {
  return static_cast<double>(nanoseconds_.load()) / kNanosecondsPerSecond;
}

void ManualClock::advance(double seconds) {
  const std::int64_t step = secondsToNanoseconds(seconds);
  if (step < 0) throw std::invalid_argument("ManualClock cannot advance by a negative time");
  nanoseconds_.fetch_add(step);
}

void ManualClock::set(double time) { nanoseconds_.store(secondsToNanoseconds(time)); }

std::int64_t ManualClock::nanoseconds() const { return nanoseconds_.load(); }

void ManualClock::setNanoseconds(std::int64_t time) { nanoseconds_.store(time); }

}  // namespace velmora::platform
