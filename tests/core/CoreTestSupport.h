#pragma once

#include <memory>

#include "core/ProcessingCore.h"

namespace velmora::test {

struct StateDeleter {
  void operator()(OMState* state) const { OMDestroyState(state); }
};
using State = std::unique_ptr<OMState, StateDeleter>;

inline State makeState(uint32_t taps = 1, float gain = 1.0f, double rate = 48000.0) {
  return State(OMCreateState(taps, gain, rate));
}

}  // namespace velmora::test
