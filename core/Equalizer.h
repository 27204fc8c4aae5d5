// The five-band equaliser of one route: the per-callback update of its applied gains and
// coefficients. Render thread only.
#pragma once

#include "core/ProcessingCore.h"

namespace velmora::core {

inline constexpr double kBandFrequencies[OMBandCount] = {80.0, 250.0, 1000.0, 4000.0, 12000.0};
inline constexpr double kBandQ = 0.9;
// The applied gain of a band moves by at most this many dB per callback.
inline constexpr float kBandStepDB = 0.5f;

// Runs once per callback before the first frame: follows the enabled flag, moves each band's
// applied gain toward its target and redesigns only the sections whose gain moved.
void updateEqualizer(OMRoute& route, double sampleRate);

}  // namespace velmora::core
