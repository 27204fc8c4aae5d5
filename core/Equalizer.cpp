#include "core/Equalizer.h"

#include <algorithm>
#include <cmath>
#include <numbers>

#include "core/SharedValue.h"

namespace velmora::core {
namespace {

// Peaking section of the audio EQ cookbook, designed in double precision.
void designPeakingSection(OMBiquad& section, double frequency, float gainDB, double sampleRate) {
  const double a = std::pow(10.0, double(gainDB) / 40.0);
  const double f = std::min(frequency, 0.45 * sampleRate);
  const double w0 = 2.0 * std::numbers::pi * f / sampleRate;
  const double alpha = std::sin(w0) / (2.0 * kBandQ);
  const double d = 1.0 + alpha / a;
  section.b0 = (1.0 + alpha * a) / d;
  section.b1 = -2.0 * std::cos(w0) / d;
  section.b2 = (1.0 - alpha * a) / d;
  section.a1 = section.b1;
  section.a2 = (1.0 - alpha / a) / d;
}

}  // namespace

void updateEqualizer(OMRoute& route, double sampleRate) {
  if (loadAcquire(route.eqEnabled) == 0) {
    // Off at once; the applied gains stay until the next switch-on clears them.
    route.eqActive = 0;
    route.preGain = 1.0f;
    return;
  }
  const bool switchingOn = route.eqActive == 0;
  bool anyChanged = switchingOn;
  float maxGain = 0.0f;
  for (int band = 0; band < OMBandCount; ++band) {
    OMBiquad& section = route.stages[band];
    if (switchingOn) {
      // Always ramp in from 0 dB, from a clean filter.
      route.smoothedEQ[band] = 0.0f;
      section.z1[0] = section.z1[1] = section.z2[0] = section.z2[1] = 0.0;
    }
    const float old = route.smoothedEQ[band];
    const float target = loadRelaxed(route.eqGains[band]);
    const float now = old + std::clamp(target - old, -kBandStepDB, kBandStepDB);
    route.smoothedEQ[band] = now;
    maxGain = std::max(maxGain, now);
    if (!switchingOn && now == old) continue;
    anyChanged = true;
    designPeakingSection(section, kBandFrequencies[band], now, sampleRate);
  }
  // Lower the whole signal by the largest band boost so the EQ cannot raise the peak level.
  // It depends only on the applied gains, so it is recomputed only when one of them moved.
  if (anyChanged) route.preGain = std::pow(10.0f, -maxGain / 20.0f);
  route.eqActive = 1;
}

}  // namespace velmora::core
