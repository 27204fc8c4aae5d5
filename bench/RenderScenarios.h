// The render configurations the benchmarks measure: 512-frame callbacks at 48 kHz.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "core/ProcessingCore.h"

namespace velmora::bench {

inline constexpr uint32_t kFrames = 512;
inline constexpr double kSampleRate = 48000.0;

enum class Scenario {
  oneStereoRoute,     // one stereo route, EQ off
  fourRoutesEQ,       // four stereo routes, EQ active with non-zero bands
  monoTapFourRoutes,  // a mono tap fanned out to four stereo routes, EQ off
};

inline const char* scenarioName(Scenario scenario) {
  switch (scenario) {
    case Scenario::oneStereoRoute:
      return "one_stereo_route_eq_off";
    case Scenario::fourRoutesEQ:
      return "four_stereo_routes_eq_on";
    case Scenario::monoTapFourRoutes:
      return "mono_tap_four_routes_eq_off";
  }
  return "";
}

// A state with its buffers, ready to render; the EQ has already ramped to its targets.
class RenderSetup {
 public:
  explicit RenderSetup(Scenario scenario) {
    const bool fourRoutes = scenario != Scenario::oneStereoRoute;
    const uint32_t tapChannels = scenario == Scenario::monoTapFourRoutes ? 1 : 2;
    const uint32_t routes = fourRoutes ? 4 : 1;
    state_ = OMCreateState(1, 0.8f, kSampleRate);
    for (uint32_t r = 0; r < routes; ++r) {
      OMConfigureRoute(state_, r, r * 2, 2);
      OMSetRouteGain(state_, r, 0.9f);
      if (scenario == Scenario::fourRoutesEQ) {
        const float gains[5] = {4.0f, -2.0f, 1.5f, 6.0f, -3.0f};
        OMSetRouteEQ(state_, r, true, gains);
      }
    }
    input_ = makeList({tapChannels});
    output_ = makeList(std::vector<uint32_t>(routes, 2));
    auto* tap = static_cast<float*>(input_->buffers[0].data);
    for (uint32_t i = 0; i < kFrames * tapChannels; ++i)
      tap[i] = 0.5f * float((i * 7919u) % 2000u) / 1000.0f - 0.5f;
    for (int i = 0; i < 64; ++i) render();
  }
  ~RenderSetup() {
    OMDestroyState(state_);
    for (auto* list : {input_, output_}) {
      for (uint32_t b = 0; b < list->numberBuffers; ++b) std::free(list->buffers[b].data);
      std::free(list);
    }
  }
  RenderSetup(const RenderSetup&) = delete;
  RenderSetup& operator=(const RenderSetup&) = delete;

  void render() { OMRender(state_, input_, output_); }
  float outputPeak() const { return OMOutputPeak(state_); }

 private:
  static AudioBufferList* makeList(const std::vector<uint32_t>& channels) {
    auto* list = static_cast<AudioBufferList*>(
        std::calloc(1, AudioBufferListSize(uint32_t(channels.size()))));
    list->numberBuffers = uint32_t(channels.size());
    for (size_t b = 0; b < channels.size(); ++b) {
      const uint32_t bytes = kFrames * channels[b] * sizeof(float);
      list->buffers[b] = {channels[b], bytes, std::calloc(1, bytes)};
    }
    return list;
  }

  OMState* state_ = nullptr;
  AudioBufferList* input_ = nullptr;
  AudioBufferList* output_ = nullptr;
};

}  // namespace velmora::bench
