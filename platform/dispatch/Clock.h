// Seconds on a monotonic time line: the real steady clock, and a manual clock that tests move.
#pragma once

#include <atomic>
#include <cstdint>

namespace velmora::platform {

class Clock {
 public:
  virtual ~Clock() = default;
  virtual double now() const = 0;
};

// Threading: any thread.
class SteadyClock final : public Clock {
 public:
  double now() const override;
};

// Virtual time for tests. Kept in whole nanoseconds so that steps such as ten advances of 0.1
// land exactly on 1.0, where a timer may be waiting; now() then reads the nearest double.
// Threading: read, advance and set from any thread.
class ManualClock final : public Clock {
 public:
  explicit ManualClock(double start = 0.0);
  double now() const override;
  void advance(double seconds);  // seconds >= 0 (else std::invalid_argument): never backwards
  void set(double time);         // places the time line, e.g. at a test's start

  std::int64_t nanoseconds() const;
  void setNanoseconds(std::int64_t time);

 private:
  std::atomic<std::int64_t> nanoseconds_;
};

// Whole nanoseconds nearest to `seconds`, saturated at about 31 years either way; throws
// std::invalid_argument for NaN.
std::int64_t secondsToNanoseconds(double seconds);

}  // namespace velmora::platform
