// The render cycle. Runs on the aggregate device's real-time I/O thread: no allocation, no
// locks, no system calls; everything it builds lives on the stack.
#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <optional>

#include "core/Equalizer.h"
#include "core/ProcessingCore.h"
#include "core/SharedValue.h"

using namespace velmora::core;

namespace {

constexpr uint32_t kTapChannelLimit = 2;
// Frames are rendered in chunks so that the master ramp runs once per frame for all routes and
// each route then keeps its filter state in registers over the chunk.
constexpr uint32_t kChunkFrames = 128;

constexpr float kLimiterKnee = 0.85f;
constexpr float kLimiterRange = 0.15f;
constexpr float kBoostLimiterThreshold = 1.00001f;

struct TapChannel {
  const float* data;
  uint32_t stride;
};

struct OutputChannel {
  float* data;  // null when the buffer has no data: the channel is counted but not written
  uint32_t stride;
};

struct Layout {
  TapChannel tap[kTapChannelLimit];
  uint32_t tapCount = 0;
  OutputChannel output[OMOutputChannelLimit];
  uint32_t outputCount = 0;
  uint32_t frames = UINT32_MAX;
};

enum class LayoutCheck { render, silence, fault };

struct RouteTargets {
  float gain;
  float boost;
};

// Frame count of a buffer with at least one channel, or nothing when its byte size is not a whole
// number of frames. Computed in 64 bits: an absurd channel count must not overflow or divide by 0.
std::optional<uint32_t> wholeFrames(const AudioBuffer& buffer) {
  const uint64_t frameBytes = uint64_t(buffer.numberChannels) * sizeof(float);
  if (buffer.dataByteSize % frameBytes != 0) return std::nullopt;
  return uint32_t(buffer.dataByteSize / frameBytes);
}

void silence(AudioBufferList& output) {
  for (uint32_t i = 0; i < output.numberBuffers; ++i) {
    AudioBuffer& buffer = output.buffers[i];
    if (buffer.data != nullptr) std::memset(buffer.data, 0, buffer.dataByteSize);
  }
}

LayoutCheck readTapChannels(const OMState& state, const AudioBufferList* input, Layout& layout) {
  const uint32_t tapBuffers = state.tapBufferCount;
  if (input == nullptr || tapBuffers == 0 || input->numberBuffers < tapBuffers) {
    return LayoutCheck::fault;
  }
  for (uint32_t i = input->numberBuffers - tapBuffers; i < input->numberBuffers; ++i) {
    const AudioBuffer& buffer = input->buffers[i];
    if (buffer.numberChannels == 0 || buffer.data == nullptr) return LayoutCheck::silence;
    const auto frames = wholeFrames(buffer);
    if (!frames) return LayoutCheck::fault;
    layout.frames = std::min(layout.frames, *frames);
    // The tap delivers mono or stereo only.
    if (buffer.numberChannels > kTapChannelLimit - layout.tapCount) return LayoutCheck::fault;
    for (uint32_t c = 0; c < buffer.numberChannels; ++c) {
      layout.tap[layout.tapCount++] = {static_cast<const float*>(buffer.data) + c,
                                       buffer.numberChannels};
    }
  }
  return LayoutCheck::render;
}

LayoutCheck readOutputChannels(const AudioBufferList& output, Layout& layout) {
  for (uint32_t i = 0; i < output.numberBuffers; ++i) {
    const AudioBuffer& buffer = output.buffers[i];
    if (buffer.numberChannels == 0) continue;
    const auto frames = wholeFrames(buffer);
    if (!frames) return LayoutCheck::fault;
    if (buffer.data != nullptr) layout.frames = std::min(layout.frames, *frames);
    if (buffer.numberChannels > OMOutputChannelLimit - layout.outputCount)
      return LayoutCheck::fault;
    for (uint32_t c = 0; c < buffer.numberChannels; ++c) {
      float* data = buffer.data != nullptr ? static_cast<float*>(buffer.data) + c : nullptr;
      layout.output[layout.outputCount++] = {data, buffer.numberChannels};
    }
  }
  // Read after the tap, which has at least one channel by now.
  if (layout.outputCount == 0) {
    return LayoutCheck::silence;
  }
  return LayoutCheck::render;
}

// Auto-configures a never-configured route 0, then checks that the routes cover the output
// channels exactly, contiguously from channel 0. There is always a route: the count only grows.
bool routesFitOutput(OMState& state, uint32_t outputChannels) {
  OMRoute& first = state.routes[0];
  if (first.channelCount == 0) {
    if (outputChannels > 2) return false;
    first.firstChannel = 0;
    first.channelCount = outputChannels;
  }
  uint32_t covered = 0;
  for (uint32_t r = 0; r < state.routeCount; ++r) {
    const OMRoute& route = state.routes[r];
    if (route.channelCount == 0 || route.firstChannel != covered) return false;
    covered += route.channelCount;
  }
  return covered == outputChannels;
}

float finiteOrZero(float sample) { return std::isfinite(sample) ? sample : 0.0f; }

float rampToward(float current, float target, float step) {
  return current + std::clamp(target - current, -step, step);
}

// The filter runs both channels of a route, and where two routes have their EQ on, both routes,
// as lanes of one vector: every lane runs the same arithmetic, so a lane's result does not
// depend on its neighbours. The section state stays in registers for the whole chunk.
template <int kRoutes>
struct FilterLanes;
template <>
struct FilterLanes<1> {
  using type = double __attribute__((vector_size(16)));
};
template <>
struct FilterLanes<2> {
  using type = double __attribute__((vector_size(32)));
};

template <int kRoutes>
[[gnu::always_inline]] inline void filterRoutes(OMRoute* const (&routes)[kRoutes],
                                                float* const (&channels)[2 * kRoutes],
                                                uint32_t frames) {
  using Lanes = typename FilterLanes<kRoutes>::type;
  constexpr int kLanes = 2 * kRoutes;
  Lanes b0[OMBandCount], b1[OMBandCount], b2[OMBandCount], a1[OMBandCount], a2[OMBandCount];
  Lanes z1[OMBandCount], z2[OMBandCount];
  float preGain[kLanes];
  for (int lane = 0; lane < kLanes; ++lane) {
    const OMRoute& route = *routes[lane / 2];
    preGain[lane] = route.preGain;
    for (int k = 0; k < OMBandCount; ++k) {
      const OMBiquad& s = route.stages[k];
      b0[k][lane] = s.b0;
      b1[k][lane] = s.b1;
      b2[k][lane] = s.b2;
      a1[k][lane] = s.a1;
      a2[k][lane] = s.a2;
      z1[k][lane] = s.z1[lane % 2];
      z2[k][lane] = s.z2[lane % 2];
    }
  }
  for (uint32_t i = 0; i < frames; ++i) {
    Lanes v = {};
    for (int lane = 0; lane < kLanes; ++lane) v[lane] = double(preGain[lane] * channels[lane][i]);
#pragma GCC unroll 5
    for (int k = 0; k < OMBandCount; ++k) {
      const Lanes y = b0[k] * v + z1[k];
      z1[k] = z2[k] + b1[k] * v - a1[k] * y;
      z2[k] = b2[k] * v - a2[k] * y;
      v = y;
    }
    for (int lane = 0; lane < kLanes; ++lane) channels[lane][i] = finiteOrZero(float(v[lane]));
  }
  for (int lane = 0; lane < kLanes; ++lane) {
    OMRoute& route = *routes[lane / 2];
    for (int k = 0; k < OMBandCount; ++k) {
      route.stages[k].z1[lane % 2] = z1[k][lane];
      route.stages[k].z2[lane % 2] = z2[k][lane];
    }
  }
}

void filterRoute(OMRoute& route, float* left, float* right, uint32_t frames) {
  filterRoutes<1>({&route}, {left, right}, frames);
}

using FilterTwoRoutes = void (*)(OMRoute&, OMRoute&, float*, float*, float*, float*, uint32_t);

template <int>
void filterTwoRoutesWith(OMRoute& first, OMRoute& second, float* firstLeft, float* firstRight,
                         float* secondLeft, float* secondRight, uint32_t frames) {
  filterRoutes<2>({&first, &second}, {firstLeft, firstRight, secondLeft, secondRight}, frames);
}

// The same code built for 256-bit vectors: there two routes take the time of one.
template <>
__attribute__((target("avx"))) void filterTwoRoutesWith<256>(OMRoute& first, OMRoute& second,
                                                             float* firstLeft, float* firstRight,
                                                             float* secondLeft, float* secondRight,
                                                             uint32_t frames) {
  filterRoutes<2>({&first, &second}, {firstLeft, firstRight, secondLeft, secondRight}, frames);
}

// Chosen once when the library loads (not through an ifunc, whose resolver would run before a
// sanitizer runtime is ready).
FilterTwoRoutes chooseFilterTwoRoutes() {
  __builtin_cpu_init();
  return __builtin_cpu_supports("avx") ? filterTwoRoutesWith<256> : filterTwoRoutesWith<128>;
}

const FilterTwoRoutes filterTwoRoutes = chooseFilterTwoRoutes();

// A knee at 0.85 whose output approaches 1.0; faded in over the first tenth of the boost range.
// Branch-free so that the loop over a settled boost vectorises.
inline float limiterFactor(float boost, float left, float right) {
  const float p = std::max(std::fabs(left), std::fabs(right));
  const float over = p - kLimiterKnee;
  const float g =
      p > kLimiterKnee ? (kLimiterKnee + over * kLimiterRange / (over + kLimiterRange)) / p : 1.0f;
  const float blend = std::min((boost - 1.0f) * 10.0f, 1.0f);
  return 1.0f + blend * (g - 1.0f);
}

template <bool kLimit>
void applySettledGains(float gain, float boost, float* left, float* right, uint32_t from,
                       uint32_t to) {
  for (uint32_t i = from; i < to; ++i) {
    float l = left[i] * gain * boost;
    float r = right[i] * gain * boost;
    if constexpr (kLimit) {
      const float factor = limiterFactor(boost, l, r);
      l *= factor;
      r *= factor;
    }
    left[i] = l;
    right[i] = r;
  }
}

// Route gain and boost with their ramps, and the limiter. While a ramp moves, frame by frame;
// once both have reached their targets the rest of the chunk takes the uniform path.
void applyRouteGains(OMRoute& route, RouteTargets targets, float rampStep, float* left,
                     float* right, uint32_t frames) {
  const float boostStep = 0.1f * rampStep;
  float gain = route.smoothedGain;
  float boost = route.smoothedBoost;
  uint32_t i = 0;
  for (; i < frames && (gain != targets.gain || boost != targets.boost); ++i) {
    gain = rampToward(gain, targets.gain, rampStep);
    boost = rampToward(boost, targets.boost, boostStep);
    float l = left[i] * gain * boost;
    float r = right[i] * gain * boost;
    if (boost > kBoostLimiterThreshold) {
      const float factor = limiterFactor(boost, l, r);
      l *= factor;
      r *= factor;
    }
    left[i] = l;
    right[i] = r;
  }
  if (boost > kBoostLimiterThreshold) {
    applySettledGains<true>(gain, boost, left, right, i, frames);
  } else {
    applySettledGains<false>(gain, boost, left, right, i, frames);
  }
  route.smoothedGain = gain;
  route.smoothedBoost = boost;
}

// Copies one channel out of an interleaved buffer. The common strides get loops of their own so
// the compiler can vectorise them.
template <uint32_t kStride>
void gatherStrided(const float* source, size_t firstFrame, float* chunk, uint32_t frames) {
  for (uint32_t i = 0; i < frames; ++i) chunk[i] = source[(firstFrame + i) * kStride];
}

void gather(const TapChannel& channel, size_t firstFrame, float* chunk, uint32_t frames) {
  switch (channel.stride) {
    case 1:
      return gatherStrided<1>(channel.data, firstFrame, chunk, frames);
    case 2:
      return gatherStrided<2>(channel.data, firstFrame, chunk, frames);
    default:
      for (uint32_t i = 0; i < frames; ++i)
        chunk[i] = channel.data[(firstFrame + i) * channel.stride];
  }
}

template <uint32_t kStride>
void scatterStrided(const float* chunk, size_t firstFrame, float* target, uint32_t frames) {
  for (uint32_t i = 0; i < frames; ++i) target[(firstFrame + i) * kStride] = chunk[i];
}

void scatter(const float* chunk, size_t firstFrame, const OutputChannel& channel, uint32_t frames) {
  if (channel.data == nullptr) return;
  switch (channel.stride) {
    case 1:
      return scatterStrided<1>(chunk, firstFrame, channel.data, frames);
    case 2:
      return scatterStrided<2>(chunk, firstFrame, channel.data, frames);
    default:
      for (uint32_t i = 0; i < frames; ++i)
        channel.data[(firstFrame + i) * channel.stride] = chunk[i];
  }
}

using FloatQuad = float __attribute__((vector_size(16)));

// Largest absolute sample of two channels, four lanes at a time (a plain float maximum does not
// vectorise as a reduction without relaxed floating-point rules).
float chunkPeak(const float* left, const float* right, uint32_t frames) {
  const FloatQuad zero = {0.0f, 0.0f, 0.0f, 0.0f};
  FloatQuad lanes = zero;
  uint32_t i = 0;
  for (; i + 4 <= frames; i += 4) {
    FloatQuad l, r;
    std::memcpy(&l, left + i, sizeof l);
    std::memcpy(&r, right + i, sizeof r);
    l = l < zero ? -l : l;
    r = r < zero ? -r : r;
    lanes = lanes < l ? l : lanes;
    lanes = lanes < r ? r : lanes;
  }
  float peak = std::max(std::max(lanes[0], lanes[1]), std::max(lanes[2], lanes[3]));
  for (; i < frames; ++i) peak = std::max(peak, std::max(std::fabs(left[i]), std::fabs(right[i])));
  return peak;
}

// Clamps, writes the route's channels and returns the chunk's peak.
float writeRoute(const OMRoute& route, const Layout& layout, float* left, float* right,
                 uint32_t firstFrame, uint32_t frames) {
  for (uint32_t i = 0; i < frames; ++i) {
    left[i] = std::clamp(left[i], -1.0f, 1.0f);
    right[i] = std::clamp(right[i], -1.0f, 1.0f);
  }
  const OutputChannel first = layout.output[route.firstChannel];
  if (route.channelCount == 2) {
    const OutputChannel second = layout.output[route.firstChannel + 1];
    if (first.data != nullptr && second.data == first.data + 1 && first.stride == 2) {
      // A stereo device of its own: one interleaving pass.
      float* frame = first.data + size_t(firstFrame) * 2;
      for (uint32_t i = 0; i < frames; ++i) {
        frame[size_t(2) * i] = left[i];
        frame[size_t(2) * i + 1] = right[i];
      }
    } else {
      scatter(left, firstFrame, first, frames);
      scatter(right, firstFrame, second, frames);
    }
  } else {
    float mono[kChunkFrames];
    for (uint32_t i = 0; i < frames; ++i) mono[i] = (left[i] + right[i]) * 0.5f;
    scatter(mono, firstFrame, first, frames);
  }
  return chunkPeak(left, right, frames);
}

void renderFrames(OMState& state, const Layout& layout) {
  const float masterTarget = loadRelaxed(state.gain);
  RouteTargets targets[OMRouteLimit] = {};
  for (uint32_t r = 0; r < state.routeCount; ++r) {
    OMRoute& route = state.routes[r];
    updateEqualizer(route, state.sampleRate);
    // Copies: a setter call takes effect at the next callback.
    targets[r] = {loadRelaxed(route.gain), loadRelaxed(route.boost)};
  }
  float routePeaks[OMRouteLimit] = {};
  float inputPeak = 0.0f;
  float master = state.smoothedGain;
  const float rampStep = state.rampStep;
  const FilterTwoRoutes filterPair =
      state.filterKernel == OMFilterKernel128   ? filterTwoRoutesWith<128>
      : state.filterKernel == OMFilterKernelAVX ? filterTwoRoutesWith<256>
                                                : filterTwoRoutes;
  const TapChannel tapLeft = layout.tap[0];
  const TapChannel tapRight = layout.tap[layout.tapCount == 2 ? 1 : 0];

  float left[kChunkFrames];
  float right[kChunkFrames];
  float routeLeft[OMRouteLimit][kChunkFrames];
  float routeRight[OMRouteLimit][kChunkFrames];
  for (uint32_t start = 0; start < layout.frames; start += kChunkFrames) {
    const uint32_t frames = std::min(kChunkFrames, layout.frames - start);
    if (tapRight.data == tapLeft.data + 1 && tapLeft.stride == 2) {
      // An interleaved stereo tap: one de-interleaving pass.
      const float* frame = tapLeft.data + size_t(start) * 2;
      for (uint32_t i = 0; i < frames; ++i) {
        left[i] = frame[size_t(2) * i];
        right[i] = frame[size_t(2) * i + 1];
      }
    } else {
      gather(tapLeft, start, left, frames);
      gather(tapRight, start, right, frames);
    }
    for (uint32_t i = 0; i < frames; ++i) {
      left[i] = finiteOrZero(left[i]);
      right[i] = finiteOrZero(right[i]);
    }
    inputPeak = std::max(inputPeak, chunkPeak(left, right, frames));
    // The master ramp frame by frame while it moves, then the uniform path.
    uint32_t i = 0;
    for (; i < frames && master != masterTarget; ++i) {
      master = rampToward(master, masterTarget, rampStep);
      left[i] *= master;
      right[i] *= master;
    }
    for (; i < frames; ++i) {
      left[i] *= master;
      right[i] *= master;
    }
    OMRoute* pendingEQ = nullptr;
    uint32_t pendingIndex = 0;
    for (uint32_t r = 0; r < state.routeCount; ++r) {
      std::memcpy(routeLeft[r], left, frames * sizeof(float));
      std::memcpy(routeRight[r], right, frames * sizeof(float));
      OMRoute& route = state.routes[r];
      if (route.eqActive == 0) continue;
      if (pendingEQ == nullptr) {
        pendingEQ = &route;
        pendingIndex = r;
        continue;
      }
      filterPair(*pendingEQ, route, routeLeft[pendingIndex], routeRight[pendingIndex], routeLeft[r],
                 routeRight[r], frames);
      pendingEQ = nullptr;
    }
    if (pendingEQ != nullptr) {
      filterRoute(*pendingEQ, routeLeft[pendingIndex], routeRight[pendingIndex], frames);
    }
    for (uint32_t r = 0; r < state.routeCount; ++r) {
      applyRouteGains(state.routes[r], targets[r], rampStep, routeLeft[r], routeRight[r], frames);
      routePeaks[r] = std::max(routePeaks[r], writeRoute(state.routes[r], layout, routeLeft[r],
                                                         routeRight[r], start, frames));
    }
  }
  state.smoothedGain = master;
  storeRelaxed(state.inputPeak, inputPeak);
  storeRelaxed(state.outputPeak, routePeaks[0]);
  for (uint32_t r = 0; r < state.routeCount; ++r) storeRelaxed(state.routes[r].peak, routePeaks[r]);
}

}  // namespace

extern "C" void OMRender(OMState* state, const AudioBufferList* input, AudioBufferList* output) {
  if (state == nullptr || output == nullptr) return;
  incrementRelaxed(state->callbackCount);
  // Whatever happens below, a callback that stops early plays silence.
  silence(*output);

  Layout layout;
  LayoutCheck check = readTapChannels(*state, input, layout);
  if (check == LayoutCheck::render) check = readOutputChannels(*output, layout);
  if (check == LayoutCheck::render && !routesFitOutput(*state, layout.outputCount)) {
    check = LayoutCheck::fault;
  }
  switch (check) {
    case LayoutCheck::silence:
      return;
    case LayoutCheck::fault:
      incrementRelaxed(state->faultCount);
      return;
    case LayoutCheck::render:
      renderFrames(*state, layout);
      return;
  }
}
