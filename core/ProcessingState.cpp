// Creation, configuration, setters and read-outs of a processing state. The setters run on the
// engine's queue while the render thread reads the same targets.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "core/ProcessingCore.h"
#include "core/SharedValue.h"

using namespace velmora::core;

namespace {

constexpr double kMinimumSampleRate = 8000.0;
constexpr double kRampSeconds = 0.005;
constexpr float kEQLimitDB = 12.0f;

float clampOr(float value, float low, float high, float neutral) {
  if (!std::isfinite(value)) return neutral;
  return std::clamp(value, low, high);
}

float clampGain(float gain) { return clampOr(gain, 0.0f, 1.0f, 1.0f); }

OMRoute* routeAt(OMState* state, uint32_t route) {
  if (state == nullptr || route >= OMRouteLimit) return nullptr;
  return &state->routes[route];
}

}  // namespace

extern "C" {

OMState* OMCreateState(uint32_t tapBufferCount, float gain, double sampleRate) {
  auto* state = static_cast<OMState*>(std::calloc(1, sizeof(OMState)));
  if (state == nullptr) return nullptr;
  state->gain = clampGain(gain);
  state->smoothedGain = state->gain;
  // An infinite rate would make every ramp step zero, so targets would never be reached.
  state->sampleRate =
      std::isfinite(sampleRate) ? std::max(sampleRate, kMinimumSampleRate) : kMinimumSampleRate;
  state->rampStep = float(1.0 / (state->sampleRate * kRampSeconds));
  state->tapBufferCount = tapBufferCount;
  state->routeCount = 1;
  for (OMRoute& route : state->routes) {
    route.gain = 1.0f;
    route.boost = 1.0f;
    route.smoothedGain = 1.0f;
    route.smoothedBoost = 1.0f;
    route.preGain = 1.0f;
    for (OMBiquad& stage : route.stages) stage.b0 = 1.0;
  }
  return state;
}

void OMDestroyState(OMState* state) { std::free(state); }

void OMSetGain(OMState* state, float gain) {
  if (state != nullptr) storeRelaxed(state->gain, clampGain(gain));
}

bool OMConfigureRoute(OMState* state, uint32_t route, uint32_t firstChannel,
                      uint32_t channelCount) {
  if (state == nullptr || route >= OMRouteLimit) return false;
  if (channelCount != 1 && channelCount != 2) return false;
  if (firstChannel > OMOutputChannelLimit - channelCount) return false;
  state->routes[route].firstChannel = firstChannel;
  state->routes[route].channelCount = channelCount;
  state->routeCount = std::max(state->routeCount, route + 1);
  return true;
}

void OMSetRouteGain(OMState* state, uint32_t route, float gain) {
  if (OMRoute* r = routeAt(state, route)) storeRelaxed(r->gain, clampGain(gain));
}

void OMSetRouteBoost(OMState* state, uint32_t route, float boost) {
  if (OMRoute* r = routeAt(state, route)) storeRelaxed(r->boost, clampOr(boost, 1.0f, 2.0f, 1.0f));
}

void OMSetRouteEQ(OMState* state, uint32_t route, bool enabled, const float* gains) {
  OMRoute* r = routeAt(state, route);
  if (r == nullptr || gains == nullptr) return;
  for (int band = 0; band < OMBandCount; ++band) {
    storeRelaxed(r->eqGains[band], clampOr(gains[band], -kEQLimitDB, kEQLimitDB, 0.0f));
  }
  // After the gains: a render that sees this flag sees these gains or newer ones.
  storeRelease(r->eqEnabled, enabled ? 1u : 0u);
}

float OMInputPeak(const OMState* state) {
  return state != nullptr ? loadRelaxed(state->inputPeak) : 0.0f;
}

float OMOutputPeak(const OMState* state) {
  return state != nullptr ? loadRelaxed(state->outputPeak) : 0.0f;
}

float OMRoutePeak(const OMState* state, uint32_t route) {
  if (state == nullptr || route >= OMRouteLimit) return 0.0f;
  return loadRelaxed(state->routes[route].peak);
}

uint64_t OMCallbackCount(const OMState* state) {
  return state != nullptr ? loadRelaxed(state->callbackCount) : 0;
}

uint64_t OMFaultCount(const OMState* state) {
  return state != nullptr ? loadRelaxed(state->faultCount) : 0;
}

}  // extern "C"
