// Test helper: the amplitude of one frequency in a block of samples, so a test can tell which
// application's tone a device is playing, not only how loud it is.
#pragma once

#include <algorithm>
#include <cmath>
#include <numbers>
#include <vector>

namespace velmora::test {

// Amplitude of a sine of `frequency` in `samples` (1.0 for a full-scale sine at that frequency).
// A Hann window keeps other tones from leaking into the answer.
inline double toneAmplitude(const std::vector<float>& samples, double frequency,
                            double sampleRate = 48000.0) {
  if (samples.size() < 2) return 0.0;
  const double omega = 2.0 * std::numbers::pi * frequency / sampleRate;
  const double coefficient = 2.0 * std::cos(omega);
  const double n = double(samples.size());
  double previous = 0.0, beforePrevious = 0.0, windowSum = 0.0;
  for (size_t i = 0; i < samples.size(); ++i) {
    const double window = 0.5 * (1.0 - std::cos(2.0 * std::numbers::pi * double(i) / (n - 1.0)));
    windowSum += window;
    const double current = window * samples[i] + coefficient * previous - beforePrevious;
    beforePrevious = previous;
    previous = current;
  }
  const double power = previous * previous + beforePrevious * beforePrevious -
                       coefficient * previous * beforePrevious;
  return 2.0 * std::sqrt(std::max(power, 0.0)) / windowSum;
}

}  // namespace velmora::test
