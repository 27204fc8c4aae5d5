// The render cycle. Runs on the aggregate device's real-time I/O thread: no allocation, no
// locks, no system calls; everything it builds lives on the stack.
#include <algorithm>
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
    if (buffer.numberChannels > OMOutputChannelLimit - layout.outputCount) return LayoutCheck::fault;
    for (uint32_t c = 0; c < buffer.numberChannels; ++c) {
      float* data = buffer.data != nullptr ? static_cast<float*>(buffer.data) + c : nullptr;
      layout.output[layout.outputCount++] = {data, buffer.numberChannels};
    }
  }
  if (output.numberBuffers == 0 || layout.tapCount == 0 || layout.outputCount == 0) {
    return LayoutCheck::silence;
  }
  return LayoutCheck::render;
}

// Auto-configures a never-configured route 0, then checks that the routes cover the output
// channels exactly, contiguously from channel 0.
bool routesFitOutput(OMState& state, uint32_t outputChannels) {
  OMRoute& first = state.routes[0];
  if (first.channelCount == 0) {
    if (outputChannels > 2) return false;
    first.firstChannel = 0;
    first.channelCount = outputChannels;
  }
  if (state.routeCount == 0) return false;
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

// Both channels run the same coefficients, so they are filtered side by side.
inline void filterPair(OMBiquad (&sections)[OMBandCount], float preGain, float& left,
                       float& right) {
  double vl = double(preGain * left);
  double vr = double(preGain * right);
  for (OMBiquad& s : sections) {
    const double yl = s.b0 * vl + s.z1[0];
    const double yr = s.b0 * vr + s.z1[1];
    s.z1[0] = s.z2[0] + s.b1 * vl - s.a1 * yl;
    s.z1[1] = s.z2[1] + s.b1 * vr - s.a1 * yr;
    s.z2[0] = s.b2 * vl - s.a2 * yl;
    s.z2[1] = s.b2 * vr - s.a2 * yr;
    vl = yl;
    vr = yr;
  }
  left = finiteOrZero(float(vl));
  right = finiteOrZero(float(vr));
}

// A knee at 0.85 whose output approaches 1.0; faded in over the first tenth of the boost range.
inline void softLimit(float boost, float& left, float& right) {
  const float p = std::max(std::fabs(left), std::fabs(right));
  float g = 1.0f;
  if (p > kLimiterKnee) {
    const float over = p - kLimiterKnee;
    g = (kLimiterKnee + over * kLimiterRange / (over + kLimiterRange)) / p;
  }
  const float blend = std::min((boost - 1.0f) * 10.0f, 1.0f);
  const float factor = 1.0f + blend * (g - 1.0f);
  left *= factor;
  right *= factor;
}

template <bool kEQ>
void renderRoute(OMRoute& route, RouteTargets targets, float rampStep, const float* left,
                 const float* right, uint32_t firstFrame, uint32_t frames, const Layout& layout,
                 float& peak) {
  OMBiquad sections[OMBandCount];
  if constexpr (kEQ) std::memcpy(sections, route.stages, sizeof(sections));
  const float preGain = route.preGain;
  const float boostStep = 0.1f * rampStep;
  float gain = route.smoothedGain;
  float boost = route.smoothedBoost;
  const OutputChannel first = layout.output[route.firstChannel];
  const bool stereo = route.channelCount == 2;
  const OutputChannel second = stereo ? layout.output[route.firstChannel + 1] : OutputChannel{};
  float routePeak = peak;
  for (uint32_t i = 0; i < frames; ++i) {
    gain = rampToward(gain, targets.gain, rampStep);
    boost = rampToward(boost, targets.boost, boostStep);
    float l = left[i];
    float r = right[i];
    if constexpr (kEQ) filterPair(sections, preGain, l, r);
    l = l * gain * boost;
    r = r * gain * boost;
    if (boost > kBoostLimiterThreshold) softLimit(boost, l, r);
    l = std::clamp(l, -1.0f, 1.0f);
    r = std::clamp(r, -1.0f, 1.0f);
    const size_t frame = size_t(firstFrame) + i;
    if (stereo) {
      if (first.data != nullptr) first.data[frame * first.stride] = l;
      if (second.data != nullptr) second.data[frame * second.stride] = r;
    } else if (first.data != nullptr) {
      first.data[frame * first.stride] = (l + r) * 0.5f;
    }
    routePeak = std::max(routePeak, std::max(std::fabs(l), std::fabs(r)));
  }
  route.smoothedGain = gain;
  route.smoothedBoost = boost;
  peak = routePeak;
  if constexpr (kEQ) {
    for (int band = 0; band < OMBandCount; ++band) {
      std::memcpy(route.stages[band].z1, sections[band].z1, sizeof(sections[band].z1));
      std::memcpy(route.stages[band].z2, sections[band].z2, sizeof(sections[band].z2));
    }
  }
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
  const TapChannel tapLeft = layout.tap[0];
  const TapChannel tapRight = layout.tap[layout.tapCount == 2 ? 1 : 0];

  float left[kChunkFrames];
  float right[kChunkFrames];
  for (uint32_t start = 0; start < layout.frames; start += kChunkFrames) {
    const uint32_t frames = std::min(kChunkFrames, layout.frames - start);
    for (uint32_t i = 0; i < frames; ++i) {
      master = rampToward(master, masterTarget, rampStep);
      const size_t frame = size_t(start) + i;
      const float l = finiteOrZero(tapLeft.data[frame * tapLeft.stride]);
      const float r = finiteOrZero(tapRight.data[frame * tapRight.stride]);
      inputPeak = std::max(inputPeak, std::max(std::fabs(l), std::fabs(r)));
      left[i] = master * l;
      right[i] = master * r;
    }
    for (uint32_t r = 0; r < state.routeCount; ++r) {
      OMRoute& route = state.routes[r];
      if (route.eqActive != 0) {
        renderRoute<true>(route, targets[r], rampStep, left, right, start, frames, layout,
                          routePeaks[r]);
      } else {
        renderRoute<false>(route, targets[r], rampStep, left, right, start, frames, layout,
                           routePeaks[r]);
      }
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
