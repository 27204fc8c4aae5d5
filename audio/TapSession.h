// The capture-and-render pipeline of one application: a process tap, a private aggregate device
// over the application's outputs with the tap as its input, and the processing core's render
// cycle as the aggregate's I/O proc. Built all or nothing.
//
// Threading: the engine's queue only. The I/O thread touches only the processing state, and
// stop() stops and destroys the proc before it frees that state.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "audio/AudioApp.h"
#include "audio/OutputRouteSpec.h"
#include "core/ProcessingCore.h"

namespace velmora::audio {

class TapSession {
 public:
  // How construction waits between looks at a new aggregate's outputs.
  using Pause = std::function<void(double seconds)>;

  // Builds and starts the pipeline; throws AudioFailure naming the step that failed, having
  // torn down whatever it had made. `started` is the engine clock's time of construction.
  TapSession(const AudioApp& app, const std::vector<OutputRouteSpec>& routes, float gain,
             std::string signature, double started, const Pause& pause);
  ~TapSession();
  TapSession(const TapSession&) = delete;
  TapSession& operator=(const TapSession&) = delete;

  // Pushes route gains, boosts and equalisers into the running state, matched by route key.
  void setRoutingParameters(const std::vector<OutputRouteSpec>& routes);
  // Tears the pipeline down; safe to call again and on a partly built session.
  void stop();

  AudioObjectID tap() const { return tap_; }
  AudioObjectID aggregate() const { return aggregate_; }
  AudioDeviceIOProcID ioProc() const { return ioProc_; }
  OMState* state() const { return state_; }
  const std::string& signature() const { return signature_; }
  const std::vector<std::string>& routeKeys() const { return routeKeys_; }
  double started() const { return started_; }

 private:
  void build(const AudioApp& app, const std::vector<OutputRouteSpec>& routes, float gain,
             const Pause& pause);

  AudioObjectID tap_ = 0;
  AudioObjectID aggregate_ = 0;
  AudioDeviceIOProcID ioProc_ = nullptr;
  OMState* state_ = nullptr;
  std::string signature_;
  std::vector<std::string> routeKeys_;
  double started_ = 0.0;
};

// The prefix of every name the program gives its taps and aggregate devices.
inline constexpr const char* kProcessingNamePrefix = "Velmora · ";

}  // namespace velmora::audio
